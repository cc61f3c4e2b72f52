// The record cache of the Data page over a file written through the record manager, and the
// columns a record splits into for a set of fields.
#include "Binding.h"
#include "GeneratedTable.h"
#include "RecordView.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

constexpr int kLength = 12;

// Record i carries its own number in bytes 0..3 and a text after it.
std::vector<uint8_t> numbered(int i)
{
    std::vector<uint8_t> r(kLength, ' ');
    generated::putInt(r, 0, 4, uint64_t(i));
    generated::putText(r, 4, 8, "rec" + std::to_string(i), ' ');
    return r;
}

class RecordViewTest : public ::testing::Test {
protected:
    void SetUp() override { btrieve::setRecordManagerForTesting(&QuillanEngineCall); }
    void TearDown() override { btrieve::setRecordManagerForTesting(nullptr); }
    testsupport::TempDir mTemp;
};

int numberIn(std::span<const uint8_t> r)
{
    return r.size() < 4 ? -1 : int(r[0] | r[1] << 8 | r[2] << 16 | r[3] << 24);
}

TEST_F(RecordViewTest, recordsComeBackWhateverTheOrderOfFetchesAndLookBacks)
{
    const std::string path = mTemp.file("NUMBERS.DAT");
    for (const auto& [withKey, quickly] :
         {std::pair{true, false}, {false, false}, {true, true}, {false, true}}) {
        ASSERT_EQ(generated::writeDataFile(path, kLength, 1000, numbered, withKey), 0);
        // Blocks of 16, three kept: most look-backs read a block again, and every fetch after
        // one must go on where the last fetch ended.
        dict::RecordCache cache(16, 3);
        ASSERT_EQ(cache.open(path, quickly), 0);
        EXPECT_EQ(cache.recordLength(), std::size_t(kLength));
        EXPECT_EQ(cache.hasLayout(), !quickly);
        EXPECT_EQ(cache.loaded(), 0u);
        generated::Random rnd(5);
        while (!cache.atEnd()) {
            const std::size_t before = cache.loaded();
            const std::size_t got = cache.fetch(1 + rnd.below(90));
            for (std::size_t r = before; r < before + got; ++r)
                ASSERT_EQ(numberIn(cache.record(r)), int(r)) << "fresh row " << r << " key " << withKey << " quickly " << quickly;
            for (int k = 0; k < 5 && cache.loaded(); ++k) {
                const std::size_t row = std::size_t(rnd.below(int(cache.loaded())));
                ASSERT_EQ(numberIn(cache.record(row)), int(row)) << "row " << row << " key " << withKey;
            }
            EXPECT_LE(cache.cachedBlocks(), 4u);
        }
        EXPECT_EQ(cache.loaded(), 1000u);
        EXPECT_EQ(cache.endStatus(), 9);
        EXPECT_EQ(cache.fetch(10), 0u);
        EXPECT_TRUE(cache.record(1000).empty());
        // The statistics come when asked for and change nothing read.
        EXPECT_EQ(cache.readLayout(), 0);
        EXPECT_EQ(cache.layout().spec.recordCount, 1000);
        EXPECT_EQ(cache.layout().keyCount, withKey ? 1 : 0);
        EXPECT_EQ(numberIn(cache.record(3)), 3);
    }
    // A file without records: the quick open has no first record to measure and reads the
    // statistics instead.
    ASSERT_EQ(generated::writeDataFile(path, kLength, 0, numbered), 0);
    dict::RecordCache empty;
    ASSERT_EQ(empty.open(path, true), 0);
    EXPECT_TRUE(empty.hasLayout());
    EXPECT_EQ(empty.recordLength(), std::size_t(kLength));
    EXPECT_EQ(empty.fetch(5), 0u);
    EXPECT_TRUE(empty.atEnd());
    EXPECT_NE(empty.open(mTemp.file("NONE.DAT"), true), 0);
    EXPECT_FALSE(empty.isOpen());
}

TEST(ViewColumns, uncoveredRangesOverlapsAndFieldsOutsideTheRecord)
{
    using Kind = dict::ViewColumn::Kind;
    struct Expected {
        Kind kind;
        int offset, size;
        bool overlaps, outside;
    };
    struct Case {
        const char* what;
        std::vector<dict::ViewField> fields;
        std::size_t length;
        std::vector<Expected> columns;
    };
    const Case cases[] = {
        {"no fields: one range", {}, 6, {{Kind::Uncovered, 0, 6, false, false}}},
        {"exact cover", {{"a", 0, 2, 1, 0}, {"b", 2, 4, 0, 0}}, 6,
         {{Kind::Field, 0, 2, false, false}, {Kind::Field, 2, 4, false, false}}},
        {"gap in the middle and at the end, fields out of order", {{"b", 4, 1, 0, 0}, {"a", 0, 2, 1, 0}}, 8,
         {{Kind::Field, 0, 2, false, false},
          {Kind::Uncovered, 2, 2, false, false},
          {Kind::Field, 4, 1, false, false},
          {Kind::Uncovered, 5, 3, false, false}}},
        {"overlap shifted by one", {{"a", 0, 4, 1, 0}, {"b", 3, 3, 0, 0}}, 6,
         {{Kind::Field, 0, 4, true, false}, {Kind::Field, 3, 3, true, false}}},
        {"beyond the record and empty", {{"a", 0, 4, 1, 0}, {"b", 3, 9, 0, 0}, {"c", 2, 0, 0, 0}}, 6,
         {{Kind::Field, 0, 4, true, false}, {Kind::Field, 2, 0, false, true}, {Kind::Field, 3, 9, true, true}}},
    };
    for (const Case& c : cases) {
        const auto got = dict::viewColumns(c.fields, c.length);
        ASSERT_EQ(got.size(), c.columns.size()) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, c.columns[i].kind) << c.what << " #" << i;
            EXPECT_EQ(got[i].offset, c.columns[i].offset) << c.what << " #" << i;
            EXPECT_EQ(got[i].size, c.columns[i].size) << c.what << " #" << i;
            EXPECT_EQ(got[i].overlaps, c.columns[i].overlaps) << c.what << " #" << i;
            EXPECT_EQ(got[i].outside, c.columns[i].outside) << c.what << " #" << i;
        }
    }
}

TEST(ViewColumns, valuesDecodeAsExportDoesAndShowTheBytesWhenTheyDoNot)
{
    const std::vector<dict::ViewField> fields = {
        {"Id", 0, 2, 1, 0}, {"Day", 2, 4, 3, 0}, {"Name", 6, 4, 0, 0}, {"Gone", 12, 2, 1, 0}};
    const auto columns = dict::viewColumns(fields, 11);
    const std::vector<uint8_t> good = {0x39, 0x30, 24, 12, 0xE8, 0x07, 'A', 'd', 'a', ' ', 0xAB};
    const std::vector<uint8_t> bad = {0xFF, 0xFF, 31, 2, 0xE8, 0x07, 'A', 1, 'a', ' ', 0xAB};
    const std::vector<uint8_t> none = {0, 0, 0, 0, 0, 0, ' ', ' ', ' ', ' ', 0};
    auto texts = [&](const std::vector<uint8_t>& r) {
        std::vector<std::string> t;
        for (const auto& c : columns) {
            const dict::ColumnValue v = dict::columnValue(c, fields, r);
            t.push_back((v.decodes ? "" : "!") + v.text + (v.empty ? "(none)" : ""));
        }
        return t;
    };
    EXPECT_EQ(texts(good), (std::vector<std::string>{"12345", "2024-12-24", "Ada", "AB", "!"}));
    EXPECT_EQ(texts(bad), (std::vector<std::string>{"-1", "!1F 02 E8 07", "!41 01 61 20", "AB", "!"}));
    EXPECT_EQ(texts(none), (std::vector<std::string>{"0", "(none)", "", "00", "!"}));
}

} // namespace
