// "Add Record" on the Fields page, driven as a user does: a Pascal source chosen in the file
// list and scanned with "Find Records" (the mapping of tests/data/pascal/mapping.rec), a table
// picked in the Table Filter, a record picked in "Record", then "Add Record".
#include "WindowFixture.h"

#include <filesystem>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(QUILLAN_TEST_DATA) / "pascal";
const QStringList kEmptyField(8, QString());
const QStringList kEmptyExt(3, QString());

QString padded(const char* name)
{
    return QString::fromLatin1(name).leftJustified(20);
}

class RecordImport : public WindowFixture {
protected:
    void SetUp() override
    {
        fs::copy_file(kCases / "mapping.rec", mDir.path() / "Quillan.rec");
        writeSource("three.pas", "type\n  TThree = record\n    Abc: Integer;\n"
                                 "    TwentyFiveCharactersLongX: Byte;\n    Born: TDate;\n  end;\n");
        WindowFixture::SetUp();

        // The tables ORDERS (id 7) and PARTS (id 9); fields 1 to 12, the last three of PARTS.
        w().ClearFileDDFClick();
        for (const auto& [id, name] : {std::pair{"7", "ORDERS"}, std::pair{"9", "PARTS"}}) {
            const int row = grid()->RowCount() - 1;
            grid()->setCells(1, row, QString::fromLatin1(name));
            type(row, 0, QString::fromLatin1(id));
        }
        fields()->setRowCount(14);
        for (int id = 1; id <= 12; ++id)
            fields()->setRowText(id,
                                 QStringLiteral("%1\n%2\nF%1\n1\n0\n2\n0\n0").arg(id).arg(id > 9 ? 9 : 7));
    }

    TVarGrid* fields() { return w().FieldGrid; }
    TVarGrid* exts() { return w().extFields().ExtGrid; }

    void writeSource(const char* name, const QByteArray& text)
    {
        QFile file(path(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // Copies a case's source from tests/data/pascal as "<case>.pas".
    void copyCase(const char* name)
    {
        fs::copy_file(kCases / name / "input.pas", mDir.path() / (std::string(name) + ".pas"));
    }
    void scan(const QString& name)
    {
        w().FileListBox->setMask(QStringLiteral("*.*"));
        const auto items = w().FileListBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        w().FileListBox->setCurrentItem(items.first());
        emit w().FileListBox->mouseUp();
        w().utils().Search->click();
    }
    // The user picks or types a Table Filter text.
    void filter(const QString& text)
    {
        w().FileFilter->setEditText(text);
        w().FileFilterChange();
    }
    void pickRecord(int index)
    {
        w().NameRec->setCurrentIndex(index);
        emit w().NameRec->activated(index);
    }
    // The rows from `first` to the end, the entry row included.
    std::vector<QStringList> rowsFrom(const TVarGrid* g, int first)
    {
        std::vector<QStringList> all = rows(g);
        return {all.begin() + first, all.end()};
    }
};

TEST_F(RecordImport, idsFollowTheHighestFieldIdAndNamesArePaddedToTwenty)
{
    scan(QStringLiteral("three.pas"));
    filter(padded("ORDERS"));
    ASSERT_EQ(w().HighestFieldId, 12);
    EXPECT_TRUE(w().AddField->isEnabled()) << "the record the list shows after the scan can be added";
    pickRecord(0);
    ASSERT_TRUE(w().AddField->isEnabled());
    w().AddField->click();

    // After the end of ORDERS' fields (offset 0, size 2).
    const std::vector<QStringList> added{
        {"13", "7", padded("Abc"), "1", "2", "4", "0", "0"},
        {"14", "7", "TwentyFiveCharactersLongX", "14", "6", "1", "0", "0"},
        {"15", "7", padded("Born"), "228", "7", "4", "0", "0"},
        kEmptyField,
    };
    EXPECT_EQ(rowsFrom(fields(), 10), added) << "after the nine ORDERS rows";
    EXPECT_EQ(w().HighestFieldId, 15);
    EXPECT_EQ(rowsFrom(exts(), 1),
              (std::vector<QStringList>{{padded("ORDERS"), padded("Born"), "228"}, kEmptyExt}));
}

// Every way a scanned Btrieve type name becomes a code: standard names keep their position,
// extended ones (LongDate, VBCurrency) get their extended code and an ExtFields row, and an
// unticked or unknown Pascal type (empty Btrieve type) gets 99 with offset and size 0.
TEST_F(RecordImport, eachFieldGetsTheCodeOfItsBtrieveType)
{
    copyCase("unticked-types");
    scan(QStringLiteral("unticked-types.pas"));
    filter(padded("parts")); // letter case ignored
    pickRecord(0);
    w().AddField->click();

    struct Case {
        const char* name;
        const char* code;
        const char* offset;
        const char* size;
    };
    // Offsets after the end of PARTS' fields (offset 0, size 2).
    const Case cases[] = {
        {"A", "99", "2", "0"},   // Cardinal, not ticked
        {"B", "1", "2", "4"},    // Integer
        {"C", "99", "2", "0"},   // Single, not ticked
        {"D", "99", "2", "0"},   // TUnknown
        {"E", "14", "6", "1"},   // Byte -> Unsigned
        {"F", "228", "7", "4"},  // TDate -> LongDate
        {"G", "254", "11", "8"}, // Currency -> VBCurrency
        {"H", "2", "19", "8"},   // Double -> Float
    };
    std::vector<QStringList> expected;
    int id = 13;
    for (const Case& c : cases)
        expected.push_back({QString::number(id++), "9", padded(c.name), c.code, c.offset, c.size, "0", "0"});
    expected.push_back(kEmptyField);
    EXPECT_EQ(rowsFrom(fields(), 4), expected) << "after PARTS' own fields 10 to 12";

    const QString table = padded("PARTS"); // as the Files grid names it
    EXPECT_EQ(rowsFrom(exts(), 1), (std::vector<QStringList>{
                                       {table, padded("F"), "228"}, {table, padded("G"), "254"}, kEmptyExt}));
}

TEST_F(RecordImport, intoATableWithFieldsTheRecordGoesAfterTheirHighestEndAndTheUserIsTold)
{
    scan(QStringLiteral("three.pas"));
    fields()->setCells(grid::kFieldOffset, 3, QStringLiteral("30")); // ORDERS' field 3 ends at 34
    fields()->setCells(grid::kFieldSize, 3, QStringLiteral("4"));
    fields()->setCells(grid::kFieldOffset, 12, QStringLiteral("100")); // PARTS' ends at 108
    fields()->setCells(grid::kFieldSize, 12, QStringLiteral("8"));
    filter(padded("ORDERS"));
    pickRecord(0);
    const auto offsetsAdded = [&] {
        QStringList offsets;
        for (int row = fields()->RowCount() - 4; row < fields()->RowCount() - 1; ++row)
            offsets << fields()->Cells(grid::kFieldOffset, row);
        return offsets;
    };
    w().AddField->click();
    EXPECT_EQ(offsetsAdded(), (QStringList{"34", "38", "39"}));
    const QString told =
        QStringLiteral("Table ORDERS already has fields: the fields of record %1 were added after "
                       "them, from offset %2.");
    EXPECT_EQ(allMessages(), QStringList(told.arg(w().NameRec->currentText()).arg(34)));
    w().AddField->click(); // after the record just added, which ends at 43
    EXPECT_EQ(offsetsAdded(), (QStringList{"43", "47", "48"}));

    // A table without fields gets the record's own offsets, and no word.
    mMessages.clear();
    const int row = grid()->RowCount() - 1;
    grid()->setCells(1, row, QStringLiteral("EMPTY"));
    type(row, 0, QStringLiteral("5"));
    filter(padded("EMPTY"));
    w().AddField->click();
    EXPECT_EQ(offsetsAdded(), (QStringList{"0", "4", "5"}));
    EXPECT_EQ(allMessages(), QStringList());
}

TEST_F(RecordImport, theFieldsBelongToTheTableTheFilterNames)
{
    scan(QStringLiteral("three.pas"));
    pickRecord(0);
    struct Case {
        QString filter;
        QString file;  // Xe$File of the new rows
        QString table; // the ExtFields rows' table: as the Files grid names it, else as typed
    };
    const Case cases[] = {
        {padded("PARTS"), "9", padded("PARTS")},
        {padded("Orders"), "7", padded("ORDERS")},
        {QStringLiteral("ORDERS"), "7", padded("ORDERS")}, // the same name without its padding
        {QStringLiteral("Nowhere"), "-1", QStringLiteral("Nowhere")},
    };
    for (const Case& c : cases) {
        filter(c.filter);
        w().AddField->click();
        const int last = fields()->RowCount() - 1;
        for (int row = last - 3; row < last; ++row)
            EXPECT_EQ(fields()->Cells(1, row), c.file) << c.filter.toStdString();
        EXPECT_EQ(exts()->rowCells(exts()->RowCount() - 2), (QStringList{c.table, padded("Born"), "228"}));
    }
    EXPECT_EQ(w().HighestFieldId, 24);
}

TEST_F(RecordImport, withoutATableARecordOrANumericTableIdNothingIsAdded)
{
    scan(QStringLiteral("three.pas"));
    filter(padded("ORDERS"));
    grid()->setCells(0, grid()->RowCount() - 2, QStringLiteral("9x")); // PARTS' id edited
    const auto fieldRows = rows(fields());
    const auto extRows = rows(exts());

    struct Case {
        QString filter;
        int record;
        QString error;
    };
    const Case cases[] = {
        {QString(), 0, {}},
        {padded("PARTS"), 0, QStringLiteral("'9x' is not a valid integer value.")},
        {padded("ORDERS"), -1, {}},
    };
    for (const Case& c : cases) {
        mMessages.clear();
        w().FileFilter->setEditText(c.filter);
        pickRecord(c.record);
        w().guarded([&] { w().AddFieldClick(); });
        EXPECT_EQ(messages(QMessageBox::Critical), c.error.isEmpty() ? QStringList() : QStringList{c.error});
        EXPECT_EQ(rows(fields()), fieldRows) << c.filter.toStdString() << c.record;
        EXPECT_EQ(rows(exts()), extRows);
        EXPECT_EQ(w().HighestFieldId, 12);
    }
    EXPECT_FALSE(w().AddField->isEnabled()) << "nothing picked in Record";
}

// A scan that stops at an error leaves "Record" with the last complete scan's records while the
// Record List holds what the failed one found: Add Record adds the record "Record" shows.
TEST_F(RecordImport, afterAScanThatStoppedAddRecordAddsTheRecordThatRecordShows)
{
    copyCase("unticked-types");
    copyCase("bound-not-a-number");
    scan(QStringLiteral("unticked-types.pas"));
    scan(QStringLiteral("bound-not-a-number.pas"));
    ASSERT_EQ(messages(QMessageBox::Critical), QStringList{"'MaxLen' is not a valid integer value."});
    ASSERT_EQ(w().utils().FindRecord->item(0)->text(), "TGood");
    ASSERT_EQ(w().NameRec->itemText(0), "TMixed");

    filter(padded("ORDERS"));
    pickRecord(0);
    w().AddField->click();
    QStringList names;
    for (int row = 10; row < fields()->RowCount() - 1; ++row)
        names << fields()->Cells(2, row).trimmed();
    EXPECT_EQ(names, QStringList({"A", "B", "C", "D", "E", "F", "G", "H"}));
}

} // namespace
