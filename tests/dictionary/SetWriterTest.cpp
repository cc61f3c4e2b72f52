// The set writer, the backups and their restore, against the faults a cut-off Build used to
// cause: a journal left by a crash played back into a restored file, empty files pushing the
// last full copy out of the backups, a slow Build committing part of a file on the way.
#include "SafeFiles.h"
#include "SetWriterSupport.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace settest;
using SetWriter = SetWriting;

std::string fieldDdf()
{
    return dict::creationSpec(dict::DictFile::Field).fileName;
}

long long countWithSqlite(const std::string& path)
{
    sqlite3* db = nullptr;
    long long count = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            count = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return count;
}

// Leaves a hot journal beside `path`: a child process starts deleting every record with a cache
// too small to hold the change, so pages reach the file, and is killed before it commits.
void leaveHotJournal(const std::string& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; DELETE FROM records;", nullptr, nullptr, nullptr);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST_F(SetWriter, aRestoreOverAFileWithAHotJournalGivesTheCopyBackWholeWhereACopyByHandLosesIt)
{
    const Generation full = generate(3000, 1);
    ASSERT_EQ(writeGeneration(full), "");
    ASSERT_EQ(writeGeneration(generate(3000, 2)), ""); // the first generation is now a backup
    leaveHotJournal(fieldDdf());
    ASSERT_TRUE(fs::exists(fieldDdf() + "-journal"));
    ASSERT_GT(fs::file_size(fieldDdf() + "-journal"), 0u);
    fs::create_directories("aside");
    fs::copy_file(fieldDdf(), "aside/f");
    fs::copy_file(fieldDdf() + "-journal", "aside/j");

    const std::vector<dict::BackupCopy> copies = dict::listBackups(fs::current_path().string(), "field.ddf");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].fileName, fieldDdf());
    EXPECT_EQ(copies[0].records, 9000);
    EXPECT_EQ(copies[0].size, fs::file_size(copies[0].path));
    EXPECT_EQ(copies[0].taken.size(), 19u) << copies[0].taken;

    // By hand: the copy goes over the file, and the journal is played back into it.
    fs::copy_file(copies[0].path, fieldDdf(), fs::copy_options::overwrite_existing);
    int status = 0;
    const Records byHand = readFile(dict::DictFile::Field, status);
    EXPECT_FALSE(status == 0 && sameRecords(byHand, full.files[1])) << "the journal no longer harms a copy";

    fs::copy_file("aside/f", fieldDdf(), fs::copy_options::overwrite_existing);
    fs::copy_file("aside/j", fieldDdf() + "-journal", fs::copy_options::overwrite_existing);
    ASSERT_EQ(dict::restoreBackup(copies[0], fs::current_path().string()), "");
    EXPECT_FALSE(fs::exists(fieldDdf() + "-journal"));
    const Records restored = readFile(dict::DictFile::Field, status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(sameRecords(restored, full.files[1]));
    // The file it replaced went into the backups first.
    EXPECT_EQ(dict::listBackups(fs::current_path().string(), fieldDdf()).size(), 2u);
}

TEST_F(SetWriter, theBackupLimitKeepsTheNewestCopyThatDiffersFromTheFileHowEverManyEmptyCopiesFollow)
{
    dict::setSyncsForTesting(false); // two dozen Builds; what is synced is not the question here
    struct SyncsBack {
        ~SyncsBack() { dict::setSyncsForTesting(true); }
    } syncsBack;
    const Generation full = generate(40, 1);
    ASSERT_EQ(writeGeneration(full), "");
    ASSERT_EQ(writeGeneration(generate(40, 2)), ""); // generation 1 backed up
    const Generation emptied = generate(0, 3);
    for (int build = 0; build < 2 * dict::kBackupsKept; ++build)
        ASSERT_EQ(writeGeneration(emptied), "");

    const std::string here = fs::current_path().string();
    for (int i = 0; i < 4; ++i) {
        const std::string name = dict::creationSpec(kFiles[i]).fileName;
        const auto copies = dict::listBackups(here, name);
        ASSERT_EQ(int(copies.size()), dict::kBackupsKept) << name;
        // The newest copy holding something: generation 2, before the first empty Build.
        int withRecords = 0;
        for (const auto& c : copies)
            withRecords += c.records > 0;
        EXPECT_EQ(withRecords, 1) << name;
        EXPECT_EQ(copies.front().records, static_cast<long long>(generate(40, 2).files[i].size())) << name;
    }
    // A copy that differs from the file is not kept forever: once the file holds it again, the
    // limit counts it like any other copy.
    ASSERT_EQ(writeGeneration(generate(40, 2)), "");
    ASSERT_EQ(writeGeneration(generate(40, 2)), "");
    const auto copies = dict::listBackups(here, fieldDdf());
    ASSERT_EQ(int(copies.size()), dict::kBackupsKept);
    EXPECT_EQ(copies.back().records, 120) << "the file before the last Build";
    EXPECT_EQ(copies[copies.size() - 2].records, 0) << "the empty file the next-to-last Build replaced";
}

TEST_F(SetWriter, aFileBeingFilledShowsNoRecordsBeforeItsCloseHowEverLongOrLargeTheFilling)
{
    const std::string temporary = ".INDEX.DDF.quillan-new";
    std::vector<std::pair<int, long long>> seen; // insert number, records another reader finds
    int inserts = 0;
    dict::setWriteStepHookForTesting([&](const char* step) {
        if (std::string(step) != "insert")
            return;
        ++inserts;
        if (inserts == 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(2100)); // older than two seconds
        if (inserts == 101 || inserts == 50500)
            seen.emplace_back(inserts, countWithSqlite(temporary));
    });
    dict::RecordArray array = dict::makeIndexTableArray();
    std::vector<dict::RowSlot> rows;
    for (int n = 1; n <= 50600; ++n) {
        dict::IndexRecord key{int16_t(n % 1000), int16_t(n % 30000), 0, int16_t(n % 7), 0x100};
        key.encode(array.slot(std::size_t(n - 1)));
        rows.push_back({n, std::size_t(n - 1)});
    }
    dict::DictionarySetWriter set;
    dict::BuildReport report;
    ASSERT_TRUE(set.stage(dict::DictFile::Index, array, rows, report));
    dict::setWriteStepHookForTesting(nullptr);
    EXPECT_TRUE(report.empty()) << report.text(true);
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [at, count] : seen)
        EXPECT_EQ(count, 0) << "records committed by insert " << at;
    EXPECT_EQ(countWithSqlite(temporary), 50600) << "all of them once closed";
    EXPECT_FALSE(fs::exists("INDEX.DDF")) << "nothing replaced before the commit";
    ASSERT_EQ(set.commit(nullptr), "");
    EXPECT_EQ(countWithSqlite("INDEX.DDF"), 50600);
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(SetWriter, aSetThatCannotBeBackedUpReplacesNothingAndLeavesNoPrivateFiles)
{
    const Generation first = generate(5, 1);
    ASSERT_EQ(writeGeneration(first), "");
    dict::DictionarySetWriter set;
    dict::BuildReport report;
    stage(set, generate(6, 2), report);
    int calls = 0;
    const std::string error = set.commit([&](const std::string& path) {
        return ++calls == 2 ? std::string("no room for ") + path : std::string();
    });
    EXPECT_EQ(error, "FIELD.DDF was not written: no room for FIELD.DDF");
    for (int i = 0; i < 4; ++i) {
        int status = 0;
        EXPECT_TRUE(sameRecords(readFile(kFiles[i], status), first.files[i])) << i;
    }
    for (const auto& entry : fs::directory_iterator("."))
        EXPECT_EQ(entry.path().filename().string().find("quillan"), std::string::npos) << entry.path();
}

// The check made before a Build writes anything finds exactly the records Insert would refuse,
// and such a refusal makes the set one that must not be committed.
TEST_F(SetWriter, duplicateKeyValuesFoundBeforehandAreTheRecordsTheRecordManagerRefuses)
{
    struct Change {
        const char* name;
        int file;                     // index into kFiles
        std::size_t from, to, length; // bytes of record 0 copied into record `into`
        bool lowerCase;               // the copy in lower case (keys that ignore case)
    };
    const Change changes[] = {
        {"table id", 0, 0, 0, 2, false},
        {"table name, other case", 0, 2, 2, 20, true},
        {"field id", 1, 0, 0, 2, false},
        {"field name in its table", 1, 2, 2, 22, true},
        {"field offset and dec (duplicates)", 1, 25, 25, 2, false},
        {"key segment (duplicates)", 2, 0, 0, 10, false},
        {"extended type of a field", 3, 0, 0, 4, false},
    };
    for (const Change& change : changes)
        for (const std::size_t into : {std::size_t(1), std::size_t(5)}) {
            SCOPED_TRACE(std::string(change.name) + ", record " + std::to_string(into));
            Generation g = generate(8, 3);
            Records& records = g.files[std::size_t(change.file)];
            if (change.file == 1) // two fields of one table: the second of table 1, or table 2's
                records[into][2] = records[0][2], records[into][3] = records[0][3];
            if (change.file == 3)
                records.push_back(records[0]), records.back()[4] ^= 1; // the same field twice
            else
                for (std::size_t i = 0; i < change.length; ++i) {
                    const uint8_t b = records[0][change.from + i];
                    records[into][change.to + i] =
                        change.lowerCase && b >= 'A' && b <= 'Z' ? uint8_t(b + 32) : b;
                }
            const dict::DictFile file = kFiles[std::size_t(change.file)];
            const auto found = dict::duplicateKeyValues(dict::creationSpec(file).bytes, records);

            dict::DictionarySetWriter set;
            dict::BuildReport report;
            stage(set, g, report, {change.file});
            std::size_t refused = 0;
            for (const auto& value : found)
                refused += value.records.size() - 1;
            EXPECT_EQ(set.incomplete(), refused > 0) << report.text(true);
            ASSERT_EQ(set.staged().size(), 1u);
            EXPECT_EQ(set.staged()[0].records, records.size() - refused) << report.text(true);
            set.abandon();
        }
}

TEST_F(SetWriter, theNextStartNamesWhatItFinishedAndIgnoresAMarkerThatPointsOutsideItsDirectory)
{
    // A marker naming a file elsewhere, and one private file the marker lists.
    ASSERT_EQ(writeGeneration(generate(2, 1)), "");
    std::ofstream("outside.quillan-new") << "x";
    fs::copy_file(fieldDdf(), ".FIELD.DDF.quillan-new");
    {
        std::ofstream marker(dict::kSetMarkerName);
        marker << "quillan-set 1\n../outside.quillan-new\tFILE.DDF\n.FIELD.DDF.quillan-new\tFIELD.DDF\n";
    }
    const std::string said = dict::finishInterruptedSet(".");
    EXPECT_NE(said.find("finished now (FIELD.DDF)"), std::string::npos) << said;
    EXPECT_TRUE(fs::exists("outside.quillan-new"));
    EXPECT_FALSE(fs::exists(dict::kSetMarkerName));
    EXPECT_EQ(dict::finishInterruptedSet("."), "") << "nothing left to do";

    // Private files without a marker: a Build cut off before it replaced anything.
    fs::copy_file(fieldDdf(), ".INDEX.DDF.quillan-new");
    fs::copy_file(fieldDdf(), ".FILE.DDF.quillan-new");
    EXPECT_EQ(
        dict::finishInterruptedSet("."),
        "A Build of the dictionary set was cut off before it replaced any file; its unfinished copies of "
        "FILE.DDF and INDEX.DDF were removed, and the dictionary is as it was before.");
}

TEST(Backups, theFolderIsNamedAfterTheCleanedDirectoryWithAShortHashOfIt)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", "/tmp/quillan-data", 1);
    // The hash is SHA-1 of the cleaned path's UTF-8 bytes, as earlier versions named the folders.
    EXPECT_EQ(dict::backupFolder("/data/sales"),
              "/tmp/quillan-data/Quillan/backups/data_sales-" +
                  dict::backupFolder("/data/sales/").substr(dict::backupFolder("/data/sales/").size() - 8));
    EXPECT_EQ(dict::backupFolder("/data/./x/../sales//"), dict::backupFolder("/data/sales"));
    EXPECT_EQ(dict::backupFolder("/"), "/tmp/quillan-data/Quillan/backups/root-42099b4a");
    EXPECT_EQ(dict::backupFolder("/data/sales").substr(dict::backupFolder("/data/sales").size() - 8),
              "8cfd57e3");
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

} // namespace
