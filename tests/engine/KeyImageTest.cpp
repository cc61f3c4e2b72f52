// Key images must sort as raw bytes in the order of the key's type, and equal keys must give
// equal images.
#include "KeyImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace engine;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes le(int64_t v, size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    return b;
}

template <class T> Bytes raw(T v)
{
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

Bytes str(const char* s, size_t n = 0)
{
    Bytes b(s, s + std::strlen(s));
    if (n)
        b.resize(n, 0);
    return b;
}

// Microsoft binary format, 8 bytes, from an IEEE double.
Bytes mbf8(double v)
{
    if (v == 0)
        return Bytes(8, 0);
    uint64_t ieee;
    std::memcpy(&ieee, &v, 8);
    const uint64_t sign = ieee >> 63, exponent = (ieee >> 52) & 0x7FF,
                   mantissa = ieee & ((uint64_t{1} << 52) - 1);
    const uint64_t m55 = mantissa << 3;
    Bytes b(8);
    for (int i = 0; i < 6; ++i)
        b[i] = static_cast<uint8_t>(m55 >> (8 * i));
    b[6] = static_cast<uint8_t>((sign << 7) | ((m55 >> 48) & 0x7F));
    b[7] = static_cast<uint8_t>(exponent - 1023 + 129);
    return b;
}

KeySegment segment(uint8_t type, uint16_t length, uint16_t flags = 0)
{
    KeySegment s;
    s.type = type;
    s.length = length;
    s.flags = flags;
    if (flags & keyflag::CaseInsensitive)
        s.collation = caseInsensitiveCollation();
    return s;
}

std::string image(const KeySegment& s, const Bytes& value)
{
    std::string out;
    appendSegmentImage(out, s, value.data());
    EXPECT_EQ(out.size(), segmentImageSize(s));
    return out;
}

struct ImageCase {
    const char* rule;
    KeySegment segment;
    std::vector<Bytes> ascending;
    std::vector<std::pair<Bytes, Bytes>> equal;
};

std::vector<ImageCase> cases()
{
    auto ints = [](std::initializer_list<int64_t> vs, size_t n) {
        std::vector<Bytes> out;
        for (int64_t v : vs)
            out.push_back(le(v, n));
        return out;
    };
    return {
        {"integerOrdersAsSignedNumbers",
         segment(TypeInteger, 2),
         ints({-32768, -256, -1, 0, 1, 255, 256, 32767}, 2),
         {}},
        {"integer8",
         segment(TypeInteger, 8),
         ints({INT64_MIN, -(int64_t{1} << 33), -1, 0, 1 << 30, INT64_MAX}, 8),
         {}},
        {"unsignedOrdersAsNumbers",
         segment(TypeUnsignedBinary, 4),
         ints({0, 1, 255, 256, 65536, 0xFFFFFFFFll}, 4),
         {}},
        {"autoIncrementIsSigned", segment(TypeAutoIncrement, 2), ints({-2, -1, 1, 300}, 2), {}},
        {"currencyIsSigned64", segment(TypeCurrency, 8), ints({-5000000000ll, -1, 0, 5000000000ll}, 8), {}},
        {"timestampIsUnsigned64", segment(TypeTimestamp, 8), ints({0, 1, 1ll << 40, -1}, 8), {}},
        {"logical", segment(TypeLogical, 2), ints({0, 1, 2, 256}, 2), {}},
        {"float4",
         segment(TypeFloat, 4),
         {raw(-INFINITY), raw(-3.5e30f), raw(-1.0f), raw(-1e-30f), raw(0.0f), raw(1e-30f), raw(2.0f),
          raw(INFINITY)},
         {{raw(-0.0f), raw(0.0f)}}},
        {"float8",
         segment(TypeFloat, 8),
         {raw(-1e308), raw(-1.5), raw(-4.9e-324), raw(0.0), raw(4.9e-324), raw(1.0), raw(1e308)},
         {{raw(-0.0), raw(0.0)}}},
        {"bfloat8",
         segment(TypeBfloat, 8),
         {mbf8(-1e20), mbf8(-2), mbf8(-0.001), mbf8(0), mbf8(0.5), mbf8(0.75), mbf8(3e10)},
         {}},
        {"dateYearFirst",
         segment(TypeDate, 4),
         {Bytes{31, 12, 0xCF, 0x07}, Bytes{1, 1, 0xD0, 0x07}, Bytes{2, 1, 0xD0, 0x07},
          Bytes{1, 3, 0xD0, 0x07}},
         {}},
        {"timeHoursFirst",
         segment(TypeTime, 4),
         {Bytes{99, 59, 59, 0}, Bytes{0, 0, 0, 1}, Bytes{0, 0, 1, 1}, Bytes{0, 1, 1, 1}, Bytes{1, 1, 1, 1}},
         {}},
        {"decimalPackedSigned",
         segment(TypeDecimal, 2),
         {Bytes{0x99, 0x9D}, Bytes{0x10, 0x0D}, Bytes{0x00, 0x1D}, Bytes{0x00, 0x0C}, Bytes{0x00, 0x1C},
          Bytes{0x99, 0x9F}},
         {{Bytes{0x00, 0x0D}, Bytes{0x00, 0x0C}},
          {Bytes{0x12, 0x3F}, Bytes{0x12, 0x3C}},
          {Bytes{0x01, 0x2B}, Bytes{0x01, 0x2D}}}},
        {"moneyAsDecimal", segment(TypeMoney, 1), {Bytes{0x9D}, Bytes{0x1D}, Bytes{0x0C}, Bytes{0x5C}}, {}},
        {"numericOverPunchedSign",
         segment(TypeNumeric, 3),
         {str("12R"), str("00J"), str("000"), str("00A"), str("002"), str("01{"), str("123")},
         {{str("00}"), str("000")}, {str("00{"), str("000")}, {str("01q"), str("01J")}}},
        {"numericSaAsNumeric", segment(TypeNumericSa, 2), {str("1R"), str("1p"), str("00"), str("5I")}, {}},
        {"numericStsTrailingSign",
         segment(TypeNumericSts, 4),
         {str("100-"), str("099-"), str("000+"), str("001+"), str("100+")},
         {{str("000-"), str("000+")}}},
        {"stringUnsignedBytes",
         segment(TypeString, 2),
         {str("AA"), str("Ab"), str("a "), str("\x7F "), str("\x80 ")},
         {}},
        {"caseInsensitiveFoldsLetters",
         segment(TypeString, 3, keyflag::CaseInsensitive),
         {str("ABC"), str("abd"), str("B  "), str("[  ")},
         {{str("aBc"), str("AbC")}}},
        {"lstringLengthCounts",
         segment(TypeLstring, 5),
         {Bytes{0, 'z', 'z', 'z', 'z'}, Bytes{1, 'a', 'z', 'z', 'z'}, Bytes{2, 'a', 0, 'q', 'q'},
          Bytes{2, 'a', 'b', 0, 0}, Bytes{1, 'b', 0, 0, 0}, Bytes{9, 'b', 'b', 'b', 'b'}},
         {{Bytes{1, 'a', 'x', 'y', 'z'}, Bytes{1, 'a', 0, 0, 0}},
          {Bytes{200, 'a', 'b', 'c', 'd'}, Bytes{4, 'a', 'b', 'c', 'd'}}}},
        {"zstringEndsAtNul",
         segment(TypeZstring, 4),
         {str("", 4), str("a", 4), str("ab", 4), str("abc", 4), str("b", 4)},
         {{Bytes{'a', 0, 'x', 'y'}, Bytes{'a', 0, 0, 0}}, {str("abcd"), Bytes{'a', 'b', 'c', 'd'}}}},
        {"descendingInverts",
         segment(TypeInteger, 2, keyflag::Descending),
         ints({500, 2, 0, -1, -500}, 2),
         {}},
        {"descendingZstring",
         segment(TypeZstring, 3, keyflag::Descending),
         {str("b", 3), str("ab", 3), str("a", 3), str("", 3)},
         {{Bytes{'a', 0, 'x'}, Bytes{'a', 0, 'y'}}}},
    };
}

} // namespace

TEST(KeyImage, imagesSortAsRawBytesInTheOrderOfEveryType)
{
    for (const ImageCase& c : cases()) {
        SCOPED_TRACE(c.rule);
        for (size_t i = 1; i < c.ascending.size(); ++i)
            EXPECT_LT(image(c.segment, c.ascending[i - 1]), image(c.segment, c.ascending[i])) << "at " << i;
        for (const auto& [a, b] : c.equal)
            EXPECT_EQ(image(c.segment, a), image(c.segment, b));
    }
}

TEST(KeyImage, acsTableWeighsEveryByte)
{
    KeySegment s = segment(TypeString, 2, keyflag::Acs);
    Collation reversed{};
    for (int b = 0; b < 256; ++b)
        reversed[b] = static_cast<uint8_t>(255 - b);
    s.collation = reversed;
    EXPECT_LT(image(s, str("zz")), image(s, str("aa")));
}

TEST(KeyImage, segmentsConcatenateInKeyOrder)
{
    KeyDefinition key;
    key.segments = {segment(TypeInteger, 2), segment(TypeString, 2)};
    key.segments[0].position = 5;
    key.segments[1].position = 1;
    key.length = 4;
    const Bytes record = {'x', 'y', 0, 0, 0xFF, 0xFF}; // string "xy" at 1, integer -1 at 5
    Bytes value(4);
    extractKey(key, record.data(), value.data());
    EXPECT_EQ(value, (Bytes{0xFF, 0xFF, 'x', 'y'}));
    const Bytes bigger = {0x00, 0x00, 'a', 'a'}; // integer 0 beats -1 whatever the string
    EXPECT_LT(keyImage(key, value.data()), keyImage(key, bigger.data()));
}

TEST(KeyImage, nullKeysNeedEverySegmentOrAnySegmentBlank)
{
    KeyDefinition key;
    key.segments = {segment(TypeString, 2), segment(TypeString, 2)};
    key.segments[0].nullValue = key.segments[1].nullValue = ' ';
    key.length = 4;
    struct Row {
        uint16_t flags;
        const char* value;
        bool null;
    };
    for (const Row& r : std::vector<Row>{{keyflag::NullAll, "    ", true},
                                         {keyflag::NullAll, "a   ", false},
                                         {keyflag::NullAny, "a   ", true},
                                         {keyflag::NullAny, "  b ", true},
                                         {keyflag::NullAny, "a b ", false},
                                         {0, "    ", false}}) {
        key.flags = r.flags;
        EXPECT_EQ(isNullKey(key, reinterpret_cast<const uint8_t*>(r.value)), r.null)
            << r.flags << " '" << r.value << "'";
    }
}

TEST(KeyImage, segmentSizesAllowedByType)
{
    struct Row {
        uint8_t type;
        uint16_t length;
        int16_t status;
    };
    for (const Row& r : std::vector<Row>{{TypeInteger, 3, 29},
                                         {TypeInteger, 8, 0},
                                         {TypeFloat, 2, 29},
                                         {TypeDate, 4, 0},
                                         {TypeDate, 2, 29},
                                         {TypeLstring, 1, 29},
                                         {TypeAutoIncrement, 8, 29},
                                         {TypeNumeric, 38, 29},
                                         {TypeDecimal, 64, 0},
                                         {12, 4, 49},
                                         {21, 4, 49},
                                         {255, 4, 49}})
        EXPECT_EQ(checkSegmentType(r.type, r.length), r.status) << int(r.type) << "/" << r.length;
}
