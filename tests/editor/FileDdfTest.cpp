// FILE.DDF on disk through the whole-set buttons and the Files page: what New and Build write,
// what Open shows, a round trip of a large dictionary, what the record manager refuses, and a
// genuine dictionary set.
// The genuine builder comes before any Qt header: it has a member named like Qt's "slots" macro.
#include "GenuineBuilder.h"

#include "../dictionary/Bytes.h"
#include "CreationSpecs.h"
#include "DictionaryOnDisk.h"
#include "QtTestFiles.h"

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

using testsupport::pad;

QByteArray fileRecord(unsigned id, const std::string& name, const std::string& loc, unsigned flags)
{
    testbytes::Bytes b;
    b.u16(id).text(name, 20).text(loc, 64).u8(flags).fill(' ', 10);
    return QByteArray(reinterpret_cast<const char*>(b.get().data()), qsizetype(b.get().size()));
}

// What Stat reports for a file made from `spec` holding `records` records, each key with
// `records` distinct values: the specification with the counts and each segment's key number.
QByteArray statOfCreatedFile(const std::vector<uint8_t>& spec, int segments,
                             const std::vector<int>& keyOfSegment, uint32_t records)
{
    QByteArray stat(reinterpret_cast<const char*>(spec.data()), qsizetype(spec.size()));
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            stat[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(6, records);
    for (int s = 0; s < segments; ++s) {
        put32(16 + 16 * s + 6, records);
        stat[16 + 16 * s + 14] = char(keyOfSegment[std::size_t(s)]);
    }
    stat.resize(btr::kStatBufferSize, '\0');
    return stat;
}

const std::vector<QStringList> kSelfDescriptionGrid = {
    {"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"},
    {"1", pad("X$FILE", 20), pad("FILE.DDF", 64), "16"},
    {"2", pad("X$FIELD", 20), pad("FIELD.DDF", 64), "16"},
    {"3", pad("X$INDEX", 20), pad("INDEX.DDF", 64), "16"},
    {"", "", "", ""},
};

using FileDdf = DictionaryOnDisk;

TEST_F(FileDdf, newThenBuildWritesTheThreeSelfDescriptionRecordsAndOpenShowsThemAgain)
{
    w().ClearFile->click();
    ASSERT_TRUE(w().BuildFile->isEnabled());
    w().BuildFile->click();
    EXPECT_TRUE(mMessages.empty()) << "a Build that succeeds shows nothing: "
                                   << (mMessages.empty() ? std::string() : mMessages[0].second.toStdString());
    EXPECT_EQ(w().FileListBox->findItems(QStringLiteral("FILE.DDF"), Qt::MatchExactly).size(), 1)
        << "the file list shows the new file";

    const FileContents file = readThroughRecordManager("FILE.DDF");
    ASSERT_EQ(file.openStatus, 0);
    EXPECT_EQ(file.stat, statOfCreatedFile(dict::creationSpec(dict::DictFile::File).bytes, 2, {0, 1}, 3));
    const std::vector<QByteArray> expected = {
        fileRecord(1, "X$FILE", "FILE.DDF", 16),
        fileRecord(2, "X$FIELD", "FIELD.DDF", 16),
        fileRecord(3, "X$INDEX", "INDEX.DDF", 16),
    };
    EXPECT_EQ(file.records, expected);

    restart();
    ASSERT_TRUE(w().OpenFile->isEnabled());
    w().OpenFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(rows(), kSelfDescriptionGrid);
    EXPECT_EQ(grid()->Tag, 1);
    EXPECT_TRUE(w().BuildFile->isEnabled());
}

TEST_F(FileDdf, aThousandTablesOpenBuildBackUnchangedAndOpenAgainIdentical)
{
    // Ids above 32767 (shown negative), flags up to 255, names and locations of every length
    // that Build keeps, Latin-1 letters, and reserved bytes that are not blank: Build writes back
    // what Open read.
    std::vector<QByteArray> records;
    for (unsigned i = 0; i < 1000; ++i) {
        const unsigned id = (i * 7919u + 13u) % 65536u;
        std::string name = "Table" + std::to_string(i) + std::string(i % 15, i % 2 ? 'x' : 'Y');
        if (i % 9 == 0)
            name += "\xE9t\xE9";
        std::string loc = "DATA/T" + std::to_string(i) + ".BTR" + std::string(i % 56, 'L');
        QByteArray record = fileRecord(id, name.substr(0, 20), loc.substr(0, 63), i % 256);
        if (i % 3 == 0)
            for (int k = 0; k < 10; ++k)
                record[87 + k] = char((i + unsigned(k) * 31u) % 256u);
        records.push_back(record);
    }
    ASSERT_EQ(createThroughRecordManager("FILE.DDF", dict::creationSpec(dict::DictFile::File).bytes, records),
              0);
    const FileContents written = readThroughRecordManager("FILE.DDF");
    ASSERT_EQ(written.records.size(), 1000u);

    // FILE.DDF alone: the Files page's own Open (Open DDFs wants FIELD.DDF too).
    restart();
    w().OpenFileDDF->click();
    ASSERT_EQ(grid()->RowCount(), 1002);
    const std::vector<QStringList> opened = rows();
    EXPECT_EQ(opened.back(), (QStringList{"", "", "", ""}));
    // Key 0 orders the ids as unsigned numbers; the grid shows them signed.
    const QByteArray& highest = written.records.back();
    EXPECT_EQ(opened[1000][0], QString::number(int16_t(uint8_t(highest[0]) | uint8_t(highest[1]) << 8)));
    EXPECT_TRUE(opened[1000][0].startsWith(QLatin1Char('-')));

    w().BuildFile->click();
    // Only FILE.DDF was there to open: the other files are left as they were, and said so.
    for (const QString& text : allMessages())
        EXPECT_FALSE(text.contains(QStringLiteral("FILE.DDF"))) << text.toStdString();
    EXPECT_TRUE(messages(QMessageBox::Critical).isEmpty());
    const FileContents rebuilt = readThroughRecordManager("FILE.DDF");
    ASSERT_EQ(rebuilt.records.size(), written.records.size());
    for (std::size_t i = 0; i < written.records.size(); ++i)
        ASSERT_EQ(rebuilt.records[i].toHex(' '), written.records[i].toHex(' ')) << "record " << i;
    EXPECT_EQ(rebuilt.stat, written.stat);

    restart();
    w().OpenFileDDF->click();
    EXPECT_EQ(rows(), opened);
}

TEST_F(FileDdf, duplicateValuesOfAUniqueKeyAreNamedWithTheirRowsAndNothingIsWritten)
{
    w().ClearFile->click();
    // Key 1 (the name, upper-cased by its collating sequence) and key 0 (the id) allow no
    // duplicates.
    const std::pair<const char*, const char*> typed[] = {
        {"4", "x$file"}, {"5", "Orders"}, {"2", "Customers"}, {"7", "Parts"}};
    for (const auto& [id, name] : typed) {
        const int row = grid()->RowCount() - 1;
        type(row, 1, QString::fromLatin1(name));
        type(row, 3, QStringLiteral("0"));
        type(row, 0, QString::fromLatin1(id));
    }
    ASSERT_EQ(grid()->RowCount(), 9);

    // "Build DDFs" and the page's own "Build" alike.
    for (QPushButton* build : {w().BuildFile, w().BuildFileDDF}) {
        mMessages.clear();
        build->click();
        EXPECT_EQ(
            messages(QMessageBox::Critical),
            QStringList(QStringLiteral(
                "Nothing was written; 2 cells cannot be stored:\n"
                "FILE.DDF, row 4, column Xf$Name: the same Xf$Name as row 1 ('x$file'), and key 1 of the "
                "file takes no duplicate values\n"
                "FILE.DDF, row 6, column Xf$Id: the same Xf$Id as row 2 ('2'), and key 0 of the file takes "
                "no duplicate values.")))
            << build->text().toStdString();
        EXPECT_FALSE(QFile::exists(QStringLiteral("FILE.DDF")));
    }
}

TEST_F(FileDdf, aFileDdfThatCannotBeCreatedIsReportedOnce)
{
    fs::create_directory(mDir.path() / "FILE.DDF");
    w().ClearFile->click();
    w().BuildFile->click();
    EXPECT_EQ(messages(QMessageBox::NoIcon),
              QStringList(QStringLiteral("FILE.DDF was not created: status 25 (create I/O error).\n"
                                         "No dictionary file was replaced: every one is as it was.")));
    EXPECT_TRUE(fs::is_directory(mDir.path() / "FILE.DDF"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELD.DDF"))) << "no FIELD.DDF without its FILE.DDF";
}

TEST_F(FileDdf, aCellThatIsNoNumberLeavesABuiltFileByteForByteAsItWas)
{
    w().ClearFile->click();
    w().BuildFile->click();
    const QByteArray before = fileBytes(QStringLiteral("FILE.DDF"));
    ASSERT_FALSE(before.isEmpty());

    type(4, 3, QStringLiteral("0"));
    type(4, 0, QStringLiteral("4"));
    type(5, 0, QStringLiteral("5"));
    grid()->setCells(3, 5, QStringLiteral("sixteen"));
    w().BuildFile->click();
    EXPECT_EQ(
        messages(QMessageBox::Critical),
        QStringList(QStringLiteral(
            "FILE.DDF was not written: row 5, column Xf$Flags: 'sixteen' is not a valid integer value.")));
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), before);
    EXPECT_EQ(readThroughRecordManager("FILE.DDF").records.size(), 3u);
}

TEST_F(FileDdf, buildStoresEveryValueThatFitsItsFieldExactly)
{
    struct Row {
        const char* id;
        std::string name, loc;
        const char* flags;
        QByteArray stored;
    };
    const std::string loc63(63, 'L');
    const Row cases[] = {
        {"10", "ExactlyTwentyChars!!", loc63, "255", fileRecord(10, "ExactlyTwentyChars!!", loc63, 255)},
        {"11", "Padded" + std::string(30, ' '), loc63 + "   ", "0", fileRecord(11, "Padded", loc63, 0)},
        {"-2", "Negative\xE9", "", "17", fileRecord(0xFFFE, "Negative\xE9", "", 17)},
        {"32767", "High", "x", "0", fileRecord(32767, "High", "x", 0)},
    };
    w().ClearFile->click();
    grid()->setRowCount(1);
    grid()->setRowCount(2);
    for (const Row& c : cases) {
        const int row = grid()->RowCount() - 1;
        grid()->setCells(1, row, QString::fromLatin1(c.name));
        grid()->setCells(2, row, QString::fromStdString(c.loc));
        grid()->setCells(3, row, QString::fromLatin1(c.flags));
        type(row, 0, QString::fromLatin1(c.id));
    }
    w().BuildFileDDF->click();
    for (const QString& text : messages(QMessageBox::NoIcon))
        EXPECT_FALSE(text.contains(QStringLiteral("FILE.DDF"))) << text.toStdString();
    EXPECT_TRUE(messages(QMessageBox::Critical).isEmpty());

    std::vector<QByteArray> expected;
    for (const Row& c : cases)
        expected.push_back(c.stored);
    std::sort(expected.begin(), expected.end(), [](const QByteArray& a, const QByteArray& b) {
        return (uint8_t(a[0]) | uint8_t(a[1]) << 8) < (uint8_t(b[0]) | uint8_t(b[1]) << 8);
    });
    EXPECT_EQ(readThroughRecordManager("FILE.DDF").records, expected);
}

// A value FILE.DDF cannot hold as it stands stops the Build before anything is replaced, with a
// message naming the row and the column; nothing is cut or replaced without a word.
struct Unstorable {
    int col;
    QString text;
    const char* problem;
};

class BuildRefusesWhatFileDdfCannotHold : public DictionaryOnDisk,
                                          public ::testing::WithParamInterface<Unstorable> {};

TEST_P(BuildRefusesWhatFileDdfCannotHold, andKeepsTheBuiltFile)
{
    w().ClearFile->click();
    w().BuildFile->click();
    const QByteArray built = fileBytes(QStringLiteral("FILE.DDF"));
    grid()->setCells(GetParam().col, 2, GetParam().text);
    w().BuildFileDDF->click(); // the page's Build: the Keys page would name its rows of X$FIELD too
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), built);
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList(QStringLiteral("FILE.DDF was not written: row 2, column %1: %2.")
                              .arg(grid()->Cells(GetParam().col, 0), QString::fromUtf8(GetParam().problem))));
}

INSTANTIATE_TEST_SUITE_P(
    FileDdf, BuildRefusesWhatFileDdfCannotHold,
    ::testing::Values(
        Unstorable{1, QStringLiteral("ANameOfTwentyOneChars"),
                   "'ANameOfTwentyOneChars' is longer than the 20 characters FILE.DDF keeps"},
        Unstorable{2, QString(64, QLatin1Char('L')),
                   "'LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL' is longer than the 63 "
                   "characters FILE.DDF keeps"},
        Unstorable{
            1, QStringLiteral("Price \u20AC"),
            "'\u20AC' cannot be stored in the 8-bit text of FILE.DDF under code page Latin-1 (U+20AC)"},
        Unstorable{
            2, QStringLiteral("\u0414\u0430\u043D\u043D\u044B\u0435.DAT"),
            "'\u0414' cannot be stored in the 8-bit text of FILE.DDF under code page Latin-1 (U+0414)"},
        Unstorable{0, QStringLiteral("40000"), "40000 is outside -32768..32767"},
        Unstorable{3, QStringLiteral("256"), "256 is outside 0..255"},
        Unstorable{3, QStringLiteral("-1"), "-1 is outside 0..255"},
        Unstorable{0, QString(), "the cell is empty (type a value, or remove the row)"}));

// ---- Open where there is no dictionary ----

struct NoDictionary {
    const char* name;
    const char* fileDdf; // null: no FILE.DDF at all
    int size;
};

void PrintTo(const NoDictionary& c, std::ostream* os)
{
    *os << c.name;
}

class OpenWithoutADictionary : public DictionaryOnDisk, public ::testing::WithParamInterface<NoDictionary> {};

TEST_P(OpenWithoutADictionary, saysNotFindInThisDirectoryAndChangesNothing)
{
    if (GetParam().fileDdf)
        writeBytes(QStringLiteral("FILE.DDF"), QByteArray(GetParam().fileDdf, GetParam().size));
    type(1, 1, QStringLiteral("Draft"));
    type(1, 0, QStringLiteral("9"));
    const std::vector<QStringList> before = rows();

    w().OpenFileDDFClick();
    EXPECT_EQ(messages(QMessageBox::NoIcon), QStringList(QStringLiteral("Not find in this directory")));
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(grid()->Tag, 0);
    EXPECT_FALSE(w().BuildFile->isEnabled());
    if (GetParam().fileDdf) {
        EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), QByteArray(GetParam().fileDdf, GetParam().size));
    }
}

INSTANTIATE_TEST_SUITE_P(FilesPage, OpenWithoutADictionary,
                         ::testing::Values(NoDictionary{"missing", nullptr, 0}, NoDictionary{"empty", "", 0},
                                           NoDictionary{"text", "Xf$Id Xf$Name Xf$Loc\n1 X$FILE FILE.DDF\n",
                                                        39},
                                           NoDictionary{"pageOfZeros", "\0\0\0\0\0\0\0\0", 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A genuine dictionary set ----

class GenuineDictionary : public DictionaryOnDisk {
protected:
    void SetUp() override
    {
        for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"})
            fs::copy_file(fs::path(QUILLAN_TEST_DATA) / "genuine" / "ddf60" / name, mDir.path() / name);
        DictionaryOnDisk::SetUp();
    }
};

TEST_F(GenuineDictionary, openDdfsFillsTheFileGridWithItsTables)
{
    ASSERT_TRUE(w().OpenFile->isEnabled());
    w().OpenFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(rows(), kSelfDescriptionGrid);
    EXPECT_EQ(grid()->Tag, 1);
}

TEST_F(GenuineDictionary, buildDdfsOverItSaysTheFileWasNotCreatedAndLeavesItAsItWas)
{
    const QByteArray before = fileBytes(QStringLiteral("FILE.DDF"));
    const QByteArray fieldsBefore = fileBytes(QStringLiteral("FIELD.DDF"));
    w().OpenFile->click();
    type(4, 3, QStringLiteral("0"));
    type(4, 0, QStringLiteral("4"));
    w().BuildFile->click();
    const QStringList shown = messages(QMessageBox::NoIcon);
    ASSERT_EQ(shown.size(), 1) << "one report for the whole set";
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral(
        "FILE.DDF, FIELD.DDF and INDEX.DDF are files of the Btrieve record manager, which Quillan's embedded "
        "record "
        "manager can only read; they were left unchanged. Build the dictionary into another directory, or "
        "install the record manager.")))
        << shown[0].toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), before);
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldsBefore);
}

// A FILE.DDF that opens but whose records cannot be read (here a genuine one whose pages are
// compressed) must not pass for an empty dictionary: the next Build would write it back without
// its tables.
TEST_F(FileDdf, recordsThatCannotBeReadAreReportedAfterTheRowsReadSoFar)
{
    genuinetest::FileDef def;
    def.pageSize = 4096;
    def.recordLength = 97;
    def.fileFlags = 0x2000; // page compression
    def.keys = {genuinetest::Key{{{0, 2, 0x104, 14}}, 0}};
    writeBytes(QStringLiteral("FILE.DDF"), genuinetest::build6x(def));

    w().OpenFileDDFClick();
    ASSERT_EQ(mMessages.size(), 1u);
    EXPECT_TRUE(
        mMessages[0].second.startsWith(QStringLiteral("FILE.DDF: reading stopped after 0 records: status ")))
        << mMessages[0].second.toStdString();
    EXPECT_EQ(grid()->RowCount(), 2);
}

} // namespace
