#include "CreationSpecs.h"
#include "Bytes.h"

#include <gtest/gtest.h>

using namespace dict;
using testbytes::Bytes;

namespace {

struct SegmentRow {
    unsigned position, length, flags, extendedType;
};

struct SpecCase {
    DictFile file;
    const char* name;
    unsigned recordLength, indexes;
    std::vector<SegmentRow> segments;
    bool acs;
    std::size_t length;
};

std::vector<uint8_t> expectedAcs()
{
    Bytes b;
    b.u8(0xAC).text("UPPER", 5).fill(0, 3);
    for (unsigned i = 0; i < 256; ++i)
        b.u8(i >= 'a' && i <= 'z' ? i - 32 : i);
    return b.get();
}

class CreationSpecIsBuiltAsItsTableGivesIt : public testing::TestWithParam<SpecCase> {};

TEST_P(CreationSpecIsBuiltAsItsTableGivesIt, byteForByte)
{
    const SpecCase& c = GetParam();
    Bytes b;
    b.u16(c.recordLength).u16(4096).u16(c.indexes).fill(0, 10);
    for (const SegmentRow& s : c.segments)
        b.u16(s.position).u16(s.length).u16(s.flags).fill(0, 4).u8(s.extendedType).fill(0, 5);
    std::vector<uint8_t> expected = b.get();
    if (c.acs) {
        auto acs = expectedAcs();
        expected.insert(expected.end(), acs.begin(), acs.end());
    }

    const CreationSpec& spec = creationSpec(c.file);
    EXPECT_STREQ(spec.fileName, c.name);
    EXPECT_EQ(spec.recordLength, c.recordLength);
    EXPECT_EQ(spec.bytes.size(), c.length);
    EXPECT_EQ(spec.bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(
    DictionaryFiles, CreationSpecIsBuiltAsItsTableGivesIt,
    testing::Values(
        SpecCase{DictFile::File, "FILE.DDF", 97, 2, {{1, 2, 0x104, 14}, {3, 20, 0x122, 0}}, true, 313},
        SpecCase{DictFile::Field,
                 "FIELD.DDF",
                 32,
                 5,
                 {{1, 2, 0x104, 14},
                  {3, 2, 0x105, 14},
                  {5, 20, 0x123, 0},
                  {3, 2, 0x116, 14},
                  {5, 20, 0x122, 0},
                  {3, 2, 0x117, 14},
                  {26, 2, 0x117, 14},
                  {30, 1, 0x103, 0}},
                 true,
                 409},
        SpecCase{
            DictFile::Index,
            "INDEX.DDF",
            10,
            3,
            {{1, 2, 0x105, 14}, {3, 2, 0x105, 14}, {1, 2, 0x115, 14}, {5, 2, 0x115, 14}, {7, 2, 0x105, 14}},
            false,
            96},
        SpecCase{
            DictFile::FieldExt, "FIELDEXT.DDF", 6, 1, {{1, 2, 0x114, 14}, {3, 2, 0x104, 14}}, false, 48}));

TEST(UpperSequence, changesOnlyTheLettersAToZ)
{
    const auto& acs = upperAcs();
    ASSERT_EQ(acs.size(), 265u);
    EXPECT_EQ(acs[0], 0xAC);
    EXPECT_EQ(std::string(acs.begin() + 1, acs.begin() + 9), std::string("UPPER\0\0\0", 8));
    for (int b = 0; b < 256; ++b) {
        int expected = (b >= 'a' && b <= 'z') ? b - 32 : b;
        EXPECT_EQ(acs[9 + b], expected) << "byte " << b;
    }
}

} // namespace
