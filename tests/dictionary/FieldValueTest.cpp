#include "FieldValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using dict::DecodeOutcome;

namespace {

constexpr auto V = DecodeOutcome::Value;
constexpr auto E = DecodeOutcome::Empty;
constexpr auto U = DecodeOutcome::Undecodable;
constexpr auto R = DecodeOutcome::Raw;

struct Case {
    const char* what;
    int type;
    std::vector<uint8_t> bytes;
    int decimals;
    DecodeOutcome outcome;
    const char* text; // valueText of the value
};

std::vector<uint8_t> chars(const char* s)
{
    return std::vector<uint8_t>(s, s + std::strlen(s));
}

std::vector<uint8_t> ieee(double d)
{
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &d, 8);
    return b;
}

std::vector<uint8_t> ieee4(float f)
{
    std::vector<uint8_t> b(4);
    std::memcpy(b.data(), &f, 4);
    return b;
}

std::vector<uint8_t> le32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

const std::vector<Case> kCases = {
    // Texts
    {"string drops trailing blanks and NULs", 0, {'a', 'b', ' ', 0, ' '}, 0, V, "ab"},
    {"string keeps inner and leading blanks", 0, chars(" a b "), 0, V, " a b"},
    {"string is Latin-1", 0, {'c', 0xE9}, 0, V, "c\xC3\xA9"},
    {"lstring takes its length byte", 10, {3, 'a', 'b', 'c', 'x'}, 0, V, "abc"},
    {"lstring of length 0", 10, {0, 'a'}, 0, V, ""},
    {"lstring longer than its field", 10, {5, 'a', 'b'}, 0, U, ""},
    {"zstring ends at the first NUL", 11, {'a', 'b', 0, 'c'}, 0, V, "ab"},
    {"zstring filling its field", 11, chars("abcd"), 0, V, "abcd"},
    // Integers
    {"integer 1 byte lowest", 1, {0x80}, 0, V, "-128"},
    {"integer 1 byte highest", 1, {0x7F}, 0, V, "127"},
    {"integer 2 bytes -1", 1, {0xFF, 0xFF}, 0, V, "-1"},
    {"integer 4 bytes lowest", 1, {0, 0, 0, 0x80}, 0, V, "-2147483648"},
    {"integer 8 bytes highest",
     1,
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
     0,
     V,
     "9223372036854775807"},
    {"integer 8 bytes lowest", 1, {0, 0, 0, 0, 0, 0, 0, 0x80}, 0, V, "-9223372036854775808"},
    {"integer of 3 bytes", 1, {1, 2, 3}, 0, U, ""},
    {"intel 2 bytes", 229, {0x00, 0x80}, 0, V, "-32768"},
    {"unsigned 1 byte highest", 14, {0xFF}, 0, V, "255"},
    {"unsigned 2 bytes highest", 14, {0xFF, 0xFF}, 0, V, "65535"},
    {"unsigned 4 bytes highest", 14, {0xFF, 0xFF, 0xFF, 0xFF}, 0, V, "4294967295"},
    {"unsigned 8 bytes highest", 14, std::vector<uint8_t>(8, 0xFF), 0, V, "18446744073709551615"},
    {"autoincrement 2 bytes highest", 15, {0xFF, 0x7F}, 0, V, "32767"},
    {"autoincrement 4 bytes negative", 15, {0xFE, 0xFF, 0xFF, 0xFF}, 0, V, "-2"},
    {"autoincrement of 1 byte", 15, {1}, 0, U, ""},
    {"logical false", 7, {0}, 0, V, "0"},
    {"logical 256: no value", 7, {0, 1}, 0, U, ""},
    {"logical true in two bytes", 7, {1, 0}, 0, V, "1"},
    {"logical of 4 bytes", 7, {1, 0, 0, 0}, 0, U, ""},
    // Reals
    {"float 4 bytes", 2, ieee4(1.5f), 0, V, "1.5"},
    {"float 8 bytes negative", 2, ieee(-0.1), 0, V, "-0.1"},
    {"float 8 bytes largest", 2, ieee(std::numeric_limits<double>::max()), 0, V, "1.7976931348623157e+308"},
    {"float NaN", 2, ieee(std::nan("")), 0, U, ""},
    {"float of 6 bytes", 2, {0, 0, 0, 0, 0, 0}, 0, U, ""},
    {"bfloat 4 bytes one", 9, {0, 0, 0, 0x81}, 0, V, "1"},
    {"bfloat 4 bytes minus one", 9, {0, 0, 0x80, 0x81}, 0, V, "-1"},
    {"bfloat 4 bytes ten", 9, {0, 0, 0x20, 0x84}, 0, V, "10"},
    {"bfloat zero exponent is zero", 9, {0x12, 0x34, 0x56, 0}, 0, V, "0"},
    {"bfloat 4 bytes largest", 9, {0xFF, 0xFF, 0x7F, 0xFF}, 0, V, "1.7014117331926443e+38"},
    {"bfloat 8 bytes one half", 9, {0, 0, 0, 0, 0, 0, 0, 0x80}, 0, V, "0.5"},
    {"bfloat 8 bytes minus 0.75", 9, {0, 0, 0, 0, 0, 0, 0xC0, 0x80}, 0, V, "-0.75"},
    // Dates and times
    {"date at a year's end", 3, {31, 12, 0xE8, 0x07}, 0, V, "2024-12-31"},
    {"date on a leap day", 3, {29, 2, 0xE8, 0x07}, 0, V, "2024-02-29"},
    {"date on no leap day", 3, {29, 2, 0xE7, 0x07}, 0, U, ""},
    {"date on the 31st of a 30-day month", 3, {31, 4, 0xE8, 0x07}, 0, U, ""},
    {"date in month 13", 3, {1, 13, 0xE8, 0x07}, 0, U, ""},
    {"date on day 0", 3, {0, 1, 0xE8, 0x07}, 0, U, ""},
    {"first date", 3, {1, 1, 1, 0}, 0, V, "0001-01-01"},
    {"last date", 3, {31, 12, 0x0F, 0x27}, 0, V, "9999-12-31"},
    {"zero date is no date", 3, {0, 0, 0, 0}, 0, E, ""},
    {"longdate at a month's end", 228, le32(20240430), 0, V, "2024-04-30"},
    {"longdate zero is no date", 228, le32(0), 0, E, ""},
    {"longdate past a month's end", 228, le32(20230229), 0, U, ""},
    {"longdate negative", 228, le32(uint32_t(-20240101)), 0, U, ""},
    {"time midnight", 4, {0, 0, 0, 0}, 0, V, "00:00:00.00"},
    {"time last hundredth of the day", 4, {99, 59, 59, 23}, 0, V, "23:59:59.99"},
    {"time hour 24", 4, {0, 0, 0, 24}, 0, U, ""},
    // Packed decimals
    {"decimal positive C", 5, {0x12, 0x34, 0x5C}, 2, V, "123.45"},
    {"decimal negative D", 5, {0x12, 0x34, 0x5D}, 2, V, "-123.45"},
    {"decimal negative B", 5, {0x00, 0x1B}, 0, V, "-1"},
    {"decimal positive F", 5, {0x99, 0x99, 0x9F}, 2, V, "999.99"},
    {"decimal negative zero", 5, {0x00, 0x00, 0x0D}, 2, V, "0.00"},
    {"decimal places beyond the digits", 5, {0x12, 0x3C}, 4, V, "0.0123"},
    {"decimal with a letter nibble", 5, {0x1A, 0x00, 0x0C}, 0, U, ""},
    {"decimal without a sign nibble", 5, {0x12, 0x35}, 0, U, ""},
    {"money takes 2 places by default", 6, {0x12, 0x34, 0x5F}, 0, V, "123.45"},
    {"money largest of 8 bytes",
     6,
     {0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9C},
     2,
     V,
     "9999999999999.99"},
    // ASCII numerics
    {"numeric over-punched positive", 8, chars("1234E"), 2, V, "123.45"},
    {"numeric over-punched negative", 8, chars("1234N"), 2, V, "-123.45"},
    {"numeric negative zero digit", 8, chars("0012}"), 2, V, "-1.20"},
    {"numeric with leading blanks", 8, chars("  12{"), 2, V, "1.20"},
    {"numeric ASCII negative", 8, chars("1234u"), 2, V, "-123.45"},
    {"numeric with a letter inside", 8, chars("12a4"), 0, U, ""},
    {"numericsa plain digits", 18, chars("0042"), 0, V, "42"},
    {"numericsts trailing minus", 17, chars("123-"), 0, V, "-123"},
    {"numericsts trailing plus", 17, chars("123+"), 1, V, "12.3"},
    {"numericsts without its sign", 17, chars("1234"), 0, U, ""},
    // No decoder
    {"note kept as bytes", 12, {'a', 'b'}, 0, R, "6162"},
    {"unmapped kept as bytes", 99, {0x00, 0xFF}, 0, R, "00ff"},
};

TEST(FieldValue, everyTypeDecodesAtItsBoundaries)
{
    for (const Case& c : kCases) {
        dict::FieldValue v;
        v.kind = dict::FieldValue::Kind::Text; // a stale value must not survive a failure
        v.text = "stale";
        const DecodeOutcome outcome = dict::decodeFieldValue(c.type, c.bytes, c.decimals, v);
        EXPECT_EQ(outcome, c.outcome) << c.what;
        EXPECT_EQ(dict::valueText(v), c.text) << c.what;
        if (outcome == U || outcome == E) {
            EXPECT_EQ(v.kind, dict::FieldValue::Kind::Null) << c.what;
        }
    }
}

TEST(FieldValue, everyDecodedTypeHasAColumnClassOtherThanBlob)
{
    for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 17, 18, 228, 229}) {
        EXPECT_TRUE(dict::hasDecoder(code)) << code;
        EXPECT_NE(dict::valueClassOf(code, 4), dict::ValueClass::Blob) << code;
    }
    for (int code : {12, 13, 16, 230, 255, 99})
        EXPECT_EQ(dict::valueClassOf(code, 4), dict::ValueClass::Blob) << code;
}

} // namespace

namespace {

TEST(FieldValue, strictDecodingRefusesControlCharactersInTextAndNoDecodingTakesLogicalsOtherThanZeroOrOne)
{
    struct StrictCase {
        const char* what;
        int type;
        std::vector<uint8_t> bytes;
        DecodeOutcome lenient, strict;
    };
    const StrictCase cases[] = {
        {"blank-padded text", 0, chars("Ada  "), V, V},
        {"NUL-padded text", 0, {'A', 'd', 'a', 0, 0}, V, V},
        {"a NUL inside a String", 0, {'A', 0, 'a', ' '}, V, U},
        {"a control byte in a ZString", 11, {'A', 7, 'a', 0}, V, U},
        {"bytes after the ZString's NUL", 11, {'A', 0, 7, 1}, V, V},
        {"a tab in an LString", 10, {2, 'a', 9, 0}, V, U},
        {"Latin-1 letters", 0, {'K', 0xF6, 'l', 'n'}, V, V},
        {"DEL", 0, {'a', 0x7F}, V, U},
        {"Logical 1", 7, {1}, V, V},
        {"Logical 0 in two bytes", 7, {0, 0}, V, V},
        {"Logical 2 is no value in either", 7, {2}, U, U},
        {"Logical 4 (a tag byte typed Logical)", 7, {4}, U, U},
        {"Logical 12", 7, {12}, U, U},
        {"Logical 256", 7, {0, 1}, U, U},
        {"an impossible date stays undecodable", 3, {31, 2, 0xE8, 0x07}, U, U},
        {"integers are as lenient", 1, {0xFF, 0xFF}, V, V},
    };
    for (const StrictCase& c : cases) {
        dict::FieldValue lenient, strict;
        EXPECT_EQ(dict::decodeFieldValue(c.type, c.bytes, 0, lenient), c.lenient) << c.what;
        EXPECT_EQ(dict::decodeFieldValueStrictly(c.type, c.bytes, 0, strict), c.strict) << c.what;
        EXPECT_EQ(dict::valueText(strict), dict::valueText(lenient)) << c.what << ": the value is kept";
    }
}

} // namespace
