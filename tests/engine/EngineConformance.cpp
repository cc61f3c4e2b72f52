// The conformance suite: what every record-manager call Quillan can use must do.
#include "EngineConformance.h"

#include "BtrTestFile.h"
#include "Status.h"
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

using namespace btrtest;
using namespace btr;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes f32(float v)
{
    Bytes b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

Bytes f64(double v)
{
    Bytes b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}

// Microsoft binary format, 4 bytes, from an IEEE single.
Bytes mbf4(float v)
{
    uint32_t ieee;
    std::memcpy(&ieee, &v, 4);
    if (v == 0)
        return Bytes(4, 0);
    const uint32_t sign = ieee >> 31, exponent = (ieee >> 23) & 0xFF, mantissa = ieee & 0x7FFFFF;
    return {static_cast<uint8_t>(mantissa), static_cast<uint8_t>(mantissa >> 8),
            static_cast<uint8_t>((sign << 7) | ((mantissa >> 16) & 0x7F)),
            static_cast<uint8_t>(exponent + 2)};
}

Bytes date(int day, int month, int year)
{
    return {static_cast<uint8_t>(day), static_cast<uint8_t>(month), static_cast<uint8_t>(year),
            static_cast<uint8_t>(year >> 8)};
}

Bytes time(int hours, int minutes, int seconds, int hundredths)
{
    return {static_cast<uint8_t>(hundredths), static_cast<uint8_t>(seconds), static_cast<uint8_t>(minutes),
            static_cast<uint8_t>(hours)};
}

// Packed BCD of n bytes: 2n-1 digits, sign nibble 0xC or 0xD.
Bytes packed(int64_t v, size_t n)
{
    std::string digits = std::to_string(v < 0 ? -v : v);
    digits.insert(0, 2 * n - 1 - digits.size(), '0');
    digits.push_back(v < 0 ? char(0xD) : char(0xC));
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        auto nib = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c; };
        b[i] = static_cast<uint8_t>((nib(digits[2 * i]) << 4) | nib(digits[2 * i + 1]));
    }
    return b;
}

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// LSTRING: length byte, content, then filler that must not count.
Bytes lstring(const std::string& s, size_t n)
{
    Bytes b(n, 'z');
    b[0] = static_cast<uint8_t>(s.size());
    std::memcpy(&b[1], s.data(), s.size());
    return b;
}

// ZSTRING: content, NUL, then filler that must not count.
Bytes zstring(const std::string& s, size_t n)
{
    Bytes b(n, 'z');
    std::memcpy(b.data(), s.data(), s.size());
    b[s.size()] = 0;
    return b;
}

struct OrderCase {
    const char* rule;
    Segment segment;
    std::vector<Bytes> ascending; // values in the order the key path must return them
    bool upperAcs = false;
};

std::vector<OrderCase> orderCases()
{
    const auto ints = [](std::initializer_list<int64_t> vs, size_t n) {
        std::vector<Bytes> out;
        for (int64_t v : vs)
            out.push_back(le(v, n));
        return out;
    };
    return {
        {"integer2SignedLittleEndian", {1, 2, 0x100, 1}, ints({-30000, -300, -1, 0, 1, 255, 256, 30000}, 2)},
        {"integer4", {1, 4, 0x100, 1}, ints({-70000, -1, 0, 1, 65536, 70000}, 4)},
        {"integer8", {1, 8, 0x100, 1}, ints({-(int64_t{1} << 40), -1, 0, 1, 256, int64_t{1} << 40}, 8)},
        {"integer1", {1, 1, 0x100, 1}, ints({-128, -1, 0, 1, 127}, 1)},
        {"unsignedBinary2MultiByte", {1, 2, 0x100, 14}, ints({1, 255, 256, 4095, 65535}, 2)},
        {"unsignedBinary4", {1, 4, 0x100, 14}, ints({1, 256, 65536, 0x01000000, 0xFFFFFFFFll}, 4)},
        {"oldStyleBinaryFlag", {1, 4, 0x4, 0}, ints({1, 256, 65536, 0x7F000000}, 4)},
        {"oldStyleBinaryOfSixBytes", {1, 6, 0x4, 0}, ints({1, 256, 65536, int64_t{1} << 40}, 6)},
        {"logical2", {1, 2, 0x100, 7}, ints({0, 1, 256}, 2)},
        {"autoIncrementGivenValues", {1, 4, 0x100, 15}, ints({-5, 1, 2, 1000, 70000}, 4)},
        {"currencySigned64", {1, 8, 0x100, 19}, ints({-100000, -1, 1, 5, int64_t{1} << 40}, 8)},
        {"timestampUnsigned64", {1, 8, 0x100, 20}, ints({1, 256, int64_t{1} << 40, -1}, 8)},
        {"float4IncludingNegatives",
         {1, 4, 0x100, 2},
         {f32(-1e10f), f32(-2.5f), f32(-0.5f), f32(0), f32(1e-5f), f32(3), f32(1e10f)}},
        {"float8IncludingNegatives",
         {1, 8, 0x100, 2},
         {f64(-1e300), f64(-2.5), f64(-1e-300), f64(0), f64(0.25), f64(7), f64(1e300)}},
        {"bfloat4", {1, 4, 0x100, 9}, {mbf4(-100), mbf4(-1.5f), mbf4(0), mbf4(0.25f), mbf4(3), mbf4(1000)}},
        {"bfloat8",
         {1, 8, 0x100, 9},
         {Bytes{0, 0, 0, 0, 0, 0, 0x90, 0x90}, Bytes{0, 0, 0, 0, 0, 0, 0xFF, 0x81}, Bytes(8, 0),
          Bytes{1, 0, 0, 0, 0, 0, 0, 0x81}, Bytes{0, 0, 0, 0, 0, 0, 1, 0x81},
          Bytes{0, 0, 0, 0, 0, 0, 0, 0x90}}},
        {"dateByYearMonthDay",
         {1, 4, 0x100, 3},
         {date(31, 12, 1999), date(1, 1, 2000), date(2, 1, 2000), date(1, 2, 2000), date(1, 1, 2001)}},
        {"timeByHoursFirst",
         {1, 4, 0x100, 4},
         {time(0, 0, 0, 99), time(0, 0, 1, 0), time(0, 59, 0, 0), time(1, 0, 0, 0), time(23, 0, 0, 0)}},
        {"decimalPackedBcd",
         {1, 3, 0x100, 5},
         {packed(-12000, 3), packed(-120, 3), packed(-5, 3), packed(0, 3), packed(7, 3), packed(300, 3)}},
        {"moneyPackedBcd",
         {1, 4, 0x100, 6},
         {packed(-9999, 4), packed(-10, 4), packed(10, 4), packed(1000000, 4)}},
        {"numericOverPunch",
         {1, 4, 0x100, 8},
         {text("012K"), text("001K"), text("000J"), text("0000"), text("0001"), text("001B"), text("0100")}},
        {"numericSaOverPunch",
         {1, 3, 0x100, 18},
         {text("12r"), text("01p"), text("000"), text("05{"), text("12C")}},
        {"numericSignedTrailingSeparate",
         {1, 3, 0x100, 17},
         {text("12-"), text("01-"), text("00+"), text("05+"), text("12+")}},
        {"lstringComparesItsLengthOnly",
         {1, 6, 0x100, 10},
         {lstring("", 6), lstring("a", 6), lstring("ab", 6), lstring("abz", 6), lstring("b", 6)}},
        {"zstringStopsAtNul",
         {1, 6, 0x100, 11},
         {zstring("", 6), zstring("a", 6), zstring("ab", 6), zstring("b", 6)}},
        {"stringBytesUnsigned", {1, 3, 0x100, 0}, {text("ABC"), text("abc"), text("\x80xx"), text("\xFFxx")}},
        {"descendingSegmentReversesItsOrder", {1, 2, 0x140, 1}, ints({300, 1, 0, -1, -300}, 2)},
        {"caseInsensitiveString", {1, 6, 0x500, 0}, {text("apple "), text("Banana"), text("cherry")}},
        {"acsUpperString", {1, 6, 0x120, 0}, {text("apple "), text("Banana"), text("cherry")}, true},
    };
}

// Reads a whole key path with Get First / Get Next (or Get Last / Get Previous).
std::vector<Bytes> readPath(BtrFile& f, int8_t key, size_t from, size_t length, bool backwards = false)
{
    std::vector<Bytes> out;
    int16_t st = f.get(backwards ? OpGetLast : OpGetFirst, key);
    while (st == StatusSuccess) {
        out.emplace_back(f.record().begin() + from, f.record().begin() + from + length);
        st = f.get(backwards ? OpGetPrevious : OpGetNext, key);
    }
    EXPECT_EQ(st, StatusEndOfFile);
    return out;
}

size_t stepCount(BtrFile& f)
{
    size_t n = 0;
    for (int16_t st = f.get(OpStepFirst, 0); st == StatusSuccess; st = f.get(OpStepNext, 0))
        ++n;
    return n;
}

uint32_t statRecords(BtrFile& f)
{
    std::vector<uint8_t> s;
    EXPECT_EQ(f.stat(s), StatusSuccess);
    uint32_t n = 0;
    std::memcpy(&n, &s[6], 4);
    return n;
}

uint32_t statDistinct(BtrFile& f, size_t segment)
{
    std::vector<uint8_t> s;
    EXPECT_EQ(f.stat(s), StatusSuccess);
    uint32_t n = 0;
    std::memcpy(&n, &s[16 + 16 * segment + 6], 4);
    return n;
}

Bytes cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes fixed(const std::string& s, size_t n)
{
    Bytes b(n, ' ');
    std::memcpy(b.data(), s.data(), std::min(n, s.size()));
    return b;
}

// A file of 6-byte records: INTEGER 2 at 1 (key 0, unique), STRING 4 at 3 (key 1, duplicates,
// modifiable).
std::vector<uint8_t> twoKeySpec()
{
    return createSpec(6, 1024, {{1, 2, 0x100, 1}, {3, 4, 0x103, 0}});
}

Bytes twoKeyRecord(int id, const std::string& name)
{
    return cat(le(id, 2), fixed(name, 4));
}

int idOf(const BtrFile& f)
{
    return static_cast<int16_t>(f.record()[0] | (f.record()[1] << 8));
}

} // namespace

TEST_P(BtrConformance, everyKeyTypeOrdersByValueNotByBytes)
{
    testsupport::TempDir dir;
    for (const OrderCase& c : orderCases()) {
        SCOPED_TRACE(c.rule);
        const std::string path = dir.file(std::string(c.rule) + ".btr");
        const size_t n = c.ascending.size();
        const uint16_t length = c.segment.length;
        std::vector<std::vector<uint8_t>> acs;
        if (c.upperAcs)
            acs.push_back(upperAcs());
        BtrFile f(fn);
        ASSERT_EQ(f.create(path, createSpec(length + 2, 1024, {c.segment}, 0, acs)), StatusSuccess);
        ASSERT_EQ(f.open(path), StatusSuccess);
        std::vector<size_t> order;
        for (size_t i = 0; i < n; ++i)
            order.push_back(i % 2 ? i / 2 : n - 1 - i / 2);
        for (size_t i : order)
            ASSERT_EQ(f.insert(cat(c.ascending[i], le(static_cast<int64_t>(i), 2))), StatusSuccess) << i;

        EXPECT_EQ(readPath(f, 0, 0, length), c.ascending);
        std::vector<Bytes> descending(c.ascending.rbegin(), c.ascending.rend());
        EXPECT_EQ(readPath(f, 0, 0, length, true), descending);

        const auto found = [&](uint16_t op, size_t keyOf) -> Bytes {
            if (f.get(op, 0, c.ascending[keyOf]) != StatusSuccess)
                return {};
            return Bytes(f.record().begin(), f.record().begin() + length);
        };
        EXPECT_EQ(found(OpGetEqual, 1), c.ascending[1]);
        EXPECT_EQ(found(OpGetGreater, 1), c.ascending[2]);
        EXPECT_EQ(found(OpGetGreaterOrEqual, 1), c.ascending[1]);
        EXPECT_EQ(found(OpGetLess, 1), c.ascending[0]);
        EXPECT_EQ(found(OpGetLessOrEqual, 1), c.ascending[1]);
        EXPECT_EQ(f.get(OpGetLess, 0, c.ascending[0]), StatusEndOfFile);
        EXPECT_EQ(f.close(), StatusSuccess);
    }
}

TEST_P(BtrConformance, caseInsensitiveAndUpperSequenceKeysTieOnLetterCase)
{
    testsupport::TempDir dir;
    struct Case {
        const char* rule;
        uint16_t flags;
        std::vector<std::vector<uint8_t>> acs;
    };
    for (const Case& c : {Case{"caseInsensitive", 0x400, {}}, Case{"upperSequence", 0x20, {upperAcs()}}}) {
        SCOPED_TRACE(c.rule);
        const std::string path = dir.file(std::string(c.rule) + ".btr");
        BtrFile f(fn);
        // key 0: six bytes, unique; key 1: the first five, with duplicates.
        const uint16_t dup = static_cast<uint16_t>(c.flags | 0x1);
        ASSERT_EQ(f.create(path, createSpec(8, 1024, {{1, 6, c.flags, 0}, {1, 5, dup, 0}}, 0, c.acs)),
                  StatusSuccess);
        ASSERT_EQ(f.open(path), StatusSuccess);
        ASSERT_EQ(f.insert(cat(text("apple "), le(1, 2))), StatusSuccess);
        EXPECT_EQ(f.insert(cat(text("APPLE "), le(2, 2))), StatusDuplicateKey);
        ASSERT_EQ(f.insert(cat(text("Apple!"), le(3, 2))), StatusSuccess);
        ASSERT_EQ(f.insert(cat(text("APPLE?"), le(4, 2))), StatusSuccess);
        ASSERT_EQ(f.insert(cat(text("abc   "), le(5, 2))), StatusSuccess);

        ASSERT_EQ(f.get(OpGetEqual, 0, text("ApPlE ")), StatusSuccess);
        EXPECT_EQ(f.record()[6], 1);
        EXPECT_EQ(f.key(6), text("apple ")); // the key as stored, not as weighed
        EXPECT_EQ(readPath(f, 0, 6, 1), (std::vector<Bytes>{{5}, {1}, {3}, {4}}));
        EXPECT_EQ(readPath(f, 1, 6, 1), (std::vector<Bytes>{{5}, {1}, {3}, {4}})); // ties in insertion order
        ASSERT_EQ(f.get(OpGetEqual, 1, text("aPPLE")), StatusSuccess);
        EXPECT_EQ(f.record()[6], 1);
        EXPECT_EQ(statDistinct(f, 1), 2u);
    }
}

TEST_P(BtrConformance, segmentsCompareOneAfterAnotherEachByItsType)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("multi.btr");
    BtrFile f(fn);
    // INTEGER 2 then a descending STRING 2.
    ASSERT_EQ(f.create(path, createSpec(4, 1024, {{1, 2, 0x110, 1}, {3, 2, 0x140, 0}})), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    const std::vector<Bytes> ascending = {cat(le(-1, 2), text("bb")), cat(le(-1, 2), text("aa")),
                                          cat(le(2, 2), text("zz")), cat(le(2, 2), text("aa")),
                                          cat(le(256, 2), text("mm"))};
    for (size_t i = ascending.size(); i > 0; --i)
        ASSERT_EQ(f.insert(ascending[i - 1]), StatusSuccess);
    EXPECT_EQ(readPath(f, 0, 0, 4), ascending);
    ASSERT_EQ(f.get(OpGetEqual, 0, ascending[2]), StatusSuccess);
    EXPECT_EQ(f.key(4), ascending[2]);
}

TEST_P(BtrConformance, positionRulesOfGetAndStepOperations)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("pos.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    EXPECT_EQ(f.get(OpGetNext, 0), StatusInvalidPositioning); // nothing established yet
    EXPECT_EQ(f.get(OpStepFirst, 0), StatusEndOfFile);
    for (auto [id, name] : std::vector<std::pair<int, const char*>>{{1, "b"}, {2, "a"}, {3, "b"}, {4, "a"}})
        ASSERT_EQ(f.insert(twoKeyRecord(id, name)), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);

    EXPECT_EQ(f.get(OpStepPrevious, 0), StatusEndOfFile);
    ASSERT_EQ(f.get(OpStepNext, 0), StatusSuccess); // right after Open: the first record
    EXPECT_EQ(idOf(f), 1);
    ASSERT_EQ(f.get(OpStepNext, 0), StatusSuccess);
    EXPECT_EQ(idOf(f), 2);
    EXPECT_EQ(f.get(OpGetNext, 0), StatusInvalidPositioning); // Step sets no logical position

    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    EXPECT_EQ(f.get(OpGetPrevious, 0), StatusEndOfFile);
    ASSERT_EQ(f.get(OpGetNext, 0), StatusSuccess);
    EXPECT_EQ(idOf(f), 2);
    EXPECT_EQ(f.get(OpGetNext, 1), StatusDifferentKeyNumber);
    ASSERT_EQ(f.get(OpStepNext, 0), StatusSuccess); // the physical position follows Get
    EXPECT_EQ(idOf(f), 3);

    ASSERT_EQ(f.get(OpGetLast, 0), StatusSuccess);
    EXPECT_EQ(f.get(OpGetNext, 0), StatusEndOfFile);
    ASSERT_EQ(f.get(OpGetPrevious, 0), StatusSuccess);
    EXPECT_EQ(idOf(f), 3);

    // Update with another key number succeeds and moves the logical position to that key.
    ASSERT_EQ(f.update(twoKeyRecord(3, "c"), 1), StatusSuccess);
    EXPECT_EQ(f.get(OpGetNext, 0), StatusDifferentKeyNumber);
    EXPECT_EQ(f.get(OpGetPrevious, 1), StatusSuccess);
    EXPECT_EQ(idOf(f), 1);

    // Delete keeps the place: Get Next returns the record after the deleted one.
    ASSERT_EQ(f.get(OpGetEqual, 0, le(2, 2)), StatusSuccess);
    ASSERT_EQ(f.remove(0), StatusSuccess);
    uint32_t address = 0;
    EXPECT_EQ(f.getPosition(address), StatusInvalidPositioning);
    EXPECT_EQ(f.update(twoKeyRecord(2, "x")), StatusInvalidPositioning);
    ASSERT_EQ(f.get(OpGetNext, 0), StatusSuccess);
    EXPECT_EQ(idOf(f), 3);
    EXPECT_EQ(f.get(OpGetEqual, 0, le(2, 2)), StatusKeyNotFound);
}

TEST_P(BtrConformance, positionAfterInsertDeleteAndKeyOnlyGets)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("pos2.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    for (auto [id, name] : std::vector<std::pair<int, const char*>>{{1, "d"}, {2, "c"}, {3, "b"}, {4, "a"}})
        ASSERT_EQ(f.insert(twoKeyRecord(id, name)), StatusSuccess);

    // Insert takes up its key path at the new record; with key number -1 the place stays.
    ASSERT_EQ(f.insert(twoKeyRecord(6, "e"), 1), StatusSuccess);
    ASSERT_EQ(f.get(OpGetPrevious, 1), StatusSuccess);
    EXPECT_EQ(idOf(f), 1);
    ASSERT_EQ(f.insert(twoKeyRecord(5, "f"), -1), StatusSuccess);
    ASSERT_EQ(f.get(OpGetNext, 1), StatusSuccess);
    EXPECT_EQ(idOf(f), 6);

    // Delete with another key number: the next Get Next on the first key gives 7, and the
    // place on the other key is where the deleted record was.
    ASSERT_EQ(f.get(OpGetEqual, 0, le(3, 2)), StatusSuccess);
    ASSERT_EQ(f.remove(1), StatusSuccess);
    EXPECT_EQ(f.get(OpGetNext, 0), StatusDifferentKeyNumber);
    ASSERT_EQ(f.get(OpGetNext, 1), StatusSuccess);
    EXPECT_EQ(idOf(f), 2);

    uint8_t data[16] = {};
    uint8_t key[8] = {};
    uint32_t length = sizeof data;
    // +50: keys only, walking the path, with or without a lock bias; no current record.
    std::vector<int> keys;
    for (int16_t st = f.call(OpGetFirst + 50, data, &length, key, sizeof key, 0); st == StatusSuccess;
         st = f.call(OpGetNext + 150, data, &length, key, sizeof key, 0))
        keys.push_back(key[0]);
    EXPECT_EQ(keys, (std::vector<int>{1, 2, 4, 5, 6}));
    EXPECT_EQ(f.update(twoKeyRecord(6, "x")), StatusInvalidPositioning);
    std::memcpy(key, le(3, 2).data(), 2);
    EXPECT_EQ(f.call(OpGetEqual + 50, data, &length, key, sizeof key, 0), StatusKeyNotFound);
    std::memcpy(key, le(4, 2).data(), 2);
    ASSERT_EQ(f.call(OpGetEqual + 50, data, &length, key, sizeof key, 0), StatusSuccess);
    ASSERT_EQ(f.call(OpGetNext + 50, data, &length, key, sizeof key, 0), StatusSuccess);
    EXPECT_EQ(key[0], 5);
    ASSERT_EQ(f.get(OpGetNext, 0), StatusSuccess); // a Get Key position serves a plain Get Next
    EXPECT_EQ(idOf(f), 6);
    EXPECT_EQ(statRecords(f), 5u);
    EXPECT_EQ(statDistinct(f, 1), 5u);
}

TEST_P(BtrConformance, duplicatesComeBackInInsertionOrder)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("dup.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    for (auto [id, name] :
         std::vector<std::pair<int, const char*>>{{5, "b"}, {1, "a"}, {9, "b"}, {3, "a"}, {7, "a"}})
        ASSERT_EQ(f.insert(twoKeyRecord(id, name)), StatusSuccess);
    auto ids = [&](bool backwards) {
        std::vector<int> out;
        for (const Bytes& b : readPath(f, 1, 0, 2, backwards))
            out.push_back(b[0]);
        return out;
    };
    EXPECT_EQ(ids(false), (std::vector<int>{1, 3, 7, 5, 9}));
    EXPECT_EQ(ids(true), (std::vector<int>{9, 5, 7, 3, 1}));
    ASSERT_EQ(f.get(OpGetEqual, 1, text("a   ")), StatusSuccess);
    EXPECT_EQ(idOf(f), 1);

    // A record whose key changes goes after the records already holding the new value.
    ASSERT_EQ(f.get(OpGetEqual, 0, le(1, 2)), StatusSuccess);
    ASSERT_EQ(f.update(twoKeyRecord(1, "b"), 1), StatusSuccess);
    EXPECT_EQ(ids(false), (std::vector<int>{3, 7, 5, 9, 1}));
    EXPECT_EQ(statDistinct(f, 1), 2u);
}

TEST_P(BtrConformance, nullKeysStayOutOfTheKeyPathButNotOutOfStepOrStat)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("null.btr");
    BtrFile f(fn);
    // key 0: INTEGER 2 unique; key 1: STRING 2 + STRING 2, null when all segments are blank;
    // key 2: same segments, null when any segment is blank.
    ASSERT_EQ(f.create(path, createSpec(6, 1024,
                                        {{1, 2, 0x100, 1},
                                         {3, 2, 0x119, 0, ' '},
                                         {5, 2, 0x109, 0, ' '},
                                         {3, 2, 0x311, 0, ' '},
                                         {5, 2, 0x301, 0, ' '}})),
              StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(1, 2), text("    "))), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(2, 2), text("ab  "))), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(3, 2), text("abcd"))), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(4, 2), text("    "))), StatusSuccess); // a second null: no duplicate

    EXPECT_EQ(readPath(f, 1, 0, 2), (std::vector<Bytes>{le(2, 2), le(3, 2)}));
    EXPECT_EQ(readPath(f, 2, 0, 2), (std::vector<Bytes>{le(3, 2)}));
    EXPECT_EQ(stepCount(f), 4u);
    EXPECT_EQ(statRecords(f), 4u);
    EXPECT_EQ(statDistinct(f, 1), 2u);
    EXPECT_EQ(statDistinct(f, 3), 1u);
}

TEST_P(BtrConformance, keyRulesOnInsertAndUpdate)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("keys.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(twoKeyRecord(1, "a")), StatusSuccess);
    EXPECT_EQ(f.key(2), le(1, 2)); // Insert returns the record's key
    EXPECT_EQ(f.insert(twoKeyRecord(1, "b")), StatusDuplicateKey);
    EXPECT_EQ(f.insert(Bytes(5, 0)), StatusDataBufferTooShort);
    EXPECT_EQ(f.insert(twoKeyRecord(2, "b"), 7), StatusInvalidKeyNumber);
    ASSERT_EQ(f.insert(twoKeyRecord(2, "b")), StatusSuccess);
    EXPECT_EQ(statRecords(f), 2u);

    ASSERT_EQ(f.get(OpGetEqual, 0, le(1, 2)), StatusSuccess);
    EXPECT_EQ(f.update(twoKeyRecord(5, "a")), StatusKeyNotModifiable); // key 0 is not modifiable
    EXPECT_EQ(f.update(twoKeyRecord(1, "zz")), StatusSuccess);         // key 1 is
    ASSERT_EQ(f.get(OpGetEqual, 1, text("zz  ")), StatusSuccess);
    EXPECT_EQ(idOf(f), 1);

    // An Update that gives a unique modifiable key a value another record holds is refused whole.
    BtrFile g(fn);
    ASSERT_EQ(g.create(dir.file("unique.btr"), createSpec(6, 1024, {{1, 2, 0x102, 1}, {3, 4, 0x103, 0}})),
              StatusSuccess);
    ASSERT_EQ(g.open(dir.file("unique.btr")), StatusSuccess);
    ASSERT_EQ(g.insert(twoKeyRecord(1, "a")), StatusSuccess);
    ASSERT_EQ(g.insert(twoKeyRecord(2, "b")), StatusSuccess);
    EXPECT_EQ(g.update(twoKeyRecord(1, "c")), StatusDuplicateKey);
    EXPECT_EQ(readPath(g, 1, 0, 2), (std::vector<Bytes>{le(1, 2), le(2, 2)}));
    ASSERT_EQ(g.get(OpGetEqual, 0, le(2, 2)), StatusSuccess);
    EXPECT_EQ(g.update(twoKeyRecord(3, "c")), StatusSuccess);
    EXPECT_EQ(readPath(g, 0, 2, 4), (std::vector<Bytes>{text("a   "), text("c   ")}));
}

TEST_P(BtrConformance, autoIncrementZeroTakesHighestPlusOne)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("auto.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, createSpec(6, 1024, {{1, 4, 0x100, 15}})), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(0, 4), text("aa"))), StatusSuccess);
    EXPECT_EQ(Bytes(f.record().begin(), f.record().begin() + 4), le(1, 4)); // the data buffer gets the value
    ASSERT_EQ(f.insert(cat(le(10, 4), text("bb"))), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(0, 4), text("cc"))), StatusSuccess);
    EXPECT_EQ(f.key(4), le(11, 4));
    EXPECT_EQ(readPath(f, 0, 0, 4), (std::vector<Bytes>{le(1, 4), le(10, 4), le(11, 4)}));
}

namespace {
struct RefusalCase {
    const char* rule;
    std::vector<uint8_t> spec;
    int16_t status;
};

std::vector<RefusalCase> refusalCases()
{
    std::vector<Segment> tooManyKeys;
    for (int i = 0; i < 120; ++i)
        tooManyKeys.push_back({1, 1, 0x1, 0});
    std::vector<Segment> tooManySegments; // 1024-byte pages hold 23 segments
    for (uint16_t i = 0; i < 24; ++i)
        tooManySegments.push_back(
            {static_cast<uint16_t>(1 + i), 1, static_cast<uint16_t>(i < 23 ? 0x11 : 0x1), 0});
    auto badAcs = upperAcs();
    badAcs[0] = 0xAB;
    auto countryAcs = upperAcs();
    countryAcs[0] = 0xAD;
    auto cut = createSpec(10, 1024, {{1, 2, 0x110, 1}, {3, 2, 0, 0}});
    cut.erase(cut.end() - 8, cut.end());
    return {
        {"pageSizeNotAMultipleOf512", createSpec(10, 1000, {{1, 2, 0, 0}}), StatusPageSizeError},
        {"pageSizeZero", createSpec(10, 0, {{1, 2, 0, 0}}), StatusPageSizeError},
        {"pageSizeAbove16384", createSpec(10, 16896, {{1, 2, 0, 0}}), StatusPageSizeError},
        {"recordLengthZero", createSpec(0, 1024, {}), StatusInvalidRecordLength},
        {"recordLongerThanPage", createSpec(2000, 1024, {{1, 2, 0, 0}}), StatusInvalidRecordLength},
        {"moreThan119Keys", createSpec(10, 4096, tooManyKeys), StatusNumberOfKeys},
        {"segmentAtPositionZero", createSpec(10, 1024, {{0, 2, 0, 0}}), StatusInvalidKeyPosition},
        {"segmentPastRecordEnd", createSpec(10, 1024, {{9, 4, 0, 0}}), StatusInvalidKeyPosition},
        {"segmentOfLengthZero", createSpec(10, 1024, {{1, 0, 0, 0}}), StatusInvalidKeyLength},
        {"integerOfThreeBytes", createSpec(10, 1024, {{1, 3, 0x100, 1}}), StatusInvalidKeyLength},
        {"keyLongerThan255", createSpec(400, 1024, {{1, 200, 0x10, 0}, {201, 100, 0, 0}}),
         StatusInvalidKeyLength},
        {"oldStyleBinaryOfOddLength", createSpec(10, 1024, {{1, 3, 0x4, 0}}), StatusInvalidKeyLength},
        {"moreSegmentsThanThePageHolds", createSpec(40, 1024, tooManySegments), StatusNumberOfKeys},
        {"segmentsNameDifferentSequences",
         createSpec(10, 1024, {{1, 2, 0x30, 0, 0, 0}, {3, 2, 0x20, 0, 0, 1}}, 0, {upperAcs(), upperAcs()}),
         StatusInconsistentKeyFlags},
        {"unknownExtendedType", createSpec(10, 1024, {{1, 2, 0x100, 12}}), StatusKeyTypeError},
        {"segmentsDifferInDuplicates", createSpec(10, 1024, {{1, 2, 0x11, 0}, {3, 2, 0x0, 0}}),
         StatusInconsistentKeyFlags},
        {"segmentsDifferInModifiable", createSpec(10, 1024, {{1, 2, 0x12, 0}, {3, 2, 0x0, 0}}),
         StatusInconsistentKeyFlags},
        {"segmentsDifferInNullFlags", createSpec(10, 1024, {{1, 2, 0x18, 0}, {3, 2, 0x0, 0}}),
         StatusInconsistentKeyFlags},
        {"acsFlagWithoutSequence", createSpec(10, 1024, {{1, 2, 0x20, 0}}), StatusInvalidAcs},
        {"acsBlockWithBadSignature", createSpec(10, 1024, {{1, 2, 0x20, 0}}, 0, {badAcs}), StatusInvalidAcs},
        {"countryAcsCannotOrder", createSpec(10, 1024, {{1, 2, 0x20, 0}}, 0, {countryAcs}), StatusInvalidAcs},
        {"bufferShorterThanItsSegments", cut, StatusDataBufferTooShort},
    };
}
} // namespace

TEST_P(BtrConformance, createRefusesBadSpecificationsAndKeepsTheOldFile)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("keep.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(twoKeyRecord(1, "a")), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    for (const RefusalCase& c : refusalCases()) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(f.create(path, c.spec), c.status);
        EXPECT_EQ(f.create(dir.file(std::string(c.rule)), c.spec), c.status);
        EXPECT_FALSE(fs::exists(dir.file(std::string(c.rule))));
    }
    EXPECT_EQ(f.create(path, twoKeySpec(), -1), StatusFileAlreadyExists);
    ASSERT_EQ(f.open(path), StatusSuccess);
    EXPECT_EQ(statRecords(f), 1u);
    ASSERT_EQ(f.close(), StatusSuccess);

    ASSERT_EQ(f.create(path, twoKeySpec(), 0), StatusSuccess); // key number 0 replaces it
    ASSERT_EQ(f.open(path), StatusSuccess);
    EXPECT_EQ(statRecords(f), 0u);
}

namespace {
struct DictionaryCase {
    const char* file;
    std::vector<uint8_t> spec;
    size_t length;
    std::vector<int> keyOfSegment;
};
} // namespace

TEST_P(BtrConformance, statReturnsWhatCreateWasGivenForTheDictionaryFiles)
{
    testsupport::TempDir dir;
    const std::vector<DictionaryCase> cases = {
        {"FILE.DDF", fileDdfSpec(), 313, {0, 1}},
        {"FIELD.DDF", fieldDdfSpec(), 409, {0, 1, 2, 3, 3, 4, 4, 4}},
        {"INDEX.DDF", indexDdfSpec(), 96, {0, 1, 2, 2, 2}},
        {"FIELDEXT.DDF", fieldExtDdfSpec(), 48, {0, 0}},
    };
    for (const DictionaryCase& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(c.spec.size(), c.length);
        BtrFile f(fn);
        ASSERT_EQ(f.create(dir.file(c.file), c.spec), StatusSuccess);
        ASSERT_EQ(f.open(dir.file(c.file)), StatusSuccess);
        std::vector<uint8_t> expected = c.spec;
        for (size_t s = 0; s < c.keyOfSegment.size(); ++s)
            expected[16 + 16 * s + 14] = static_cast<uint8_t>(c.keyOfSegment[s]);
        std::vector<uint8_t> got;
        ASSERT_EQ(f.stat(got), StatusSuccess);
        EXPECT_EQ(got, expected);

        ASSERT_EQ(f.stat(got, 1920, -1), StatusSuccess);
        EXPECT_NE(got[5], 0) << "key number -1 adds the version byte";
        got[5] = 0;
        EXPECT_EQ(got, expected);

        const size_t specs = 16 + 16 * c.keyOfSegment.size();
        EXPECT_EQ(f.stat(got, static_cast<uint32_t>(specs - 1)), StatusDataBufferTooShort);
        ASSERT_EQ(f.stat(got, static_cast<uint32_t>(specs + 100)), StatusSuccess); // ACS does not fit
        EXPECT_EQ(got.size(), specs);
    }
}

TEST_P(BtrConformance, fieldDdfOrdersNamesThroughTheUpperSequence)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("FIELD.DDF");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, fieldDdfSpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    struct Field {
        int id, file;
        const char* name;
        int offset, dec;
    };
    const std::vector<Field> fields = {{1, 2, "beta", 4, 0},  {2, 1, "Gamma", 0, 0}, {3, 2, "Alpha", 0, 1},
                                       {4, 1, "alpha", 2, 0}, {5, 2, "delta", 4, 2}, {6, 1, "BETA", 8, 0}};
    for (const Field& x : fields) {
        Bytes r = cat(cat(le(x.id, 2), le(x.file, 2)), fixed(x.name, 20));
        r = cat(cat(cat(r, {0}), le(x.offset, 2)), le(2, 2));
        r = cat(cat(r, {static_cast<uint8_t>(x.dec)}), le(0, 2));
        ASSERT_EQ(r.size(), 32u);
        ASSERT_EQ(f.insert(r), StatusSuccess);
    }
    auto ids = [&](int8_t key) {
        std::vector<int> out;
        for (const Bytes& b : readPath(f, key, 0, 2))
            out.push_back(b[0]);
        return out;
    };
    EXPECT_EQ(ids(0), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ids(2), (std::vector<int>{3, 4, 1, 6, 5, 2})); // names, case ignored, duplicates in order
    EXPECT_EQ(ids(3), (std::vector<int>{4, 6, 2, 3, 1, 5})); // file number, then name
    EXPECT_EQ(ids(4), (std::vector<int>{2, 4, 6, 3, 1, 5})); // file, offset, decimals
    EXPECT_EQ(f.insert(cat(cat(le(7, 2), le(1, 2)), cat(fixed("ALPHA", 20), Bytes(8, 0)))),
              StatusDuplicateKey);
    EXPECT_EQ(statDistinct(f, 0), 6u);
    EXPECT_EQ(statDistinct(f, 1), 2u);
}

TEST_P(BtrConformance, fileNamesMatchInOtherLetterCase)
{
    testsupport::TempDir dir;
    BtrFile f(fn);
    ASSERT_EQ(f.create(dir.file("FILE.DDF"), fileDdfSpec()), StatusSuccess);
    ASSERT_EQ(f.open(dir.file("file.ddf")), StatusSuccess);
    ASSERT_EQ(f.insert(cat(le(1, 2), Bytes(95, ' '))), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    EXPECT_EQ(f.create(dir.file("File.Ddf"), fileDdfSpec(), -1), StatusFileAlreadyExists);
    ASSERT_EQ(f.create(dir.file("File.Ddf"), fileDdfSpec()), StatusSuccess);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"File.Ddf"});
    ASSERT_EQ(f.open(dir.file("FILE.DDF")), StatusSuccess);
    EXPECT_EQ(statRecords(f), 0u);
    ASSERT_EQ(f.close(), StatusSuccess);
    EXPECT_EQ(f.open(dir.file("NOFILE.DDF")), StatusFileNotFound);
    EXPECT_EQ(f.open(""), StatusInvalidFileName);
}

TEST_P(BtrConformance, namesEndAtABlank)
{
    testsupport::TempDir dir;
    BtrFile f(fn);
    ASSERT_EQ(f.create(dir.file("DATA.BTR") + "     ", twoKeySpec()), StatusSuccess);
    EXPECT_TRUE(fs::exists(dir.file("DATA.BTR")));
    EXPECT_EQ(f.open(dir.file("DATA.BTR") + " trailing"), StatusSuccess);
}

TEST_P(BtrConformance, positionAndDirectAccess)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("direct.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    for (int id = 1; id <= 5; ++id)
        ASSERT_EQ(f.insert(twoKeyRecord(id, id % 2 ? "odd" : "even")), StatusSuccess);
    ASSERT_EQ(f.get(OpGetEqual, 0, le(3, 2)), StatusSuccess);
    uint32_t address = 0;
    ASSERT_EQ(f.getPosition(address), StatusSuccess);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    ASSERT_EQ(f.getDirect(address, 1), StatusSuccess);
    EXPECT_EQ(idOf(f), 3);
    EXPECT_EQ(f.key(4), text("odd "));
    ASSERT_EQ(f.get(OpGetNext, 1), StatusSuccess); // Get Direct takes up key 1 at that record
    EXPECT_EQ(idOf(f), 5);
    ASSERT_EQ(f.getDirect(address, 0), StatusSuccess);
    ASSERT_EQ(f.remove(0), StatusSuccess);
    EXPECT_EQ(f.getDirect(address, 0), StatusInvalidRecordAddress);
    EXPECT_EQ(f.getDirect(0xFFFFFF, 0), StatusInvalidRecordAddress);
    EXPECT_EQ(f.getDirect(0, 0), StatusInvalidRecordAddress);
}

TEST_P(BtrConformance, callGuardsOperationsBuffersAndPositionBlocks)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("guards.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    ASSERT_EQ(f.insert(twoKeyRecord(1, "abcd")), StatusSuccess);
    for (uint16_t op : {16, 19, 20, 25, 49, 64, 99, 101, 116, 602, 65535})
        EXPECT_EQ(f.get(op, 0), StatusInvalidOperation) << op;
    EXPECT_EQ(f.get(OpGetFirst + 100, 0), StatusSuccess); // lock biases are accepted
    EXPECT_EQ(f.get(OpGetFirst + 400, 0), StatusSuccess);
    EXPECT_EQ(f.get(OpGetFirst, 5), StatusInvalidKeyNumber);

    // +50: the key only.
    uint8_t data[16] = {};
    uint8_t key[8] = {};
    uint32_t length = sizeof data;
    ASSERT_EQ(f.call(OpGetFirst + 50, data, &length, key, sizeof key, 1), StatusSuccess);
    EXPECT_EQ(Bytes(key, key + 4), text("abcd"));
    EXPECT_EQ(length, 0u);

    f.capacity = 3;
    EXPECT_EQ(f.get(OpGetFirst, 0), StatusDataBufferTooShort);
    f.capacity = 4096;
    length = 0;
    EXPECT_EQ(f.call(OpGetFirst, nullptr, &length, key, sizeof key, 0), StatusDataBufferTooShort);

    // Position blocks that stand for no open file.
    uint8_t saved[128];
    std::memcpy(saved, f.positionBlock(), sizeof saved);
    ASSERT_EQ(f.close(), StatusSuccess);
    std::memcpy(f.positionBlock(), saved, sizeof saved);
    EXPECT_EQ(f.get(OpGetFirst, 0), StatusFileNotOpen); // stale after Close
    EXPECT_EQ(f.close(), StatusFileNotOpen);
    std::memset(f.positionBlock(), 0, 128);
    EXPECT_EQ(f.get(OpStepFirst, 0), StatusFileNotOpen);
    std::mt19937 random(7);
    for (int i = 0; i < 20; ++i) {
        for (int b = 0; b < 128; ++b)
            f.positionBlock()[b] = static_cast<uint8_t>(random());
        EXPECT_EQ(f.get(OpGetNext, 0), StatusFileNotOpen);
    }
    length = 10;
    EXPECT_EQ(fn(OpGetFirst, nullptr, data, &length, key, 8, 0, nullptr), StatusFileNotOpen);
}

TEST_P(BtrConformance, openModesReadOnlyAndExclusive)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("modes.btr");
    BtrFile f(fn), g(fn);
    ASSERT_EQ(f.create(path, twoKeySpec()), StatusSuccess);
    ASSERT_EQ(f.open(path, -2), StatusSuccess);
    EXPECT_EQ(f.insert(twoKeyRecord(1, "a")), StatusAccessDenied);
    ASSERT_EQ(g.open(path), StatusSuccess); // a second handle on the same file
    ASSERT_EQ(g.insert(twoKeyRecord(1, "a")), StatusSuccess);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess); // sees the other handle's insert
    ASSERT_EQ(f.close(), StatusSuccess);
    ASSERT_EQ(g.close(), StatusSuccess);

    ASSERT_EQ(f.open(path, -4), StatusSuccess);
    EXPECT_EQ(g.open(path), StatusIncompatibleMode);
    ASSERT_EQ(f.close(), StatusSuccess);
    EXPECT_EQ(g.open(path), StatusSuccess);
}

TEST_P(BtrConformance, variableLengthRecordsAreKeptWhole)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("var.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, createSpec(4, 1024, {{1, 4, 0x100, 1}}, 0x1)), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    Bytes longer = cat(le(1, 4), text("variable part"));
    ASSERT_EQ(f.insert(longer), StatusSuccess);
    ASSERT_EQ(f.insert(le(2, 4)), StatusSuccess);
    ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
    EXPECT_EQ(f.record(), longer);
    f.capacity = 6;
    EXPECT_EQ(f.get(OpGetFirst, 0), StatusDataBufferTooShort);
}

TEST_P(BtrConformance, aFileWithoutKeysIsReadInPhysicalOrder)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("nokeys.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, createSpec(4, 512, {})), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    for (const char* r : {"cccc", "aaaa", "bbbb"})
        ASSERT_EQ(f.insert(text(r)), StatusSuccess);
    EXPECT_EQ(f.get(OpGetFirst, 0), StatusInvalidKeyNumber);
    std::vector<Bytes> seen;
    for (int16_t st = f.get(OpStepFirst, 0); st == StatusSuccess; st = f.get(OpStepNext, 0))
        seen.push_back(f.record());
    EXPECT_EQ(seen, (std::vector<Bytes>{text("cccc"), text("aaaa"), text("bbbb")}));
    ASSERT_EQ(f.get(OpStepLast, 0), StatusSuccess);
    ASSERT_EQ(f.update(text("dddd")), StatusSuccess);
    ASSERT_EQ(f.get(OpStepPrevious, 0), StatusSuccess);
    ASSERT_EQ(f.remove(), StatusSuccess);
    std::vector<uint8_t> stat;
    ASSERT_EQ(f.stat(stat), StatusSuccess);
    ASSERT_EQ(stat.size(), 16u);
    EXPECT_EQ(stat[4], 0);
    EXPECT_EQ(statRecords(f), 2u);
    EXPECT_EQ(stepCount(f), 2u);
    ASSERT_EQ(f.get(OpStepLast, 0), StatusSuccess);
    EXPECT_EQ(f.record(), text("dddd"));
}

TEST_P(BtrConformance, writesLastAfterCloseAndReopen)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("many.btr");
    BtrFile f(fn);
    ASSERT_EQ(f.create(path, createSpec(8, 4096, {{1, 4, 0x100, 1}, {5, 4, 0x101, 1}})), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(f.insert(cat(le(i, 4), le(i % 7, 4))), StatusSuccess);
    ASSERT_EQ(f.close(), StatusSuccess);
    ASSERT_EQ(f.open(path), StatusSuccess);
    EXPECT_EQ(statRecords(f), 3000u);
    EXPECT_EQ(statDistinct(f, 1), 7u);
    EXPECT_EQ(readPath(f, 1, 0, 4).size(), 3000u);
}

namespace {
// A file with a few hundred records to damage.
std::string makeVictim(BtrCallFn fn, const testsupport::TempDir& dir)
{
    const std::string path = dir.file("victim.btr");
    BtrFile f(fn);
    EXPECT_EQ(f.create(path, fieldDdfSpec()), StatusSuccess);
    EXPECT_EQ(f.open(path), StatusSuccess);
    for (int i = 1; i <= 400; ++i) {
        Bytes r = cat(cat(le(i, 2), le(i % 13, 2)), fixed("field" + std::to_string(i), 20));
        EXPECT_EQ(f.insert(cat(r, Bytes(8, static_cast<uint8_t>(i)))), StatusSuccess);
    }
    EXPECT_EQ(f.close(), StatusSuccess);
    return path;
}

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Runs every kind of operation on a damaged file; only statuses may come back.
void exercise(BtrCallFn fn, const std::string& path)
{
    BtrFile f(fn);
    const int16_t st = f.open(path);
    EXPECT_TRUE(st == StatusSuccess || st == StatusIoError || st == StatusNotBtrieveFile) << st;
    if (st != StatusSuccess)
        return;
    for (int8_t key = 0; key < 5; ++key) {
        int n = 0;
        for (int16_t s = f.get(OpGetFirst, key); s == StatusSuccess && n < 1000; s = f.get(OpGetNext, key))
            ++n;
        f.get(OpGetLast, key);
        f.get(OpGetPrevious, key);
        f.get(OpGetGreaterOrEqual, key, Bytes(30, 'f'));
    }
    int n = 0;
    for (int16_t s = f.get(OpStepFirst, 0); s == StatusSuccess && n < 1000; s = f.get(OpStepNext, 0))
        ++n;
    std::vector<uint8_t> stat;
    f.stat(stat);
    f.insert(cat(cat(le(999, 2), le(1, 2)), Bytes(28, 'x')));
    f.get(OpGetFirst, 0);
    f.update(cat(cat(le(999, 2), le(1, 2)), Bytes(28, 'y')));
    f.remove(0);
    f.close();
}
} // namespace

TEST_P(BtrConformance, damagedAndForeignFilesGiveAStatusNeverACrash)
{
    testsupport::TempDir dir;
    const std::string victim = makeVictim(fn, dir);
    const Bytes original = readAll(victim);
    ASSERT_GT(original.size(), 4096u);

    // Another file stays open and usable throughout.
    BtrFile other(fn);
    ASSERT_EQ(other.create(dir.file("other.btr"), twoKeySpec()), StatusSuccess);
    ASSERT_EQ(other.open(dir.file("other.btr")), StatusSuccess);
    ASSERT_EQ(other.insert(twoKeyRecord(1, "keep")), StatusSuccess);

    const std::string copy = dir.file("damaged.btr");
    for (size_t cut : {size_t(0), size_t(10), size_t(16), size_t(99), size_t(100), size_t(1000), size_t(4096),
                       original.size() / 2, original.size() - 1}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        writeAll(copy, Bytes(original.begin(), original.begin() + static_cast<long>(cut)));
        exercise(fn, copy);
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("flip round " + std::to_string(round));
        Bytes damaged = original;
        const int flips = 1 + round % 8;
        for (int i = 0; i < flips; ++i) {
            // Half the rounds aim at the first pages, where the schema lives.
            const size_t span = round % 2 ? damaged.size() : std::min<size_t>(damaged.size(), 8192);
            damaged[random() % span] ^= static_cast<uint8_t>(1 + random() % 255);
        }
        writeAll(copy, damaged);
        exercise(fn, copy);
    }

    writeAll(copy, text("This is a text file, not a record-manager file.\n"));
    BtrFile f(fn);
    EXPECT_EQ(f.open(copy), StatusNotBtrieveFile);
    writeAll(copy, {});
    EXPECT_EQ(f.open(copy), StatusNotBtrieveFile);

    ASSERT_EQ(other.get(OpGetFirst, 0), StatusSuccess);
    EXPECT_EQ(Bytes(other.record().begin() + 2, other.record().end()), text("keep"));
    ASSERT_EQ(other.insert(twoKeyRecord(2, "more")), StatusSuccess);
}
