#pragma once
// The catalogue of data types: the 19 standard Btrieve types (code = position), the 23 extended
// types (codes 228..247 and 253..255), the combined list of both that the type mapping uses,
// the 29 Pascal type names of the record scanner, and the conversions between list positions
// and codes. Names and numbers only: nothing here interprets field contents.
#include <array>
#include <string_view>

namespace dict {

constexpr int kStandardTypeCount = 19;
constexpr int kExtendedTypeCount = 23;
constexpr int kCombinedTypeCount = kStandardTypeCount + kExtendedTypeCount; // 42
constexpr int kPascalTypeCount = 29;

// The codes of the types that code reading or writing values names.
enum TypeCode : int {
    kString = 0,
    kInteger = 1,
    kFloat = 2,
    kDate = 3,
    kTime = 4,
    kDecimal = 5,
    kMoney = 6,
    kLogical = 7,
    kNumeric = 8,
    kBFloat = 9,
    kLString = 10,
    kZString = 11,
    kUnsigned = 14,
    kAutoincrement = 15,
    kNumericSts = 17,
    kNumericSa = 18,
    kLongDate = 228,
    kIntel = 229,
    kDelphiReal = 255,
};

// The type code of a scanned field whose Btrieve type name is empty or unknown.
constexpr int kUnmappedTypeCode = 99;

// Position of the Pascal type "String", whose computed size gets one extra byte.
constexpr int kPascalStringPosition = 19;

const std::array<std::string_view, kStandardTypeCount>& standardTypeNames();
const std::array<std::string_view, kExtendedTypeCount>& extendedTypeNames();
const std::array<std::string_view, kCombinedTypeCount>& combinedTypeNames();
const std::array<std::string_view, kPascalTypeCount>& pascalTypeNames();

// Position p (0..18) gives code p; -1 for a position outside the list.
int standardPositionToCode(int position);
// Position in the standard list for a code 0..18; -1 (nothing selected) for any other code.
int codeToStandardPosition(int code);

// Position q gives 228 + q for 0..19 and 233 + q for 20..22; -1 for a position outside the list.
int extendedPositionToCode(int position);
// Position in the extended list for codes 228..247 and 253..255; -1 for any other code.
int codeToExtendedPosition(int code);

// Position b gives b for 0..18, b + 209 for 19..38, b + 214 for 39..41; any other position,
// -1 (a name not found) among them, gives the unmapped code 99.
int combinedPositionToCode(int position);
// b - 19 for b in 19..41; -1 otherwise.
int combinedToExtendedPosition(int position);

// Whether the code is one of the catalogue's types, standard or extended.
bool isKnownTypeCode(int code);

// The sizes (in bytes) a field of the type may have, in words ("1, 2, 4 or 8"); empty when the
// catalogue takes any size of one byte or more for it, and for codes it does not know.
std::string_view allowedSizesText(int code);

// Whether a field of the type may have the size: at least one byte, and one of the sizes the
// catalogue lists for the type where it lists any.
bool sizeSuitsType(int code, int size);

// Position of the name in the combined list, ignoring the case of ASCII letters; -1 when absent.
int combinedPositionOfName(std::string_view name);

} // namespace dict
