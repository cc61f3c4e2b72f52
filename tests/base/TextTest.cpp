#include "Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

using text::IntegerSyntax;

// The same text in 16-bit code units, byte for code unit (Latin-1), as the window holds it.
std::u16string units(std::string_view bytes)
{
    std::u16string out;
    for (char c : bytes)
        out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

struct IntegerCase {
    std::string_view text;
    std::optional<std::int32_t> decimal; // IntegerSyntax::Decimal
    std::optional<std::int32_t> runtime; // IntegerSyntax::Runtime
};

constexpr std::optional<std::int32_t> no = std::nullopt;

const IntegerCase kIntegers[] = {
    {"0", 0, 0},
    {"-7", -7, -7},
    {"+7", 7, 7},
    {"007", 7, 7},
    {"2147483647", 2147483647, 2147483647},
    {"-2147483648", INT32_MIN, INT32_MIN},
    {"2147483648", no, no},
    {"-2147483649", no, no},
    {"99999999999999999999", no, no}, // no wrap-around past 64 bits
    {"   42", no, 42},                // leading blanks: the runtime's rule only
    {"$1F", no, 31},
    {"$ff", no, 255},
    {"-$10", no, -16},
    {"$FFFFFFFF", no, -1},
    {"$100000000", no, no},
    {"42 ", no, no}, // trailing blanks: neither
    {"", no, no},
    {"-", no, no},
    {"$", no, no},
    {"4 2", no, no},
    {"1.5", no, no},
    {"\t1", no, no},
    {"0x1F", no, no},
    {"--1", no, no},
    {std::string_view("1\0", 2), no, no},
    {"\xB9", no, no}, // superscript one (Latin-1): not a digit
};

TEST(IntegerText, eachSyntaxAcceptsItsTextsAndTheWindowsTextsAlike)
{
    for (const IntegerCase& c : kIntegers) {
        const std::string shown = "'" + std::string(c.text) + "'";
        EXPECT_EQ(text::parseInteger(c.text, IntegerSyntax::Decimal), c.decimal) << shown;
        EXPECT_EQ(text::parseInteger(c.text, IntegerSyntax::Runtime), c.runtime) << shown;
        EXPECT_EQ(text::parseInteger(units(c.text), IntegerSyntax::Decimal), c.decimal) << shown;
        EXPECT_EQ(text::parseInteger(units(c.text), IntegerSyntax::Runtime), c.runtime) << shown;
        if (!c.decimal) {
            try {
                text::integerValue(c.text, IntegerSyntax::Decimal);
                ADD_FAILURE() << shown << " was taken";
            } catch (const text::ConversionError& e) {
                EXPECT_EQ(e.message(), "'" + std::string(c.text) + "' is not a valid integer value");
            }
        }
    }
    // A code unit beyond Latin-1 whose low byte is a digit is no digit.
    EXPECT_EQ(text::parseInteger(std::u16string(u"1\u0132"), IntegerSyntax::Runtime), std::nullopt);
}

struct NameCase {
    std::string_view a;
    std::string_view b;
    bool equal; // ignoring the case of a to z
};

const NameCase kNames[] = {
    {"Stock", "STOCK", true},
    {"stock_1", "STOCK_1", true},
    {"", "", true},
    {"Stock", "Stock ", false},    // trailing blanks count here; withoutTrailingBlanks drops them
    {"Caf\xE9", "CAF\xC9", false}, // only a to z fold: Latin-1 letters stay as they are
    {"[", "{", false},             // neighbours of the letters do not fold
    {"@", "`", false},
    {std::string_view("A\0", 2), std::string_view("a\0", 2), true},
};

TEST(NameText, onlyTheAsciiLettersFoldAndTrailingBlanksAndNulsNeverCount)
{
    for (const NameCase& c : kNames) {
        EXPECT_EQ(text::equalIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(text::asciiUpper(c.a) == text::asciiUpper(c.b), c.equal) << c.a << " / " << c.b;
    }
    EXPECT_EQ(text::asciiUpper(std::string_view("az{\xE9\xFF")), std::string("AZ{\xE9\xFF"));
    EXPECT_EQ(text::asciiUpper(char16_t(0x0131)), char16_t(0x0131));

    const std::pair<std::string_view, std::string_view> trims[] = {
        {"STOCK   ", "STOCK"},
        {std::string_view("STOCK \0 \0", 9), "STOCK"},
        {std::string_view("A\0B ", 4), std::string_view("A\0B", 3)}, // a NUL inside stays
        {" LEAD", " LEAD"},
        {"   ", ""},
        {"", ""},
        {"TAB\t", "TAB\t"}, // only blanks and NULs
    };
    for (const auto& [stored, name] : trims)
        EXPECT_EQ(text::withoutTrailingBlanks(stored), name) << stored;
}

} // namespace
