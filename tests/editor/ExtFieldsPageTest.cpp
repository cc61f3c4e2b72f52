// The ExtFields page: its entry, removal, sort and filter rules on grids filled directly, and
// FIELDEXT.DDF written by Build and read back by Open through the embedded record manager.
#include "../dictionary/Bytes.h"
#include "CreationSpecs.h"
#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "DictionaryOnDisk.h"

#include <algorithm>

namespace {

using namespace grid;

QString pad(const char* name)
{
    return padName(QString::fromLatin1(name));
}

struct Table {
    int id;
    const char* name;
};
struct Field {
    int id, file;
    std::string name;
};

const std::vector<Table> kTables = {
    {1, "X$FILE"}, {5, "Customers"}, {7, "Orders"}, {9, "Xtra"}, {4, "Stock"}};
const std::vector<Field> kFields = {{20, 5, "Name"},  {21, 5, "Date"}, {30, 7, "Date"},
                                    {31, 7, "Total"}, {40, 9, "Code"}, {50, 4, "Qty"}};

class ExtFieldsPage : public DictionaryOnDisk {
protected:
    void SetUp() override
    {
        DictionaryOnDisk::SetUp();
        fill();
    }
    // The Files and Fields grids as their pages' Open would leave them.
    void fill(const std::vector<Table>& tables = kTables, const std::vector<Field>& fields = kFields)
    {
        w().FileGrid->setRowCount(int(tables.size()) + 2);
        for (int i = 0; i < int(tables.size()); ++i)
            w().FileGrid->setRowText(
                i + 1, QStringLiteral("%1\n%2\n\n0").arg(tables[i].id).arg(pad(tables[i].name)));
        w().FieldGrid->setRowCount(int(fields.size()) + 2);
        for (int i = 0; i < int(fields.size()); ++i)
            w().FieldGrid->setRowText(i + 1, QStringLiteral("%1\n%2\n%3\n0\n0\n2\n0\n0")
                                                 .arg(fields[i].id)
                                                 .arg(fields[i].file)
                                                 .arg(padName(QString::fromStdString(fields[i].name))));
        w().FileGrid->Tag = w().FieldGrid->Tag = 1;
    }
    TVarGrid* ext() { return w().extFields().ExtGrid; }
    void typeExt(int row, int col, const QString& text)
    {
        ext()->setRow(row);
        ext()->setCells(col, row, text);
        w().extFields().ExtGridKeyUp(Qt::Key_A);
    }
    // A choice in a list, as the user makes it.
    void pick(QComboBox* box, const QString& item)
    {
        const int index = box->findText(item);
        ASSERT_GE(index, 0) << item.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    // Rows put straight into the grid after the title row, then the entry row.
    // Rows as an Open would leave them: the page then holds a dictionary (its loaded mark).
    void setExtRows(const std::vector<QStringList>& rows)
    {
        w().extFields().page().show(rows);
        ext()->Tag = 1;
    }
    std::vector<QStringList> extRows() { return rows(ext()); }
};

const QStringList kTitle = {"Xx$File", "Xx$Id", "Xx$DataType"};
const QStringList kEntry = {"", "", ""};

TEST_F(ExtFieldsPage, aTableOfTheFilesGridCommitsTheEntryRowPaddedWithCode0AndSorted)
{
    struct Step {
        bool chosen;
        const char* text;
        bool commits;
    };
    const Step steps[] = {{true, "Orders", true},
                          {false, "Nope", false},
                          {false, "stock", true},
                          {true, "Xtra", true},
                          {true, "Customers", true}};
    for (const Step& s : steps) {
        const int entry = ext()->RowCount() - 1;
        ext()->setRow(entry);
        w().extFields().ExtGridMouseUp();
        if (s.chosen)
            pick(w().extFields().ChooseFiles, pad(s.text));
        else
            typeExt(entry, kExtFile, QString::fromLatin1(s.text));
        EXPECT_EQ(ext()->RowCount(), entry + 1 + int(s.commits)) << s.text;
        if (!s.commits)
            ext()->setCells(kExtFile, entry, QString());
    }
    EXPECT_EQ(extRows(), (std::vector<QStringList>{kTitle,
                                                   {pad("Xtra"), "", "0"},
                                                   {pad("stock"), "", "0"},
                                                   {pad("Customers"), "", "0"},
                                                   {pad("Orders"), "", "0"},
                                                   kEntry}));
}

// The Field list offers the fields of the current row's table; a row without a table, none
// (not those of the row shown before).
TEST_F(ExtFieldsPage, theFieldListFollowsTheRowsTableAndIsEmptyForARowWithoutOne)
{
    setExtRows({{pad("Customers"), pad("Name"), "228"}});
    typeExt(1, kExtFile, pad("Customers"));
    ASSERT_EQ(w().extFields().ChooseExtField->count(), 2);
    EXPECT_EQ(w().extFields().ChooseExtField->itemText(1).trimmed(), "Date");
    ext()->setRow(entryRow(ext()));
    w().extFields().ExtGridKeyUp(Qt::Key_Down);
    EXPECT_EQ(w().extFields().ChooseExtField->count(), 0);
}

TEST_F(ExtFieldsPage, aRowGoesOnlyWhenBothItsNamesAreEmpty)
{
    struct Case {
        const char* what;
        int row;
        bool emptyFile, emptyField, deleteButton;
        int rowsAfter;
    };
    const Case cases[] = {{"both emptied", 1, true, true, false, 3},
                          {"table only", 1, true, false, false, 4},
                          {"field only", 1, false, true, false, 4},
                          {"Delete Field", 2, false, false, true, 3},
                          {"Delete Field on the entry row", 3, false, false, true, 4}};
    for (const Case& c : cases) {
        setExtRows({{pad("Customers"), pad("Date"), "228"}, {pad("Orders"), pad("Date"), "229"}});
        ext()->setRow(c.row);
        if (c.deleteButton)
            w().extFields().DeleteExt->click();
        else {
            if (c.emptyFile)
                ext()->setCells(kExtFile, c.row, QString());
            typeExt(c.row, kExtField, c.emptyField ? QString() : pad("Date"));
        }
        EXPECT_EQ(ext()->RowCount(), c.rowsAfter) << c.what;
        EXPECT_EQ(ext()->rowCells(0), kTitle) << c.what;
    }
}

TEST_F(ExtFieldsPage, sortPutsTheTitleThenXTablesThenTheOthersByIdAndKeepsEachTablesOrder)
{
    fill({{-3, "Xneg"}, {5, "Customers"}, {7, "Orders"}, {9, "Xtra"}, {4, "Stock"}}, kFields);
    setExtRows({{pad("Orders"), "b", "1"},
                {pad("Customers"), "", "2"},
                {"", "orphan", "3"},
                {pad("Xtra"), "", "4"},
                {pad("Orders"), "a", "5"},
                {pad("Ghost"), "", "6"},
                {pad("Xneg"), "", "7"},
                {pad("Stock"), "", "8"}});
    w().extFields().SortExtGrid();
    QStringList codes;
    for (const QStringList& row : extRows())
        codes << row[kExtDataType];
    EXPECT_EQ(codes, (QStringList{"Xx$DataType", "7", "4", "6", "8", "2", "1", "5", "3", ""}));
}

TEST_F(ExtFieldsPage, theFileFilterShowsOneTableAndBuildWritesAndShowsEveryRow)
{
    setExtRows({{pad("Customers"), pad("Name"), "228"},
                {pad("Orders"), pad("Date"), "229"},
                {pad("Customers"), pad("Date"), "230"},
                {pad("Stock"), pad("Qty"), "231"}});
    w().extFields().ExtGridMouseUp();
    // The list offers the names without their padding blanks.
    pick(w().extFields().ExtFileFilter, QStringLiteral("Customers"));
    EXPECT_EQ(ext()->RowCount(), 4);
    pick(w().extFields().ExtFileFilter, QStringLiteral("Orders"));
    EXPECT_EQ(extRows(), (std::vector<QStringList>{kTitle, {pad("Orders"), pad("Date"), "229"}, kEntry}));
    EXPECT_EQ(w().extFields().HiddenExtRows.size(), 3);

    w().extFields().BuildFieldExtDDF->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(ext()->RowCount(), 6);
    EXPECT_TRUE(w().extFields().HiddenExtRows.isEmpty());
    EXPECT_EQ(readThroughRecordManager("FIELDEXT.DDF").records.size(), 4u);
}

QByteArray extRecord(int file, int field, int code)
{
    testbytes::Bytes b;
    b.u16(unsigned(file)).u16(unsigned(field)).u16(unsigned(code));
    return QByteArray(reinterpret_cast<const char*>(b.get().data()), 6);
}

TEST_F(ExtFieldsPage, openShowsNamesForIdsAndAnEmptyCellForAnIdNoGridHolds)
{
    const std::vector<QByteArray> records = {extRecord(5, 21, 228), extRecord(7, 30, 255),
                                             extRecord(66, 31, 233), extRecord(9, 999, 244)};
    ASSERT_EQ(createThroughRecordManager("FIELDEXT.DDF", dict::creationSpec(dict::DictFile::FieldExt).bytes,
                                         records),
              0);
    w().CheckDictionaryFiles();
    w().FieldGrid->Tag = 0;
    w().extFields().OpenFieldExtDDF->click();
    EXPECT_EQ(ext()->RowCount(), 2) << "the Fields grid is not loaded";
    w().FieldGrid->Tag = 1;
    w().extFields().HiddenExtRows =
        QStringList{pad("Stock") + "\n" + pad("Qty") + "\n228"}; // of the grid shown before
    w().extFields().OpenFieldExtDDF->click();
    EXPECT_TRUE(w().extFields().HiddenExtRows.isEmpty());
    EXPECT_EQ(extRows(), (std::vector<QStringList>{kTitle,
                                                   {pad("Customers"), pad("Date"), "228"},
                                                   {pad("Orders"), pad("Date"), "255"},
                                                   {pad("Xtra"), "", "244"},
                                                   {"", pad("Total"), "233"},
                                                   kEntry}));
}

// Several tables, more rows than the old 128-record array, every extended code, and two
// tables with a field "Date" each: Build then Open gives the grid back.
TEST_F(ExtFieldsPage, buildThenOpenRoundTripsManyRowsWithEachFieldResolvedInItsOwnTable)
{
    std::vector<Field> fields = kFields;
    for (int i = 0; i < 150; ++i)
        for (int table : {4, 7})
            fields.push_back({1000 + 2 * i + (table == 7), table, "F" + std::to_string(i)});
    fill(kTables, fields);
    std::vector<QStringList> grid;
    std::vector<QByteArray> expected;
    for (const Field& f : fields) {
        const int code = dict::extendedPositionToCode(f.id % 23);
        const auto table =
            std::find_if(kTables.begin(), kTables.end(), [&](const Table& t) { return t.id == f.file; });
        grid.push_back({pad(table->name), padName(QString::fromStdString(f.name)), QString::number(code)});
        expected.push_back(extRecord(f.file, f.id, code));
    }
    setExtRows(grid);
    w().extFields().SortExtGrid();
    const std::vector<QStringList> built = extRows();
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_TRUE(mMessages.empty());

    const FileContents file = readThroughRecordManager("FIELDEXT.DDF");
    std::sort(expected.begin(), expected.end(), [](const QByteArray& a, const QByteArray& b) {
        return std::pair(uint16_t(uint8_t(a[0]) | uint8_t(a[1]) << 8),
                         uint16_t(uint8_t(a[2]) | uint8_t(a[3]) << 8)) <
               std::pair(uint16_t(uint8_t(b[0]) | uint8_t(b[1]) << 8),
                         uint16_t(uint8_t(b[2]) | uint8_t(b[3]) << 8));
    });
    EXPECT_EQ(file.records, expected);
    QByteArray stat(reinterpret_cast<const char*>(dict::creationSpec(dict::DictFile::FieldExt).bytes.data()),
                    48);
    EXPECT_EQ(file.stat.left(4), stat.left(4)) << "record length and page size";
    EXPECT_EQ(file.stat.mid(4, 2), stat.mid(4, 2)) << "one key";
    EXPECT_EQ(file.stat.mid(6, 4), extRecord(int(expected.size()), 0, 0).left(4)) << "record count";
    for (int s = 0; s < 2; ++s)
        EXPECT_EQ(file.stat.mid(16 + 16 * s, 6) + file.stat[16 + 16 * s + 10],
                  stat.mid(16 + 16 * s, 6) + stat[16 + 16 * s + 10])
            << "segment " << s << ": position, length, flags, extended type";

    setExtRows({});
    w().extFields().OpenFieldExtDDF->click();
    w().extFields().SortExtGrid();
    EXPECT_EQ(extRows(), built);
}

TEST_F(ExtFieldsPage, everyRowThatCannotBeWrittenStopsTheBuildNamingItsCell)
{
    // The Fields page's Table Filter shows Orders only: Customers' fields are still found.
    w().HiddenFieldRows = QStringList{w().FieldGrid->rowText(1), w().FieldGrid->rowText(2)};
    w().FieldGrid->deleteRow(1);
    w().FieldGrid->deleteRow(1);
    setExtRows({{pad("Orders"), pad("Date"), "228"},
                {pad("Orders"), pad("Name"), "229"},
                {pad("Ghost"), pad("Date"), "231"}});
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList("Nothing was written; 2 cells cannot be stored:\n"
                          "FIELDEXT.DDF, row 2, column Xx$Id: 'Name' is not a field of table 'Orders'\n"
                          "FIELDEXT.DDF, row 3, column Xx$File: table 'Ghost' is not in the Files grid."));
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELDEXT.DDF")));

    mMessages.clear();
    setExtRows({{pad("Orders"), pad("Date"), "228"},
                {pad("Orders"), pad("date"), "230"},
                {pad("Customers"), pad("Date"), "232"}});
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_EQ(
        messages(QMessageBox::Critical),
        QStringList("FIELDEXT.DDF was not written: row 2, column Xx$Id: the same Xx$File and Xx$Id as row 1 "
                    "('date'), and key 0 of the file takes no duplicate values."));
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELDEXT.DDF")));
}

class ABadDataType : public ExtFieldsPage,
                     public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ABadDataType, stopsTheBuildAndLeavesTheOldFileByteForByte)
{
    const QByteArray old("an existing FIELDEXT.DDF\0\1", 26);
    writeBytes(QStringLiteral("FIELDEXT.DDF"), old);
    setExtRows({{pad("Orders"), pad("Date"), "228"},
                {pad("Customers"), pad("Date"), QString::fromLatin1(GetParam().first)}});
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_EQ(fileBytes(QStringLiteral("FIELDEXT.DDF")), old);
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList(QStringLiteral("FIELDEXT.DDF was not written: row 2, column Xx$DataType: %1.")
                              .arg(QString::fromLatin1(GetParam().second))));
}

INSTANTIATE_TEST_SUITE_P(ExtFieldsPage, ABadDataType,
                         ::testing::Values(std::pair("abc", "'abc' is not a valid integer value"),
                                           std::pair("", "'' is not a valid integer value"),
                                           std::pair("40000", "40000 is outside -32768..32767"),
                                           std::pair("-32769", "-32769 is outside -32768..32767")));

TEST_F(ExtFieldsPage, typedKeysCommitATableAndTheListsFollowTheRow)
{
    w().PageControl->setCurrentWidget(&w().extFields());
    typeKeys(ext(), 1, kExtFile, QStringLiteral("Orders"));
    EXPECT_EQ(ext()->RowCount(), 3);
    EXPECT_EQ(ext()->rowCells(1), (QStringList{pad("Orders"), "", "0"}));
    ext()->setRow(1);
    w().extFields().ExtGridMouseUp();
    pick(w().extFields().ChooseExtField, pad("Total"));
    pick(w().extFields().ExtType, QStringLiteral("DelphiReal"));
    EXPECT_EQ(ext()->rowCells(1), (QStringList{pad("Orders"), pad("Total"), "255"}));
    EXPECT_EQ(w().extFields().ChooseExtField->count(), 2) << "the fields of Orders only";
}

QByteArray bytesOf(const testbytes::Bytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.get().data()), qsizetype(b.get().size()));
}

TEST_F(ExtFieldsPage, openDdfsReadsThisPageLastThroughTheGridsReadBefore)
{
    std::vector<QByteArray> files, fields;
    for (const Table& t : kTables)
        files.push_back(bytesOf(
            testbytes::Bytes().u16(unsigned(t.id)).text(t.name, 20).text("", 64).u8(0).fill(' ', 10)));
    for (const Field& f : kFields)
        fields.push_back(bytesOf(testbytes::Bytes()
                                     .u16(unsigned(f.id))
                                     .u16(unsigned(f.file))
                                     .text(f.name, 20)
                                     .u8(0)
                                     .u16(0)
                                     .u16(2)
                                     .u8(0)
                                     .u16(0)));
    using dict::DictFile;
    ASSERT_EQ(createThroughRecordManager("FILE.DDF", dict::creationSpec(DictFile::File).bytes, files), 0);
    ASSERT_EQ(createThroughRecordManager("FIELD.DDF", dict::creationSpec(DictFile::Field).bytes, fields), 0);
    ASSERT_EQ(createThroughRecordManager("INDEX.DDF", dict::creationSpec(DictFile::Index).bytes, {}), 0);
    ASSERT_EQ(createThroughRecordManager("FieldExt.ddf", dict::creationSpec(DictFile::FieldExt).bytes,
                                         {extRecord(4, 50, 242), extRecord(7, 31, 254)}),
              0);
    restart();
    fill(); // what the Fields page's Open gives
    const std::vector<QStringList> fieldRows = rows(w().FieldGrid);
    ASSERT_TRUE(w().OpenFile->isEnabled() && w().extFields().OpenFieldExtDDF->isEnabled());
    TMain::ChoiceHook = [](const QString&, const QStringList&) { return QStringLiteral("Discard"); };
    w().OpenFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(w().FileGrid->RowCount(), int(kTables.size()) + 2);
    EXPECT_EQ(rows(w().FieldGrid), fieldRows);
    EXPECT_EQ(extRows(),
              (std::vector<QStringList>{
                  kTitle, {pad("Stock"), pad("Qty"), "242"}, {pad("Orders"), pad("Total"), "254"}, kEntry}));
}

// The whole way a user goes: New DDFs, an extended type for one of the dictionary's own fields
// chosen from the lists, Build DDFs, and Open DDFs in the next run.
TEST_F(ExtFieldsPage, anExtendedTypeChosenAfterNewDdfsComesBackThroughBuildDdfsAndOpenDdfs)
{
    restart();
    w().ClearFile->click();
    w().PageControl->setCurrentWidget(&w().extFields());
    pick(w().extFields().ChooseFiles, pad("X$FIELD"));
    w().extFields().ExtGridMouseUp();
    pick(w().extFields().ChooseExtField, pad("Xe$Name"));
    pick(w().extFields().ExtType, QStringLiteral("YMD"));
    w().BuildFile->click();
    EXPECT_TRUE(mMessages.empty());
    restart();
    w().OpenFile->click();
    EXPECT_EQ(extRows(), (std::vector<QStringList>{kTitle, {pad("X$FIELD"), pad("Xe$Name"), "242"}, kEntry}));
}

} // namespace
