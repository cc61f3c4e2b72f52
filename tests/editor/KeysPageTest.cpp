// The Keys page's rules that need no file: the entry row committed by a table name, removal,
// the sort order, the Table Filter, Add Key, the key-flag boxes and the Field list with the key
// numbers taken from an added data file.
#include "KeysPageFixture.h"

namespace {

using keystest::pad;
using keystest::setRows;

const QStringList kTitles = {"Xi$File", "Xi$Field", "Xi$Number", "Xi$Part", "Xi$Flags"};
const QStringList kEmpty = {"", "", "", "", ""};

class KeysPageRules : public KeysFixture {
protected:
    void SetUp() override
    {
        KeysFixture::SetUp();
        setRows(w().FileGrid, {{"1", pad("X$FILE"), pad("FILE.DDF", 64), "16"},
                               {"7", pad("ORDERS"), "ORDERS.BTR", "0"},
                               {"5", pad("ITEMS"), "ITEMS.BTR", "0"},
                               {"-1", pad("GONE"), "", "0"}});
        setRows(w().FieldGrid, {{"1", "1", pad("Xf$Id"), "1", "0", "2", "0", "0"},
                                {"40", "7", pad("Number"), "1", "0", "4", "0", "0"},
                                {"41", "7", pad("Customer"), "0", "4", "30", "0", "0"},
                                {"42", "5", pad("Code"), "0", "0", "6", "0", "0"},
                                {"43", "7", pad("Date"), "3", "44", "4", "0", "0"}});
        w().FieldGrid->Tag = 1;
    }
};

TEST_F(KeysPageRules, aKnownTableNameCommitsTheEntryRowPaddedWithZerosAndTheFieldKept)
{
    ASSERT_EQ(keys()->RowCount(), 2);
    typeKey(1, 1, pad("Customer"));
    typeKey(1, 2, QStringLiteral("9"));
    typeKey(1, 4, QStringLiteral("77"));
    EXPECT_EQ(keys()->RowCount(), 2) << "no table, no new row";

    typeKey(1, 0, QStringLiteral("Order"));
    EXPECT_EQ(keys()->RowCount(), 2) << "no table of that name";
    EXPECT_EQ(keys()->Cells(0, 1), QStringLiteral("Order"));

    typeKey(1, 0, QStringLiteral("orders")); // letter case ignored, the typed text kept
    ASSERT_EQ(keys()->RowCount(), 3);
    EXPECT_EQ(rows(keys()),
              (std::vector<QStringList>{kTitles, {pad("orders"), pad("Customer"), "0", "0", "0"}, kEmpty}));
    EXPECT_EQ(w().ChooseField->count(), 3) << "the fields of ORDERS";
    EXPECT_EQ(w().ChooseField->currentText(), pad("Customer"));
    EXPECT_EQ(w().IndexFilter->currentText(), pad("ORDERS")) << "the filter shows the row's table";
}

TEST_F(KeysPageRules, aRowGoesOnlyWhenBothItsNamesAreEmptied)
{
    setRows(keys(), {{pad("ORDERS"), pad("Number"), "0", "0", "2"},
                     {pad("ORDERS"), pad("Customer"), "1", "0", "3"},
                     {pad("ITEMS"), pad("Code"), "0", "0", "1"}});
    typeKey(1, 0, QString());
    EXPECT_EQ(keys()->RowCount(), 5) << "the field is still there";
    typeKey(2, 1, QString());
    EXPECT_EQ(keys()->RowCount(), 5) << "the table is still there";
    typeKey(2, 0, QString()); // goes; the grid is sorted, the row without a table last
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles,
                                                      {pad("ITEMS"), pad("Code"), "0", "0", "1"},
                                                      {"", pad("Number"), "0", "0", "2"},
                                                      kEmpty}));

    keys()->setRow(3);
    w().DeleteKey->click(); // the entry row stays
    EXPECT_EQ(keys()->RowCount(), 4);
    keys()->setRow(1);
    w().DeleteKey->click();
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles, {"", pad("Number"), "0", "0", "2"}, kEmpty}));
}

TEST_F(KeysPageRules, sortPutsTheTitleThenXTablesThenOthersByTableIdKeyAndPart)
{
    setRows(keys(), {{pad("ORDERS"), "b", "1", "0", "0"},
                     {"", "orphan", "0", "0", "0"},
                     {pad("ITEMS"), "c", "0", "1", "0"},
                     {pad("X$FILE"), "d", "1", "0", "0"},
                     {pad("ORDERS"), "e", "0", "1", "0"},
                     {"Alpha", "f", "5", "0", "0"},
                     {pad("ITEMS"), "g", "0", "0", "0"},
                     {pad("X$FILE"), "h", "0", "0", "0"},
                     {pad("ORDERS"), "i", "0", "0", "0"},
                     {"XRAY", "j", "", "", ""},
                     {pad("orders"), "k", "X", "", "0"}});
    w().SortKeyGrid();
    QStringList fields;
    for (int r = 0; r < keys()->RowCount(); ++r)
        fields << keys()->Cells(1, r);
    // XRAY names no table (id 0) and comes before X$FILE (id 1); a number beginning with "X"
    // puts its row ahead of the other tables; "Alpha" names no table and comes before ITEMS (5)
    // and ORDERS (7); an empty number counts 0; rows without a table last, in their order.
    EXPECT_EQ(fields,
              (QStringList{"Xi$Field", "j", "h", "d", "k", "f", "g", "c", "i", "e", "b", "orphan", ""}));
}

TEST_F(KeysPageRules, theTableFilterKeepsTheRowsOfExactlyThatNameAndBringsTheOthersBack)
{
    const std::vector<QStringList> all = {{pad("ITEMS"), pad("Code"), "0", "0", "1"},
                                          {pad("ORDERS"), pad("Number"), "0", "0", "2"},
                                          {pad("orders"), pad("Date"), "1", "0", "0"},
                                          {pad("ORDERS"), pad("Customer"), "1", "0", "3"}};
    setRows(keys(), all);
    const auto filter = [&](const QString& text) {
        w().IndexFilter->setEditText(text);
        w().IndexFilterChange();
    };
    filter(pad("ORDERS"));
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles, all[1], all[3], kEmpty}));
    EXPECT_EQ(w().HiddenKeyRows.size(), 2);
    EXPECT_TRUE(keys()->isVisibleTo(w().TabKeys));

    filter(QStringLiteral("ORDERS")); // without its blanks it names no row
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles, kEmpty}));

    filter(QString());
    EXPECT_TRUE(w().HiddenKeyRows.isEmpty());
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles, all[0], all[1], all[3], all[2], kEmpty}))
        << "all back, sorted: ITEMS (5), then ORDERS (7); \"orders\" finds the table too";
}

TEST_F(KeysPageRules, addKeyAppendsARowOfTheFilteredTableUnsorted)
{
    setRows(keys(), {{pad("ORDERS"), pad("Number"), "0", "0", "2"}});
    w().AddKey->click();
    EXPECT_EQ(keys()->RowCount(), 3) << "no filter, no row";

    w().IndexFilter->setEditText(pad("ITEMS"));
    w().AddKey->click();
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles,
                                                      {pad("ORDERS"), pad("Number"), "0", "0", "2"},
                                                      {pad("ITEMS"), "0", "0", "0", "0"},
                                                      kEmpty}));
}

struct FlagCase {
    const char* flags;
    int box;
    const char* after;
};

TEST_F(KeysPageRules, eachKeyFlagBoxChangesOnlyItsOwnBitAndTheBoxesShowTheRow)
{
    const std::vector<FlagCase> cases = {
        {"0", 0, "1"},     {"1", 0, "0"},     {"2047", 4, "2031"}, {"16", 4, "0"},           {"32", 5, "0"},
        {"1024", 10, "0"}, {"403", 8, "147"}, {"", 6, "64"},       {"-32768", 10, "-31744"},
    };
    const QList<TVarCheckBox*> boxes = w().keyFlagBoxes();
    ASSERT_EQ(boxes.size(), 11);
    for (const FlagCase& c : cases) {
        setRows(keys(), {{pad("ORDERS"), pad("Number"), "0", "0", c.flags}});
        keys()->setRow(1);
        w().KeyGridMouseUp();
        if (*c.flags) {
            const int flags = QString::fromLatin1(c.flags).toInt();
            for (int bit = 0; bit < 11; ++bit)
                ASSERT_EQ(boxes[bit]->isChecked(), ((flags >> bit) & 1) != 0) << c.flags << " bit " << bit;
        } else {
            boxes[c.box]->setChecked(false);
        }
        boxes[c.box]->click();
        EXPECT_EQ(keys()->Cells(4, 1), QString::fromLatin1(c.after)) << c.flags << " box " << c.box;
    }
}

// ORDERS (id 7) read with Add: key 0 of two segments (Number, Customer), key 1 on Date, key 2
// on Number again.
QByteArray ordersStat()
{
    QByteArray stat(1920, '\0');
    const auto put16 = [&](int at, int v) {
        stat[at] = char(v & 0xFF);
        stat[at + 1] = char((v >> 8) & 0xFF);
    };
    put16(0, 48);
    put16(2, 1024);
    put16(4, 3);
    const int segments[][3] = {{1, 4, 16 + 3}, {5, 30, 3}, {45, 4, 0x102}, {1, 4, 0x104}};
    for (int s = 0; s < 4; ++s) {
        put16(16 + 16 * s, segments[s][0]);
        put16(16 + 16 * s + 2, segments[s][1]);
        put16(16 + 16 * s + 4, segments[s][2]);
    }
    return stat;
}

TEST_F(KeysPageRules, aFieldChosenTakesKeyNumberPartAndFlagsFromTheAddedFilesSegments)
{
    w().FileStatList = {{5, QByteArray(1920, '\0')}, {7, ordersStat()}};
    setRows(keys(), {{pad("ORDERS"), "", "9", "9", "9"}, {pad("ITEMS"), "", "9", "9", "9"}});
    keys()->setRow(1);
    w().KeyGridMouseUp();
    QStringList items;
    for (int i = 0; i < w().ChooseField->count(); ++i)
        items << w().ChooseField->itemText(i);
    EXPECT_EQ(items, (QStringList{pad("Number"), pad("Customer"), pad("Date")}));

    struct Choice {
        QString field;
        QStringList row;
    };
    const std::vector<Choice> choices = {
        {pad("Customer"), {pad("ORDERS"), pad("Customer"), "0", "1", "3"}}, // second segment: part 1
        {pad("number"), {pad("ORDERS"), pad("number"), "2", "0", "260"}},   // the last match wins
        {pad("Date"), {pad("ORDERS"), pad("Date"), "1", "0", "258"}},
        {"Nothing", {pad("ORDERS"), "Nothing", "1", "0", "258"}}, // no such field: the name only
    };
    for (const Choice& c : choices) {
        w().ChooseField->setEditText(c.field);
        w().ChooseFieldChange();
        EXPECT_EQ(keys()->rowCells(1), c.row) << c.field.toStdString();
    }

    keys()->setRow(2); // ITEMS' entry holds no keys: only the name changes
    w().ChooseField->setEditText(pad("Code"));
    w().ChooseFieldChange();
    EXPECT_EQ(keys()->rowCells(2), (QStringList{pad("ITEMS"), pad("Code"), "9", "9", "9"}));
}

TEST_F(KeysPageRules, theTableFilterListsTheTablesAndShowsTheCurrentRowsTable)
{
    setRows(keys(), {{pad("items"), pad("Code"), "0", "0", "1"}});
    keys()->setRow(1);
    w().KeyGridMouseUp();
    QStringList items;
    for (int i = 0; i < w().IndexFilter->count(); ++i)
        items << w().IndexFilter->itemText(i);
    EXPECT_EQ(items, (QStringList{pad("X$FILE"), pad("ORDERS"), pad("ITEMS")})) << "GONE has id -1";
    EXPECT_EQ(w().IndexFilter->currentText(), pad("ITEMS"));
}

TEST_F(KeysPageRules, realKeystrokesInTheEntryRowCommitTheRowWhenTheNameIsComplete)
{
    typeKeys(keys(), 1, 0, QStringLiteral("items"));
    pressKey(Qt::Key_Return);
    ASSERT_EQ(keys()->RowCount(), 3);
    EXPECT_EQ(rows(keys()), (std::vector<QStringList>{kTitles, {pad("items"), "", "0", "0", "0"}, kEmpty}));
    EXPECT_EQ(w().ChooseField->count(), 1);
    EXPECT_TRUE(mMessages.empty());
}

} // namespace
