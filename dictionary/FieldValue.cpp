#include "FieldValue.h"

#include "DataTypes.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace dict {
namespace {

constexpr int kMoneyDefaultDecimals = 2;

uint64_t littleEndian(std::span<const uint8_t> b)
{
    uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        v = (v << 8) | b[i];
    return v;
}

bool integerSize(std::size_t n)
{
    return n == 1 || n == 2 || n == 4 || n == 8;
}

int64_t signExtend(uint64_t v, std::size_t bytes)
{
    if (bytes >= 8)
        return static_cast<int64_t>(v);
    const unsigned bits = static_cast<unsigned>(bytes * 8);
    const uint64_t sign = uint64_t{1} << (bits - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
}

DecodeOutcome setInteger(FieldValue& out, int64_t v)
{
    out.kind = FieldValue::Kind::Integer;
    out.integer = v;
    return DecodeOutcome::Value;
}

DecodeOutcome setReal(FieldValue& out, double v)
{
    if (std::isnan(v))
        return DecodeOutcome::Undecodable;
    out.kind = FieldValue::Kind::Real;
    out.real = v;
    return DecodeOutcome::Value;
}

DecodeOutcome setText(FieldValue& out, const uint8_t* p, std::size_t n, const CodePage& page)
{
    out.kind = FieldValue::Kind::Text;
    out.text.clear();
    page.decodeAppend(std::string_view(reinterpret_cast<const char*>(p), n), out.text);
    return DecodeOutcome::Value;
}

bool leapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

void putDigits(char*& p, unsigned v, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    p += width;
}

DecodeOutcome setDate(FieldValue& out, int y, int m, int d)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return DecodeOutcome::Undecodable;
    char buf[10];
    char* p = buf;
    putDigits(p, static_cast<unsigned>(y), 4);
    *p++ = '-';
    putDigits(p, static_cast<unsigned>(m), 2);
    *p++ = '-';
    putDigits(p, static_cast<unsigned>(d), 2);
    out.kind = FieldValue::Kind::Text;
    out.text.assign(buf, sizeof buf);
    return DecodeOutcome::Value;
}

DecodeOutcome decodeTime(std::span<const uint8_t> b, FieldValue& out)
{
    if (b.size() != 4)
        return DecodeOutcome::Undecodable;
    const unsigned hundredths = b[0], seconds = b[1], minutes = b[2], hours = b[3];
    if (hours > 23 || minutes > 59 || seconds > 59 || hundredths > 99)
        return DecodeOutcome::Undecodable;
    char buf[11];
    char* p = buf;
    putDigits(p, hours, 2);
    *p++ = ':';
    putDigits(p, minutes, 2);
    *p++ = ':';
    putDigits(p, seconds, 2);
    *p++ = '.';
    putDigits(p, hundredths, 2);
    out.kind = FieldValue::Kind::Text;
    out.text.assign(buf, sizeof buf);
    return DecodeOutcome::Value;
}

// digits: the decimal digits, most significant first, leading zeros allowed.
DecodeOutcome setDecimal(FieldValue& out, bool negative, std::string_view digits, int decimals)
{
    std::string& t = out.text;
    t.clear();
    std::size_t first = 0;
    const std::size_t intDigits = digits.size() > static_cast<std::size_t>(decimals)
                                      ? digits.size() - static_cast<std::size_t>(decimals)
                                      : 0;
    while (first + 1 < intDigits && digits[first] == '0')
        ++first;
    const bool zero = digits.find_first_not_of('0') == std::string_view::npos;
    if (negative && !zero)
        t += '-';
    if (intDigits == 0)
        t += '0';
    else
        t.append(digits.substr(first, intDigits - first));
    if (decimals > 0) {
        t += '.';
        for (std::size_t i = digits.size(); i < static_cast<std::size_t>(decimals); ++i)
            t += '0';
        t.append(digits.substr(intDigits));
    }
    out.kind = FieldValue::Kind::Decimal;
    return DecodeOutcome::Value;
}

DecodeOutcome decodePacked(std::span<const uint8_t> b, int decimals, FieldValue& out)
{
    if (b.empty() || b.size() > 64)
        return DecodeOutcome::Undecodable;
    char digits[128];
    std::size_t n = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        const unsigned hi = b[i] >> 4, lo = b[i] & 0xF;
        if (hi > 9)
            return DecodeOutcome::Undecodable;
        digits[n++] = static_cast<char>('0' + hi);
        if (i + 1 < b.size()) {
            if (lo > 9)
                return DecodeOutcome::Undecodable;
            digits[n++] = static_cast<char>('0' + lo);
        }
    }
    const unsigned sign = b.back() & 0xF;
    if (sign < 0xA)
        return DecodeOutcome::Undecodable;
    return setDecimal(out, sign == 0xB || sign == 0xD, std::string_view(digits, n), decimals);
}

// Over-punched last digit: '{' 'A'..'I' positive, '}' 'J'..'R' and 'p'..'y' negative.
bool overPunch(char c, char& digit, bool& negative)
{
    negative = false;
    if (c >= '0' && c <= '9')
        digit = c;
    else if (c == '{')
        digit = '0';
    else if (c >= 'A' && c <= 'I')
        digit = static_cast<char>('1' + (c - 'A'));
    else if (c == '}')
        digit = '0', negative = true;
    else if (c >= 'J' && c <= 'R')
        digit = static_cast<char>('1' + (c - 'J')), negative = true;
    else if (c >= 'p' && c <= 'y')
        digit = static_cast<char>('0' + (c - 'p')), negative = true;
    else
        return false;
    return true;
}

DecodeOutcome decodeNumeric(std::span<const uint8_t> b, int decimals, bool separateSign, FieldValue& out)
{
    if (b.empty() || b.size() > 64 || (separateSign && b.size() < 2))
        return DecodeOutcome::Undecodable;
    char digits[64];
    std::size_t n = 0, i = 0;
    const std::size_t end = separateSign ? b.size() - 1 : b.size();
    while (i + 1 < end && b[i] == ' ')
        ++i;
    bool negative = false;
    for (; i < end; ++i) {
        const char c = static_cast<char>(b[i]);
        if (c >= '0' && c <= '9') {
            digits[n++] = c;
        } else if (!separateSign && i + 1 == end && overPunch(c, digits[n], negative)) {
            ++n;
        } else {
            return DecodeOutcome::Undecodable;
        }
    }
    if (separateSign) {
        if (b.back() != '+' && b.back() != '-')
            return DecodeOutcome::Undecodable;
        negative = b.back() == '-';
    }
    return setDecimal(out, negative, std::string_view(digits, n), decimals);
}

// Microsoft binary format: exponent in the last byte (bias 129, 0 means zero), sign in the top
// bit of the byte before it, then the mantissa without its leading 1.
DecodeOutcome decodeBFloat(std::span<const uint8_t> b, FieldValue& out)
{
    if (b.size() != 4 && b.size() != 8)
        return DecodeOutcome::Undecodable;
    const int exponent = b.back();
    if (exponent == 0)
        return setReal(out, 0.0);
    const int mantissaBits = static_cast<int>(b.size()) * 8 - 9;
    uint64_t mantissa = littleEndian(b.first(b.size() - 1)) & ((uint64_t{1} << mantissaBits) - 1);
    const bool negative = b[b.size() - 2] & 0x80;
    const double v = std::ldexp(static_cast<double>((uint64_t{1} << mantissaBits) | mantissa),
                                exponent - 129 - mantissaBits);
    return setReal(out, negative ? -v : v);
}

} // namespace

bool hasDecoder(int typeCode)
{
    switch (typeCode) {
    case kString:
    case kInteger:
    case kFloat:
    case kDate:
    case kTime:
    case kDecimal:
    case kMoney:
    case kLogical:
    case kNumeric:
    case kBFloat:
    case kLString:
    case kZString:
    case kUnsigned:
    case kAutoincrement:
    case kNumericSts:
    case kNumericSa:
    case kLongDate:
    case kIntel:
        return true;
    default:
        return false;
    }
}

DecodeOutcome decodeFieldValue(int typeCode, std::span<const uint8_t> b, int decimals, FieldValue& out,
                               const CodePage& page)
{
    out.kind = FieldValue::Kind::Null;
    const std::size_t n = b.size();
    switch (typeCode) {
    case kString: {
        std::size_t len = n;
        while (len > 0 && (b[len - 1] == ' ' || b[len - 1] == 0))
            --len;
        return setText(out, b.data(), len, page);
    }
    case kLString:
        if (n < 1 || b[0] > n - 1)
            return DecodeOutcome::Undecodable;
        return setText(out, b.data() + 1, b[0], page);
    case kZString: {
        const void* nul = n ? std::memchr(b.data(), 0, n) : nullptr;
        return setText(out, b.data(),
                       nul ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - b.data()) : n, page);
    }
    case kInteger:
    case kIntel:
        if (!integerSize(n))
            return DecodeOutcome::Undecodable;
        return setInteger(out, signExtend(littleEndian(b), n));
    case kAutoincrement:
        if (n != 2 && n != 4 && n != 8)
            return DecodeOutcome::Undecodable;
        return setInteger(out, signExtend(littleEndian(b), n));
    case kUnsigned: {
        if (!integerSize(n))
            return DecodeOutcome::Undecodable;
        const uint64_t v = littleEndian(b);
        if (v > static_cast<uint64_t>(INT64_MAX)) {
            out.kind = FieldValue::Kind::Decimal;
            out.text = std::to_string(v);
            return DecodeOutcome::Value;
        }
        return setInteger(out, static_cast<int64_t>(v));
    }
    case kLogical: // only 0 and 1 are values; anything else does not decode
        if ((n != 1 && n != 2) || littleEndian(b) > 1)
            return DecodeOutcome::Undecodable;
        return setInteger(out, static_cast<int64_t>(littleEndian(b)));
    case kFloat:
        if (n == 4) {
            float f;
            std::memcpy(&f, b.data(), 4);
            return setReal(out, f);
        }
        if (n == 8) {
            double d;
            std::memcpy(&d, b.data(), 8);
            return setReal(out, d);
        }
        return DecodeOutcome::Undecodable;
    case kBFloat:
        return decodeBFloat(b, out);
    case kDate:
        if (n != 4)
            return DecodeOutcome::Undecodable;
        if (littleEndian(b) == 0)
            return DecodeOutcome::Empty;
        return setDate(out, b[2] | (b[3] << 8), b[1], b[0]);
    case kLongDate: {
        if (n != 4)
            return DecodeOutcome::Undecodable;
        const int64_t v = signExtend(littleEndian(b), 4);
        if (v == 0)
            return DecodeOutcome::Empty;
        if (v < 0)
            return DecodeOutcome::Undecodable;
        return setDate(out, static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100),
                       static_cast<int>(v % 100));
    }
    case kTime:
        return decodeTime(b, out);
    case kDecimal:
        return decodePacked(b, decimals, out);
    case kMoney:
        return decodePacked(b, decimals ? decimals : kMoneyDefaultDecimals, out);
    case kNumeric:
    case kNumericSa:
        return decodeNumeric(b, decimals, false, out);
    case kNumericSts:
        return decodeNumeric(b, decimals, true, out);
    default:
        out.kind = FieldValue::Kind::Blob;
        out.text.assign(reinterpret_cast<const char*>(b.data()), n);
        return DecodeOutcome::Raw;
    }
}

DecodeOutcome decodeFieldValueStrictly(int typeCode, std::span<const uint8_t> b, int decimals, FieldValue& out,
                                       const CodePage& page)
{
    const DecodeOutcome outcome = decodeFieldValue(typeCode, b, decimals, out, page);
    if (outcome != DecodeOutcome::Value)
        return outcome;
    switch (typeCode) {
    case kString:
    case kLString:
    case kZString:
        for (char c : out.text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return DecodeOutcome::Undecodable;
        return outcome;
    default:
        return outcome;
    }
}

ValueClass valueClassOf(int typeCode, int size)
{
    switch (typeCode) {
    case kString:
    case kLString:
    case kZString:
        return ValueClass::Text;
    case kInteger:
    case kIntel:
    case kAutoincrement:
        return ValueClass::Integer;
    case kUnsigned:
        return size >= 8 ? ValueClass::UnsignedBig : ValueClass::Integer;
    case kFloat:
    case kBFloat:
        return ValueClass::Real;
    case kDate:
    case kLongDate:
        return ValueClass::Date;
    case kTime:
        return ValueClass::Time;
    case kDecimal:
    case kMoney:
    case kNumeric:
    case kNumericSts:
    case kNumericSa:
        return ValueClass::Decimal;
    case kLogical:
        return ValueClass::Boolean;
    default:
        return ValueClass::Blob;
    }
}

std::string_view typeNameOf(int typeCode)
{
    if (int p = codeToStandardPosition(typeCode); p >= 0)
        return standardTypeNames()[static_cast<std::size_t>(p)];
    if (int q = codeToExtendedPosition(typeCode); q >= 0)
        return extendedTypeNames()[static_cast<std::size_t>(q)];
    return {};
}

std::string valueText(const FieldValue& value)
{
    switch (value.kind) {
    case FieldValue::Kind::Null:
        return {};
    case FieldValue::Kind::Integer:
        return std::to_string(value.integer);
    case FieldValue::Kind::Real: {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, value.real);
        return std::string(buf, r.ptr);
    }
    case FieldValue::Kind::Text:
    case FieldValue::Kind::Decimal:
        return value.text;
    case FieldValue::Kind::Blob: {
        static constexpr char hex[] = "0123456789abcdef";
        std::string s;
        for (char ch : value.text) {
            const auto c = static_cast<unsigned char>(ch);
            s += hex[c >> 4];
            s += hex[c & 0xF];
        }
        return s;
    }
    }
    return {};
}

} // namespace dict
