// INDEX.DDF on disk through the whole-set buttons and the Keys page (New, Build, Open, what
// Build refuses or leaves out), and "Create" on the Files page: the data file it makes, what it
// asks before replacing a file, and what it says when it makes none.
#include "DictionaryOnDisk.h"
#include "KeysPageFixture.h"

#include "../dictionary/Bytes.h"

#include <QDir>

namespace {

using keystest::pad;
using keystest::setRows;

constexpr int kAllFilter = 2; // "All Files (*.*)"

QByteArray indexRecord(unsigned file, unsigned field, unsigned number, unsigned part, unsigned flags)
{
    testbytes::Bytes b;
    b.u16(file).u16(field).u16(number).u16(part).u16(flags);
    return QByteArray(reinterpret_cast<const char*>(b.get().data()), qsizetype(b.get().size()));
}

int stat16(const QByteArray& stat, int at)
{
    return int16_t(uint8_t(stat[at]) | uint8_t(stat[at + 1]) << 8);
}

class KeysDdf : public WithKeys<DictionaryOnDisk> {
protected:
    // "New DDFs" with the Fields grid as the Fields page's New leaves it.
    void newSet()
    {
        w().ClearFile->click();
        if (w().FieldGrid->Tag == 0) {
            fillSelfDescriptionFields();
            w().ClearFile->click();
        }
    }
    // "Open DDFs", the Fields grid filled as its Open would when the Fields page cannot.
    void openSet()
    {
        w().OpenFile->click();
        if (keys()->Tag == 0) {
            fillSelfDescriptionFields();
            w().OpenFile->click();
        }
    }
    // Makes a row of the Files grid current, as a click on it does.
    void chooseTable(int row)
    {
        w().FileGrid->setRow(row);
        w().FileGridMouseUp();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto& [icon, text] : mMessages)
            out << text;
        return out;
    }
};

TEST_F(KeysDdf, newAndBuildDdfsWriteTheFifteenSelfDescriptionRecordsAndOpenDdfsNamesThemAgain)
{
    newSet();
    const std::vector<QStringList> newGrid = rows(keys());
    ASSERT_EQ(newGrid.size(), 17u);
    EXPECT_EQ(newGrid[1], (QStringList{pad("X$FILE"), pad("Xf$Id"), "0", "0", "4"}));
    EXPECT_EQ(newGrid[8], (QStringList{pad("X$FIELD"), pad("Xe$File"), "4", "0", "403"}));
    EXPECT_EQ(newGrid[15], (QStringList{pad("X$INDEX"), pad("Xi$Part"), "2", "2", "386"}));
    EXPECT_EQ(newGrid[16], (QStringList{"", "", "", "", ""}));
    EXPECT_TRUE(w().BuildKeysDDF->isEnabled());

    w().BuildFile->click();
    EXPECT_TRUE(mMessages.empty()) << texts().join('\n').toStdString();
    const FileContents index = readThroughRecordManager("INDEX.DDF");
    ASSERT_EQ(index.openStatus, 0);
    const std::vector<QByteArray> expected = {
        indexRecord(1, 1, 0, 0, 4),    indexRecord(1, 2, 1, 0, 34),   indexRecord(2, 5, 0, 0, 4),
        indexRecord(2, 6, 1, 0, 5),    indexRecord(2, 7, 2, 0, 35),   indexRecord(2, 6, 3, 0, 22),
        indexRecord(2, 7, 3, 1, 34),   indexRecord(2, 6, 4, 0, 403),  indexRecord(2, 9, 4, 1, 403),
        indexRecord(2, 11, 4, 2, 387), indexRecord(3, 13, 0, 0, 5),   indexRecord(3, 14, 1, 0, 5),
        indexRecord(3, 13, 2, 0, 402), indexRecord(3, 15, 2, 1, 402), indexRecord(3, 16, 2, 2, 386),
    };
    EXPECT_EQ(index.records, expected);

    restart();
    openSet();
    EXPECT_EQ(rows(keys()), newGrid);
    EXPECT_EQ(keys()->Tag, 1);
    EXPECT_TRUE(mMessages.empty());
}

TEST_F(KeysDdf, fiveHundredSegmentsBuildAndOpenBackWithoutACeiling)
{
    newSet();
    std::vector<QStringList> grid;
    for (int i = 0; i < 500; ++i)
        grid.push_back({pad("X$FIELD"), pad(i % 3 ? "Xe$Name" : "Xe$Size"), QString::number(i / 4),
                        QString::number(i % 4), QString::number(i % 4 == 3 ? 2 : 18)});
    setRows(keys(), grid);
    w().BuildFile->click();
    EXPECT_TRUE(mMessages.empty()) << texts().join('\n').toStdString();
    const FileContents index = readThroughRecordManager("INDEX.DDF");
    ASSERT_EQ(index.records.size(), 500u);
    EXPECT_EQ(index.records[499], indexRecord(2, 7, 124, 3, 2));

    restart();
    openSet();
    grid.insert(grid.begin(), {"Xi$File", "Xi$Field", "Xi$Number", "Xi$Part", "Xi$Flags"});
    grid.push_back({"", "", "", "", ""});
    EXPECT_EQ(rows(keys()), grid);
    EXPECT_TRUE(mMessages.empty()) << texts().join('\n').toStdString();
}

struct BadCell {
    const char* name;
    int grid; // 0 the Keys grid, 1 the Files grid
    int col;
    int row;
    const char* text;
    const char* message;
};

void PrintTo(const BadCell& c, std::ostream* os)
{
    *os << c.name;
}

class KeysBuildRefusal : public KeysDdf, public ::testing::WithParamInterface<BadCell> {};

TEST_P(KeysBuildRefusal, namesRowAndColumnAndLeavesTheBuiltFileByteForByte)
{
    const BadCell& c = GetParam();
    newSet();
    w().BuildFile->click();
    const QByteArray before = fileBytes(QStringLiteral("INDEX.DDF"));
    ASSERT_FALSE(before.isEmpty());
    mMessages.clear();

    (c.grid == 0 ? keys() : w().FileGrid)->setCells(c.col, c.row, QString::fromLatin1(c.text));
    w().BuildKeysDDF->click();
    EXPECT_EQ(messages(QMessageBox::Critical), QStringList{QString::fromLatin1(c.message)});
    EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, KeysBuildRefusal,
    ::testing::Values(
        BadCell{"partNotANumber", 0, 3, 3, "1x",
                "INDEX.DDF was not written: row 3, column Xi$Part: '1x' is not a valid integer value."},
        BadCell{"flagsBeyond16Bits", 0, 4, 15, "40000",
                "INDEX.DDF was not written: row 15, column Xi$Flags: 40000 is outside -32768..32767."},
        BadCell{"emptyNumber", 0, 2, 1, "",
                "INDEX.DDF was not written: row 1, column Xi$Number: '' is not a valid integer value."},
        BadCell{"tableIdNotANumber", 1, 0, 3, "3a",
                "INDEX.DDF was not written: row 11, column Xi$File: its Xf$Id '3a' is not a valid 16-bit "
                "integer value."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeysDdf, rowsWithoutTheirTableOrFieldAreNamedAfterTheBuildAndTheOthersWritten)
{
    newSet();
    std::vector<QStringList> grid;
    for (int r = 1; r <= 15; ++r)
        grid.push_back(keys()->rowCells(r));
    grid.insert(grid.begin() + 2, {pad("NOPE"), pad("Xf$Id"), "0", "0", "0"});
    grid.push_back({pad("X$FILE"), QStringLiteral("Nofield"), "0", "0", "0"});
    grid.push_back({"", pad("Xf$Id"), "0", "0", "0"}); // no table at all: skipped, not named
    setRows(keys(), grid);
    w().BuildKeysDDF->click();
    EXPECT_EQ(texts(),
              QStringList{"INDEX.DDF: row 3 was left out: no table of that name in the Files grid.\n"
                          "INDEX.DDF: row 17 was left out: no field of that name in the Fields grid."});
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records.size(), 15u);
}

TEST_F(KeysDdf, buildWithTheTableFilterSetWritesTheHiddenRowsAndShowsThemAgain)
{
    newSet();
    w().IndexFilter->setEditText(pad("X$INDEX"));
    w().IndexFilterChange();
    ASSERT_EQ(keys()->RowCount(), 7);
    w().BuildKeysDDF->click();
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records.size(), 15u);
    EXPECT_EQ(keys()->RowCount(), 17);
    EXPECT_TRUE(w().HiddenKeyRows.isEmpty());
}

TEST_F(KeysDdf, openWithoutIndexDdfChangesNothingAndBuildBeforeNewWritesNothing)
{
    fillSelfDescriptionFields();
    w().BuildKeysDDFClick();
    EXPECT_FALSE(QFile::exists(path("INDEX.DDF")));
    w().OpenKeysDDFClick();
    EXPECT_EQ(keys()->Tag, 0);
    EXPECT_EQ(keys()->RowCount(), 2);
    EXPECT_TRUE(mMessages.empty());
}

// ---- Create ----

// X$INDEX: five fields of two bytes; key 0 on Xi$File (given the ACS flag here), key 1 on
// Xi$Field, key 2 of three segments (Xi$File, Xi$Number, Xi$Part).
TEST_F(KeysDdf, createMakesTheTablesDataFileAndAddReadsTheSameDefinitionBack)
{
    newSet();
    keys()->setCells(4, 11, QStringLiteral("37"));
    chooseTable(3);
    ASSERT_TRUE(w().CreateFile->isEnabled());
    ASSERT_EQ(w().ERecLen->text(), QStringLiteral("0"));
    w().CreateFile->click();
    EXPECT_TRUE(mMessages.empty()) << texts().join('\n').toStdString();
    EXPECT_TRUE(mQuestions.isEmpty());
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("3"));
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("0")) << "the sum is not written back";
    EXPECT_EQ(w().FileListBox->findItems(QStringLiteral("INDEX.DDF"), Qt::MatchExactly).size(), 1);

    const FileContents created = readThroughRecordManager("INDEX.DDF");
    ASSERT_EQ(created.openStatus, 0);
    EXPECT_EQ(stat16(created.stat, 0), 10) << "record length: the fields' sizes summed";
    EXPECT_EQ(stat16(created.stat, 2), 4096);
    EXPECT_EQ(stat16(created.stat, 4), 3);
    const int segments[][4] = {{1, 2, 37, 1}, {3, 2, 5, 1}, {1, 2, 402, 1}, {5, 2, 402, 1}, {7, 2, 386, 1}};
    for (int s = 0; s < 5; ++s) {
        const int at = 16 + 16 * s;
        EXPECT_EQ(stat16(created.stat, at), segments[s][0]) << "segment " << s;
        EXPECT_EQ(stat16(created.stat, at + 2), segments[s][1]) << "segment " << s;
        EXPECT_EQ(stat16(created.stat, at + 4), segments[s][2]) << "segment " << s;
        EXPECT_EQ(int(uint8_t(created.stat[at + 10])), segments[s][3]) << "segment " << s;
    }
    EXPECT_EQ(created.stat[16 + 16 * 5], 0) << "no ACS block after the key specifications";

    choose(QStringLiteral("INDEX.DDF"), kAllFilter);
    w().AddFile->click();
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("10"));
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("3"));
    EXPECT_EQ(w().EPgSize->text(), QStringLiteral("4096"));
    EXPECT_EQ(w().EFlags->text(), QStringLiteral("0"));
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(stat16(w().FileStatList[0].Stat, 16 + 16 * 3 + 4), 402);
}

// X$FIELD's keys on Xe$Name carry the ACS flag, and Create appends no collating sequence: the
// record manager refuses the file, and the user is told.
TEST_F(KeysDdf, createOfATableWithAnAcsKeyOnTextSaysWhatTheRecordManagerAnswered)
{
    newSet();
    chooseTable(2);
    w().CreateFile->click();
    EXPECT_EQ(texts(), QStringList{QStringLiteral("FIELD.DDF was not created: status 48 (%1).")
                                       .arg(QString::fromLatin1(btr::statusMeaning(48)))});
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("5")) << "the key count is shown all the same";
    EXPECT_FALSE(QFile::exists(path("FIELD.DDF")));
}

TEST_F(KeysDdf, createAsksBeforeReplacingAnExistingFileAndNoLeavesIt)
{
    newSet();
    w().BuildFile->click();
    const QByteArray before = fileBytes(QStringLiteral("INDEX.DDF"));
    chooseTable(3);
    w().CreateFile->click();
    ASSERT_EQ(mQuestions.size(), 1);
    EXPECT_TRUE(mQuestions[0].startsWith(QDir::toNativeSeparators(path("INDEX.DDF")) + " already exists."))
        << mQuestions[0].toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), before);
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records.size(), 15u);
    EXPECT_TRUE(mMessages.empty());

    mAnswer = true;
    w().CreateFile->click();
    EXPECT_EQ(mQuestions.size(), 2);
    const FileContents replaced = readThroughRecordManager("INDEX.DDF");
    EXPECT_TRUE(replaced.records.empty());
    EXPECT_EQ(stat16(replaced.stat, 0), 10);
}

struct CreateRefusal {
    const char* name;
    void (*arrange)(TMain&);
    const char* message; // arrange runs with the X$INDEX row current
};

void PrintTo(const CreateRefusal& c, std::ostream* os)
{
    *os << c.name;
}

class CreateSaysWhy : public KeysDdf, public ::testing::WithParamInterface<CreateRefusal> {};

TEST_P(CreateSaysWhy, andMakesNoFile)
{
    newSet();
    chooseTable(3);
    GetParam().arrange(w());
    w().CreateFile->click();
    QString expected = QString::fromLatin1(GetParam().message);
    expected.replace(QStringLiteral("%status24"), QString::fromLatin1(btr::statusMeaning(24)));
    EXPECT_EQ(texts(), QStringList{expected});
    EXPECT_FALSE(QFile::exists(path("INDEX.DDF")));
    EXPECT_FALSE(QFile::exists(path("EMPTY.BTR")));
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, CreateSaysWhy,
    ::testing::Values(
        CreateRefusal{
            "keyFieldNotInTheFieldsGrid",
            [](TMain& w) { w.KeyGrid->setCells(1, 12, QStringLiteral("Gone ")); },
            "No data file was created for X$INDEX: its key field \"Gone\" is not in the Fields grid."},
        CreateRefusal{"recordLengthZero",
                      [](TMain& w) {
                          setRows(w.FileGrid, {{"1", pad("X$FILE"), "FILE.DDF", "16"},
                                               {"2", pad("X$FIELD"), "FIELD.DDF", "16"},
                                               {"3", pad("X$INDEX"), "INDEX.DDF", "16"},
                                               {"9", pad("EMPTY"), "EMPTY.BTR", "0"}});
                          w.FileGrid->setRow(4);
                      },
                      "No data file was created for EMPTY: its record length is 0 (Record Length is 0 and "
                      "the Fields grid holds no field of the table)."},
        CreateRefusal{"locationTooLong",
                      [](TMain& w) { w.FileGrid->setCells(2, 3, QString(255, QLatin1Char('a'))); },
                      "No data file was created for X$INDEX: its location is 255 bytes long, and the record "
                      "manager takes at most 254."},
        CreateRefusal{"statusOfTheRecordManager", [](TMain& w) { w.EPgSize->setText(QStringLiteral("100")); },
                      "INDEX.DDF was not created: status 24 (%status24)."}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
