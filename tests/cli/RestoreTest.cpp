// quillan-cli restore, and the interrupted Build every command finishes first.
#include "Backups.h"
#include "Binding.h"
#include "Commands.h"
#include "SampleDictionary.h"
#include "SetWriter.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class CliRestore : public ::testing::Test {
protected:
    void SetUp() override
    {
        btrieve::setRecordManagerForTesting(&QuillanEngineCall);
        ::setenv("XDG_DATA_HOME", mTemp.file("data").c_str(), 1);
        mDict = mTemp.path() / "sales";
        fs::create_directories(mDict);
    }
    void TearDown() override { btrieve::setRecordManagerForTesting(nullptr); }

    struct Result {
        int status;
        std::string out;
        std::string err;
    };
    Result run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "quillan-cli");
        std::ostringstream out, err;
        cli::CliIo io{out, err};
        const int status = cli::runCli(args, io);
        return {status, out.str(), err.str()};
    }
    // The sales dictionary written twice, the second time with the backups the window takes:
    // the first FIELD.DDF is then the one copy.
    void twoBuilds()
    {
        sample::writeDictionary(mDict, sample::salesDictionary());
        ASSERT_EQ(dict::backUpFile((mDict / "FIELD.DDF").string()), "");
        sample::writeDictionary(mDict, sample::selfDescription());
    }

    testsupport::TempDir mTemp;
    fs::path mDict;
};

TEST_F(CliRestore, listsTheCopiesWithTimeSizeAndRecordsAndPutsOneBackWithoutItsJournal)
{
    twoBuilds();
    const std::size_t salesFields = sample::salesDictionary().fields.size();
    const Result listed = run({"restore", mDict.string(), "--list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::istringstream lines(listed.out);
    std::string header, line, extra;
    std::getline(lines, header);
    std::getline(lines, line);
    EXPECT_FALSE(std::getline(lines, extra)) << listed.out;
    EXPECT_EQ(header.substr(0, 4), "COPY");
    std::istringstream words(line);
    std::string copy, day, time, bytes, records;
    words >> copy >> day >> time >> bytes >> records;
    EXPECT_EQ(copy.substr(0, 10), "FIELD.DDF.");
    EXPECT_EQ(day.size(), 10u);
    EXPECT_EQ(std::stoull(bytes), fs::file_size(fs::path(dict::backupFolder(mDict.string())) / copy));
    EXPECT_EQ(records, std::to_string(salesFields));

    EXPECT_EQ(run({"restore", mDict.string(), "INDEX.DDF", "--list"}).status, 1) << "no copy of that file";
    EXPECT_EQ(run({"restore", mDict.string(), "FIELD.DDF.20000101-000000-000"}).status, 2);

    std::ofstream(mDict / "FIELD.DDF-journal") << "a journal a crash left";
    const Result restored = run({"restore", mDict.string(), "field.ddf"});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_NE(restored.out.find("FIELD.DDF restored from its copy of " + day + " " + time), std::string::npos)
        << restored.out;
    EXPECT_FALSE(fs::exists(mDict / "FIELD.DDF-journal"));
    const Result dumped = run({"dump", mDict.string(), "--json"});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(dict::recordCountOf((mDict / "FIELD.DDF").string()), static_cast<long long>(salesFields));
    // The file it replaced is now a copy too.
    EXPECT_EQ(dict::listBackups(mDict.string(), "FIELD.DDF").size(), 2u);
}

TEST_F(CliRestore, everyCommandFinishesABuildCutOffMidwayAndSaysSo)
{
    sample::writeDictionary(mDict, sample::selfDescription());
    fs::copy_file(mDict / "FIELD.DDF", mTemp.path() / "FIELD.DDF.self");
    sample::writeDictionary(mDict, sample::salesDictionary());
    fs::copy_file(mTemp.path() / "FIELD.DDF.self", mDict / ".FIELD.DDF.quillan-new");
    std::ofstream(mDict / dict::kSetMarkerName) << "quillan-set 1\n.FIELD.DDF.quillan-new\tFIELD.DDF\n";
    const Result checked = run({"dump", mDict.string()});
    EXPECT_NE(checked.err.find("finished now (FIELD.DDF)"), std::string::npos) << checked.err;
    EXPECT_FALSE(fs::exists(mDict / dict::kSetMarkerName));
    EXPECT_EQ(run({"dump", mDict.string()}).err, "") << "said once";
}

} // namespace

namespace {

TEST_F(CliRestore, aCopyThatDoesNotOpenOrReadToItsEndIsMarkedAndPutBackOnlyWithForce)
{
    sample::writeDictionary(mDict, sample::salesDictionary());
    const fs::path field = mDict / "FIELD.DDF";
    const std::string good = testsupport::readFile(field);
    const long long fields = static_cast<long long>(sample::salesDictionary().fields.size());
    ASSERT_EQ(dict::backUpFile(field.string()), "");
    // A copy cut short, then 100 bytes that are no file of the record manager's at all.
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes += static_cast<char>(i * 37 + 11);
    for (const std::string& content : {good.substr(0, good.size() / 2), bytes}) {
        std::ofstream(field, std::ios::binary | std::ios::trunc) << content;
        ASSERT_EQ(dict::backUpFile(field.string()), "");
    }
    sample::writeDictionary(mDict, sample::selfDescription());
    const std::string current = testsupport::readFile(field);

    const Result listed = run({"restore", mDict.string(), "--list"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::istringstream lines(listed.out);
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 3u) << listed.out;
    EXPECT_EQ(rows[0].find("unusable"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find(" " + std::to_string(fields)), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("unusable: "), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find("         0  unusable: does not open"), std::string::npos) << rows[2];

    // The newest copy is the 100 bytes: refused, and nothing is replaced.
    const Result refused = run({"restore", mDict.string(), "FIELD.DDF"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("FIELD.DDF was not restored: its copy FIELD.DDF."), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("(--force puts it back anyway)\n"), std::string::npos) << refused.err;
    EXPECT_EQ(testsupport::readFile(field), current);
    EXPECT_EQ(dict::listBackups(mDict.string(), "FIELD.DDF").size(), 3u)
        << "no copy of the file was taken either";

    const std::string halfCopy = rows[1].substr(0, rows[1].find(' '));
    EXPECT_EQ(run({"restore", mDict.string(), halfCopy}).status, 2);
    EXPECT_EQ(testsupport::readFile(field), current);
    const Result forced = run({"restore", mDict.string(), halfCopy, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(testsupport::readFile(field), good.substr(0, good.size() / 2));

    // And the good one back, by its name.
    const Result restored = run({"restore", mDict.string(), rows[0].substr(0, rows[0].find(' '))});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(testsupport::readFile(field), good);
}

} // namespace
