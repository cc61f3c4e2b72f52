// The Create buffer of a table's data file: where the key rows of the table go, how keys are
// counted, the record length and page size defaults, and what keeps a buffer from being made.
#include "CreateBuffer.h"
#include "Bytes.h"

#include <gtest/gtest.h>

using namespace dict;

namespace {

NumberCell num(int32_t value)
{
    return {std::to_string(value), value};
}

NumberCell text(const std::string& s)
{
    return {s, std::nullopt};
}

CreateKeyRow key(const std::string& table, const std::string& field, int flags)
{
    return {table, field, num(flags)};
}

CreateFieldRow field(const std::string& file, const std::string& name, int type, int offset, int size)
{
    return {file, name, num(type), num(offset), num(size)};
}

// Two tables: ORDERS (id 7) with four fields, and ITEMS (id 8) whose "Code" shares a name
// with a field of ORDERS in other letter case.
const std::vector<CreateFieldRow> kFields = {
    field("8", "CODE", 0, 0, 6),   field("7", "Number", 1, 0, 4), field("7", "Customer", 0, 4, 30),
    field("7", "code", 0, 34, 10), field("7", "Date", 3, 44, 4),  field("", "Date", 1, 90, 2),
    field("8", "Price", 2, 6, 8),
};

std::vector<uint8_t> keySpec(unsigned position, unsigned length, unsigned flags, unsigned type)
{
    testbytes::Bytes b;
    b.u16(position).u16(length).u16(flags).u32(0).u8(type).u8(0).u16(0).u8(0).u8(0);
    return b.get();
}

std::vector<uint8_t> fileSpec(unsigned recordLength, unsigned pageSize, unsigned keys, unsigned long records,
                              unsigned flags, unsigned dupl, unsigned reserved, unsigned pages)
{
    testbytes::Bytes b;
    b.u16(recordLength).u16(pageSize).u16(keys).u32(records).u16(flags).u8(dupl).u8(reserved).u16(pages);
    return b.get();
}

std::vector<uint8_t> buffer(std::vector<uint8_t> spec, const std::vector<std::vector<uint8_t>>& keys)
{
    for (const auto& k : keys)
        spec.insert(spec.end(), k.begin(), k.end());
    spec.resize(kCreateBufferSize, 0);
    return spec;
}

struct Case {
    const char* name;
    CreateFileValues values;
    std::vector<CreateKeyRow> keys;
    std::vector<uint8_t> expected;
    int keyCount;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class CreateBufferCases : public ::testing::TestWithParam<Case> {};

TEST_P(CreateBufferCases, holdTheFileSpecificationAndTheTablesSegmentsInGridOrder)
{
    const Case& c = GetParam();
    const CreateBuffer out = buildCreateBuffer("ORDERS  ", "7", c.values, c.keys, kFields);
    ASSERT_EQ(out.problem, CreateBuffer::Problem::None) << out.detail;
    EXPECT_EQ(out.keyCount, c.keyCount);
    EXPECT_EQ(out.bytes, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CreateBufferCases,
    ::testing::Values(
        // No key rows: the file specification alone, record length summed over the table's
        // fields (4 + 30 + 10 + 4; the field without a table does not count), page size 4096.
        Case{"noKeys", {}, {key("ITEMS   ", "CODE", 0)}, buffer(fileSpec(48, 4096, 0, 0, 0, 0, 0, 0), {}), 0},
        // A key of three segments with rows of another table, and of the same name in other
        // case, in between: one key, three consecutive specifications.
        Case{"threeSegmentsWithOtherRowsBetween",
             {},
             {key("ORDERS  ", "Customer", 16 + 2), key("ITEMS   ", "Price", 0), key("orders  ", "Number", 0),
              key("ORDERS  ", "date", 16 + 2), key("", "Number", 0), key("ORDERS  ", "NUMBER", 2)},
             buffer(fileSpec(48, 4096, 1, 0, 0, 0, 0, 0),
                    {keySpec(5, 30, 18, 0), keySpec(45, 4, 18, 3), keySpec(1, 4, 2, 1)}),
             1},
        // The first field of a name wins, whichever table it belongs to ("code" finds ITEMS'
        // CODE); ACS is passed on with nothing appended; the edits' values go in as their low
        // bits.
        Case{"firstFieldOfANameAndAcsPassedOn",
             {100, 1024, 70000, 0x10022, 3, 259, 5},
             {key("ORDERS  ", "Number", 0x102), key("ORDERS  ", "code", 32 + 1)},
             buffer(fileSpec(100, 1024, 2, 70000, 0x22, 3, 3, 5),
                    {keySpec(1, 4, 0x102, 1), keySpec(1, 6, 33, 0)}),
             2}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal {
    const char* name;
    CreateFileValues values;
    std::vector<CreateKeyRow> keys;
    std::vector<CreateFieldRow> fields;
    CreateBuffer::Problem problem;
    std::string detail;
};

void PrintTo(const Refusal& c, std::ostream* os)
{
    *os << c.name;
}

class CreateBufferRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(CreateBufferRefusals, sayWhyNoBufferWasMade)
{
    const Refusal& c = GetParam();
    const CreateBuffer out = buildCreateBuffer("ORDERS  ", "7", c.values, c.keys, c.fields);
    EXPECT_EQ(out.problem, c.problem);
    EXPECT_EQ(out.detail, c.detail);
    EXPECT_TRUE(out.bytes.empty());
}

using P = CreateBuffer::Problem;

std::vector<CreateKeyRow> manySegments(int n)
{
    std::vector<CreateKeyRow> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back(key("ORDERS  ", "Number", i + 1 < n ? 16 : 0));
    return keys;
}

INSTANTIATE_TEST_SUITE_P(
    Problems, CreateBufferRefusals,
    ::testing::Values(
        Refusal{"fieldNotInTheGrid",
                {},
                {key("ORDERS  ", "Number", 0), key("ORDERS  ", "Missing ", 0)},
                kFields,
                P::FieldNotFound,
                "Missing "},
        Refusal{"noFieldsOfTheTable", {}, {}, {field("8", "CODE", 0, 0, 6)}, P::NoRecordLength, ""},
        Refusal{"fieldsOfSizeZero", {}, {}, {field("7", "A", 0, 0, 0)}, P::NoRecordLength, ""},
        Refusal{"sumBeyond16Bits",
                {},
                {},
                {field("7", "A", 0, 0, 40000), field("7", "B", 0, 0, 30000)},
                P::BadRecordLength,
                "70000"},
        Refusal{"negativeRecordLength", {-4}, {}, kFields, P::BadRecordLength, "-4"},
        Refusal{"flagsNotANumber", {}, {{"ORDERS  ", "Number", text("1x")}}, kFields, P::NotANumber, "1x"},
        Refusal{"sizeNotANumber", {}, {}, {{"7", "A", num(0), num(0), text("")}}, P::NotANumber, ""},
        Refusal{"oneSegmentMoreThanFits",
                {},
                manySegments(int(kMaxCreateSegments) + 1),
                kFields,
                P::TooManySegments,
                std::to_string(kMaxCreateSegments + 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CreateBuffer, asManySegmentsAsFitAreTaken)
{
    const CreateBuffer out =
        buildCreateBuffer("ORDERS  ", "7", {}, manySegments(int(kMaxCreateSegments)), kFields);
    ASSERT_EQ(out.problem, P::None);
    EXPECT_EQ(out.segmentCount, int(kMaxCreateSegments));
    EXPECT_EQ(out.keyCount, 1);
    EXPECT_EQ(out.bytes.size(), kCreateBufferSize);
}

} // namespace
