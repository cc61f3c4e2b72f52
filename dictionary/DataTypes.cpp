#include "DataTypes.h"

#include "Text.h"

namespace dict {
namespace {

constexpr int kFirstExtendedCode = 228;
constexpr int kExtendedLowRun = 20; // positions 0..19 take codes 228..247
constexpr int kHighRunCode = 253;   // positions 20..22 take codes 253..255

} // namespace

const std::array<std::string_view, kStandardTypeCount>& standardTypeNames()
{
    static constexpr std::array<std::string_view, kStandardTypeCount> names = {
        "String",   "Integer",       "Float",  "Date",       "Time",      "Decimal", "Money",
        "Logical",  "Numeric",       "BFloat", "LString",    "ZString",   "Note",    "VarLength",
        "Unsigned", "Autoincrement", "BIT",    "NumericSTS", "NumericSA",
    };
    return names;
}

const std::array<std::string_view, kExtendedTypeCount>& extendedTypeNames()
{
    static constexpr std::array<std::string_view, kExtendedTypeCount> names = {
        "LongDate",       "Intel",       "BinRL",      "BinLR",      "NumericASCII", "MagicDate_0001",
        "CTime",          "MagicNum100", "TASProTime", "TASProUns",  "BCD10",        "MagicPCNumeric",
        "MagicPCTime",    "MagicPCDate", "YMD",        "YYMMDD",     "YYYYMMDD",     "TASPro3Date",
        "TASPro3Numeric", "CobolComp6",  "VBDate",     "VBCurrency", "DelphiReal",
    };
    return names;
}

const std::array<std::string_view, kCombinedTypeCount>& combinedTypeNames()
{
    static const std::array<std::string_view, kCombinedTypeCount> names = [] {
        std::array<std::string_view, kCombinedTypeCount> all{};
        int i = 0;
        for (std::string_view n : standardTypeNames())
            all[i++] = n;
        for (std::string_view n : extendedTypeNames())
            all[i++] = n;
        return all;
    }();
    return names;
}

const std::array<std::string_view, kPascalTypeCount>& pascalTypeNames()
{
    static constexpr std::array<std::string_view, kPascalTypeCount> names = {
        "Char",     "AnsiChar", "WideChar", "PChar",  "PAnsiChar",  "PWideChar",   "Integer",    "ShortInt",
        "SmallInt", "LongInt",  "Byte",     "Word",   "Cardinal",   "Real",        "Single",     "Double",
        "Extended", "Currency", "Comp",     "String", "AnsiString", "ShortString", "WideString", "Boolean",
        "ByteBool", "WordBool", "LongBool", "TDate",  "TTime",
    };
    return names;
}

int standardPositionToCode(int position)
{
    return position >= 0 && position < kStandardTypeCount ? position : -1;
}

int codeToStandardPosition(int code)
{
    return code >= 0 && code < kStandardTypeCount ? code : -1;
}

int extendedPositionToCode(int position)
{
    if (position < 0 || position >= kExtendedTypeCount)
        return -1;
    return position < kExtendedLowRun ? kFirstExtendedCode + position
                                      : kHighRunCode - kExtendedLowRun + position;
}

int codeToExtendedPosition(int code)
{
    if (code >= kFirstExtendedCode && code < kFirstExtendedCode + kExtendedLowRun)
        return code - kFirstExtendedCode;
    if (code >= kHighRunCode && code < kHighRunCode + kExtendedTypeCount - kExtendedLowRun)
        return code - kHighRunCode + kExtendedLowRun;
    return -1;
}

int combinedPositionToCode(int position)
{
    if (position >= 0 && position < kStandardTypeCount)
        return standardPositionToCode(position);
    if (position >= kStandardTypeCount && position < kCombinedTypeCount)
        return extendedPositionToCode(position - kStandardTypeCount);
    return kUnmappedTypeCode;
}

int combinedToExtendedPosition(int position)
{
    return position >= kStandardTypeCount && position < kCombinedTypeCount ? position - kStandardTypeCount
                                                                           : -1;
}

int combinedPositionOfName(std::string_view name)
{
    const auto& names = combinedTypeNames();
    for (int i = 0; i < kCombinedTypeCount; ++i)
        if (text::equalIgnoringAsciiCase(names[i], name))
            return i;
    return -1;
}

bool isKnownTypeCode(int code)
{
    return codeToStandardPosition(code) >= 0 || codeToExtendedPosition(code) >= 0;
}

namespace {

// The sizes of the types whose representation fixes them; every other type takes any size.
struct SizeRule {
    int code;
    std::array<int, 4> sizes; // 0 ends the list
    std::string_view words;
};
constexpr SizeRule kSizeRules[] = {
    {1, {1, 2, 4, 8}, "1, 2, 4 or 8"},   // Integer
    {2, {4, 8}, "4 or 8"},               // Float
    {3, {4}, "4"},                       // Date
    {4, {4}, "4"},                       // Time
    {7, {1, 2}, "1 or 2"},               // Logical
    {9, {4, 8}, "4 or 8"},               // BFloat
    {14, {1, 2, 4, 8}, "1, 2, 4 or 8"},  // Unsigned
    {15, {2, 4, 8}, "2, 4 or 8"},        // Autoincrement
    {16, {1}, "1"},                      // BIT
    {228, {4}, "4"},                     // LongDate
    {229, {1, 2, 4, 8}, "1, 2, 4 or 8"}, // Intel
};

const SizeRule* sizeRule(int code)
{
    for (const SizeRule& r : kSizeRules)
        if (r.code == code)
            return &r;
    return nullptr;
}

} // namespace

std::string_view allowedSizesText(int code)
{
    if (code == 10)
        return "1 to 256";
    if (code == 17)
        return "2 or more";
    const SizeRule* r = sizeRule(code);
    return r ? r->words : std::string_view();
}

bool sizeSuitsType(int code, int size)
{
    if (size < 1)
        return false;
    if (code == 10) // LString: a length byte and at most 255 characters
        return size <= 256;
    if (code == 17) // NumericSTS: at least one digit and the sign
        return size >= 2;
    const SizeRule* r = sizeRule(code);
    if (!r)
        return true;
    for (int s : r->sizes)
        if (s == size)
            return true;
    return false;
}

} // namespace dict
