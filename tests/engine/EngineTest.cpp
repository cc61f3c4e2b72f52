// Rules of the embedded engine beyond the common conformance suite: genuine files (read-only,
// read lazily), the native files' own schema checks, and what survives the end of a process.
#include "BtrTestFile.h"
#include "EngineHooks.h"
#include "Status.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace btrtest;
using namespace btr;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes fileRecord(int id, const std::string& name)
{
    Bytes r = le(id, 2);
    Bytes n(95, ' ');
    std::memcpy(n.data(), name.data(), name.size());
    r.insert(r.end(), n.begin(), n.end());
    return r;
}

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Stands in for the genuine-file reader: every file whose name ends in ".gen" is a genuine
// FILE.DDF holding `records`.
class GenuineFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::setGenuineReaderForTesting(
            [this](const std::string& path, engine::GenuineInfo& info) -> int16_t {
                if (path.size() < 4 || path.substr(path.size() - 4) != ".gen")
                    return StatusNotBtrieveFile;
                info.stat = fileDdfSpec();
                info.stat[4] = 2;
                const uint32_t count = static_cast<uint32_t>(records.size());
                std::memcpy(&info.stat[6], &count, 4);
                info.version = 0x62;
                info.recordLength = 97;
                info.pageSize = 4096;
                info.recordsReadable = readable;
                info.readStatus = readable ? 0 : 2;
                return StatusSuccess;
            },
            [this](const std::string&, const engine::GenuineInfo&, std::vector<std::vector<uint8_t>>& out,
                   std::vector<engine::GenuineDamage>&, std::vector<engine::GenuineKeyOrder>& orders) {
                ++reads;
                out = records;
                orders = keyOrders;
                return int16_t(0);
            });
        path = dir.file("DICT.gen");
        std::ofstream(path) << "genuine bytes";
        records = {fileRecord(3, "gamma"), fileRecord(1, "Beta"), fileRecord(2, "alpha"), fileRecord(4, "")};
    }
    void TearDown() override { engine::setGenuineReaderForTesting(nullptr, nullptr); }

    testsupport::TempDir dir;
    std::string path;
    std::vector<Bytes> records;
    std::vector<engine::GenuineKeyOrder> keyOrders; // what the file's index pages would give
    bool readable = true;
    int reads = 0;
};

std::vector<int> ids(BtrFile& f, uint16_t first, uint16_t next, int8_t key)
{
    std::vector<int> out;
    for (int16_t st = f.get(first, key); st == StatusSuccess; st = f.get(next, key))
        out.push_back(f.record()[0]);
    return out;
}

} // namespace

TEST_F(GenuineFiles, openReadOnlyOrderedByTheirKeysAndReadOnlyWhenNeeded)
{
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.open(path), StatusSuccess);
    Bytes stat;
    ASSERT_EQ(f.stat(stat, 1920, -1), StatusSuccess);
    EXPECT_EQ(stat[5], 0x62);
    EXPECT_EQ(stat.size(), 313u);
    EXPECT_EQ(reads, 0) << "Stat must not read the records";

    EXPECT_EQ(ids(f, OpGetFirst, OpGetNext, 0), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(ids(f, OpGetLast, OpGetPrevious, 0), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(ids(f, OpGetFirst, OpGetNext, 1), (std::vector<int>{4, 2, 1, 3})); // blank, ALPHA, BETA, GAMMA
    EXPECT_EQ(ids(f, OpStepFirst, OpStepNext, 0), (std::vector<int>{3, 1, 2, 4}));
    EXPECT_EQ(ids(f, OpStepLast, OpStepPrevious, 0), (std::vector<int>{4, 2, 1, 3}));
    EXPECT_EQ(reads, 1);

    ASSERT_EQ(f.get(OpGetEqual, 0, le(2, 2)), StatusSuccess);
    uint32_t address = 0;
    ASSERT_EQ(f.getPosition(address), StatusSuccess);
    ASSERT_EQ(f.getDirect(address, 1), StatusSuccess);
    ASSERT_EQ(f.get(OpGetNext, 1), StatusSuccess);
    EXPECT_EQ(f.record()[0], 1);
    EXPECT_EQ(f.getDirect(99, 0), StatusInvalidRecordAddress);

    EXPECT_EQ(f.insert(fileRecord(9, "new")), StatusAccessDenied);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    EXPECT_EQ(f.update(fileRecord(1, "changed")), StatusAccessDenied);
    EXPECT_EQ(f.remove(0), StatusAccessDenied);
}

// The order the index pages give is taken only when it is the key's order, over every record
// with a key, once each; any other falls back to sorting the records.
TEST_F(GenuineFiles, keyOrdersFromIndexPagesAreTakenOnlyWhenTheyAreTheKeysOrder)
{
    using Order = std::vector<uint32_t>;
    const struct {
        const char* what;
        Order byId;
    } cases[] = {
        {"the key's order", {1, 2, 0, 3}},
        {"two records swapped", {2, 1, 0, 3}},
        {"a record missing", {1, 2, 0}},
        {"a record twice", {1, 2, 2, 0, 3}},
        {"a record that is not there", {1, 2, 0, 3, 4}},
        {"reversed", {3, 0, 2, 1}},
        {"none", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        keyOrders = {{true, c.byId, {}}, {true, {3, 1, 2, 0}, {}}}; // key 1: Beta before alpha, wrong
        BtrFile f(&QuillanEngineCall);
        ASSERT_EQ(f.open(path), StatusSuccess);
        EXPECT_EQ(ids(f, OpGetFirst, OpGetNext, 0), (std::vector<int>{1, 2, 3, 4}));
        EXPECT_EQ(ids(f, OpGetLast, OpGetPrevious, 0), (std::vector<int>{4, 3, 2, 1}));
        EXPECT_EQ(ids(f, OpGetFirst, OpGetNext, 1), (std::vector<int>{4, 2, 1, 3}));
        ASSERT_EQ(f.get(OpGetGreaterOrEqual, 0, le(2, 2)), StatusSuccess);
        EXPECT_EQ(f.record()[0], 2);
        EXPECT_EQ(f.close(), StatusSuccess);
    }
}

TEST_F(GenuineFiles, createNeverOverwritesAGenuineFile)
{
    const Bytes before = readAll(path);
    BtrFile f(&QuillanEngineCall);
    EXPECT_EQ(f.create(path, fileDdfSpec()), StatusAccessDenied);
    EXPECT_EQ(f.create(dir.file("dict.GEN"), fileDdfSpec()), StatusAccessDenied); // in other letter case
    EXPECT_EQ(readAll(path), before);
    EXPECT_FALSE(fs::exists(dir.file("dict.GEN")));
}

TEST_F(GenuineFiles, unreadableRecordsGiveTheReadersStatusButStatWorks)
{
    readable = false;
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.open(path), StatusSuccess);
    Bytes stat;
    EXPECT_EQ(f.stat(stat), StatusSuccess);
    EXPECT_EQ(f.get(OpGetFirst, 0), StatusIoError);
    EXPECT_EQ(f.get(OpStepFirst, 0), StatusIoError);
    EXPECT_EQ(reads, 0);
}

TEST(GenuineStat, keysNoKeyBufferCanHoldOrImagesCutShortDoNotOpen)
{
    // Record length 4000; every segment of a key starts at byte 1. A key is at most 255 bytes:
    // 17 segments of 4000 bytes even overflow a 16-bit length.
    const auto image = [](std::vector<uint16_t> lengths) {
        std::vector<Segment> segments;
        for (size_t i = 0; i < lengths.size(); ++i)
            segments.push_back({1, lengths[i], static_cast<uint16_t>(i + 1 < lengths.size() ? 0x10 : 0)});
        return createSpec(4000, 4096, segments);
    };
    const Bytes longest = image({200, 55});
    const struct {
        const char* what;
        Bytes stat;
        int16_t status;
    } cases[] = {
        {"255 bytes", longest, StatusSuccess},
        {"256 bytes", image({200, 56}), StatusNotBtrieveFile},
        {"lengths overflowing 16 bits", image(std::vector<uint16_t>(17, 4000)), StatusNotBtrieveFile},
        {"cut inside a segment spec", Bytes(longest.begin(), longest.end() - 1), StatusNotBtrieveFile},
        {"shorter than the file spec", Bytes(longest.begin(), longest.begin() + 15), StatusNotBtrieveFile},
    };
    testsupport::TempDir dir;
    const std::string path = dir.file("LONG.gen");
    std::ofstream(path) << "genuine bytes";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        engine::setGenuineReaderForTesting(
            [&](const std::string&, engine::GenuineInfo& info) -> int16_t {
                info.stat = c.stat;
                info.recordLength = 4000;
                info.pageSize = 4096;
                info.recordsReadable = true;
                return StatusSuccess;
            },
            [](const std::string&, const engine::GenuineInfo&, std::vector<Bytes>& out,
               std::vector<engine::GenuineDamage>&, std::vector<engine::GenuineKeyOrder>&) {
                out = {Bytes(4000, 'a'), Bytes(4000, 'b')};
                return int16_t(0);
            });
        BtrFile f(&QuillanEngineCall);
        ASSERT_EQ(f.open(path), c.status);
        if (c.status == StatusSuccess) {
            EXPECT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
            EXPECT_EQ(f.key(255), Bytes(255, 'a'));
        }
    }
    engine::setGenuineReaderForTesting(nullptr, nullptr);
}

TEST(NativeFiles, foreignOrAlteredSqliteDatabasesAreNotRecordManagerFiles)
{
    testsupport::TempDir dir;
    BtrFile f(&QuillanEngineCall);
    const auto alter = [](const std::string& path, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    struct Case {
        const char* rule;
        const char* sql;
    };
    for (const Case& c : std::vector<Case>{
             {"extraTrigger", "CREATE TRIGGER t AFTER INSERT ON records BEGIN DELETE FROM records; END"},
             {"extraTable", "CREATE TABLE other(x)"},
             {"droppedIndex", "DROP INDEX key1"},
             {"otherFormat", "UPDATE quillan_file SET value = 'x' WHERE name = 'format'"},
             {"badSpecification", "UPDATE quillan_file SET value = x'00' WHERE name = 'spec'"},
             {"otherApplication", "PRAGMA application_id = 7"},
         }) {
        SCOPED_TRACE(c.rule);
        const std::string path = dir.file(std::string(c.rule) + ".ddf");
        ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
        alter(path, c.sql);
        EXPECT_EQ(f.open(path), StatusNotBtrieveFile);
    }
    const std::string plain = dir.file("plain.db");
    alter(plain, "CREATE TABLE t(x)");
    EXPECT_EQ(f.open(plain), StatusNotBtrieveFile);
}

TEST(FileNames, openTakesTheNameUpToItsFirstNulWithBlanksInsideAndFallsBackToThePartBeforeTheFirst)
{
    testsupport::TempDir dir;
    fs::create_directories(dir.path() / "Sales Data");
    fs::create_directories(dir.path() / "Sales");
    BtrFile f(&QuillanEngineCall);
    // Record lengths tell the files apart.
    for (const auto& [name, length] :
         {std::pair<const char*, uint16_t>{"A.BTR", 10}, {"Sales Data/B.BTR", 20}, {"x y.btr", 30}})
        ASSERT_EQ(f.create(dir.file(name), createSpec(length, 512, {{1, 2, 0}})), StatusSuccess) << name;
    const std::string nul(1, '\0');
    const struct {
        std::string name;
        int16_t status;
        int recordLength;
    } cases[] = {
        {dir.file("Sales Data/B.BTR"), StatusSuccess, 20},
        {dir.file("Sales Data/B.BTR") + "      ", StatusSuccess, 20},
        {dir.file("Sales Data/b.btr"), StatusSuccess, 20},
        {dir.file("x y.btr"), StatusSuccess, 30},
        {dir.file("A.BTR") + " and text after a blank", StatusSuccess, 10},
        {dir.file("A.BTR") + nul + "after the NUL", StatusSuccess, 10},
        {dir.file("x y.btr") + " more", StatusFileNotFound, 0},   // "x" does not exist
        {dir.file("Sales Data/NONE.BTR"), StatusFileNotFound, 0}, // "Sales" is a directory
        {dir.file("Sales Data"), StatusFileNotFound, 0},
        {"     ", StatusInvalidFileName, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(f.open(c.name), c.status);
        if (c.status != StatusSuccess)
            continue;
        Bytes stat;
        ASSERT_EQ(f.stat(stat), StatusSuccess);
        EXPECT_EQ(stat[0] | stat[1] << 8, c.recordLength);
        ASSERT_EQ(f.close(), StatusSuccess);
    }
}

TEST(FileNames, createMakesTheWholeNameWhenItsDirectoryExistsElseThePartBeforeTheFirstBlank)
{
    testsupport::TempDir dir;
    fs::create_directories(dir.path() / "New Dir");
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.create(dir.file("A.BTR"), createSpec(10, 512, {{1, 2, 0}})), StatusSuccess);
    const struct {
        std::string given;
        std::string made;
    } cases[] = {
        {dir.file("New Dir/C.BTR"), dir.file("New Dir/C.BTR")},
        {dir.file("New Dir/D.BTR") + "    ", dir.file("New Dir/D.BTR")},
        {dir.file("A.BTR name"), dir.file("A.BTR name")}, // never replaces A.BTR
        {dir.file("E.BTR /no/such/dir"), dir.file("E.BTR")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        ASSERT_EQ(f.create(c.given, createSpec(40, 512, {{1, 2, 0}})), StatusSuccess);
        EXPECT_TRUE(fs::is_regular_file(c.made));
        ASSERT_EQ(f.open(c.given), StatusSuccess);
        ASSERT_EQ(f.insert(Bytes(40, 'r')), StatusSuccess);
        ASSERT_EQ(f.close(), StatusSuccess);
        ASSERT_EQ(f.open(c.made), StatusSuccess);
        ASSERT_EQ(f.get(OpStepFirst, 0), StatusSuccess) << "Open found another file than Create made";
        ASSERT_EQ(f.close(), StatusSuccess);
    }
    Bytes stat;
    ASSERT_EQ(f.open(dir.file("A.BTR")), StatusSuccess);
    ASSERT_EQ(f.stat(stat), StatusSuccess);
    EXPECT_EQ(stat[0], 10);
}

TEST(NativeFiles, createRefusesAKeyWhoseSegmentLengthsAddUpPast16Bits)
{
    // 257 segments of 255 bytes and one of 11: 65,546 bytes, 10 when counted in 16 bits.
    std::vector<Segment> segments(257, Segment{1, 255, 0x10});
    segments.push_back({1, 11, 0});
    testsupport::TempDir dir;
    BtrFile f(&QuillanEngineCall);
    EXPECT_EQ(f.create(dir.file("WIDE.BTR"), createSpec(300, 16384, segments)), StatusInvalidKeyLength);
    EXPECT_FALSE(fs::exists(dir.file("WIDE.BTR")));
}

TEST(NativeFiles, createRefusesToReplaceAFileOpenHere)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FILE.DDF");
    BtrFile f(&QuillanEngineCall), g(&QuillanEngineCall);
    ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(fileRecord(1, "kept")), StatusSuccess);
    EXPECT_EQ(g.create(path, fileDdfSpec()), StatusIncompatibleMode);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    ASSERT_EQ(g.create(path, fileDdfSpec()), StatusSuccess);
}

TEST(NativeFiles, createDropsAStaleJournalOfTheFileItReplaces)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FILE.DDF");
    std::ofstream(path + "-journal") << "left by a crash";
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
    EXPECT_FALSE(fs::exists(path + "-journal"));
    ASSERT_EQ(f.open(path), StatusSuccess);
}

namespace {
// Runs `body` in a child process and waits for it.
template <class F> void inChild(F body)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
        body(); // never returns
    int status = 0;
    waitpid(pid, &status, 0);
}
} // namespace

TEST(NativeFiles, recordsOfAProcessThatEndsWithoutCloseAreKept)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FILE.DDF");
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
    inChild([&] {
        BtrFile c(&QuillanEngineCall);
        c.open(path);
        for (int i = 1; i <= 100; ++i)
            c.insert(fileRecord(i, "r" + std::to_string(i)));
        std::exit(0); // no Close
    });
    ASSERT_EQ(f.open(path), StatusSuccess);
    Bytes stat;
    ASSERT_EQ(f.stat(stat), StatusSuccess);
    EXPECT_EQ(stat[6], 100);
}

TEST(NativeFiles, aProcessKilledMidWriteLeavesAConsistentFile)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FILE.DDF");
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(fileRecord(1, "committed")), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    inChild([&] {
        BtrFile c(&QuillanEngineCall);
        c.open(path);
        for (int i = 2; i <= 500; ++i)
            c.insert(fileRecord(i, "pending"));
        _exit(0); // as if killed: nothing runs at exit
    });
    ASSERT_EQ(f.open(path), StatusSuccess);
    int n = 0;
    for (int16_t st = f.get(OpGetFirst, 1); st == StatusSuccess; st = f.get(OpGetNext, 1))
        ++n;
    EXPECT_GE(n, 1);
    ASSERT_EQ(f.insert(fileRecord(1000, "after")), StatusSuccess);
}

TEST(NativeFiles, writesWaitForAMomentaryReaderInsteadOfBeingLost)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FILE.DDF");
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.create(path, fileDdfSpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(fileRecord(1, "written")), StatusSuccess);

    // Another program reads the file and holds its shared lock for a moment.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM records", nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::thread release([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(f.close(), StatusSuccess);
    release.join();
    sqlite3_close(reader);

    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    EXPECT_EQ(f.record(), fileRecord(1, "written"));
}
