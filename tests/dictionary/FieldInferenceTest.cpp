// The first draft of a table's fields: it always covers the record exactly, and it finds the
// fields of records whose layout the test knows.
#include "FieldInference.h"
#include "FieldValue.h"
#include "GeneratedTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

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

// A draft as "offset+size:type " per field.
std::string layoutOf(const std::vector<dict::InferredField>& fields)
{
    std::string got;
    for (const dict::InferredField& f : fields)
        got +=
            std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" + std::to_string(f.typeCode) + " ";
    return got;
}

// A key segment declared as a Pascal string (LString), duplicates allowed.
dict::KeySpec lStringKey(int position, int length)
{
    dict::KeySpec k;
    k.position = position;
    k.length = length;
    k.flags = dict::KeyExtendedType | dict::KeyDuplicates;
    k.extendedType = 10;
    return k;
}

// Records of customers ('C', about a third) and orders ('O') that a program wrote from one
// buffer it never cleared: the tag, a running number, then what each kind writes.
using BufferWriter = std::function<void(std::vector<uint8_t>&, generated::Random&)>;
std::vector<std::vector<uint8_t>> customersAndOrders(std::size_t length, uint64_t draw,
                                                     const BufferWriter& customer, const BufferWriter& order)
{
    generated::Random rnd(draw);
    std::vector<uint8_t> buffer(length, 0);
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 600; ++i) {
        const bool isCustomer = rnd.below(3) == 0;
        buffer[0] = isCustomer ? 'C' : 'O';
        generated::putInt(buffer, 1, 4, uint64_t(i + 1));
        (isCustomer ? customer : order)(buffer, rnd);
        records.push_back(buffer);
    }
    return records;
}

// A Pascal string[size] assigned into the buffer: the length byte, then the text, cut at size.
void putPascalString(std::vector<uint8_t>& buffer, int offset, int size, const std::string& s)
{
    buffer[std::size_t(offset)] = uint8_t(std::min<std::size_t>(s.size(), std::size_t(size)));
    std::memcpy(&buffer[std::size_t(offset) + 1], s.data(), buffer[std::size_t(offset)]);
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

namespace {

// Records of field makers, each writing its bytes at its offset.
using Maker = std::vector<uint8_t> (*)(int);

std::vector<dict::InferredField> draftOf(int length, int count, Maker make, std::vector<uint8_t>& bytes)
{
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < count; ++i)
        records.push_back(make(i));
    return dict::inferFields(inputOf(records, bytes, std::size_t(length)));
}

TEST(FieldInference, holdsOnTheShapesOfRealDataFiles)
{
    // Each case: what it stands for, the record length, a maker of record i, the expected
    // (offset, size, type) list. Types: 0 String, 1 Integer, 2 Float, 5 Decimal, 7 Logical,
    // 10 LString, 11 ZString, 255 DelphiReal.
    struct Case {
        const char* what;
        int length;
        Maker make;
        std::vector<std::array<int, 3>> expected;
    };
    const Case cases[] = {
        {"a file name most records leave empty",
         24,
         [](int i) {
             std::vector<uint8_t> r(24, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             if (i % 19 == 0)
                 generated::putText(r, 4, 20, i % 2 ? "C:\\WP51\\LETTER.DOC" : "REPORT.TXT", 0);
             return r;
         },
         {{0, 4, 1}, {4, 20, 11}}},
        {"blank-padded phone and fax numbers that begin with digits",
         40,
         [](int i) {
             std::vector<uint8_t> r(40, ' ');
             generated::putText(
                 r, 0, 25, "0" + std::to_string(171 + i % 40) + " 555 " + std::to_string(1000 + i * 7), ' ');
             generated::putText(r, 25, 15, i % 3 ? "" : "0" + std::to_string(200 + i), ' ');
             return r;
         },
         {{0, 25, 0}, {25, 15, 0}}},
        {"a constant 0xDEADBEEF between numbers",
         12,
         [](int i) {
             std::vector<uint8_t> r(12, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 977 + 13));
             generated::putInt(r, 4, 4, 0xDEADBEEF);
             generated::putInt(r, 8, 4, uint64_t(i * 31 % 1000 + 1000));
             return r;
         },
         {{0, 4, 1}, {4, 4, 0}, {8, 4, 1}}},
        {"a string[3] always full",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             r[0] = 3;
             generated::putText(r, 1, 3,
                                std::string{char('A' + i % 26), char('a' + i % 7), char('0' + i % 10)}, 0);
             generated::putInt(r, 4, 4, uint64_t(i * 7919 % 100000));
             return r;
         },
         {{0, 4, 10}, {4, 4, 1}}},
        {"blank-padded text ending the record with a NUL",
         17,
         [](int i) {
             std::vector<uint8_t> r(17, 0);
             generated::putInt(r, 0, 2, uint64_t(i * 13 + 300));
             generated::putText(r, 2, 14, std::string(1 + i % 12, char('a' + i % 26)), ' ');
             return r;
         },
         {{0, 2, 1}, {2, 15, 0}}},
        {"Pascal Reals, packed decimals, doubles and yes/no bytes",
         29,
         [](int i) {
             std::vector<uint8_t> r(29, 0);
             // 6-byte Real of i + 0.25: exponent byte, then the mantissa below the implied 1.
             const double v = i + 1.25;
             int e = 0;
             const double m = std::frexp(v, &e);
             const uint64_t mantissa = uint64_t(std::llround((m * 2 - 1) * double(uint64_t(1) << 39)));
             r[0] = uint8_t(e + 128);
             generated::putInt(r, 1, 5, mantissa);
             // Packed 00 0i ii 5C: i*10+5 with a positive sign.
             const int n = i * 10 + 5;
             r[6] = 0;
             r[7] = uint8_t((n / 1000 % 10) << 4 | n / 100 % 10);
             r[8] = uint8_t((n / 10 % 10) << 4 | n % 10);
             r[9] = 0x0C;
             const double price = (i * 3737 % 100000) / 100.0 + 0.01;
             std::memcpy(&r[10], &price, 8);
             r[18] = uint8_t(i % 3 == 0);
             generated::putInt(r, 19, 4, uint64_t(i * 7919 % 100000));
             generated::putText(r, 23, 6, "x" + std::to_string(i % 1000), ' ');
             return r;
         },
         {{0, 6, 255}, {6, 4, 5}, {10, 8, 2}, {18, 1, 7}, {19, 4, 1}, {23, 6, 0}}},
        {"a string[15] whose longer names are cut at the declared size, one after a word",
         24,
         [](int i) {
             static const char* const names[] = {"Ann Lee",
                                                 "Bo",
                                                 "Carl Orff",
                                                 "Northern Supply Company",
                                                 "Smith and Sons Limited",
                                                 "Westfield Garden Centre",
                                                 "Harbour Freight Lines"};
             std::vector<uint8_t> r(24, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 7 + 2));
             const std::string name = std::string(names[i % 7]).substr(0, 15);
             r[4] = uint8_t(name.size());
             generated::putText(r, 5, 15, name, 0);
             generated::putInt(r, 20, 4, uint64_t(i * 7919 % 100000));
             return r;
         },
         {{0, 4, 1}, {4, 16, 10}, {20, 4, 1}}},
        {"a C string most records leave empty over what older, longer names left",
         28,
         [](int i) {
             static const char* const names[] = {"operator", "Jane Doe", "backup", "Sam Smith", "guest"};
             std::vector<uint8_t> r(28, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 5 + 1));
             const std::string older = names[(i + 3) % 5], now = i % 4 ? "" : names[i % 5];
             std::memcpy(&r[4], older.c_str(), older.size() + 1);
             std::memcpy(&r[4], now.c_str(), now.size() + 1);
             generated::putInt(r, 24, 4, uint64_t(i * 7919 % 100000));
             return r;
         },
         {{0, 4, 1}, {4, 20, 11}, {24, 4, 1}}},
        {"BASIC single-precision amounts, most too large to keep their cents",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             const float v = i % 5 ? float(i * 104729 % 90000000) / 100 : float(i % 997) + 0.25f;
             uint32_t bits;
             std::memcpy(&bits, &v, 4);
             // Microsoft's format: the mantissa, the sign on top of the third byte, then the
             // exponent with a bias of 129.
             generated::putInt(r, 0, 3, (bits & 0x7FFFFF) | (bits >> 31) << 23);
             r[3] = uint8_t((bits >> 23 & 0xFF) + 2);
             generated::putInt(r, 4, 4, uint64_t(i * 7919 % 100000));
             return r;
         },
         {{0, 4, 9}, {4, 4, 1}}},
        {"a Y/N byte between a name and a remark most records leave empty",
         45,
         [](int i) {
             std::vector<uint8_t> r(45, ' ');
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             generated::putText(r, 4, 20, std::string("Member ") + char('A' + i % 26), ' ');
             r[24] = i % 3 ? 'N' : 'Y';
             if (i % 6 == 0)
                 generated::putText(r, 25, 20, "paid in cash", ' ');
             return r;
         },
         {{0, 4, 1}, {4, 20, 0}, {24, 1, 0}, {25, 20, 0}}},
        {"a byte of flags right before a string[20]",
         28,
         [](int i) {
             static const char* const notes[] = {"urgent", "paid", "see letter", "call back before noon",
                                                 "late"};
             std::vector<uint8_t> r(28, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             r[4] = uint8_t(i * 97 % 256);
             const std::string note = std::string(notes[i % 5]).substr(0, 20);
             r[5] = uint8_t(note.size());
             std::memcpy(&r[6], note.data(), note.size());
             generated::putInt(r, 26, 2, uint64_t(i * 7 % 3000));
             return r;
         },
         {{0, 4, 1}, {4, 1, 1}, {5, 21, 10}, {26, 2, 1}}},
        {"COBOL display numbers aligned right after a Y/N code and after a remark",
         40,
         [](int i) {
             static const char* const notes[] = {"Urgent", "Paid", "See letter", "Call back before noon",
                                                 "Late"};
             std::vector<uint8_t> r(40, ' ');
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             r[4] = i % 3 ? 'N' : 'Y';
             const std::string amount = std::to_string(i * 7919 % 100000);
             std::memcpy(&r[12 - amount.size()], amount.data(), amount.size());
             generated::putText(r, 12, 20, notes[i % 5], ' ');
             const std::string count = std::to_string(i * 31 % 5000);
             std::memcpy(&r[40 - count.size()], count.data(), count.size());
             return r;
         },
         {{0, 4, 1}, {4, 1, 0}, {5, 7, 0}, {12, 20, 0}, {32, 8, 0}}},
        {"a display number whose first columns no value reaches, before NUL filler",
         22,
         [](int i) {
             std::vector<uint8_t> r(22, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             std::memset(&r[4], ' ', 10);
             const std::string count = std::to_string(i * 7919 % 100000);
             std::memcpy(&r[14 - count.size()], count.data(), count.size());
             return r;
         },
         {{0, 4, 1}, {4, 10, 0}, {14, 8, 0}}},
        {"a date as text most records leave empty, right after a word of any value",
         16,
         [](int i) {
             std::vector<uint8_t> r(16, ' ');
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             generated::putInt(r, 4, 2, uint64_t(i * 7919 % 65536));
             char date[16];
             std::snprintf(date, sizeof date, "%04d%02d%02d", 1985 + i % 19, 1 + i % 12, 1 + i % 28);
             if (i % 3 == 0)
                 std::memcpy(&r[6], date, 8);
             generated::putInt(r, 14, 2, uint64_t(i * 31 % 3000));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 8, 0}, {14, 2, 1}}},
        {"a DOS date before a word of any value",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             generated::putInt(r, 4, 2, uint64_t((5 + i % 20) << 9 | (1 + i % 12) << 5 | (1 + i * 7 % 28)));
             generated::putInt(r, 6, 2, uint64_t(i * 7919 % 65536));
             return r;
         },
         {{0, 4, 1}, {4, 2, 14}, {6, 2, 1}}},
        {"a word of any value before an amount of either sign",
         12,
         [](int i) {
             std::vector<uint8_t> r(12, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             generated::putInt(r, 4, 2, uint64_t(i * 7919 % 65536));
             generated::putInt(r, 6, 4, uint64_t(int64_t(i * 7717 % 20000 - 10000) * 37));
             generated::putInt(r, 10, 2, uint64_t(i * 31 % 3000));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 4, 1}, {10, 2, 1}}},
        {"a date as text a third of the records leave blank, right before a name",
         32,
         [](int i) {
             static const char* const names[] = {"Smith", "Miller", "Rossi", "Andersson", "King"};
             std::vector<uint8_t> r(32, ' ');
             generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
             char date[16];
             std::snprintf(date, sizeof date, "%04d%02d%02d", 1985 + i % 19, 1 + i % 12, 1 + i % 28);
             if (i % 3)
                 std::memcpy(&r[4], date, 8);
             generated::putText(r, 12, 20, names[i % 5], ' ');
             return r;
         },
         {{0, 4, 1}, {4, 8, 0}, {12, 20, 0}}},
        {"two words of any value side by side before a remark most records leave empty",
         20,
         [](int i) {
             std::vector<uint8_t> r(20, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(i * 40503 % 65536));
             generated::putInt(r, 6, 2, uint64_t(i * 25173 % 65536));
             if (i % 12 == 0)
                 generated::putText(r, 8, 12, "call back", ' ');
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}, {8, 12, 0}}},
        {"a word of any value before a 4-byte quantity up to 5,000",
         12,
         [](int i) {
             std::vector<uint8_t> r(12, 0);
             static generated::Random rnd(77); // one draw after another, as records are made in turn
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(rnd.below(65536)));
             generated::putInt(r, 6, 4, uint64_t(rnd.below(5000)));
             generated::putInt(r, 10, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 4, 1}, {10, 2, 1}}},
        {"a count up to 5,000 before a count up to 20, then a word of any value",
         10,
         [](int i) {
             std::vector<uint8_t> r(10, 0);
             static generated::Random rnd(78);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(rnd.below(5000)));
             generated::putInt(r, 6, 2, uint64_t(rnd.below(20)));
             generated::putInt(r, 8, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}, {8, 2, 1}}},
        {"a byte of flags before a 4-byte amount of either sign up to 30,000",
         11,
         [](int i) {
             std::vector<uint8_t> r(11, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             r[4] = uint8_t(i * 157 % 256);
             generated::putInt(r, 5, 4, uint64_t(int64_t(i * 7919 % 60000) - 30000));
             generated::putInt(r, 9, 2, uint64_t(i * 40503 % 65536));
             return r;
         },
         {{0, 4, 1}, {4, 1, 1}, {5, 4, 1}, {9, 2, 1}}},
        {"a byte of flags of any value before a yes/no byte",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             r[4] = uint8_t(i * 157 % 256);
             r[5] = i % 5 < 2 ? 1 : 0;
             generated::putInt(r, 6, 2, uint64_t(i * 13 % 1000));
             return r;
         },
         {{0, 4, 1}, {4, 1, 1}, {5, 1, 7}, {6, 2, 1}}},
        {"a byte of flags of any value before a byte of two bits",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             r[4] = uint8_t(i * 157 % 256);
             r[5] = uint8_t(i * 7 % 4);
             generated::putInt(r, 6, 2, uint64_t(i * 13 % 1000));
             return r;
         },
         {{0, 4, 1}, {4, 1, 1}, {5, 1, 1}, {6, 2, 1}}},
        {"a count up to 400 stays one 2-byte integer",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(i * 157 % 400));
             generated::putInt(r, 6, 2, uint64_t(i * 13 % 1000));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}}},
        {"small numbers side by side whose bytes are in range as a time that keeps its minutes",
         14,
         [](int i) {
             std::vector<uint8_t> r(14, 0);
             static generated::Random rnd(79);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(rnd.below(8000)));
             generated::putInt(r, 6, 2, uint64_t(rnd.below(20)));
             generated::putInt(r, 8, 4, i % 20 ? 0 : uint64_t(rnd.below(24)));
             generated::putInt(r, 12, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}, {8, 4, 1}, {12, 2, 1}}},
        {"an amount of either sign before a code as a C string, not a float across them",
         16,
         [](int i) {
             std::vector<uint8_t> r(16, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 4, uint64_t(int64_t(i * 7919 % 40000) - 20000));
             const std::string code =
                 std::string{char('A' + i % 26), char('A' + i % 6), '-'} + std::to_string(i * 37 % 1000);
             generated::putText(r, 8, 8, code, 0);
             return r;
         },
         {{0, 4, 1}, {4, 4, 1}, {8, 8, 11}}},
        {"a word two records set, before a name",
         26,
         [](int i) {
             static const char* const names[] = {"Smith", "Miller", "Rossi", "Andersson", "King", "Young"};
             std::vector<uint8_t> r(26, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, i % 150 == 7 ? 0xC3A7 + uint64_t(i) : 0);
             generated::putText(r, 6, 20, names[i % 6], ' ');
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 20, 0}}},
        {"reserved bytes filled with 0xFF before a C string",
         30,
         [](int i) {
             static const char* const names[] = {"Smith", "Miller", "Rossi", "Andersson", "King", "Young"};
             std::vector<uint8_t> r(30, 0);
             generated::putInt(r, 0, 2, uint64_t(i * 211 % 65536));
             std::memset(&r[2], 0xFF, 8);
             generated::putText(r, 10, 20, names[i % 6], 0);
             return r;
         },
         {{0, 2, 1}, {2, 8, 0}, {10, 20, 11}}},
        {"a number up to 12,000 before a count up to 20",
         10,
         [](int i) {
             std::vector<uint8_t> r(10, 0);
             static generated::Random rnd(80);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(rnd.below(12000)));
             generated::putInt(r, 6, 2, uint64_t(rnd.below(20)));
             generated::putInt(r, 8, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}, {8, 2, 1}}},
        {"a name cut at its field's size right before another name",
         34,
         [](int i) {
             static const char* const surnames[] = {"Wright", "Kowalski", "King", "Nguyen",
                                                    "Jones",  "Garcia",   "Brown"};
             static const char* const given[] = {"John", "Linda", "Tom", "Mary",
                                                 "Alan", "Ruth",  "Eva", "Paul"};
             std::vector<uint8_t> r(34, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             const std::string a = std::string(surnames[i % 7]) + ", " + given[i % 8];
             const std::string b = std::string(surnames[i * 5 % 7]) + ", " + given[i * 3 % 8];
             generated::putText(r, 4, 10, a.substr(0, 10), ' ');
             generated::putText(r, 14, 20, b, ' ');
             return r;
         },
         {{0, 4, 1}, {4, 10, 0}, {14, 20, 0}}},
        {"a remark cut at its field's size, then a product name a fifth of the records fill",
         59,
         [](int i) {
             static const char* const notes[] = {
                 "Invoice urgent cash delivered", "Paid",      "Late letter back order in time",
                 "See letter of the new address", "Call back", "Cash before order cash call"};
             static const char* const products[] = {"Keyboard", "Desk lamp", "Mouse pad", "Binder clip",
                                                    "Ribbon"};
             std::vector<uint8_t> r(59, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putText(r, 4, 25, std::string(notes[i % 6]).substr(0, 25), ' ');
             if (i % 5 == 0)
                 generated::putText(r, 29, 30, products[i / 5 % 5], ' ');
             return r;
         },
         {{0, 4, 1}, {4, 25, 0}, {29, 30, 0}}},
        {"a postcode of five digits in six columns, then a code of capitals",
         24,
         [](int i) {
             std::vector<uint8_t> r(24, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putText(r, 4, 6, std::to_string(10000 + i * 7919 % 90000), ' ');
             const std::string code = std::string{char('A' + i % 26), char('A' + i % 7), '-'} +
                                      std::to_string(100 + i * 37 % 90000);
             generated::putText(r, 10, 14, code, ' ');
             return r;
         },
         {{0, 4, 1}, {4, 6, 0}, {10, 14, 0}}},
        {"a name padded with NULs, then reserved blanks",
         30,
         [](int i) {
             static const char* const names[] = {"Schmidt & Sons Ltd", "Young GmbH", "van Dijk & Sons",
                                                 "King GmbH"};
             std::vector<uint8_t> r(30, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putText(r, 4, 16, std::string(names[i % 4]).substr(0, 16), 0);
             std::memset(&r[20], ' ', 8);
             generated::putInt(r, 28, 2, uint64_t(i * 40503 % 65536));
             return r;
         },
         {{0, 4, 1}, {4, 16, 0}, {20, 8, 0}, {28, 2, 1}}},
        {"a code that fills a few of its 30 columns, then a display number of six, then a name",
         50,
         [](int i) {
             static const char* const names[] = {"O'Brien", "van Dijk", "Taylor", "Walker", "Young"};
             std::vector<uint8_t> r(50, ' ');
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             if (i % 5 < 2)
                 generated::putText(r, 4, 30,
                                    std::string{char('A' + i % 26), char('A' + i % 9), '-'} +
                                        std::to_string(10000 + i * 7919 % 90000),
                                    ' ');
             const std::string n = std::to_string(i * i * 37 % 600000);
             generated::putText(r, 40 - int(n.size()), int(n.size()), n, ' ');
             generated::putText(r, 40, 10, names[i % 5], ' ');
             return r;
         },
         {{0, 4, 1}, {4, 30, 0}, {34, 6, 0}, {40, 10, 0}}},
        {"a word of any value before a count up to 20, most counts small",
         10,
         [](int i) {
             std::vector<uint8_t> r(10, 0);
             static generated::Random rnd(81);
             const uint64_t n = rnd.below(20);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 2, uint64_t(rnd.below(65536)));
             generated::putInt(r, 6, 2, n * n * n / 400);
             generated::putInt(r, 8, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 2, 1}, {6, 2, 1}, {8, 2, 1}}},
        {"a number given out evenly up to 200,000 stays one integer",
         10,
         [](int i) {
             std::vector<uint8_t> r(10, 0);
             static generated::Random rnd(82);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 4, uint64_t(rnd.below(200000)));
             generated::putInt(r, 8, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 4, 1}, {8, 2, 1}}},
        {"an amount of mostly small values up to 1,000,000 stays one integer",
         10,
         [](int i) {
             std::vector<uint8_t> r(10, 0);
             static generated::Random rnd(83);
             const uint64_t u = rnd.below(1000);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             generated::putInt(r, 4, 4, u * u * u / 1000);
             generated::putInt(r, 8, 2, uint64_t(rnd.below(65536)));
             return r;
         },
         {{0, 4, 1}, {4, 4, 1}, {8, 2, 1}}},
        {"a phone number cut at its field's size, then a second number few records hold",
         30,
         [](int i) {
             std::vector<uint8_t> r(30, ' ');
             const std::string phone =
                 i % 2 ? "(" + std::to_string(200 + i % 700) + ") 555-" + std::to_string(1000 + i)
                       : "0" + std::to_string(171 + i % 40) + " 555 " + std::to_string(1000 + i);
             generated::putText(r, 0, 10, phone.substr(0, 10), ' ');
             if (i % 15 == 0)
                 generated::putText(r, 10, 20,
                                    "0" + std::to_string(300 + i) + " 444 " + std::to_string(2000 + i), ' ');
             return r;
         },
         {{0, 10, 0}, {10, 20, 0}}},
        {"a byte of flags of any value before reserved zero bytes",
         16,
         [](int i) {
             std::vector<uint8_t> r(16, 0);
             generated::putInt(r, 0, 4, uint64_t(i + 1));
             r[4] = uint8_t(i * 157 % 256);
             return r;
         },
         {{0, 4, 1}, {4, 1, 1}, {5, 11, 0}}},
        {"a Y/N answer, blank when unknown, right before a name most records fill",
         28,
         [](int i) {
             static const char* const names[] = {"Smith", "Miller", "Rossi", "Andersson", "King", "Young"};
             std::vector<uint8_t> r(28, ' ');
             generated::putInt(r, 0, 2, uint64_t(i * 3 + 1));
             r[2] = i % 7 == 0 ? ' ' : i % 3 ? 'N' : 'Y';
             if (i % 10)
                 generated::putText(r, 3, 25, names[i % 6], ' ');
             return r;
         },
         {{0, 2, 1}, {2, 1, 0}, {3, 25, 0}}},
        {"item numbers of five digits spread evenly (10,000 to 99,999; their third byte 0 or 1)",
         12,
         [](int i) {
             std::vector<uint8_t> r(12, 0);
             generated::putInt(r, 0, 2, uint64_t(i + 1));
             generated::putInt(r, 2, 4, uint64_t(i * 7919 % 90000 + 10000));
             generated::putInt(r, 6, 2, uint64_t(1 + i % 40));
             generated::putInt(r, 8, 4, uint64_t(i * 1543 % 500000));
             return r;
         },
         {{0, 2, 1}, {2, 4, 1}, {6, 2, 1}, {8, 4, 1}}},
        {"numbers spread evenly up to 209,999 (their third byte 0 to 3) before a count",
         8,
         [](int i) {
             std::vector<uint8_t> r(8, 0);
             generated::putInt(r, 0, 4, uint64_t(i * 7919 % 200000 + 10000));
             generated::putInt(r, 4, 2, uint64_t(1 + i % 40));
             return r;
         },
         {{0, 4, 1}, {4, 4, 1}}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        const auto fields = draftOf(c.length, 300, c.make, bytes);
        expectExactCover(fields, std::size_t(c.length), c.what);
        std::string got;
        for (const auto& f : fields)
            got += std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" +
                   std::to_string(f.typeCode) + " ";
        ASSERT_EQ(fields.size(), c.expected.size()) << c.what << ": " << got;
        for (std::size_t i = 0; i < fields.size(); ++i)
            EXPECT_EQ((std::array<int, 3>{fields[i].offset, fields[i].size, fields[i].typeCode}),
                      c.expected[i])
                << c.what << " #" << i << ": " << fields[i].reason;
    }
}

TEST(FieldInference, stringsOfAProgramThatNeverClearsItsRecordKeepTheirDeclaredSize)
{
    // One global record assigned into: after each string's text the bytes of older, longer
    // values, and where no value of the sample reached, what the first records left there. C
    // strings (strcpy) and Pascal strings (a length byte, then the text).
    constexpr int kLength = 64;
    static const char* const names[] = {
        "Smith", "Miller & Sons Ltd", "Rossi", "van Dijk", "Andersson GmbH", "King", "Nguyen"};
    static const char* const cities[] = {"Leeds", "Des Moines", "Krakow", "St. Paul", "Rotterdam", "Cork"};
    for (const bool pascal : {false, true}) {
        generated::Random rnd(64);
        std::vector<uint8_t> buffer(kLength, 0);
        const auto put = [&](int offset, int size, const std::string& s) {
            const std::string cut = s.substr(0, std::size_t(size) - 1);
            if (pascal) {
                buffer[std::size_t(offset)] = uint8_t(cut.size());
                std::memcpy(&buffer[std::size_t(offset) + 1], cut.data(), cut.size());
            } else {
                std::memcpy(&buffer[std::size_t(offset)], cut.c_str(), cut.size() + 1);
            }
        };
        std::vector<std::vector<uint8_t>> records;
        // The first record filled the name to its end; later ones are shorter.
        put(4, 30, "Northern Counties Hauliers Lim");
        for (int i = 0; i < 400; ++i) {
            generated::putInt(buffer, 0, 4, uint64_t(i + 1));
            put(4, 30, names[rnd.below(7)]);
            generated::putInt(buffer, 34, 4, uint64_t(rnd.below(100000)));
            put(38, 26, cities[rnd.below(6)]);
            records.push_back(buffer);
        }
        std::vector<uint8_t> bytes;
        const auto fields = dict::inferFields(inputOf(records, bytes, kLength));
        expectExactCover(fields, kLength, "strings");
        std::string got;
        for (const auto& f : fields)
            got += std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" +
                   std::to_string(f.typeCode) + " ";
        EXPECT_EQ(got, pascal ? "0+4:1 4+30:10 34+4:1 38+26:10 " : "0+4:1 4+30:11 34+4:1 38+26:11 ");
    }
}

TEST(FieldInference, aCStringOverBytesAnotherLayoutLeftKeepsItsSize)
{
    // Records of two layouts written from one buffer: a name and a number, or binary values
    // over the name's bytes. The names' records, each with the record read before it, get one
    // C string over the whole name, not a short text cut where the other layout's bytes begin.
    constexpr std::size_t kLength = 38;
    static const char* const names[] = {"Smith", "Miller & Sons Ltd", "Rossi", "", "King", "Nguyen"};
    generated::Random rnd(38);
    std::vector<uint8_t> buffer(kLength, 0), nameRecords, before;
    std::vector<uint8_t> last = buffer;
    std::size_t count = 0;
    for (int i = 0; i < 600; ++i) {
        generated::putInt(buffer, 0, 4, uint64_t(i + 1));
        if (i % 3 == 0) {
            for (int o = 4; o < 34; o += 2)
                generated::putInt(buffer, o, 2, uint64_t(rnd.below(65536)));
        } else {
            const std::string name = names[rnd.below(6)];
            std::memcpy(&buffer[4], name.c_str(), name.size() + 1);
            generated::putInt(buffer, 34, 4, uint64_t(rnd.below(100000)));
            nameRecords.insert(nameRecords.end(), buffer.begin(), buffer.end());
            before.insert(before.end(), last.begin(), last.end());
            ++count;
        }
        last = buffer;
    }
    dict::InferenceInput in;
    in.recordLength = kLength;
    in.count = count;
    in.records = nameRecords;
    in.previous = before;
    EXPECT_EQ(layoutOf(dict::inferFields(in)), "0+4:1 4+30:11 34+4:1 ");
}

TEST(FieldInference, aTypedKeyOfOneLayoutStaysOutOfTheLayoutWhoseTextLiesOverIt)
{
    // Customers ('C') keep a number, then a name keyed as a Pascal string; orders ('O') keep a
    // note that starts before the name's key and reaches past it, from one buffer never cleared.
    // The key's length byte falls inside the orders' text, so it is no field of theirs.
    constexpr int kLength = 56;
    const char* const names[] = {"Smith", "Miller & Sons Ltd", "Rossi", "van Dijk", "Andersson GmbH", "King"};
    const char* const notes[] = {"urgent delivery", "paid cash", "see letter of the 3rd", "late",
                                 "new address"};
    const auto records = customersAndOrders(
        kLength, 56,
        [&](std::vector<uint8_t>& buffer, generated::Random& rnd) {
            generated::putInt(buffer, 5, 2, uint64_t(rnd.below(5000)));
            putPascalString(buffer, 7, 25, names[rnd.below(6)]);
        },
        [&](std::vector<uint8_t>& buffer, generated::Random& rnd) {
            putPascalString(buffer, 5, 40, notes[rnd.below(5)]);
            generated::putInt(buffer, 46, 2, uint64_t(rnd.below(2000)));
        });
    std::vector<uint8_t> bytes;
    dict::InferenceInput in = inputOf(records, bytes, kLength);
    in.keySegments.push_back(lStringKey(8, 26));
    const dict::InferredVariants v = dict::inferVariants(in);
    ASSERT_EQ(v.variants.size(), 2u) << v.reason;
    ASSERT_EQ(v.variants[1].tag, "O");
    EXPECT_EQ(layoutOf(v.variants[1].fields), "0+1:0 1+4:1 5+41:10 46+2:1 48+8:0 ");
}

TEST(FieldInference, twoBytesOfFlagsSideBySideAreTwoFields)
{
    // A low byte of 16 values under a byte that varies in most records is no integer's low
    // byte; a count of small values below a byte of signs still is one.
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 400; ++i) {
        std::vector<uint8_t> r(8, 0);
        generated::putInt(r, 0, 4, uint64_t(i * 3 + 1));
        r[4] = uint8_t(i * 7 % 16);
        r[5] = uint8_t(i * 11 % 13 + 1);
        generated::putInt(r, 6, 2, uint64_t(int64_t(i % 31) - 15));
        records.push_back(r);
    }
    std::vector<uint8_t> bytes;
    const auto fields = dict::inferFields(inputOf(records, bytes, 8));
    std::string got;
    for (const auto& f : fields)
        got +=
            std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" + std::to_string(f.typeCode) + " ";
    EXPECT_EQ(got, "0+4:1 4+1:1 5+1:1 6+2:1 ");
}

TEST(FieldInference, withoutRecordsKeysClaimNothingAboutValues)
{
    std::vector<uint8_t> bytes;
    dict::InferenceInput in = inputOf({}, bytes, 30);
    dict::KeySpec typed, text;
    typed.position = 1;
    typed.length = 4;
    typed.flags = dict::KeyExtendedType;
    typed.extendedType = 1;
    text.position = 5;
    text.length = 20;
    in.keySegments = {typed, text};
    const auto fields = dict::inferFields(in);
    expectExactCover(fields, 30, "no records");
    ASSERT_GE(fields.size(), 2u);
    for (const auto& f : fields) {
        EXPECT_LE(f.confidence, 0.6) << f.reason;
        EXPECT_EQ(f.reason.find('%'), std::string::npos) << f.reason;
        EXPECT_EQ(f.reason.find("every sampled"), std::string::npos) << f.reason;
    }
}

TEST(FieldInference, recordsOfSeveralLayoutsToldApartByALeadingTagGetADraftEach)
{
    // The tag leads the record, or follows a number that leads every record (an account
    // number, then the kind of transaction).
    for (const int lead : {0, 4}) {
        std::vector<std::vector<uint8_t>> records;
        for (int i = 0; i < 400; ++i) {
            std::vector<uint8_t> r(std::size_t(lead), 0);
            if (lead)
                generated::putInt(r, 0, lead, uint64_t(i * 7 + 100));
            const std::vector<uint8_t> order = generated::orderRecord(i);
            r.insert(r.end(), order.begin(), order.end());
            records.push_back(r);
        }
        const std::size_t length = generated::kOrderLength + std::size_t(lead);
        std::vector<uint8_t> bytes;
        dict::InferenceInput in = inputOf(records, bytes, length);
        dict::KeySpec number; // a key of the number and the kind
        number.position = 1;
        number.length = uint16_t(lead + 1);
        number.flags = dict::KeyExtendedType;
        number.extendedType = 14;
        in.keySegments.push_back(number);
        const dict::InferredVariants v = dict::inferVariants(in);
        ASSERT_EQ(v.variants.size(), 2u) << v.reason;
        EXPECT_EQ(v.offset, lead);
        EXPECT_EQ(v.size, 1);
        EXPECT_NE(v.reason.find("2 layouts"), std::string::npos) << v.reason;
        EXPECT_EQ(v.variants[0].tag, "H");
        EXPECT_EQ(v.variants[0].records.size(), 100u);
        EXPECT_EQ(v.variants[1].records.size(), 300u);
        for (const auto& variant : v.variants)
            expectExactCover(variant.fields, length, variant.tag);
        bool nameFound = false, dateFound = false;
        for (const auto& f : v.variants[0].fields) {
            nameFound = nameFound || (f.offset == lead + 3 && f.size == 21 && f.typeCode == 0);
            dateFound = dateFound || (f.offset == lead + 24 && f.size == 4 && f.typeCode == 3);
        }
        std::string got;
        for (const auto& f : v.variants[0].fields)
            got += std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" +
                   std::to_string(f.typeCode) + " ";
        EXPECT_TRUE(nameFound && dateFound) << got;
    }
    std::vector<std::vector<uint8_t>> records;
    std::vector<uint8_t> bytes;

    // A status letter over records of one layout is no tag.
    const auto status = [](int i) {
        std::vector<uint8_t> r(32, 0);
        r[0] = "ADA"[i % 3];
        generated::putInt(r, 1, 4, uint64_t(i * 7 + 1));
        generated::putText(r, 5, 27, "Name " + std::to_string(i * 37 % 1000), ' ');
        return r;
    };
    records.clear();
    for (int i = 0; i < 400; ++i)
        records.push_back(status(i));
    EXPECT_TRUE(dict::inferVariants(inputOf(records, bytes, 32)).variants.empty());
    // Nor is a yes/no byte after the number, though the records that say yes fill a remark.
    for (const char* yesNo : {"\x00\x01", "NY"}) {
        records.clear();
        for (int i = 0; i < 400; ++i) {
            std::vector<uint8_t> r(32, ' ');
            generated::putInt(r, 0, 4, uint64_t(i * 7 + 1));
            r[4] = uint8_t(yesNo[i % 3 == 0]);
            if (i % 3 == 0)
                generated::putText(r, 5, 27, "Paid in cash on " + std::to_string(i % 28 + 1) + " May", ' ');
            records.push_back(r);
        }
        dict::InferenceInput in = inputOf(records, bytes, 32);
        dict::KeySpec paid; // a key over the number and the flag
        paid.position = 1;
        paid.length = 5;
        in.keySegments.push_back(paid);
        EXPECT_TRUE(dict::inferVariants(in).variants.empty()) << yesNo[1];
    }
}

TEST(FieldInference, layoutsWrittenFromOneReusedBufferAreToldApartByWhatEachRecordWrites)
{
    // A Pascal program writing customers ('C') and orders ('O') from one global record it never
    // clears: each kind's bytes past its own fields hold what the record before left. The
    // name key of the customers lies over the bytes where orders keep a reference, a date and
    // a note.
    constexpr int kLength = 64;
    const char* const names[] = {"Smith", "Miller & Sons Ltd", "Rossi", "van Dijk", "Andersson GmbH", "King"};
    const char* const notes[] = {"urgent", "paid cash", "see letter of the 3rd", "late", "new address"};
    const auto records = customersAndOrders(
        kLength, 33,
        [&](std::vector<uint8_t>& buffer, generated::Random& rnd) {
            putPascalString(buffer, 5, 25, names[rnd.below(6)]);
            generated::putInt(buffer, 31, 2, uint64_t(rnd.below(5000)));
        },
        [&](std::vector<uint8_t>& buffer, generated::Random& rnd) {
            generated::putInt(buffer, 5, 4, uint64_t(1 + rnd.below(40000)));
            buffer[9] = uint8_t(1 + rnd.below(28));
            buffer[10] = uint8_t(1 + rnd.below(12));
            generated::putInt(buffer, 11, 2, uint64_t(1988 + rnd.below(10)));
            putPascalString(buffer, 13, 25, notes[rnd.below(5)]);
            generated::putInt(buffer, 39, 2, uint64_t(rnd.below(2000)));
        });
    std::vector<uint8_t> bytes;
    dict::InferenceInput in = inputOf(records, bytes, kLength);
    in.keySegments.push_back(lStringKey(6, 26));
    const dict::InferredVariants v = dict::inferVariants(in);
    ASSERT_EQ(v.variants.size(), 2u) << v.reason;
    const auto layout = [](const dict::InferredVariant& variant) {
        std::string got;
        for (const auto& f : variant.fields)
            got += std::to_string(f.offset) + "+" + std::to_string(f.size) + ":" +
                   std::to_string(f.typeCode) + " ";
        return got;
    };
    for (const auto& variant : v.variants)
        expectExactCover(variant.fields, kLength, variant.tag);
    const dict::InferredVariant& customers = v.variants[0];
    const dict::InferredVariant& orders = v.variants[1];
    ASSERT_EQ(customers.tag, "C");
    // Customers keep their key; the bytes they never write are one field that says so.
    EXPECT_NE(layout(customers).find("5+26:10 31+2:1 33+31:0"), std::string::npos) << layout(customers);
    EXPECT_NE(customers.fields.back().reason.find("left"), std::string::npos)
        << customers.fields.back().reason;
    // Orders' own fields, not the customers' key, shape their draft.
    EXPECT_NE(layout(orders).find("5+4:1 9+4:3 13+26:10 39+2:1"), std::string::npos) << layout(orders);
}

} // namespace
