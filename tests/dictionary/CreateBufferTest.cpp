// The Create buffer of a table's data file: where the table's key rows go, how keys are
// counted, the record length and page size defaults, and what keeps a buffer from being made.
#include "CreateBuffer.h"
#include "Bytes.h"

#include <gtest/gtest.h>

using namespace dict;

namespace {

using P = CreateBuffer::Problem;

CreateKeyRow key(const std::string& table, const std::string& field, int flags, int number = 0, int part = 0)
{
    return {table, field, {std::to_string(flags), flags}, number, part, std::nullopt};
}

CreateFieldRow field(const std::string& file, const std::string& name, int type, int offset, int size)
{
    const auto n = [](int v) { return NumberCell{std::to_string(v), v}; };
    return {file, name, n(type), n(offset), n(size)};
}

// ORDERS (id 7) with four fields, ITEMS (8) whose "CODE" comes first in the grid.
const std::vector<CreateFieldRow> kFields = {
    field("8", "CODE", 0, 0, 6),   field("7", "Number", 1, 0, 4), field("7", "Customer", 0, 4, 30),
    field("7", "code", 0, 34, 10), field("7", "Date", 3, 44, 4),  field("", "Date", 1, 90, 2),
};

// A file specification and key specifications (position, length, flags, type), zero-filled.
std::vector<uint8_t> buffer(std::vector<unsigned> spec, std::vector<std::vector<unsigned>> keys)
{
    testbytes::Bytes b;
    b.u16(spec[0]).u16(spec[1]).u16(spec[2]).u32(spec[3]).u16(spec[4]).u8(spec[5]).u8(spec[6]).u16(spec[7]);
    for (const auto& k : keys)
        b.u16(k[0]).u16(k[1]).u16(k[2]).u32(0).u8(k[3]).u8(0).u16(0).u8(0).u8(0);
    std::vector<uint8_t> out = b.get();
    out.resize(kCreateBufferSize, 0);
    return out;
}

std::vector<CreateKeyRow> segments(int n)
{
    std::vector<CreateKeyRow> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back(key("ORDERS", "Number", i + 1 < n ? 16 : 0));
    return keys;
}

struct Case {
    const char* name;
    CreateFileValues values;
    std::vector<CreateKeyRow> keys;
    std::vector<CreateFieldRow> fields;
    P problem;
    std::string detail;
    int keyCount;
    std::vector<uint8_t> bytes;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class CreateBufferCases : public ::testing::TestWithParam<Case> {};

TEST_P(CreateBufferCases, holdTheTablesSegmentsByKeyAndPartOnItsOwnFieldsOrSayWhyNot)
{
    const Case& c = GetParam();
    const CreateBuffer out = buildCreateBuffer("ORDERS", "7", c.values, c.keys, c.fields);
    EXPECT_EQ(out.problem, c.problem);
    EXPECT_EQ(out.detail, c.detail);
    EXPECT_EQ(out.keyCount, c.keyCount);
    EXPECT_EQ(out.bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CreateBufferCases,
    ::testing::Values(
        // The file specification alone; record length summed over the table's fields (the
        // one without a table does not count), page size 4096.
        Case{"noKeys",
             {},
             {key("ITEMS", "CODE", 0)},
             kFields,
             P::None,
             "",
             0,
             buffer({48, 4096, 0, 0, 0, 0, 0, 0}, {})},
        // Key rows between rows of another table, of the table's name in other case or padded,
        // and without a table: the table's rows are its segments, consecutive.
        Case{"segmentsWithOtherRowsBetween",
             {},
             {key("ORDERS", "Customer", 18), key("ITEMS", "CODE", 0), key("orders  ", "Number", 0),
              key("ORDERS", "date", 18), key("", "Number", 0), key("ORDERS", "NUMBER", 2)},
             kFields,
             P::None,
             "",
             2,
             buffer({48, 4096, 2, 0, 0, 0, 0, 0},
                    {{5, 30, 18, 0}, {1, 4, 0, 1}, {45, 4, 18, 3}, {1, 4, 2, 1}})},
        // Segments go in by key number and part, not by row: key 0's part 0 first.
        Case{"segmentsByKeyNumberThenPart",
             {},
             {key("ORDERS", "Date", 0, 1, 0), key("ORDERS", "Customer", 0, 0, 1),
              key("ORDERS", "Number", 16, 0, 0)},
             kFields,
             P::None,
             "",
             2,
             buffer({48, 4096, 2, 0, 0, 0, 0, 0}, {{1, 4, 16, 1}, {5, 30, 0, 0}, {45, 4, 0, 3}})},
        // A field is looked for within the table ("code", not ITEMS's "CODE" met first), or
        // taken as the editor resolved it; ACS goes on with nothing appended; the values go
        // in as their low bits.
        Case{
            "fieldOfTheTableAndAcsPassedOn",
            {100, 1024, 70000, 0x10022, 3, 259, 5},
            {key("ORDERS", "Number", 0x102),
             key("ORDERS", "code", 33),
             {"ORDERS", "Date", {"0", 0}, 2, 0, std::size_t(4)}},
            kFields,
            P::None,
            "",
            3,
            buffer({100, 1024, 3, 70000, 0x22, 3, 3, 5}, {{1, 4, 0x102, 1}, {35, 10, 33, 0}, {45, 4, 0, 3}})},
        Case{"fieldOfAnotherTableOnly",
             {},
             {key("ORDERS", "CODE", 0), key("ITEMS", "Number", 0)},
             {field("8", "CODE", 0, 0, 6), field("7", "Number", 1, 0, 4)},
             P::FieldNotFound,
             "CODE",
             0,
             {}},
        Case{"fieldNotInTheGrid",
             {},
             {key("ORDERS", "Number", 0), key("ORDERS", "Gone ", 0)},
             kFields,
             P::FieldNotFound,
             "Gone ",
             0,
             {}},
        Case{"emptyFieldNameMatchesNoNamelessField",
             {},
             {key("ORDERS", "", 0)},
             {field("7", "", 0, 0, 4)},
             P::FieldNotFound,
             "",
             0,
             {}},
        Case{"noFieldsOfTheTable", {}, {}, {field("8", "CODE", 0, 0, 6)}, P::NoRecordLength, "", 0, {}},
        Case{"sumBeyond16Bits",
             {},
             {},
             {field("7", "A", 0, 0, 40000), field("7", "B", 0, 0, 30000)},
             P::BadRecordLength,
             "70000",
             0,
             {}},
        Case{"negativeRecordLength", {-4}, {}, kFields, P::BadRecordLength, "-4", 0, {}},
        Case{"flagsNotANumber",
             {},
             {{"ORDERS", "Number", {"1x", std::nullopt}, 0, 0, std::nullopt}},
             kFields,
             P::NotANumber,
             "1x",
             0,
             {}},
        // Nothing is written wrapped into a segment's unsigned fields: an offset below 0 would
        // give position 65533, a size below 0 length 65535.
        Case{"negativeOffset",
             {},
             {key("ORDERS", "Number", 0)},
             {field("7", "Number", 1, -4, 4)},
             P::BadSegment,
             "Number",
             0,
             {}},
        Case{"negativeSize",
             {},
             {key("ORDERS", "Number", 0)},
             {field("7", "Number", 1, 0, -1)},
             P::BadSegment,
             "Number",
             0,
             {}},
        Case{"negativeFlags", {}, {key("ORDERS", "Number", -2)}, kFields, P::BadSegment, "Number", 0, {}},
        Case{"typeAboveAByte",
             {},
             {key("ORDERS", "Number", 0)},
             {field("7", "Number", 256, 0, 4)},
             P::BadSegment,
             "Number",
             0,
             {}},
        Case{"oneSegmentMoreThanFits",
             {},
             segments(int(kMaxCreateSegments) + 1),
             kFields,
             P::TooManySegments,
             std::to_string(kMaxCreateSegments + 1),
             0,
             {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CreateBuffer, asManySegmentsAsFitMakeOneKey)
{
    const CreateBuffer out = buildCreateBuffer("ORDERS", "7", {}, segments(int(kMaxCreateSegments)), kFields);
    EXPECT_EQ(out.problem, P::None);
    EXPECT_EQ(out.segmentCount, int(kMaxCreateSegments));
    EXPECT_EQ(out.keyCount, 1);
}

} // namespace
