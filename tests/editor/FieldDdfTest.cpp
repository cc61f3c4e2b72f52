// FIELD.DDF on disk through the whole-set buttons and the Fields page: what New and Build write,
// what Open shows, a round trip of a large dictionary, the rows the Table Filter hides, and the
// cells and rows that FIELD.DDF cannot take.
#include "../dictionary/Bytes.h"
#include "CreationSpecs.h"
#include "DictionaryOnDisk.h"

#include <QTest>

#include <algorithm>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;

struct Field {
    int id, file;
    std::string name;
    unsigned type;
    int offset, size;
    unsigned dec;
    int flag;
};

QByteArray fieldRecord(const Field& f)
{
    testbytes::Bytes b;
    b.u16(unsigned(f.id)).u16(unsigned(f.file)).text(f.name, 20).u8(f.type);
    b.u16(unsigned(f.offset)).u16(unsigned(f.size)).u8(f.dec).u16(unsigned(f.flag));
    return QByteArray(reinterpret_cast<const char*>(b.get().data()), qsizetype(b.get().size()));
}

QStringList gridRow(const Field& f)
{
    return {QString::number(int16_t(f.id)),
            QString::number(int16_t(f.file)),
            QString::fromLatin1(f.name.data(), qsizetype(f.name.size())).leftJustified(20),
            QString::number(f.type),
            QString::number(int16_t(f.offset)),
            QString::number(int16_t(f.size)),
            QString::number(f.dec),
            QString::number(int16_t(f.flag))};
}

const QStringList kTitles{"Xe$Id",     "Xe$File", "Xe$Name", "Xe$DataType",
                          "Xe$Offset", "Xe$Size", "Xe$Dec",  "Xe$Flag"};
const QStringList kEmpty(8, QString());

const std::vector<Field> kSelfDescription = {
    {1, 1, "Xf$Id", 1, 0, 2, 0, 0},      {2, 1, "Xf$Name", 0, 2, 20, 0, 0},
    {3, 1, "Xf$Loc", 0, 22, 64, 0, 0},   {4, 1, "Xf$Flags", 1, 86, 1, 0, 0},
    {5, 2, "Xe$Id", 1, 0, 2, 0, 0},      {6, 2, "Xe$File", 1, 2, 2, 0, 0},
    {7, 2, "Xe$Name", 0, 4, 20, 0, 0},   {8, 2, "Xe$DataType", 1, 24, 1, 0, 0},
    {9, 2, "Xe$Offset", 1, 25, 2, 0, 0}, {10, 2, "Xe$Size", 1, 27, 2, 0, 0},
    {11, 2, "Xe$Dec", 1, 29, 1, 0, 0},   {12, 2, "Xe$Flag", 1, 30, 2, 0, 0},
    {13, 3, "Xi$File", 1, 0, 2, 0, 0},   {14, 3, "Xi$Field", 1, 2, 2, 0, 0},
    {15, 3, "Xi$Number", 1, 4, 2, 0, 0}, {16, 3, "Xi$Part", 1, 6, 2, 0, 0},
    {17, 3, "Xi$Flags", 1, 8, 2, 0, 0},
};

class FieldDdf : public DictionaryOnDisk {
protected:
    TVarGrid* fields() { return w().FieldGrid; }
    std::vector<QByteArray> fieldFile() { return readThroughRecordManager("FIELD.DDF").records; }
    // Puts whole rows in place of the entry row, then a new entry row, as Add Record does.
    void appendRows(const std::vector<QStringList>& rows)
    {
        for (const QStringList& cells : rows) {
            const int row = fields()->RowCount() - 1;
            fields()->setRowText(row, cells.join(QLatin1Char('\n')));
            fields()->setRowCount(row + 2);
        }
    }
    // A new dictionary set built once, so that FILE.DDF and FIELD.DDF exist.
    void builtNewSet()
    {
        w().ClearFile->click();
        w().BuildFile->click();
        ASSERT_TRUE(mMessages.empty());
    }
};

TEST_F(FieldDdf, newThenBuildWritesTheSeventeenSelfDescriptionRecordsAndOpenShowsThemInIdOrder)
{
    builtNewSet();
    std::vector<QByteArray> expected;
    std::vector<QStringList> grid = {kTitles};
    for (const Field& f : kSelfDescription) {
        expected.push_back(fieldRecord(f));
        grid.push_back(gridRow(f));
    }
    grid.push_back(kEmpty);
    const FileContents file = readThroughRecordManager("FIELD.DDF");
    EXPECT_EQ(file.records, expected);
    EXPECT_EQ(file.stat.left(6), QByteArray("\x20\x00\x00\x10\x05\x00", 6)) << "32-byte records, 5 keys";

    // Open shows the records in id order whatever order the grid had when it was built.
    restart();
    w().OpenFile->click();
    for (int row = 1; row <= 8; ++row) {
        const QString text = fields()->rowText(row);
        fields()->setRowText(row, fields()->rowText(18 - row));
        fields()->setRowText(18 - row, text);
    }
    w().BuildFieldDDF->click();
    restart();
    w().OpenFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(rows(fields()), grid);
    EXPECT_EQ(fields()->Tag, 1);
    EXPECT_TRUE(w().keys().OpenKeysDDF->isEnabled());
}

TEST_F(FieldDdf, aDictionaryOfThousandsOfFieldsOpensBuildsBackByteForByteAndOpensAgainIdentical)
{
    builtNewSet();
    // Ids over the whole 16-bit range (key 0 orders them unsigned: negative ids come last),
    // every type, decimals and flags set, Latin-1 names of every length up to 20, offsets over
    // the whole range a Build takes (0 to 32767).
    std::vector<int> ids(3000);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = int(i) * 21 - 32768 + 5;
    ids.back() = 32767;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(11));
    std::vector<Field> all;
    std::vector<QByteArray> records;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::string name =
            "F" + std::to_string(i) + (i % 4 == 0 ? "_\xE9t\xE9\xDF" : "") + std::string(i % 13, 'n');
        name.resize(std::min<std::size_t>(name.size(), 20));
        all.push_back({ids[i], int(i % 250) - 20, name, unsigned(i % 256), int(i * 11 % 32768), int(i % 300),
                       unsigned(i * 3 % 256), int(i * 37 % 65536) - 32768});
        records.push_back(fieldRecord(all.back()));
    }
    ASSERT_EQ(
        createThroughRecordManager("FIELD.DDF", dict::creationSpec(dict::DictFile::Field).bytes, records), 0);
    const std::vector<QByteArray> written = fieldFile();
    ASSERT_EQ(written.size(), all.size());

    std::sort(all.begin(), all.end(),
              [](const Field& a, const Field& b) { return uint16_t(a.id) < uint16_t(b.id); });
    std::vector<QStringList> expected = {kTitles};
    for (const Field& f : all)
        expected.push_back(gridRow(f));
    expected.push_back(kEmpty);

    restart();
    w().OpenFile->click();
    const std::vector<QStringList> opened = rows(fields());
    ASSERT_EQ(opened, expected);

    w().BuildFile->click();
    // Only the Keys page speaks: the self-description's key rows name fields no longer here.
    for (const QString& text : messages(QMessageBox::NoIcon))
        EXPECT_FALSE(text.contains(QStringLiteral("FIELD.DDF"))) << text.toStdString();
    EXPECT_TRUE(messages(QMessageBox::Critical).isEmpty());
    const std::vector<QByteArray> rebuilt = fieldFile();
    ASSERT_EQ(rebuilt.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        ASSERT_EQ(rebuilt[i].toHex(' '), written[i].toHex(' ')) << "record " << i;

    restart();
    w().OpenFile->click();
    EXPECT_EQ(rows(fields()), opened);
}

TEST_F(FieldDdf, buildWritesTheRowsTheTableFilterHidAndShowsThemAgain)
{
    builtNewSet();
    w().FileFilter->setEditText(QStringLiteral("X$INDEX").leftJustified(20));
    w().FileFilterChange();
    ASSERT_EQ(fields()->RowCount(), 7);
    // The entry row keeps what is typed into it and is never written: it holds no record yet.
    fields()->setRowText(6, QStringLiteral("30\n3\nXi$Extra\n1\n10\n2\n4\n-5"));

    w().BuildFieldDDF->click();
    EXPECT_TRUE(mMessages.empty());
    std::vector<Field> expected(kSelfDescription);
    std::vector<QByteArray> records;
    for (const Field& f : expected)
        records.push_back(fieldRecord(f));
    EXPECT_EQ(fieldFile(), records);
    EXPECT_EQ(fields()->RowCount(), 19);
    EXPECT_EQ(fields()->Cells(2, 18), QStringLiteral("Xi$Extra"));
    EXPECT_TRUE(w().HiddenFieldRows.isEmpty());
    EXPECT_EQ(w().FileFilter->currentText(), QString()) << "the Build ended the filter";
    EXPECT_EQ(fields()->Cells(0, 18), QStringLiteral("30")) << "still the entry row";
}

TEST_F(FieldDdf, aFilterOnATableWithoutFieldsDoesNotStopTheBuild)
{
    builtNewSet();
    const QByteArray before = fileBytes(QStringLiteral("FIELD.DDF"));
    fields()->setCells(6, 1, QStringLiteral("2"));
    w().FileFilter->setEditText(QStringLiteral("Nothing"));
    w().FileGrid->setRowText(4, QStringLiteral("8\nNothing"));
    w().FileGrid->setRowCount(6);
    w().FileFilterChange();
    ASSERT_EQ(fields()->RowCount(), 2);
    w().BuildFieldDDF->click();
    EXPECT_NE(fileBytes(QStringLiteral("FIELD.DDF")), before);
    EXPECT_EQ(fieldFile().size(), 17u);
    EXPECT_EQ(fieldFile()[0][29], char(2)) << "Xe$Dec is written from its cell";
}

TEST_F(FieldDdf, duplicateValuesOfAUniqueKeyAreNamedWithTheirRowsAndNothingIsWritten)
{
    builtNewSet();
    const QByteArray before = fileBytes(QStringLiteral("FIELD.DDF"));
    // Key 0 (id) and key 3 (table and upper-cased name) take no duplicates.
    appendRows({{"40", "5", "Amount", "1", "0", "4", "2", "0"},
                {"3", "5", "Copy", "0", "4", "2", "0", "0"},
                {"41", "5", "AMOUNT", "0", "6", "2", "0", "0"},
                {"42", "5", "Price", "5", "8", "6", "2", "256"}});
    for (QPushButton* build : {w().BuildFile, w().BuildFieldDDF}) {
        mMessages.clear();
        build->click();
        const QStringList refused = messages(QMessageBox::Critical);
        ASSERT_EQ(refused.size(), 1) << build->text().toStdString();
        EXPECT_TRUE(refused[0].contains("FIELD.DDF, row 19, column Xe$Id: the same Xe$Id as row 3 ('3')"))
            << refused[0].toStdString();
        EXPECT_TRUE(refused[0].contains(
            "FIELD.DDF, row 20, column Xe$Name: the same Xe$File and Xe$Name as row 18 ('AMOUNT')"))
            << refused[0].toStdString();
        EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), before);
    }
}

TEST_F(FieldDdf, aFieldDdfThatCannotBeCreatedIsReportedOnce)
{
    fs::create_directory(mDir.path() / "FIELD.DDF");
    w().ClearFile->click();
    w().BuildFile->click();
    EXPECT_EQ(messages(QMessageBox::NoIcon),
              QStringList(QStringLiteral("FIELD.DDF was not created: status 25 (create I/O error).\n"
                                         "No dictionary file was replaced: every one is as it was.")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("FILE.DDF"))) << "no FILE.DDF without its FIELD.DDF";
}

TEST_F(FieldDdf, openWithoutAFieldDdfChangesNothingAndSaysWhy)
{
    builtNewSet();
    fs::remove(mDir.path() / "FIELD.DDF");
    appendRows({{"20", "1", "Draft", "0", "0", "1", "0", "0"}});
    const std::vector<QStringList> before = rows(fields());
    TMain::ChoiceHook = [](const QString&, const QStringList&) { return QStringLiteral("Discard"); };
    w().OpenFile->click();
    ASSERT_EQ(mMessages.size(), 1u);
    EXPECT_TRUE(mMessages[0].second.contains("FIELD.DDF could not be opened: status 12"))
        << mMessages[0].second.toStdString();
    EXPECT_EQ(rows(fields()), before);
}

TEST_F(FieldDdf, openDropsRowsHiddenFromTheTableBeforeAndNewIdsContinueAboveItsIds)
{
    builtNewSet();
    w().FileFilter->setEditText(QStringLiteral("X$FIELD").leftJustified(20));
    w().FileFilterChange();
    ASSERT_EQ(w().HiddenFieldRows.size(), 9);
    ASSERT_EQ(createThroughRecordManager("FIELD.DDF", dict::creationSpec(dict::DictFile::Field).bytes,
                                         {fieldRecord({250, 2, "Beta", 0, 0, 4, 0, 0}),
                                          fieldRecord({100, 1, "Alpha", 1, 0, 2, 0, 0})}),
              0);

    w().OpenFieldDDFClick();
    EXPECT_TRUE(w().HiddenFieldRows.isEmpty());
    ASSERT_TRUE(w().AddOneField->isEnabled());
    w().AddOneFieldClick();
    w().FileFilter->setEditText(QString());
    w().FileFilterChange();
    EXPECT_EQ(rows(fields()), (std::vector<QStringList>{kTitles,
                                                        gridRow({100, 1, "Alpha", 1, 0, 2, 0, 0}),
                                                        gridRow({250, 2, "Beta", 0, 0, 4, 0, 0}),
                                                        {"251", "2", "0", "0", "0", "0", "0", "0"},
                                                        kEmpty}));
}

// A cell FIELD.DDF cannot hold stops the Build before anything is replaced, with a message naming
// the row and the column.
struct Unstorable {
    int row, col;
    QString text;
    const char* problem;
};

class BuildRefusesWhatFieldDdfCannotHold : public FieldDdf,
                                           public ::testing::WithParamInterface<Unstorable> {};

TEST_P(BuildRefusesWhatFieldDdfCannotHold, andKeepsTheBuiltFile)
{
    builtNewSet();
    const QByteArray built = fileBytes(QStringLiteral("FIELD.DDF"));
    fields()->setCells(GetParam().col, GetParam().row, GetParam().text);
    w().BuildFieldDDF->click();
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), built);
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList(QStringLiteral("FIELD.DDF was not written: row %1, column %2: %3.")
                              .arg(GetParam().row)
                              .arg(kTitles[GetParam().col], QString::fromUtf8(GetParam().problem))));
}

INSTANTIATE_TEST_SUITE_P(
    FieldDdf, BuildRefusesWhatFieldDdfCannotHold,
    ::testing::Values(
        Unstorable{2, 0, QStringLiteral("32768"), "32768 is outside -32768..32767"},
        Unstorable{3, 1, QStringLiteral("-32769"), "-32769 is outside -32768..32767"},
        Unstorable{4, 2, QStringLiteral("ANameOfTwentyOneChars"),
                   "'ANameOfTwentyOneChars' is longer than the 20 characters FIELD.DDF keeps"},
        Unstorable{
            5, 2, QStringLiteral("Price \u20AC"),
            "'\u20AC' cannot be stored in the 8-bit text of FIELD.DDF under code page Latin-1 (U+20AC)"},
        Unstorable{6, 3, QStringLiteral("256"), "256 is outside 0..255"},
        Unstorable{7, 4, QStringLiteral("1x"), "'1x' is not a valid integer value"},
        Unstorable{8, 5, QString(), "'' is not a valid integer value"},
        Unstorable{9, 6, QStringLiteral("-1"), "-1 is outside 0..255"},
        Unstorable{10, 7, QStringLiteral("32768"), "32768 is outside -32768..32767"},
        Unstorable{17, 7, QStringLiteral("$FFFF"), "65535 is outside -32768..32767"},
        Unstorable{11, 0, QString(), "the cell is empty (type a value, or remove the row)"}));

// "Add Record" of a record with a variant part, scanned resolving declarations: one row per field
// in record order, the variants' rows overlapping from where the fixed part ends (variant 3 holds
// a nested variant part), and "Build DDFs" writes every one of them.
TEST_F(FieldDdf, addRecordOfAVariantRecordMakesOverlappingRowsThatBuild)
{
    const fs::path cases = fs::path(QUILLAN_TEST_DATA) / "pascal";
    mWindow.reset(); // writes its mapping at exit
    fs::copy_file(cases / "mapping.rec", mDir.path() / "Quillan.rec", fs::copy_options::overwrite_existing);
    fs::copy_file(cases / "resolve-variant-records" / "input.pas", mDir.path() / "variants.pas");
    restart(); // reads the mapping
    builtNewSet();
    const int tableRow = grid()->RowCount() - 1;
    grid()->setCells(1, tableRow, QStringLiteral("VALUES"));
    grid()->setCells(2, tableRow, QStringLiteral("VALUES.DAT"));
    grid()->setCells(3, tableRow, QStringLiteral("0"));
    type(tableRow, 0, QStringLiteral("4"));

    choose(QStringLiteral("variants.pas"), 2);
    if (!w().utils().ChResolve->isChecked())
        QTest::mouseClick(w().utils().ChResolve, Qt::LeftButton);
    QTest::mouseClick(w().utils().Search, Qt::LeftButton);
    ASSERT_EQ(w().NameRec->itemText(1), QStringLiteral("TValueRec"));
    ASSERT_EQ(allMessages().size(), 1); // the pointer fields left unresolved
    EXPECT_TRUE(allMessages().first().startsWith(QStringLiteral("2 field(s) could not be resolved")));
    mMessages.clear();
    showWindow();
    w().PageControl->setCurrentWidget(w().TabFields);
    QTest::keyClicks(w().FileFilter->lineEdit(), QStringLiteral("VALUES"));
    w().NameRec->setFocus();
    QTest::keyClick(w().NameRec, Qt::Key_Down);
    ASSERT_EQ(w().NameRec->currentText(), QStringLiteral("TValueRec"));
    ASSERT_TRUE(w().AddField->isEnabled());
    QTest::mouseClick(w().AddField, Qt::LeftButton);

    // Code 2 bytes; variants from 2: 1 and 2 hold one field each, 3 a String[7] to 10 and the
    // nested variants from 10.
    const std::vector<Field> added = {
        {18, 4, "Code", 14, 0, 2, 0, 0},   {19, 4, "AsInt", 1, 2, 4, 0, 0}, {20, 4, "AsReal", 2, 2, 8, 0, 0},
        {21, 4, "AsText", 0, 2, 8, 0, 0},  {22, 4, "Flag", 7, 10, 1, 0, 0}, {23, 4, "Count", 1, 10, 2, 0, 0},
        {24, 4, "Spare", 14, 12, 2, 0, 0},
    };
    std::vector<QStringList> shown;
    for (int row = 1; row < fields()->RowCount() - 1; ++row)
        if (fields()->Cells(grid::kFieldFile, row) == QStringLiteral("4"))
            shown.push_back(fields()->rowCells(row));
    std::vector<QStringList> expectedRows;
    std::vector<QByteArray> expectedRecords;
    for (const Field& f : added) {
        expectedRows.push_back(gridRow(f));
        expectedRecords.push_back(fieldRecord(f));
    }
    EXPECT_EQ(shown, expectedRows);

    QTest::mouseClick(w().BuildFile, Qt::LeftButton);
    EXPECT_TRUE(mMessages.empty()) << allMessages().join('|').toStdString();
    std::vector<QByteArray> written;
    for (const QByteArray& record : fieldFile())
        if (record.mid(2, 2) == QByteArray("\x04\x00", 2))
            written.push_back(record);
    EXPECT_EQ(written, expectedRecords);
}

} // namespace
