// quillan-cli restore, and the interrupted Build every command finishes first.
#include "Backups.h"
#include "Binding.h"
#include "Commands.h"
#include "SampleDictionary.h"
#include "SetWriter.h"
#include "TempDir.h"

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
