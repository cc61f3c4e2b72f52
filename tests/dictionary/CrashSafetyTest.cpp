// A Build killed at every step of its writing: a child process writes a new generation of a
// dictionary set over an old one and is killed (SIGKILL) right after its Nth write, sync, copy
// or rename. After each kill every file holds either its old or its new records, never a part
// or none, and the next start's finishInterruptedSet() makes the set whole: all old when the
// kill came before the renames began, all new after.
#include "SafeFiles.h"
#include "SetWriterSupport.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace settest;

struct Scenario {
    const char* name;
    int oldTables;  // 0: no dictionary before
    bool oldHasExt; // FIELDEXT.DDF was there before
    int newTables;
};

// Runs the Build of `next` in a child, killed after its `killAt`th step (never when 0). Returns
// the number of steps the child took when it was not killed.
int buildInChild(const Generation& next, int killAt)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        int steps = 0;
        dict::setWriteStepHookForTesting([&](const char*) {
            if (++steps == killAt)
                ::kill(::getpid(), SIGKILL);
        });
        const std::string error = writeGeneration(next);
        ::write(pipeFds[1], &steps, sizeof steps);
        ::_exit(error.empty() ? 0 : 3);
    }
    ::close(pipeFds[1]);
    int steps = -1;
    if (::read(pipeFds[0], &steps, sizeof steps) != sizeof steps)
        steps = -1;
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (killAt > 0) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "kill point " << killAt;
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return steps;
}

// Which generation a file holds: 0 old, 1 new, -1 neither (or unreadable). A file that was not
// there counts as the old generation when the old set had no such file.
int generationOf(int file, const Generation& oldSet, bool oldHad, const Generation& newSet)
{
    int status = 0;
    const Records records = readFile(kFiles[file], status);
    if (status == 12 && !oldHad)
        return 0;
    if (status != 0)
        return -1;
    if (oldHad && sameRecords(records, oldSet.files[file]))
        return 0;
    if (sameRecords(records, newSet.files[file]))
        return 1;
    return -1;
}

using CrashSafety = SetWriting;

TEST_F(CrashSafety, aBuildKilledAtAnyStepLeavesEveryFileOldOrNewAndTheNextStartMakesTheSetWhole)
{
    const Scenario scenarios[] = {
        {"over a full set", 12, true, 15},
        {"a first set, no dictionary before", 0, false, 10},
        {"over a set without FIELDEXT.DDF", 8, false, 9},
    };
    // A killed process loses nothing the page cache holds: syncs prove nothing here and would
    // make every kill point cost several disk flushes.
    dict::setSyncsForTesting(false);
    struct SyncsBack {
        ~SyncsBack() { dict::setSyncsForTesting(true); }
    } syncsBack;
    int killPoints = 0;
    int scenario = 0;
    for (const Scenario& sc : scenarios) {
        SCOPED_TRACE(sc.name);
        const Generation oldSet = generate(sc.oldTables, 1);
        const Generation newSet = generate(sc.newTables, 2);
        const fs::path original = mDir.path() / ("original" + std::to_string(++scenario));
        fs::create_directories(original);
        if (sc.oldTables > 0) {
            ASSERT_EQ(writeGeneration(oldSet), "");
            for (int i = 0; i < 4; ++i) {
                const std::string name = dict::creationSpec(kFiles[i]).fileName;
                if (i == 3 && !sc.oldHasExt)
                    fs::remove(name);
                else
                    fs::copy_file(name, original / name, fs::copy_options::overwrite_existing);
            }
        }
        auto restoreOld = [&] {
            for (const auto& entry : fs::directory_iterator(mDir.path()))
                if (entry.is_regular_file())
                    fs::remove(entry.path());
            for (const auto& entry : fs::directory_iterator(original))
                fs::copy_file(entry.path(), mDir.path() / entry.path().filename());
        };

        // The steps of the whole Build, counted in this process; from the rename that puts the
        // marker in place on, the set is decided.
        restoreOld();
        std::vector<std::string> stepNames;
        dict::setWriteStepHookForTesting([&](const char* step) { stepNames.push_back(step); });
        ASSERT_EQ(writeGeneration(newSet), "");
        dict::setWriteStepHookForTesting(nullptr);
        const int steps = int(stepNames.size());
        const auto marker = std::find(stepNames.begin(), stepNames.end(), "marker");
        ASSERT_NE(marker, stepNames.end());
        const int decidedAt = int(std::find(marker, stepNames.end(), "rename") - stepNames.begin()) + 1;
        ASSERT_GT(steps, 50);
        restoreOld();
        ASSERT_EQ(buildInChild(newSet, 0), steps) << "the same steps in a child";
        for (int killAt = 1; killAt <= steps; ++killAt) {
            SCOPED_TRACE("killed after step " + std::to_string(killAt) + " of " + std::to_string(steps));
            restoreOld();
            buildInChild(newSet, killAt);
            ++killPoints;
            const bool renaming = fs::exists(dict::kSetMarkerName);
            const bool decided = killAt >= decidedAt;
            EXPECT_EQ(renaming, decided && killAt < steps) << stepNames[std::size_t(killAt - 1)];
            int seen[4];
            for (int i = 0; i < 4; ++i) {
                const bool oldHad = sc.oldTables > 0 && (i < 3 || sc.oldHasExt);
                seen[i] = generationOf(i, oldSet, oldHad, newSet);
                ASSERT_NE(seen[i], -1) << dict::creationSpec(kFiles[i]).fileName << " is neither old nor new";
                if (!decided) {
                    EXPECT_EQ(seen[i], 0) << "a file replaced before the marker was written";
                }
            }
            const std::string said = dict::finishInterruptedSet(".");
            for (int i = 0; i < 4; ++i) {
                const bool oldHad = sc.oldTables > 0 && (i < 3 || sc.oldHasExt);
                EXPECT_EQ(generationOf(i, oldSet, oldHad, newSet), decided ? 1 : 0)
                    << dict::creationSpec(kFiles[i]).fileName << " after the next start";
            }
            EXPECT_FALSE(fs::exists(dict::kSetMarkerName));
            for (const auto& entry : fs::directory_iterator(mDir.path()))
                EXPECT_EQ(entry.path().filename().string().find("quillan-new"), std::string::npos)
                    << entry.path().filename();
            const bool leftovers = renaming && (seen[0] + seen[1] + seen[2] + seen[3] < 4);
            if (leftovers) {
                EXPECT_NE(said.find("finished"), std::string::npos) << said;
            }
            if (!decided && !said.empty()) {
                EXPECT_NE(said.find("before it replaced any file"), std::string::npos) << said;
            }
        }
    }
    EXPECT_GE(killPoints, 200);
}

} // namespace
