#pragma once
// The text rules every layer shares, written once: names compare ignoring the case of the ASCII
// letters a to z only (the record manager's and the dictionary's rule; other bytes compare as
// they are), stored names end in blanks and NULs that never count, and one rule for what an
// integer text is, with the runtime's message for a text that is not one. Texts are bytes: the
// rules look at ASCII only, so they hold for Latin-1, any code page and UTF-8 alike.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace text {

// a-z upper-cased; every other character as it is. C is char, char16_t or any code unit type.
template <class C> constexpr C asciiUpper(C c)
{
    return c >= C('a') && c <= C('z') ? C(c - ('a' - 'A')) : c;
}

// Equal texts, ignoring the case of the ASCII letters a to z only.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text with the ASCII letters a to z upper-cased.
std::string asciiUpper(std::string_view text);

// A character that ends a stored name without being part of it: blank or NUL.
template <class C> constexpr bool isTrailingBlank(C c)
{
    return c == C(' ') || c == C(0);
}

// The text without its trailing blanks and NULs.
std::string_view withoutTrailingBlanks(std::string_view text);

// What an integer text may look like.
enum class IntegerSyntax {
    // An optional sign, then decimal digits, nothing else, in the signed 32-bit range.
    Decimal,
    // The runtime's rule: optional leading blanks, an optional sign, then either decimal digits
    // or "$" followed by hexadecimal digits, and nothing after the digits (trailing blanks
    // included). Decimal values lie in the signed 32-bit range; hexadecimal ones may use all 32
    // bits ("$FFFFFFFF" is -1) and are negated by a leading "-".
    Runtime,
};

// The value of an integer text; nullopt for a text the syntax refuses. Texts of 16-bit code units
// (the window's strings) follow the same rule: a unit outside ASCII is never part of a number.
std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax);
std::optional<std::int32_t> parseInteger(std::u16string_view text, IntegerSyntax syntax);

// The runtime's message for a text that is not an integer: "'<text>' is not a valid integer
// value", the text as found.
std::string notAnIntegerMessage(std::string_view text);

// A text that could not be converted. message() is the whole text, NUL bytes included (what()
// stops at the first); it holds the text that failed as the caller gave it (the dictionary's
// stored bytes, or UTF-8 from the window's controls).
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string message) : std::runtime_error(message), mMessage(std::move(message))
    {
    }
    const std::string& message() const { return mMessage; }

private:
    std::string mMessage;
};

// parseInteger, or ConversionError with notAnIntegerMessage for a text it refuses.
std::int32_t integerValue(std::string_view text, IntegerSyntax syntax);

} // namespace text
