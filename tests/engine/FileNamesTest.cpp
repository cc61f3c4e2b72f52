// How the embedded record manager finds the file a name stands for: names written on Windows
// (backslashes), and every part of a name in any letter case when the exact name does not exist.
#include "FileNames.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

TEST(FileNames, namesAreFoundPartByPartRegardlessOfCaseAndSeparator)
{
    testsupport::TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "Misc" / "Sub");
    fs::create_directories(root / "data");
    std::ofstream(root / "Misc" / "ExchqChk.DAT") << "x";
    std::ofstream(root / "Misc" / "Sub" / "deep.dat") << "x";
    std::ofstream(root / "data" / "a.dat") << "x";
    std::ofstream(root / "data" / "A.DAT") << "x";
    std::ofstream(root / "back\\slash.dat") << "x"; // a Linux name that holds a backslash
    const std::string r = root.string();
    const struct {
        std::string name;
        std::optional<std::string> found;
    } cases[] = {
        {r + "/Misc/ExchqChk.DAT", r + "/Misc/ExchqChk.DAT"},
        {r + "/misc/exchqchk.dat", r + "/Misc/ExchqChk.DAT"},
        {r + "/misc\\exchqchk.dat", r + "/Misc/ExchqChk.DAT"},
        {r + "\\MISC\\SUB\\DEEP.DAT", r + "/Misc/Sub/deep.dat"},
        {r + "/MISC//sub\\\\Deep.dat", r + "/Misc/Sub/deep.dat"},
        {r + "/data/a.dat", r + "/data/a.dat"},     // the exact name first
        {r + "/DATA/a.Dat", r + "/data/A.DAT"},     // else the first in byte order
        {r + "/back\\slash.dat", r + "/back\\slash.dat"}, // exists as written
        {r + "/misc/missing.dat", std::nullopt},
        {r + "/nowhere\\exchqchk.dat", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine::findExistingFile(c.name), c.found);
        EXPECT_EQ(engine::findFileToOpen(c.name), c.found);
    }
    // Relative names resolve against the current directory and stay relative.
    testsupport::CurrentDirGuard here(root);
    EXPECT_EQ(engine::findExistingFile("misc\\exchqchk.dat"), std::optional<std::string>("Misc/ExchqChk.DAT"));

    // Create puts a new file where Open will find it: into the existing directory.
    EXPECT_EQ(engine::nameToCreate("misc\\sub\\New.dat"), "Misc/Sub/New.dat");
    EXPECT_EQ(engine::nameToCreate("MISC/New.dat"), "Misc/New.dat");
    EXPECT_EQ(engine::nameToCreate("Misc/New.dat"), "Misc/New.dat");
    EXPECT_EQ(engine::nameToCreate("nowhere\\New.dat"), "nowhere\\New.dat");
}
