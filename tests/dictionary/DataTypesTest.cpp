#include "DataTypes.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using namespace dict;

namespace {

TEST(TypeCatalogue, listsHaveTheirSizesAndOrder)
{
    EXPECT_EQ(standardTypeNames().front(), "String");
    EXPECT_EQ(standardTypeNames()[14], "Unsigned");
    EXPECT_EQ(standardTypeNames().back(), "NumericSA");
    EXPECT_EQ(extendedTypeNames().front(), "LongDate");
    EXPECT_EQ(extendedTypeNames()[19], "CobolComp6");
    EXPECT_EQ(extendedTypeNames().back(), "DelphiReal");
    ASSERT_EQ(combinedTypeNames().size(), 42u);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(combinedTypeNames()[i], standardTypeNames()[i]);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(combinedTypeNames()[19 + i], extendedTypeNames()[i]);
    EXPECT_EQ(pascalTypeNames().front(), "Char");
    EXPECT_EQ(pascalTypeNames()[kPascalStringPosition], "String");
    EXPECT_EQ(pascalTypeNames().back(), "TTime");
}

TEST(TypeCatalogue, combinedPositionGivesItsCode)
{
    const std::pair<int, int> cases[] = {
        {0, 0},    {18, 18},  {19, 228}, {20, 229}, {38, 247},
        {39, 253}, {40, 254}, {41, 255}, {-1, 99},  {42, 99},
    };
    for (auto [position, code] : cases)
        EXPECT_EQ(combinedPositionToCode(position), code) << "position " << position;
}

TEST(TypeCatalogue, extendedCodesSkip248To252BothWays)
{
    for (int q = 0; q < 23; ++q) {
        int code = extendedPositionToCode(q);
        EXPECT_TRUE((code >= 228 && code <= 247) || (code >= 253 && code <= 255)) << q;
        EXPECT_EQ(codeToExtendedPosition(code), q);
        EXPECT_EQ(combinedPositionToCode(19 + q), code);
        EXPECT_EQ(combinedToExtendedPosition(19 + q), q);
    }
    EXPECT_EQ(extendedPositionToCode(20), 253);
    const int nothing[] = {227, 248, 249, 250, 251, 252, 256, 99, 0, 18, -1};
    for (int code : nothing)
        EXPECT_EQ(codeToExtendedPosition(code), -1) << "code " << code;
    EXPECT_EQ(extendedPositionToCode(-1), -1);
    EXPECT_EQ(extendedPositionToCode(23), -1);
    EXPECT_EQ(combinedToExtendedPosition(18), -1);
}

TEST(TypeCatalogue, onlyCodes0To18SelectAStandardType)
{
    for (int code = 0; code < 19; ++code) {
        EXPECT_EQ(codeToStandardPosition(code), code);
        EXPECT_EQ(standardPositionToCode(code), code);
    }
    for (int code : {19, 99, 228, 255, -1, -32768})
        EXPECT_EQ(codeToStandardPosition(code), -1) << "code " << code;
    EXPECT_EQ(standardPositionToCode(19), -1);
}

TEST(TypeCatalogue, namesAreFoundIgnoringCaseAndUnknownNamesAreUnmapped)
{
    const std::pair<const char*, int> cases[] = {
        {"String", 0},      {"string", 0}, {"NUMERICSA", 18}, {"longdate", 19}, {"VBDate", 39},
        {"delphireal", 41}, {"", -1},      {"String ", -1},   {"Strin", -1},    {"LongDateX", -1},
    };
    for (auto [name, position] : cases)
        EXPECT_EQ(combinedPositionOfName(name), position) << '"' << name << '"';
    EXPECT_EQ(combinedPositionToCode(combinedPositionOfName("")), kUnmappedTypeCode);
    EXPECT_EQ(combinedPositionToCode(combinedPositionOfName("Nothing")), 99);
}

// Every name in its list position, as the type lists show them and the stored codes select them.
TEST(TypeCatalogue, everyNameStandsAtItsPosition)
{
    const std::vector<std::string_view> standard = {
        "String",   "Integer",       "Float",  "Date",       "Time",     "Decimal", "Money",
        "Logical",  "Numeric",       "BFloat", "LString",    "ZString",  "Note",    "VarLength",
        "Unsigned", "Autoincrement", "BIT",    "NumericSTS", "NumericSA"};
    const std::vector<std::pair<std::string_view, int>> extended = {
        {"LongDate", 228},       {"Intel", 229},        {"BinRL", 230},
        {"BinLR", 231},          {"NumericASCII", 232}, {"MagicDate_0001", 233},
        {"CTime", 234},          {"MagicNum100", 235},  {"TASProTime", 236},
        {"TASProUns", 237},      {"BCD10", 238},        {"MagicPCNumeric", 239},
        {"MagicPCTime", 240},    {"MagicPCDate", 241},  {"YMD", 242},
        {"YYMMDD", 243},         {"YYYYMMDD", 244},     {"TASPro3Date", 245},
        {"TASPro3Numeric", 246}, {"CobolComp6", 247},   {"VBDate", 253},
        {"VBCurrency", 254},     {"DelphiReal", 255}};
    const std::vector<std::string_view> pascal = {
        "Char",     "AnsiChar", "WideChar", "PChar",  "PAnsiChar",  "PWideChar",   "Integer",    "ShortInt",
        "SmallInt", "LongInt",  "Byte",     "Word",   "Cardinal",   "Real",        "Single",     "Double",
        "Extended", "Currency", "Comp",     "String", "AnsiString", "ShortString", "WideString", "Boolean",
        "ByteBool", "WordBool", "LongBool", "TDate",  "TTime"};
    ASSERT_EQ(standard.size(), standardTypeNames().size());
    for (std::size_t i = 0; i < standard.size(); ++i) {
        EXPECT_EQ(standardTypeNames()[i], standard[i]);
        EXPECT_EQ(combinedPositionOfName(standard[i]), int(i));
        EXPECT_EQ(combinedPositionToCode(int(i)), int(i));
    }
    ASSERT_EQ(extended.size(), extendedTypeNames().size());
    for (std::size_t q = 0; q < extended.size(); ++q) {
        const auto [name, code] = extended[q];
        EXPECT_EQ(extendedTypeNames()[q], name);
        EXPECT_EQ(combinedPositionToCode(combinedPositionOfName(name)), code) << name;
        EXPECT_EQ(codeToExtendedPosition(code), int(q)) << name;
    }
    ASSERT_EQ(pascal.size(), pascalTypeNames().size());
    for (std::size_t i = 0; i < pascal.size(); ++i)
        EXPECT_EQ(pascalTypeNames()[i], pascal[i]);
}

} // namespace
