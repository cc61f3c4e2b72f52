// The Fields page's rules that need no file: the entry row and the highest field id, removal,
// the sort, the Table Filter, Add Field, Delete Field, Field Type, New and the enabling of the
// buttons.
#include "WindowFixture.h"

#include <QFile>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QStringList kTitles{"Xe$Id",     "Xe$File", "Xe$Name", "Xe$DataType",
                          "Xe$Offset", "Xe$Size", "Xe$Dec",  "Xe$Flag"};
const QStringList kEmpty(8, QString());

class FieldsPageRules : public WindowFixture {
protected:
    TVarGrid* fields() { return w().FieldGrid; }

    // Makes `row` current, puts the text into its cell and releases a key, as typing does.
    void typeField(int row, int col, const QString& text)
    {
        fields()->setRow(row);
        fields()->setCells(col, row, text);
        w().FieldGridKeyUp(Qt::Key_A);
    }
    int entry() { return fields()->RowCount() - 1; }

    // New DDFs, then the tables "Orders" (id 7) and "Parts" (id 9) on the Files page.
    void newSetWithTwoTables()
    {
        w().ClearFileClick();
        for (const auto& [id, name] : {std::pair{"7", "Orders"}, std::pair{"9", "Parts"}}) {
            const int row = grid()->RowCount() - 1;
            grid()->setCells(1, row, QString::fromLatin1(name));
            type(row, 0, QString::fromLatin1(id));
        }
    }
    // The user picks or types a Table Filter text.
    void filter(const QString& text)
    {
        w().FileFilter->setEditText(text);
        w().FileFilterChange();
    }
    QStringList ids()
    {
        QStringList out;
        for (int r = 1; r < fields()->RowCount(); ++r)
            out << fields()->Cells(0, r);
        return out;
    }
};

QStringList numbers(std::initializer_list<int> values)
{
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out;
}

TEST_F(FieldsPageRules, newLeavesTheTitleRowSeventeenSelfDescriptionRowsAndAnEntryRow)
{
    w().ClearFieldDDFClick();
    EXPECT_EQ(fields()->RowCount(), 2) << "New needs the Files page's table";
    EXPECT_FALSE(w().BuildFieldDDF->isEnabled());

    w().ClearFileDDFClick();
    fields()->setRowCount(40);
    fields()->setRowText(39, QStringLiteral("99\n1"));
    w().ClearFieldDDFClick();
    ASSERT_EQ(fields()->RowCount(), 19);
    EXPECT_EQ(fields()->rowCells(0), kTitles);
    EXPECT_EQ(fields()->rowCells(3),
              (QStringList{"3", "1", QStringLiteral("Xf$Loc").leftJustified(20), "0", "22", "64", "0", "0"}));
    EXPECT_EQ(fields()->rowCells(17), (QStringList{"17", "3", QStringLiteral("Xi$Flags").leftJustified(20),
                                                   "1", "8", "2", "0", "0"}));
    EXPECT_EQ(fields()->rowCells(18), kEmpty);
    EXPECT_EQ(fields()->Tag, 1);
    for (QPushButton* b :
         {w().BuildFieldDDF, w().keys().ClearKeysDDF, w().keys().OpenKeysDDF, w().DeleteField})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(w().AddOneField->isEnabled()) << "no Table Filter text";
}

// The five sources of the highest field id and the entry-row commit that follows from it.
TEST_F(FieldsPageRules, anIdAboveTheHighestCommitsTheEntryRowZeroesItAndSorts)
{
    newSetWithTwoTables();
    w().ClearFieldDDFClick();
    EXPECT_EQ(w().HighestFieldId, 17);

    // Values typed before the id are replaced by 0; an id not above the highest does nothing.
    typeField(18, 2, QStringLiteral("Amount"));
    typeField(18, 5, QStringLiteral("8"));
    typeField(18, 0, QStringLiteral("17"));
    EXPECT_EQ(fields()->RowCount(), 19);
    EXPECT_EQ(fields()->rowCells(18), (QStringList{"17", "", "Amount", "", "", "8", "", ""}));
    for (const char* notYet : {"-", "$", "1x", ""})
        typeField(18, 0, QString::fromLatin1(notYet));
    EXPECT_EQ(fields()->RowCount(), 19);

    typeField(18, 0, QStringLiteral("40"));
    ASSERT_EQ(fields()->RowCount(), 20);
    EXPECT_EQ(fields()->rowCells(18), (QStringList{"40", "0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(fields()->rowCells(19), kEmpty);
    EXPECT_EQ(w().HighestFieldId, 40);

    // With a table filtered, the committed row takes its id and the grid is sorted.
    filter(QStringLiteral("PARTS").leftJustified(20)); // letter case ignored; no Parts field yet
    EXPECT_EQ(ids(), QStringList{""});
    typeField(entry(), 0, QStringLiteral("45"));
    typeField(entry(), 0, QStringLiteral("41"));
    EXPECT_EQ(fields()->RowCount(), 3);
    EXPECT_EQ(fields()->rowCells(1), (QStringList{"45", "9", "0", "0", "0", "0", "0", "0"}));

    filter(QString());
    EXPECT_EQ(ids(), (numbers({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 40, 45}) << "41"))
        << "the entry row keeps what is typed in it, and stays last";
}

TEST_F(FieldsPageRules, theHighestFieldIdCountsOnlyRowsWithATableUntilTheFilterRestores)
{
    w().ClearFileDDFClick();
    // A grid filled by hand: the highest id is found on the entry row from rows with a table.
    const std::vector<QStringList> rows = {{"5", "1"}, {"30", ""}, {"12", "2"}, {"x", "3"}};
    fields()->setRowCount(2 + int(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        fields()->setRowText(int(i) + 1, rows[i].join(QLatin1Char('\n')));
    typeField(entry(), 0, QStringLiteral("13"));
    EXPECT_EQ(w().HighestFieldId, 13) << "12 was the highest with a table; 13 commits";
    w().FileFilterChange(); // restores: every id counts
    EXPECT_EQ(w().HighestFieldId, 30);
}

TEST_F(FieldsPageRules, sortPutsTheTitleFirstIdsAscendingAsNumbersAndEmptyIdsLast)
{
    w().ClearFileDDFClick();
    const QStringList shuffled{"100", "", "-3", "9", "", "10", "2", "32767", "-32768"};
    fields()->setRowCount(int(shuffled.size()) + 1);
    for (int i = 0; i < shuffled.size(); ++i)
        fields()->setCells(0, i + 1, shuffled[i]);
    w().SortFieldGrid();
    EXPECT_EQ(fields()->rowCells(0)[0], QStringLiteral("Xe$Id"));
    EXPECT_EQ(ids(), (QStringList{"-32768", "-3", "2", "9", "10", "100", "32767", "", ""}));
}

TEST_F(FieldsPageRules, emptyingAnIdRemovesItsRowAndDeleteFieldOnTheEntryRowRemovesNothing)
{
    newSetWithTwoTables();
    w().ClearFieldDDFClick();
    typeField(5, 0, QString());
    ASSERT_EQ(fields()->RowCount(), 18);
    EXPECT_EQ(fields()->Cells(0, 5), QStringLiteral("6"));

    fields()->setRow(2);
    w().DeleteFieldClick();
    EXPECT_EQ(ids().mid(0, 3), (QStringList{"1", "3", "4"}));

    fields()->setCells(2, entry(), QStringLiteral("Draft"));
    fields()->setRow(entry());
    w().DeleteFieldClick();
    EXPECT_EQ(fields()->RowCount(), 17);
    EXPECT_EQ(fields()->Cells(2, entry()), QStringLiteral("Draft"));
}

TEST_F(FieldsPageRules, theTableFilterHidesOtherTablesRowsAndItsNextChangeBringsThemBack)
{
    newSetWithTwoTables();
    w().ClearFieldDDFClick();
    const std::vector<QStringList> all = rows(fields());

    filter(QStringLiteral("x$field").leftJustified(20)); // the stored name, blanks and all
    EXPECT_EQ(ids(), (numbers({5, 6, 7, 8, 9, 10, 11, 12}) << ""));
    EXPECT_EQ(w().HiddenFieldRows.size(), 9);
    EXPECT_TRUE(w().AddOneField->isEnabled());

    filter(QStringLiteral("X$FIEL")); // names no table: everything shown
    EXPECT_EQ(rows(fields()), all);
    EXPECT_TRUE(w().HiddenFieldRows.isEmpty());

    // A row without a table ends the hiding: it and the rows after it stay.
    fields()->setCells(1, 14, QString());
    filter(QStringLiteral("X$FILE").leftJustified(20));
    EXPECT_EQ(ids(), (numbers({1, 2, 3, 4, 14, 15, 16, 17}) << ""));
    filter(QString());
    EXPECT_EQ(ids(), (numbers({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}) << ""));
    EXPECT_TRUE(w().AddOneField->isEnabled()) << "an emptied filter leaves Add Field as it was";
}

TEST_F(FieldsPageRules, addFieldAppendsAZeroedFieldOfTheFilteredTable)
{
    newSetWithTwoTables();
    w().ClearFieldDDFClick();
    for (const char* text : {"", "Nowhere", "Order"}) { // only a whole name names a table
        w().FileFilter->setEditText(QString::fromLatin1(text));
        w().AddOneFieldClick();
        EXPECT_EQ(fields()->RowCount(), 19) << text;
    }
    filter(QStringLiteral("orders").leftJustified(20));
    w().AddOneFieldClick();
    w().AddOneFieldClick();
    EXPECT_EQ(rows(fields()), (std::vector<QStringList>{kTitles,
                                                        {"18", "7", "0", "0", "0", "0", "0", "0"},
                                                        {"19", "7", "0", "0", "0", "0", "0", "0"},
                                                        kEmpty}));
    EXPECT_EQ(w().HighestFieldId, 19);
}

TEST_F(FieldsPageRules, fieldTypeFollowsTheRowAndChoosingOneSetsTheRowsCode)
{
    newSetWithTwoTables();
    w().ClearFieldDDFClick();
    ASSERT_EQ(w().FieldType->count(), 19);
    const std::pair<const char*, int> shown[] = {{"0", 0},    {"18", 18}, {"19", -1}, {"99", -1},
                                                 {"228", -1}, {"-1", -1}, {"1", 1},   {"abc", -1}};
    for (const auto& [code, position] : shown) {
        typeField(2, 3, QString::fromLatin1(code));
        EXPECT_EQ(w().FieldType->currentIndex(), position) << code;
        EXPECT_EQ(w().FieldType->currentText().isEmpty(), position < 0) << code;
    }
    typeField(3, 3, QStringLiteral("14"));
    typeField(2, 3, QString()); // an empty type leaves the list as it was
    EXPECT_EQ(w().FieldType->currentIndex(), 14);

    fields()->setRow(5);
    for (int position : {18, 0, 11}) {
        w().FieldType->setCurrentIndex(position);
        w().FieldTypeChange();
        EXPECT_EQ(fields()->Cells(3, 5), QString::number(position));
    }
    w().FieldType->setCurrentIndex(-1);
    w().FieldTypeChange();
    EXPECT_EQ(fields()->Cells(3, 5), QStringLiteral("11"));
}

TEST_F(FieldsPageRules, theTableFilterOffersEveryTableWithAnIdAndKeepsItsText)
{
    newSetWithTwoTables();
    grid()->setCells(0, 2, QStringLiteral("-1"));
    w().ClearFieldDDFClick();
    w().FileFilter->setEditText(QStringLiteral("ord"));
    typeField(1, 2, QStringLiteral("Name"));
    QStringList offered;
    for (int i = 0; i < w().FileFilter->count(); ++i)
        offered << w().FileFilter->itemText(i);
    QStringList expected;
    for (const char* name : {"X$FILE", "X$INDEX", "Orders", "Parts"})
        expected << QString::fromLatin1(name); // without the blanks that pad the cells
    EXPECT_EQ(offered, expected);
    EXPECT_EQ(w().FileFilter->currentText(), QStringLiteral("ord"));
    EXPECT_TRUE(w().AddOneField->isEnabled());
}

TEST_F(FieldsPageRules, typingAnIdWithRealKeysCommitsTheEntryRowOnTheFirstKeyAboveTheHighest)
{
    w().ClearFileClick();
    // "1" and "12" are not above 17; "125" is, on the release of its third key.
    typeKeys(fields(), 18, 0, QStringLiteral("125"));
    ASSERT_EQ(fields()->RowCount(), 20);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(fields()->rowCells(18), (QStringList{"125", "0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(fields()->rowCells(19), kEmpty);
    EXPECT_EQ(w().HighestFieldId, 125);
}

TEST_F(FieldsPageRules, buildBeforeAnyNewOrOpenOrWithoutRowsWritesNothing)
{
    w().ClearFileDDFClick();
    fields()->setCells(0, 1, QStringLiteral("1"));
    w().BuildFieldDDFClick();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELD.DDF")));

    w().ClearFieldDDFClick();
    fields()->setRowCount(2);
    w().BuildFieldDDFClick();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELD.DDF")));
    EXPECT_TRUE(mMessages.empty());
}

} // namespace
