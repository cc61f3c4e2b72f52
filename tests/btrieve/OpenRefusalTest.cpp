// An Open of a genuine file whose control record is one but cannot be followed answers 4100 and
// puts the reason in the caller's data buffer, within the data length the caller gave, through
// the call the record-manager binding hands out: the embedded engine, and libquillanbtrv taken
// up as a real library is.
#include "Binding.h"
#include "Fixtures.h"
#include "Status.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using genuinetest::Bytes;

BtrCallFn embedded()
{
    setenv("QUILLAN_RECORD_MANAGER", "embedded", 1);
    std::string error;
    EXPECT_TRUE(btrieve::initRecordManager(&error)) << error;
    unsetenv("QUILLAN_RECORD_MANAGER");
    return btrieve::recordManager();
}

BtrCallFn library()
{
    std::string error;
    const BtrCallFn fn = btrieve::loadRecordManagerLibrary(QUILLAN_BTRV_LIBRARY, &error);
    EXPECT_NE(fn, nullptr) << error;
    return fn;
}

class OpenRefusal : public ::testing::TestWithParam<BtrCallFn (*)()> {
protected:
    void SetUp() override
    {
        fn = GetParam()();
        ASSERT_NE(fn, nullptr);
    }

    std::string write(const std::string& name, const Bytes& bytes) const
    {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // One Open of `path` with a data buffer of 300 bytes of 0xEE and `capacity` as its length.
    struct Opened {
        int16_t status;
        uint32_t length;
        std::vector<uint8_t> buffer;
        uint8_t position[btr::kPositionBlockSize];
    };
    Opened open(const std::string& path, uint32_t capacity) const
    {
        Opened o{};
        o.buffer.assign(300, 0xEE);
        o.length = capacity;
        std::vector<char> key(btr::kKeyBufferSize, '\0');
        std::memcpy(key.data(), path.data(), path.size());
        uint8_t client[btr::kClientIdSize] = {};
        o.status = fn(btr::OpOpen, o.position, o.buffer.data(), &o.length, key.data(), 255, 0, client);
        return o;
    }

    testsupport::TempDir dir;
    BtrCallFn fn = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Embedded, OpenRefusal, ::testing::Values(&embedded));
INSTANTIATE_TEST_SUITE_P(Library, OpenRefusal, ::testing::Values(&library));

TEST_P(OpenRefusal, theReasonFillsWhatTheCallersLengthHasRoomForAndNothingPastIt)
{
    const Bytes good = genuinetest::buildPre6(genuinetest::sampleDef(4, false));
    const auto patched = [&good](size_t at, uint16_t value) {
        Bytes b = good;
        genuinetest::put16(b, at, value);
        return b;
    };
    const struct {
        const char* what;
        Bytes image;
        std::string reason;
    } files[] = {
        {"120 keys", patched(0x14, 120), "the control record counts 120 keys"},
        {"a key past the record", patched(0x110 + 0x14, 23), "a key lies outside the record"},
    };
    for (const auto& file : files) {
        const std::string path = write("REFUSED.BTR", file.image);
        const uint32_t whole = static_cast<uint32_t>(file.reason.size());
        for (const uint32_t capacity : {255u, whole + 1, whole, whole - 5, 1u, 0u}) {
            SCOPED_TRACE(std::string(file.what) + ", data length " + std::to_string(capacity));
            Opened o = open(path, capacity);
            EXPECT_EQ(o.status, btr::StatusLayoutNotReadable);
            const uint32_t written = std::min(capacity, whole);
            EXPECT_EQ(o.length, written);
            EXPECT_EQ(std::string(o.buffer.begin(), o.buffer.begin() + written),
                      file.reason.substr(0, written));
            EXPECT_EQ(std::vector<uint8_t>(o.buffer.begin() + written, o.buffer.end()),
                      std::vector<uint8_t>(o.buffer.size() - written, 0xEE));
            // Nothing is open behind the position block.
            uint8_t stat[1920];
            uint32_t statLength = sizeof stat;
            char key[255] = {};
            uint8_t client[btr::kClientIdSize] = {};
            EXPECT_EQ(fn(btr::OpStat, o.position, stat, &statLength, key, 255, 0, client),
                      btr::StatusFileNotOpen);
        }
    }
}

TEST_P(OpenRefusal, anOpenAnsweringAnythingElseLeavesTheBufferAndItsLength)
{
    const struct {
        const char* what;
        std::string path;
        int16_t status;
    } cases[] = {
        {"a genuine file that reads",
         write("GOOD.BTR", genuinetest::build6x(genuinetest::sampleDef(4, false))), btr::StatusSuccess},
        {"no record-manager file", write("TEXT.BTR", Bytes(3000, 'q')), btr::StatusNotBtrieveFile},
        {"no file", dir.file("NONE.BTR"), btr::StatusFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Opened o = open(c.path, 255);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.length, 255u);
        EXPECT_EQ(o.buffer, std::vector<uint8_t>(300, 0xEE));
        if (o.status == btr::StatusSuccess) {
            uint8_t scratch[4] = {};
            uint32_t length = sizeof scratch;
            char key[255] = {};
            uint8_t client[btr::kClientIdSize] = {};
            EXPECT_EQ(fn(btr::OpClose, o.position, scratch, &length, key, 255, 0, client),
                      btr::StatusSuccess);
        }
    }
}

} // namespace
