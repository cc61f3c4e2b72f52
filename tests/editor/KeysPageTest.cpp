// The Keys page's rules that need no file: the entry row committed by a table name, removal,
// the sort order, the Table Filter, Add Key, the key-flag boxes and the Field list with the key
// numbers taken from an added data file.
#include <QLineEdit>
#include "KeysPageFixture.h"

namespace {

using keystest::pad;
using keystest::setRows;
using Rows = std::vector<QStringList>;

const QStringList kTitles = {"Xi$File", "Xi$Field", "Xi$Number", "Xi$Part", "Xi$Flags"};
const QStringList kEmpty = {"", "", "", "", ""};

class KeysPageRules : public WithKeys<WindowFixture> {
protected:
    void SetUp() override
    {
        WithKeys::SetUp();
        setRows(w().FileGrid, {{"1", pad("X$FILE"), "FILE.DDF", "16"},
                               {"7", pad("ORDERS"), "ORDERS.BTR", "0"},
                               {"5", pad("ITEMS"), "ITEMS.BTR", "0"},
                               {"-1", pad("GONE"), "", "0"}});
        setRows(w().FieldGrid, {{"40", "7", pad("Number"), "1", "0", "4"},
                                {"41", "7", pad("Customer"), "0", "4", "30"},
                                {"42", "5", pad("Code"), "0", "0", "6"},
                                {"43", "7", pad("Date"), "3", "44", "4"}});
        w().FieldGrid->Tag = 1;
    }
    // Makes the row current, puts the text into its cell and releases a key.
    void type(int row, int col, const QString& text)
    {
        keys()->setRow(row);
        keys()->setCells(col, row, text);
        w().keys().KeyGridKeyUp(Qt::Key_A);
    }
    QStringList items(const QComboBox* box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
};

TEST_F(KeysPageRules, aKnownTableNameCommitsTheEntryRowPaddedWithZerosAndTheFieldKept)
{
    type(1, 1, pad("Customer"));
    type(1, 2, QStringLiteral("9"));
    type(1, 0, QStringLiteral("Order")); // no table of that name
    EXPECT_EQ(rows(keys()), (Rows{kTitles, {"Order", pad("Customer"), "9", "", ""}}));

    type(1, 0, QStringLiteral("orders")); // letter case ignored, the typed text kept
    EXPECT_EQ(rows(keys()), (Rows{kTitles, {pad("orders"), pad("Customer"), "0", "0", "0"}, kEmpty}));
    EXPECT_EQ(items(w().keys().ChooseField), (QStringList{pad("Number"), pad("Customer"), pad("Date")}));
    EXPECT_EQ(w().keys().ChooseField->currentText(), pad("Customer"));
    EXPECT_EQ(items(w().keys().IndexFilter), (QStringList{"X$FILE", "ORDERS", "ITEMS"}))
        << "not id -1, without the blanks that pad the cells";
    EXPECT_EQ(w().keys().IndexFilter->currentText(), QString()) << "no filter is in force";
}

TEST_F(KeysPageRules, aRowGoesOnlyWhenBothItsNamesAreEmptied)
{
    setRows(keys(), {{pad("ORDERS"), pad("Number"), "0", "0", "2"},
                     {pad("ORDERS"), pad("Customer"), "1", "0", "3"},
                     {pad("ITEMS"), pad("Code"), "0", "0", "1"}});
    type(1, 0, QString());
    type(2, 1, QString());
    EXPECT_EQ(keys()->RowCount(), 5) << "one name left in each";
    type(2, 0, QString()); // goes, and the sort puts the row without a table last
    EXPECT_EQ(rows(keys()), (Rows{kTitles,
                                  {pad("ITEMS"), pad("Code"), "0", "0", "1"},
                                  {"", pad("Number"), "0", "0", "2"},
                                  kEmpty}));
    keys()->setRow(3);
    w().keys().DeleteKey->click(); // on the entry row: nothing goes
    keys()->setRow(1);
    w().keys().DeleteKey->click();
    EXPECT_EQ(rows(keys()), (Rows{kTitles, {"", pad("Number"), "0", "0", "2"}, kEmpty}));
}

TEST_F(KeysPageRules, sortPutsTheTitleThenXTablesThenOthersByTableIdKeyAndPart)
{
    const QString orders = pad("ORDERS"), items = pad("ITEMS"), xfile = pad("X$FILE");
    const Rows grid = {{orders, "b", "1", "0"}, {"", "orphan", "0", "0"},     {items, "c", "0", "1"},
                       {xfile, "d", "1", "0"},  {orders, "e", "0", "1"},      {"Alpha", "f", "5", "0"},
                       {items, "g", "0", "0"},  {xfile, "h", "0", "0"},       {orders, "i", "0", "0"},
                       {"XRAY", "j", "", ""},   {pad("orders"), "k", "X", ""}};
    setRows(keys(), grid);
    w().keys().SortKeyGrid();
    QStringList fields;
    for (int r = 0; r < keys()->RowCount(); ++r)
        fields << keys()->Cells(1, r);
    // XRAY names no table (id 0), so it precedes X$FILE (1); a number beginning with "X" puts
    // its row ahead of the other tables; Alpha (no table, 0) precedes ITEMS (5) and ORDERS (7);
    // rows without a table last, in their order.
    EXPECT_EQ(fields,
              (QStringList{"Xi$Field", "j", "h", "d", "k", "f", "g", "c", "i", "e", "b", "orphan", ""}));
}

TEST_F(KeysPageRules, theTableFilterKeepsRowsOfExactlyItsTextAndAddKeyAppendsOneOfThem)
{
    const Rows all = {{pad("ITEMS"), pad("Code"), "0", "0", "1"},
                      {pad("ORDERS"), pad("Number"), "0", "0", "2"},
                      {pad("orders"), pad("Date"), "1", "0", "0"},
                      {pad("ORDERS"), pad("Customer"), "1", "0", "3"}};
    setRows(keys(), all);
    w().keys().AddKey->click();
    EXPECT_EQ(keys()->RowCount(), 6) << "Add Key without a filter adds nothing";
    const auto filter = [&](const QString& text) {
        w().keys().IndexFilter->setEditText(text);
        w().keys().IndexFilterChange();
    };
    filter(pad("ORDERS"));
    EXPECT_EQ(rows(keys()), (Rows{kTitles, all[1], all[3], kEmpty}));
    filter(QStringLiteral("ORDERS")); // the same name without its blanks
    EXPECT_EQ(rows(keys()), (Rows{kTitles, all[1], all[3], kEmpty}));
    EXPECT_EQ(w().keys().HiddenKeyRows.size(), 2);
    filter(QStringLiteral("ORDER")); // part of a name names no table: nothing hidden
    EXPECT_EQ(rows(keys()), (Rows{kTitles, all[0], all[1], all[3], all[2], kEmpty}));
    EXPECT_TRUE(w().keys().HiddenKeyRows.isEmpty());

    filter(QString()); // all back, sorted; "orders" finds ORDERS' id too
    EXPECT_EQ(rows(keys()), (Rows{kTitles, all[0], all[1], all[3], all[2], kEmpty}));
    w().keys().IndexFilter->setEditText(pad("ITEMS"));
    w().keys().AddKey->click();
    EXPECT_EQ(keys()->rowCells(5), (QStringList{pad("ITEMS"), "0", "0", "0", "0"})) << "unsorted";
    EXPECT_EQ(keys()->RowCount(), 7);
}

TEST_F(KeysPageRules, eachKeyFlagBoxChangesOnlyItsOwnBitAndTheBoxesShowTheRow)
{
    const struct {
        const char* flags;
        int box;
        const char* after;
    } cases[] = {{"0", 0, "1"},     {"2047", 4, "2031"}, {"16", 4, "0"}, {"32", 5, "0"},
                 {"1024", 10, "0"}, {"403", 8, "147"},   {"", 6, "64"},  {"-32768", 10, "-31744"}};
    const QList<TVarCheckBox*> boxes = w().keys().keyFlagBoxes();
    for (const auto& c : cases) {
        setRows(keys(), {{pad("ORDERS"), pad("Number"), "0", "0", c.flags}});
        boxes[c.box]->setChecked(false);
        type(1, 4, QString::fromLatin1(c.flags));
        for (int bit = 0; bit < 11 && *c.flags; ++bit)
            EXPECT_EQ(boxes[bit]->isChecked(), (QString::fromLatin1(c.flags).toInt() >> bit) & 1) << c.flags;
        boxes[c.box]->click();
        EXPECT_EQ(keys()->Cells(4, 1), QString::fromLatin1(c.after)) << c.flags << " box " << c.box;
    }
}

TEST_F(KeysPageRules, aFieldChosenTakesKeyNumberPartAndFlagsFromTheAddedFilesSegments)
{
    // ORDERS (7) read with Add: key 0 of two segments (Number, Customer), key 1 on Date, key 2
    // on Number again. ITEMS (5) has an entry without keys.
    QByteArray stat(1920, '\0');
    const int spec[][3] = {{48, 1024, 3}, {1, 4, 16 + 3}, {5, 30, 3}, {45, 4, 0x102}, {1, 4, 0x104}};
    for (int s = 0; s < 5; ++s)
        for (int v = 0; v < 3; ++v) {
            stat[16 * s + 2 * v] = char(spec[s][v] & 0xFF);
            stat[16 * s + 2 * v + 1] = char(spec[s][v] >> 8);
        }
    w().FileStatList = {{5, QByteArray(1920, '\0')}, {7, stat}};
    setRows(keys(), {{pad("ORDERS"), "", "9", "9", "9"}, {pad("ITEMS"), "", "9", "9", "9"}});
    const struct {
        int row;
        QString field;
        QStringList after;
    } choices[] = {
        {1, pad("Customer"), {pad("ORDERS"), pad("Customer"), "0", "1", "3"}}, // second segment: part 1
        {1, pad("number"), {pad("ORDERS"), pad("Number"), "2", "0", "260"}},   // the last match wins
        {1, pad("Date"), {pad("ORDERS"), pad("Date"), "1", "0", "258"}},
        {1, "Nothing", {pad("ORDERS"), "Nothing", "1", "0", "258"}},  // no such field: the name only
        {2, pad("Code"), {pad("ITEMS"), pad("Code"), "9", "9", "9"}}, // no keys in its entry
    };
    for (const auto& c : choices) {
        keys()->setRow(c.row);
        w().keys().KeyGridMouseUp();
        const int item = w().keys().ChooseField->findText(c.field, Qt::MatchFixedString);
        if (item >= 0) { // chosen from the list
            w().keys().ChooseField->setCurrentIndex(item);
            emit w().keys().ChooseField->activated(item);
        } else { // typed
            w().keys().ChooseField->setEditText(c.field);
            emit w().keys().ChooseField->lineEdit()->textEdited(c.field);
        }
        EXPECT_EQ(keys()->rowCells(c.row), c.after) << c.field.toStdString();
    }
}

TEST_F(KeysPageRules, realKeystrokesInTheEntryRowCommitTheRowWhenTheNameIsComplete)
{
    typeKeys(keys(), 1, 0, QStringLiteral("items"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(rows(keys()), (Rows{kTitles, {pad("items"), "", "0", "0", "0"}, kEmpty}));
    EXPECT_EQ(items(w().keys().ChooseField), QStringList{pad("Code")});
    EXPECT_TRUE(mMessages.empty());
}

} // namespace
