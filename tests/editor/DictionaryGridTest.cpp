// The grid rules every dictionary page shares, on bare grids.
#include "DictionaryGrid.h"

#include <gtest/gtest.h>

namespace {

using namespace grid;

// A grid of two columns ("Xe$Id", "Xe$File") with the given rows after the title row.
std::unique_ptr<TVarGrid> makeGrid(const std::vector<QStringList>& rows)
{
    auto g = std::make_unique<TVarGrid>(2);
    g->setCells(0, 0, QStringLiteral("Xe$Id"));
    g->setCells(1, 0, QStringLiteral("Xe$File"));
    std::vector<QStringList> copy = rows;
    g->replaceRowsFrom(1, std::move(copy));
    return g;
}

std::vector<QStringList> allRows(const TVarGrid& g)
{
    std::vector<QStringList> out;
    for (int r = 0; r < g.RowCount(); ++r)
        out.push_back(g.rowCells(r));
    return out;
}

TEST(DictionaryGrid, theEntryRowCommitsWithZerosAndRowsGoOnlyWhenEveryKeyCellIsEmpty)
{
    auto g = makeGrid({{"1", "2"}, {"", "5"}, {"7", "x"}});
    commitEntryRow(g.get(), 3, 1, 1);
    EXPECT_EQ(allRows(*g),
              (std::vector<QStringList>{{"Xe$Id", "Xe$File"}, {"1", "2"}, {"", "5"}, {"7", "0"}, {"", ""}}));

    EXPECT_FALSE(removeRowWithoutKey(g.get(), 2, {0, 1})) << "one key cell still filled";
    EXPECT_TRUE(removeRowWithoutKey(g.get(), 2, {0}));
    EXPECT_EQ(g->RowCount(), 4);
    EXPECT_FALSE(removeRowWithoutKey(g.get(), 3, {0})) << "the entry row is never removed";
    EXPECT_FALSE(removeRowWithoutKey(g.get(), 0, {0})) << "nor the title row";
}

TEST(DictionaryGrid, theSortPutsTheTitleFirstNumbersInOrderTypingAfterThemAndEmptyKeysLast)
{
    auto g = makeGrid({{"", "a"}, {"10", "b"}, {"-", "c"}, {"-3", "d"}, {"$B", "e"}, {"2", "f"}, {"", ""}});
    sortGrid(g.get(), [](const QStringList& row) { return cellOrder(row[0]); });
    QStringList order;
    for (const QStringList& row : allRows(*g))
        order << row[0] + QLatin1Char('/') + row[1];
    EXPECT_EQ(order.mid(0, 6), (QStringList{"Xe$Id/Xe$File", "-3/d", "2/f", "10/b", "$B/e", "-/c"}));
    EXPECT_TRUE(order.mid(6).contains(QStringLiteral("/a")) && order.mid(6).contains(QStringLiteral("/")));
}

TEST(DictionaryGrid, theFilterHidesInOnePassAndRestoresEverythingInItsOrder)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= 9; ++i)
        rows.push_back({QString::number(i), QString::number(i % 3)});
    rows.push_back({"", ""});
    auto g = makeGrid(rows);
    QStringList hidden;
    dict::RecordArray array = dict::makeFieldTableArray();
    Page page(dict::DictFile::Field, g.get(), array, hidden);
    page.hide([](const QStringList& r) { return r[1] == QLatin1String("1"); },
              [](const QStringList& r) { return r[1].isEmpty(); });
    EXPECT_EQ(allRows(*g),
              (std::vector<QStringList>{{"Xe$Id", "Xe$File"}, {"1", "1"}, {"4", "1"}, {"7", "1"}, {"", ""}}));
    EXPECT_EQ(hidden, (QStringList{"2\n2", "3\n0", "5\n2", "6\n0", "8\n2", "9\n0"}));

    page.restore();
    EXPECT_TRUE(hidden.isEmpty());
    EXPECT_EQ(g->RowCount(), 11) << "nothing lost, one entry row";
    EXPECT_EQ(g->rowCells(4), (QStringList{"2", "2"})) << "hidden rows come back in their order";
    EXPECT_EQ(g->rowCells(10), (QStringList{"", ""}));
}

TEST(DictionaryGrid, theFilterWalkEndsAtTheFirstRowThatStopsIt)
{
    auto g = makeGrid({{"1", "1"}, {"2", "2"}, {"3", ""}, {"4", "2"}, {"", ""}});
    QStringList hidden;
    dict::RecordArray array = dict::makeFieldTableArray();
    Page page(dict::DictFile::Field, g.get(), array, hidden);
    page.hide([](const QStringList& r) { return r[1] == QLatin1String("1"); },
              [](const QStringList& r) { return r[1].isEmpty(); });
    EXPECT_EQ(hidden, QStringList{"2\n2"});
    EXPECT_EQ(g->RowCount(), 5) << "the row that ended the walk and those after it stay";

    // What is typed into the entry row is no record: the filter leaves it there, whether or not
    // it would keep or stop at it, so the last record never takes its place.
    auto typed = makeGrid({{"1", "1"}, {"2", "2"}, {"", "2"}});
    QStringList none;
    Page typedPage(dict::DictFile::Field, typed.get(), array, none);
    typedPage.hide([](const QStringList& r) { return r[1] == QLatin1String("1"); },
                   [](const QStringList& r) { return r[1].isEmpty(); });
    EXPECT_EQ(none, QStringList{"2\n2"});
    EXPECT_EQ(allRows(*typed), (std::vector<QStringList>{{"Xe$Id", "Xe$File"}, {"1", "1"}, {"", "2"}}));
}

TEST(DictionaryGrid, lookUpsFindTheFirstRowOfTheSameNameTrailingBlanksNeverCounting)
{
    auto g =
        makeGrid({{"Sales               ", "1"}, {"SALES               ", "2"}, {"Sales", "3"}, {"-", "3"}});
    struct Case {
        QString text;
        int ignoringCase, exact;
    };
    const Case cases[] = {
        {"sales               ", 1, -1},
        {"SALES               ", 1, 2},
        {"sales", 1, -1},
        {"Sales", 1, 1},
        {"SALES\0 ", 1, 2},
        {"Sale", -1, -1},
    };
    const RowIndex ignoring = RowIndex::ignoringCase(g.get(), 0);
    const RowIndex exact = RowIndex::exact(g.get(), 0);
    for (const Case& c : cases) {
        EXPECT_EQ(findRowIgnoringCase(g.get(), 0, c.text), c.ignoringCase) << c.text.toStdString();
        EXPECT_EQ(ignoring.row(c.text), c.ignoringCase) << c.text.toStdString();
        EXPECT_EQ(findRowExact(g.get(), 0, c.text), c.exact) << c.text.toStdString();
        EXPECT_EQ(exact.row(c.text), c.exact) << c.text.toStdString();
    }
    EXPECT_EQ(findRowByNumber(g.get(), 1, 3), 3);
    EXPECT_EQ(RowIndex::byNumber(g.get(), 1).row(qint32(3)), 3);
    EXPECT_EQ(findRowByNumber(g.get(), 0, 0), -1) << "a text that is no number matches nothing";
    EXPECT_EQ(highestInteger(g.get(), 1, 0), 3);
    EXPECT_EQ(highestInteger(g.get(), 1, 0, [](int row) { return row < 3; }), 2);
    EXPECT_EQ(highestInteger(g.get(), 0, 7), 7) << "names and '-' are passed over";
}

TEST(DictionaryGrid, flagCellsThatAreNoNumberLeaveTheBoxesAloneAndAnEmptyOneTicksNone)
{
    TVarCheckBox low(QStringLiteral("low"), 0), high(QStringLiteral("high"), 4);
    showFlags({&low, &high}, QStringLiteral("17"));
    EXPECT_TRUE(low.isChecked());
    EXPECT_TRUE(high.isChecked());
    for (const char* typing : {"-", "$", "1x"}) {
        showFlags({&low, &high}, QString::fromLatin1(typing));
        EXPECT_TRUE(low.isChecked() && high.isChecked()) << typing;
    }
    int clicks = 0;
    QObject::connect(&low, &QCheckBox::clicked, [&] { ++clicks; });
    showFlags({&low, &high}, QString());
    EXPECT_FALSE(low.isChecked() || high.isChecked());
    EXPECT_EQ(clicks, 0) << "nothing is written back for an empty cell";
    showFlags({&low, &high}, QStringLiteral("17"));
    auto g = makeGrid({{"", "16"}});
    low.setChecked(true);
    applyFlagBox(g.get(), 1, 1, &low);
    EXPECT_EQ(g->Cells(1, 1), QStringLiteral("17"));
}

TEST(DictionaryGrid, buildCellsNameTheFileRowAndColumnOfWhatCannotBeStored)
{
    auto g = makeGrid({{"70000", "Caf\u00e9 \u20ac"}});
    const BuildCells cells(g.get(), QStringLiteral("FIELD.DDF"));
    auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const EditorError& e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    };
    EXPECT_EQ(
        message([&] { cells.int16(0, 1); }),
        QStringLiteral("FIELD.DDF was not written: row 1, column Xe$Id: 70000 is outside -32768..32767"));
    EXPECT_EQ(
        message([&] { cells.text(1, 1, 20); }),
        QStringLiteral("FIELD.DDF was not written: row 1, column Xe$File: '\u20ac' cannot be stored in the "
                       "8-bit text of FIELD.DDF under code page Latin-1 (U+20AC)"));
    g->setCells(1, 1, QStringLiteral("Caf\u00e9   "));
    EXPECT_EQ(cells.text(1, 1, 4), std::string("Caf\xe9"));
    EXPECT_EQ(
        message([&] { cells.text(1, 1, 3); }),
        QStringLiteral("FIELD.DDF was not written: row 1, column Xe$File: 'Caf\u00e9' is longer than the 3 "
                       "characters FIELD.DDF keeps"));
}

TEST(DictionaryGrid, aCodePageChangeRereadsNamesAndKeepsTheIdsOfEveryRow)
{
    // "\x8a" is 'К' under 866; under Latin-1 it reads as U+008A.
    const dict::CodePage latin1 = dict::CodePage::latin1();
    const auto cp866 = dict::CodePage::named("866");
    ASSERT_TRUE(cp866);
    auto g = makeGrid({{"1", QString::fromStdString(latin1.decode("\x8a"))}, {"2", "Typed"}});
    g->setRowIds(1, {5, 23});
    g->setRowIds(2, {6, 24});
    QStringList hidden;
    recodeColumns(g.get(), {1}, hidden, latin1, *cp866);
    EXPECT_EQ(g->Cells(1, 1), QString::fromUtf8("К"));
    EXPECT_EQ(g->Cells(1, 2), QStringLiteral("Typed"));
    EXPECT_EQ(g->rowIds(1), (RowIds{5, 23}));
    EXPECT_EQ(g->rowIds(2), (RowIds{6, 24}));
}

} // namespace
