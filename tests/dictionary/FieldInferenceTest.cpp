// The first draft of a table's fields: it always covers the record exactly, and it finds the
// fields of records whose layout the test knows.
#include "FieldInference.h"
#include "FieldValue.h"
#include "GeneratedTable.h"

#include <gtest/gtest.h>

namespace {

dict::InferenceInput inputOf(const std::vector<std::vector<uint8_t>>& records, std::vector<uint8_t>& bytes,
                             std::size_t length)
{
    bytes.clear();
    for (const auto& r : records)
        bytes.insert(bytes.end(), r.begin(), r.end());
    dict::InferenceInput in;
    in.recordLength = length;
    in.count = records.size();
    in.records = bytes;
    return in;
}

void expectExactCover(const std::vector<dict::InferredField>& fields, std::size_t length, const std::string& what)
{
    int at = 0;
    for (const dict::InferredField& f : fields) {
        EXPECT_EQ(f.offset, at) << what;
        EXPECT_GT(f.size, 0) << what;
        EXPECT_GE(f.confidence, 0.0) << what;
        EXPECT_LE(f.confidence, 1.0) << what;
        EXPECT_FALSE(f.reason.empty()) << what;
        EXPECT_FALSE(dict::typeNameOf(f.typeCode).empty()) << what;
        at = f.offset + f.size;
    }
    EXPECT_EQ(at, static_cast<int>(length)) << what;
}

// Share of the known fields found with the right offset, size and type.
double foundShare(const std::vector<dict::InferredField>& fields, std::string& missed)
{
    int found = 0;
    for (const generated::FieldLayout& k : generated::customerLayout()) {
        bool hit = false;
        for (const dict::InferredField& f : fields)
            hit = hit || (f.offset == k.offset && f.size == k.size && f.typeCode == k.type);
        found += hit;
        if (!hit)
            missed += std::string(k.name) + " ";
    }
    return double(found) / double(generated::customerLayout().size());
}

TEST(FieldInference, coversEveryRecordExactlyWhateverTheBytes)
{
    // Property: random records of many lengths and sample sizes, with and without key segments
    // (some outside the record or overlapping), always give fields end to end.
    generated::Random rnd(99);
    for (int round = 0; round < 120; ++round) {
        const std::size_t length = 1 + rnd.below(80);
        const int count = rnd.below(40);
        std::vector<std::vector<uint8_t>> records;
        const int style = rnd.below(3);
        for (int i = 0; i < count; ++i) {
            std::vector<uint8_t> r(length);
            for (auto& b : r)
                b = style == 0 ? uint8_t(rnd.next()) : style == 1 ? uint8_t(' ' + rnd.below(95)) : uint8_t(rnd.below(3));
            records.push_back(r);
        }
        std::vector<uint8_t> bytes;
        dict::InferenceInput in = inputOf(records, bytes, length);
        for (int k = rnd.below(4); k > 0; --k) {
            dict::KeySpec s;
            s.position = uint16_t(rnd.below(int(length) + 3));
            s.length = uint16_t(rnd.below(10));
            s.flags = uint16_t(rnd.below(2) ? dict::KeyExtendedType : dict::KeyBinary);
            s.extendedType = uint8_t(rnd.below(20));
            in.keySegments.push_back(s);
        }
        expectExactCover(dict::inferFields(in), length, "round " + std::to_string(round));
    }
}

TEST(FieldInference, findsTheFieldsOfAKnownLayout)
{
    // Without any key, from the bytes alone, over samples of several sizes.
    for (int count : {60, 300, 2000}) {
        std::vector<std::vector<uint8_t>> records;
        for (int i = 0; i < count; ++i)
            records.push_back(generated::customerRecord(i));
        std::vector<uint8_t> bytes;
        const auto fields = dict::inferFields(inputOf(records, bytes, generated::kCustomerLength));
        expectExactCover(fields, generated::kCustomerLength, std::to_string(count));
        std::string missed;
        EXPECT_EQ(foundShare(fields, missed), 1.0) << count << " records; missed " << missed;
    }
}

TEST(FieldInference, keySegmentsFixBoundariesAndTypes)
{
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 200; ++i)
        records.push_back(generated::customerRecord(i));
    std::vector<uint8_t> bytes;
    dict::InferenceInput in = inputOf(records, bytes, generated::kCustomerLength);
    // Balance as an unsigned key, Name as an old-style string key, Serial's low half as a key
    // overlapping a wider one at the same place (the wider one wins).
    dict::KeySpec balance;
    balance.position = 57;
    balance.length = 4;
    balance.flags = dict::KeyExtendedType;
    balance.extendedType = 14;
    dict::KeySpec name;
    name.position = 5;
    name.length = 24;
    dict::KeySpec wide, narrow;
    wide.position = narrow.position = 86;
    wide.length = 8;
    narrow.length = 4;
    wide.flags = narrow.flags = dict::KeyExtendedType;
    wide.extendedType = narrow.extendedType = 1;
    in.keySegments = {narrow, balance, name, wide};
    const auto fields = dict::inferFields(in);
    expectExactCover(fields, generated::kCustomerLength, "keys");
    auto fieldAt = [&](int offset) -> const dict::InferredField* {
        for (const auto& f : fields)
            if (f.offset == offset)
                return &f;
        return nullptr;
    };
    ASSERT_TRUE(fieldAt(56));
    EXPECT_EQ(fieldAt(56)->typeCode, 14);
    EXPECT_NE(fieldAt(56)->reason.find("key segment"), std::string::npos);
    ASSERT_TRUE(fieldAt(4));
    EXPECT_EQ(fieldAt(4)->typeCode, 0);
    EXPECT_EQ(fieldAt(4)->size, 24);
    ASSERT_TRUE(fieldAt(85));
    EXPECT_EQ(fieldAt(85)->size, 8);
}

TEST(FieldInference, fewRecordsGiveUnknownBytesOfLowConfidence)
{
    for (int count : {0, 1}) {
        std::vector<std::vector<uint8_t>> records;
        for (int i = 0; i < count; ++i)
            records.push_back(generated::customerRecord(i));
        std::vector<uint8_t> bytes;
        const auto fields = dict::inferFields(inputOf(records, bytes, generated::kCustomerLength));
        ASSERT_EQ(fields.size(), 1u);
        EXPECT_LT(fields[0].confidence, 0.2);
    }
}

TEST(FieldInference, fillerZeroTerminatedAndLengthPrefixedTexts)
{
    // Each case: record length, a maker of record i, the expected (offset, size, type) list.
    struct Case {
        const char* what;
        int length;
        std::vector<uint8_t> (*make)(int);
        std::vector<std::array<int, 3>> expected;
    };
    const Case cases[] = {
        {"zero filler between two words", 12,
         [](int i) {
             std::vector<uint8_t> r(12, 0);
             generated::putText(r, 0, 5, std::string(1, char('a' + i % 26)) + "bcd", ' ');
             generated::putText(r, 7, 5, std::to_string(10000 + i * 37), ' ');
             return r;
         },
         {{0, 5, 0}, {5, 2, 0}, {7, 5, 0}}},
        {"two NUL-terminated texts", 20,
         [](int i) {
             std::vector<uint8_t> r(20, 0);
             generated::putText(r, 0, 10, std::string(1 + i % 8, char('a' + i % 26)), 0);
             generated::putText(r, 10, 10, std::string(1 + i % 5, char('A' + i % 26)), 0);
             return r;
         },
         {{0, 10, 11}, {10, 10, 11}}},
        {"length byte then text, then a signed integer", 14,
         [](int i) {
             std::vector<uint8_t> r(14, 0);
             const std::string s(i % 9, char('k' + i % 7));
             r[0] = uint8_t(s.size());
             generated::putText(r, 1, 11, s, 0);
             generated::putInt(r, 12, 2, uint64_t(int64_t(i * 13 % 500) - 250));
             return r;
         },
         {{0, 12, 10}, {12, 2, 1}}},
        {"YYYYMMDD integers", 8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(19500101 + (i % 60) * 10000 + (i % 12) * 100 + i % 28));
             generated::putInt(r, 4, 4, uint64_t(i * 1000003 % 90000));
             return r;
         },
         {{0, 4, 228}, {4, 4, 1}}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<uint8_t>> records;
        for (int i = 0; i < 300; ++i)
            records.push_back(c.make(i));
        std::vector<uint8_t> bytes;
        const auto fields = dict::inferFields(inputOf(records, bytes, std::size_t(c.length)));
        expectExactCover(fields, std::size_t(c.length), c.what);
        ASSERT_EQ(fields.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i].offset, c.expected[i][0]) << c.what << " #" << i << ": " << fields[i].reason;
            EXPECT_EQ(fields[i].size, c.expected[i][1]) << c.what << " #" << i << ": " << fields[i].reason;
            EXPECT_EQ(fields[i].typeCode, c.expected[i][2]) << c.what << " #" << i << ": " << fields[i].reason;
        }
    }
}

} // namespace
