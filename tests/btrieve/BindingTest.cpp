#include "Binding.h"
#include "Status.h"

#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr int16_t kNamedLibraryStatus = 77;  // what FAKE_LIBRARY answers
constexpr int16_t kLoaderLibraryStatus = 78; // what the fake libpsqlmif on the loader path answers

int16_t callOnce(BtrCallFn fn)
{
    uint8_t positionBlock[128] = {};
    uint8_t clientId[16] = {};
    char key[256] = {};
    uint32_t length = 0;
    return fn(15, positionBlock, nullptr, &length, key, 255, 0, clientId);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The usable library a run of this test finds on the loader path, or empty when none was put there.
std::string loaderPathLibrary()
{
    return environment("QUILLAN_TEST_LOADER_LIBRARY");
}

// A file named like the real library on the loader path that is no library, or empty.
std::string loaderPathJunk()
{
    return environment("QUILLAN_TEST_LOADER_JUNK");
}

class BindingTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        unsetenv("QUILLAN_RECORD_MANAGER");
        btrieve::setRecordManagerForTesting(nullptr);
        btrieve::initRecordManager(nullptr);
    }

    bool choose(const char* value, std::string* error)
    {
        if (value)
            setenv("QUILLAN_RECORD_MANAGER", value, 1);
        else
            unsetenv("QUILLAN_RECORD_MANAGER");
        return btrieve::initRecordManager(error);
    }
};

TEST_F(BindingTest, embeddedChoiceUsesTheLinkedEngine)
{
    for (const char* value : {"embedded", "Embedded", " embedded\n"}) {
        std::string error = "untouched";
        ASSERT_TRUE(choose(value, &error)) << value;
        EXPECT_EQ(btrieve::recordManager(), &QuillanEngineCall);
        EXPECT_EQ(btrieve::recordManagerDescription(), "embedded");
        EXPECT_EQ(error, "untouched");
    }
}

TEST_F(BindingTest, namedLibraryIsCalledThroughItsBTRCALLID)
{
    std::string error;
    ASSERT_TRUE(choose(FAKE_LIBRARY, &error)) << error;
    EXPECT_EQ(callOnce(btrieve::recordManager()), kNamedLibraryStatus);
    EXPECT_TRUE(std::filesystem::equivalent(btrieve::recordManagerDescription(), FAKE_LIBRARY));
}

struct UnusableLibrary {
    const char* name;
    std::string path;
    const char* reason;
};

class UnusableLibraries : public BindingTest, public ::testing::WithParamInterface<UnusableLibrary> {};

TEST_P(UnusableLibraries, areAClearErrorAndNeverAFallback)
{
    testsupport::TempDir dir;
    std::string path = GetParam().path;
    if (path.empty()) {
        path = dir.file("libnotalibrary.so");
        std::ofstream(path) << "this is not a shared library\n";
    }
    std::string error;
    EXPECT_FALSE(choose(path.c_str(), &error));
    EXPECT_THAT(error, StartsWith("QUILLAN_RECORD_MANAGER: "));
    EXPECT_THAT(error, HasSubstr("\"" + path + "\""));
    EXPECT_THAT(error, HasSubstr(GetParam().reason));
    EXPECT_EQ(callOnce(btrieve::recordManager()), btr::StatusRecordManagerInactive);
    EXPECT_THAT(btrieve::recordManagerDescription(), StartsWith("unavailable: "));

    std::string direct;
    EXPECT_EQ(btrieve::loadRecordManagerLibrary(path, &direct), nullptr);
    EXPECT_EQ("QUILLAN_RECORD_MANAGER: " + direct, error);
    EXPECT_EQ(btrieve::loadRecordManagerLibrary(path, nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Binding, UnusableLibraries,
    ::testing::Values(UnusableLibrary{"missing", "/nonexistent/dir/libpsqlmif.so", "No such file"},
                      UnusableLibrary{"notALibrary", "", "cannot load"},
                      UnusableLibrary{"withoutEntryPoint", NO_ENTRY_LIBRARY, "does not export BTRCALLID"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BindingTest, systemChoiceTakesUpAnInstalledLibraryOrSaysWhereItLooked)
{
    std::string error;
    const bool chosen = choose("system", &error);
    if (!loaderPathLibrary().empty()) {
        ASSERT_TRUE(chosen) << error;
        EXPECT_EQ(callOnce(btrieve::recordManager()), kLoaderLibraryStatus);
        EXPECT_TRUE(std::filesystem::equivalent(btrieve::recordManagerDescription(), loaderPathLibrary()));
        return;
    }
    if (chosen)
        GTEST_SKIP() << "a record manager is installed here: " << btrieve::recordManagerDescription();
    if (!loaderPathJunk().empty()) {
        EXPECT_THAT(error,
                    StartsWith("QUILLAN_RECORD_MANAGER=system: no usable Btrieve record manager library"));
        EXPECT_THAT(error, HasSubstr(loaderPathJunk()));
        EXPECT_THAT(error, HasSubstr("file too short"));
        return;
    }
    EXPECT_THAT(error,
                StartsWith("QUILLAN_RECORD_MANAGER=system: no Btrieve record manager library was found"));
    EXPECT_THAT(error, HasSubstr("libpsqlmif.so"));
    EXPECT_THAT(error, HasSubstr("/usr/local/psql/lib64"));
    EXPECT_EQ(callOnce(btrieve::recordManager()), btr::StatusRecordManagerInactive);
}

TEST_F(BindingTest, defaultChoicePrefersAnInstalledLibraryOverTheEmbeddedEngine)
{
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        std::string error;
        ASSERT_TRUE(choose(value, &error)) << error;
        if (!loaderPathLibrary().empty()) {
            EXPECT_EQ(callOnce(btrieve::recordManager()), kLoaderLibraryStatus);
        } else if (btrieve::recordManagerDescription() == "embedded") {
            EXPECT_EQ(btrieve::recordManager(), &QuillanEngineCall);
        }
    }
}

TEST_F(BindingTest, testingOverrideWinsUntilCleared)
{
    ASSERT_TRUE(choose("embedded", nullptr));
    std::string error;
    BtrCallFn fake = btrieve::loadRecordManagerLibrary(FAKE_LIBRARY, &error);
    ASSERT_NE(fake, nullptr) << error;
    btrieve::setRecordManagerForTesting(fake);
    EXPECT_EQ(btrieve::recordManager(), fake);
    EXPECT_EQ(btrieve::recordManagerDescription(), "embedded");
    btrieve::setRecordManagerForTesting(nullptr);
    EXPECT_EQ(btrieve::recordManager(), &QuillanEngineCall);
}

} // namespace
