#include "Text.h"

namespace text {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}

std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = asciiUpper(c);
    return out;
}

std::string_view withoutTrailingBlanks(std::string_view text)
{
    std::size_t n = text.size();
    while (n > 0 && isTrailingBlank(text[n - 1]))
        --n;
    return text.substr(0, n);
}

namespace {

template <class C>
std::optional<std::int32_t> parseUnits(std::basic_string_view<C> text, IntegerSyntax syntax)
{
    const bool runtime = syntax == IntegerSyntax::Runtime;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (runtime && i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    const bool hex = runtime && i < n && text[i] == '$';
    if (hex)
        ++i;
    if (i == n)
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < n; ++i) {
        const C c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text, IntegerSyntax syntax)
{
    return parseUnits(text, syntax);
}

std::optional<std::int32_t> parseInteger(std::u16string_view text, IntegerSyntax syntax)
{
    return parseUnits(text, syntax);
}

std::string notAnIntegerMessage(std::string_view text)
{
    std::string message = "'";
    message.append(text);
    message += "' is not a valid integer value";
    return message;
}

std::int32_t integerValue(std::string_view text, IntegerSyntax syntax)
{
    if (const auto value = parseInteger(text, syntax))
        return *value;
    throw ConversionError(notAnIntegerMessage(text));
}

} // namespace text
