#include "KeyImage.h"

#include "Status.h"

#include <cstring>

namespace engine {
namespace {

// Big-endian image of a little-endian unsigned value of any length.
void appendReversed(std::string& out, const uint8_t* v, size_t n)
{
    for (size_t i = n; i > 0; --i)
        out.push_back(static_cast<char>(v[i - 1]));
}

uint64_t loadLittleEndian(const uint8_t* v, size_t n)
{
    uint64_t x = 0;
    for (size_t i = n; i > 0; --i)
        x = (x << 8) | v[i - 1];
    return x;
}

void appendBigEndian(std::string& out, uint64_t x, size_t n)
{
    for (size_t i = n; i > 0; --i)
        out.push_back(static_cast<char>((x >> (8 * (i - 1))) & 0xFF));
}

// Signed magnitude made orderable: a non-negative value gets the top bit set, a negative one has
// every bit inverted. `magnitudeBits` is the width of the magnitude below the sign position.
void appendSignMagnitude(std::string& out, bool negative, uint64_t magnitude, size_t bytes)
{
    const uint64_t top = uint64_t{1} << (8 * bytes - 1);
    const uint64_t mask = top - 1;
    appendBigEndian(out, negative ? (~magnitude & mask) : (magnitude | top), bytes);
}

void appendFloat(std::string& out, const uint8_t* v, size_t n)
{
    uint64_t bits = loadLittleEndian(v, n);
    const uint64_t sign = uint64_t{1} << (8 * n - 1);
    bool negative = bits & sign;
    uint64_t magnitude = bits & (sign - 1);
    if (magnitude == 0)
        negative = false; // -0 equals +0
    appendSignMagnitude(out, negative, magnitude, n);
}

// Microsoft binary format: exponent in the last byte (0 means zero), sign in the top bit of the
// byte before it, then the mantissa down to the first byte.
void appendBfloat(std::string& out, const uint8_t* v, size_t n)
{
    const uint8_t exponent = v[n - 1];
    const bool negative = exponent != 0 && (v[n - 2] & 0x80);
    uint64_t magnitude = 0;
    if (exponent != 0) {
        magnitude = exponent;
        magnitude = (magnitude << 7) | (v[n - 2] & 0x7F);
        for (size_t i = n - 2; i > 0; --i)
            magnitude = (magnitude << 8) | v[i - 1];
    }
    appendSignMagnitude(out, negative, magnitude, n);
}

// Packed BCD: 2n-1 digits, sign in the low nibble of the last byte (0xD or 0xB negative).
void appendPackedDecimal(std::string& out, const uint8_t* v, size_t n)
{
    const uint8_t sign = v[n - 1] & 0x0F;
    bool zero = true;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = (i == n - 1) ? (v[i] & 0xF0) : v[i];
        if (b != 0)
            zero = false;
    }
    const bool negative = !zero && (sign == 0xD || sign == 0xB);
    out.push_back(negative ? 0 : 1);
    for (size_t i = 0; i < n; ++i) {
        uint8_t hi = v[i] >> 4;
        uint8_t lo = (i == n - 1) ? 0 : (v[i] & 0x0F);
        if (negative) {
            hi = 15 - hi;
            lo = (i == n - 1) ? 0 : 15 - lo;
        }
        out.push_back(static_cast<char>((hi << 4) | lo));
    }
}

uint8_t digitOf(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c == ' ' || c == '+' || c == '-')
        return 0;
    uint8_t d = c & 0x0F;
    return d > 9 ? 9 : d;
}

// The last byte of a numeric with an over-punched sign: digit and sign.
void decodeOverPunch(uint8_t c, uint8_t& digit, bool& negative)
{
    negative = false;
    if (c >= '0' && c <= '9') {
        digit = c - '0';
    } else if (c == '{') {
        digit = 0;
    } else if (c >= 'A' && c <= 'I') {
        digit = c - 'A' + 1;
    } else if (c == '}') {
        digit = 0;
        negative = true;
    } else if (c >= 'J' && c <= 'R') {
        digit = c - 'J' + 1;
        negative = true;
    } else if (c >= 'p' && c <= 'y') {
        digit = c - 'p';
        negative = true;
    } else {
        digit = digitOf(c);
    }
}

void appendDigits(std::string& out, const uint8_t* digits, size_t n, bool negative)
{
    bool zero = true;
    for (size_t i = 0; i < n; ++i)
        if (digits[i] != 0)
            zero = false;
    if (zero)
        negative = false;
    out.push_back(negative ? 0 : 1);
    for (size_t i = 0; i < n; ++i)
        out.push_back(static_cast<char>(negative ? 9 - digits[i] : digits[i]));
}

void appendNumeric(std::string& out, const uint8_t* v, size_t n)
{
    uint8_t digits[64];
    for (size_t i = 0; i + 1 < n; ++i)
        digits[i] = digitOf(v[i]);
    bool negative = false;
    decodeOverPunch(v[n - 1], digits[n - 1], negative);
    appendDigits(out, digits, n, negative);
}

// Trailing separate sign: digits, then '+' or '-'.
void appendNumericSts(std::string& out, const uint8_t* v, size_t n)
{
    uint8_t digits[64];
    for (size_t i = 0; i + 1 < n; ++i)
        digits[i] = digitOf(v[i]);
    appendDigits(out, digits, n - 1, v[n - 1] == '-');
}

uint8_t weigh(const KeySegment& s, uint8_t b)
{
    return s.collation ? (*s.collation)[b] : b;
}

} // namespace

Collation caseInsensitiveCollation()
{
    Collation c{};
    for (int b = 0; b < 256; ++b)
        c[b] = (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : static_cast<uint8_t>(b);
    return c;
}

uint8_t effectiveSegmentType(uint16_t flags, uint8_t extendedType)
{
    if (flags & keyflag::ExtendedType)
        return extendedType;
    return (flags & keyflag::Binary) ? TypeUnsignedBinary : TypeString;
}

int16_t checkSegmentType(uint8_t type, uint16_t length)
{
    auto oneOf = [length](std::initializer_list<uint16_t> sizes) {
        for (uint16_t s : sizes)
            if (s == length)
                return true;
        return false;
    };
    auto inRange = [length](uint16_t lo, uint16_t hi) { return length >= lo && length <= hi; };
    bool ok = false;
    switch (type) {
    case TypeString:
        ok = inRange(1, 255);
        break;
    case TypeInteger:
    case TypeUnsignedBinary:
        ok = oneOf({1, 2, 4, 8});
        break;
    case TypeFloat:
    case TypeBfloat:
        ok = oneOf({4, 8});
        break;
    case TypeDate:
    case TypeTime:
        ok = length == 4;
        break;
    case TypeDecimal:
    case TypeMoney:
        ok = inRange(1, 64);
        break;
    case TypeLogical:
        ok = oneOf({1, 2});
        break;
    case TypeNumeric:
    case TypeNumericSts:
    case TypeNumericSa:
        ok = inRange(1, 37);
        break;
    case TypeLstring:
    case TypeZstring:
        ok = inRange(2, 255);
        break;
    case TypeAutoIncrement:
        ok = oneOf({2, 4});
        break;
    case TypeCurrency:
    case TypeTimestamp:
        ok = length == 8;
        break;
    default:
        return btr::StatusKeyTypeError;
    }
    return ok ? btr::StatusSuccess : btr::StatusInvalidKeyLength;
}

int16_t checkSegment(const KeySegment& s)
{
    if (!(s.flags & keyflag::ExtendedType) && (s.flags & keyflag::Binary))
        return s.length >= 2 && s.length % 2 == 0 ? btr::StatusSuccess : btr::StatusInvalidKeyLength;
    return checkSegmentType(s.type, s.length);
}

bool isStringType(uint8_t type)
{
    return type == TypeString || type == TypeLstring || type == TypeZstring;
}

size_t segmentImageSize(const KeySegment& s)
{
    switch (s.type) {
    case TypeDecimal:
    case TypeMoney:
    case TypeNumeric:
    case TypeNumericSa:
        return s.length + 1u;
    default:
        return s.length;
    }
}

void appendSegmentImage(std::string& out, const KeySegment& s, const uint8_t* v)
{
    const size_t start = out.size();
    const size_t n = s.length;
    switch (s.type) {
    case TypeInteger:
    case TypeAutoIncrement:
    case TypeCurrency:
        appendReversed(out, v, n);
        out[start] = static_cast<char>(out[start] ^ 0x80);
        break;
    case TypeUnsignedBinary:
    case TypeLogical:
    case TypeTimestamp:
    case TypeDate: // day, month, year: reversed it is year, month, day
    case TypeTime: // hundredths, seconds, minutes, hours: reversed it is hours first
        appendReversed(out, v, n);
        break;
    case TypeFloat:
        appendFloat(out, v, n);
        break;
    case TypeBfloat:
        appendBfloat(out, v, n);
        break;
    case TypeDecimal:
    case TypeMoney:
        appendPackedDecimal(out, v, n);
        break;
    case TypeNumeric:
    case TypeNumericSa:
        appendNumeric(out, v, n);
        break;
    case TypeNumericSts:
        appendNumericSts(out, v, n);
        break;
    case TypeLstring: {
        // Content padded with zeros, then the length: a shorter value sorts before a longer one
        // that it begins.
        const size_t len = v[0] < n - 1 ? v[0] : n - 1;
        for (size_t i = 0; i < n - 1; ++i)
            out.push_back(static_cast<char>(i < len ? weigh(s, v[1 + i]) : 0));
        out.push_back(static_cast<char>(len));
        break;
    }
    case TypeZstring: {
        bool ended = false;
        for (size_t i = 0; i < n; ++i) {
            if (v[i] == 0)
                ended = true;
            out.push_back(static_cast<char>(ended ? 0 : weigh(s, v[i])));
        }
        break;
    }
    default: // STRING
        for (size_t i = 0; i < n; ++i)
            out.push_back(static_cast<char>(weigh(s, v[i])));
        break;
    }
    if (s.descending())
        for (size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<char>(~static_cast<uint8_t>(out[i]));
}

void keyImage(const KeyDefinition& key, const uint8_t* keyValue, std::string& out)
{
    out.clear();
    for (const KeySegment& s : key.segments) {
        appendSegmentImage(out, s, keyValue);
        keyValue += s.length;
    }
}

std::string keyImage(const KeyDefinition& key, const uint8_t* keyValue)
{
    std::string out;
    keyImage(key, keyValue, out);
    return out;
}

void extractKey(const KeyDefinition& key, const uint8_t* record, uint8_t* keyValue)
{
    for (const KeySegment& s : key.segments) {
        std::memcpy(keyValue, record + (s.position - 1), s.length);
        keyValue += s.length;
    }
}

bool isNullKey(const KeyDefinition& key, const uint8_t* keyValue)
{
    const bool all = key.flags & keyflag::NullAll;
    const bool any = key.flags & keyflag::NullAny;
    if (!all && !any)
        return false;
    bool everySegmentNull = true;
    for (const KeySegment& s : key.segments) {
        bool segmentNull = true;
        for (size_t i = 0; i < s.length; ++i)
            if (keyValue[i] != s.nullValue) {
                segmentNull = false;
                break;
            }
        keyValue += s.length;
        if (segmentNull && any)
            return true;
        if (!segmentNull)
            everySegmentNull = false;
    }
    return all && everySegmentNull;
}

} // namespace engine
