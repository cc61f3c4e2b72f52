#pragma once
// Decoding one field of a data record by its type code into a plain value: integers, reals,
// texts (UTF-8, from bytes in the database's code page), exact decimals as text, dates and times as ISO text.
//
// Representations (little-endian unless said otherwise):
//   String 0       blank-padded text; trailing blanks and NULs are not part of the value
//   Integer 1      signed, 1, 2, 4 or 8 bytes; Intel 229 the same
//   Unsigned 14    unsigned, 1, 2, 4 or 8 bytes; Autoincrement 15 signed, 2, 4 or 8 bytes
//   Float 2        IEEE, 4 or 8 bytes; BFloat 9 Microsoft binary format, 4 or 8 bytes
//   Date 3         day, month, year (2 bytes); all zero is "no date"
//   Time 4         hundredths, seconds, minutes, hours
//   Decimal 5      packed BCD, sign in the low nibble of the last byte (B or D negative,
//   Money 6        A, C, E or F positive); decimals from the field, 2 for Money when it has none
//   Logical 7      1 or 2 bytes, non-zero is true
//   Numeric 8      ASCII digits with the sign over-punched on the last one ("{" "A".."I"
//   NumericSA 18   positive, "}" "J".."R" or "p".."y" negative); leading blanks allowed
//   NumericSTS 17  ASCII digits followed by a separate sign byte "+" or "-"
//   LString 10     first byte the length of the text that follows
//   ZString 11     text up to the first NUL
//   LongDate 228   32-bit signed integer YYYYMMDD; 0 is "no date"
// Every other type has no decoder: its bytes are kept as they are.
#include "CodePage.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dict {

struct FieldValue {
    enum class Kind : uint8_t {
        Null,
        Integer, // integer
        Real,    // real
        Text,    // text: UTF-8
        Decimal, // text: an exact decimal number, "-123.45"
        Blob,    // text: the raw bytes
    };
    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;
};

enum class DecodeOutcome {
    Value,       // out holds the value
    Empty,       // the field holds the type's "no value" (a zero date): out is Null
    Undecodable, // the bytes are not a value of the type, or the size does not suit it: out is Null
    Raw,         // the type has no decoder: out is a Blob of the bytes
};

// The SQL class of the values a field gives, which fixes its column type.
enum class ValueClass { Integer, UnsignedBig, Real, Text, Decimal, Date, Time, Boolean, Blob };

// Decodes bytes (exactly the field's bytes) as a value of the type code. decimals is the field's
// number of decimal places (used by Decimal, Money and the Numeric types); texts are read in page.
// A Logical is 0 or 1; any other value does not decode (out is then NULL).
DecodeOutcome decodeFieldValue(int typeCode, std::span<const uint8_t> bytes, int decimals, FieldValue& out,
                               const CodePage& page = CodePage::latin1());

// decodeFieldValue for showing and checking a field: a text (String, LString, ZString) holding
// control characters does not decode either, though out keeps what decodeFieldValue made of it.
DecodeOutcome decodeFieldValueStrictly(int typeCode, std::span<const uint8_t> bytes, int decimals,
                                       FieldValue& out, const CodePage& page = CodePage::latin1());

// Whether the type code has a decoder (otherwise decodeFieldValue answers Raw).
bool hasDecoder(int typeCode);

// The class of values a field of that type and size gives.
ValueClass valueClassOf(int typeCode, int size);

// The catalogue name of a type code ("String", "LongDate"); empty for a code without a name.
std::string_view typeNameOf(int typeCode);

// Text of a value for CSV and messages: integers and reals in full precision, blobs as hex,
// Null empty.
std::string valueText(const FieldValue& value);

} // namespace dict
