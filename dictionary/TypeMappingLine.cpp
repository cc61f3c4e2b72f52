#include "TypeMappingLine.h"

#include <limits>

namespace dict {
namespace {

// Start of word n, or npos when the line has fewer words. Leading spaces separate like others.
std::size_t wordStart(std::string_view line, int n)
{
    std::size_t pos = line.find_first_not_of(' ');
    for (int w = 0; w < n && pos != std::string_view::npos; ++w) {
        pos = line.find(' ', pos);
        if (pos != std::string_view::npos)
            pos = line.find_first_not_of(' ', pos);
    }
    return pos;
}

std::size_t wordEnd(std::string_view line, std::size_t start)
{
    const std::size_t end = line.find(' ', start);
    return end == std::string_view::npos ? line.size() : end;
}

int wordCount(std::string_view line)
{
    int count = 0;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] != ' ' && (i == 0 || line[i - 1] == ' '))
            ++count;
    return count;
}

} // namespace

std::optional<std::int32_t> parseDecimal(std::string_view text)
{
    return text::parseInteger(text, text::IntegerSyntax::Decimal);
}

std::int32_t decimalValue(std::string_view text)
{
    return text::integerValue(text, text::IntegerSyntax::Decimal);
}

std::int32_t GetWord(std::string_view line, int n)
{
    const std::size_t start = wordStart(line, n);
    if (start == std::string_view::npos)
        return 0;
    return decimalValue(line.substr(start, wordEnd(line, start) - start));
}

std::string PutWord(std::string_view line, int n, std::int32_t value)
{
    const std::size_t start = wordStart(line, n);
    if (start == std::string_view::npos) {
        std::string out(line);
        const auto appendWord = [&out](const std::string& word) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
            out += word;
        };
        for (int w = wordCount(line); w < n; ++w)
            appendWord("0");
        appendWord(std::to_string(value));
        return out;
    }
    std::string out(line.substr(0, start));
    out += std::to_string(value);
    out.append(line.substr(wordEnd(line, start)));
    return out;
}

std::string completeMappingLine(std::string_view line)
{
    const int words = wordCount(line);
    if (words == 0)
        return std::string(kDefaultMappingLine);
    std::string out(line);
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    for (int w = words; w < 3; ++w)
        out += " 0";
    return out;
}

std::vector<std::string> readTypeMapping(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty() && lines.size() < static_cast<std::size_t>(kTypeMappingLineCount)) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(completeMappingLine(line));
    }
    while (lines.size() < static_cast<std::size_t>(kTypeMappingLineCount))
        lines.emplace_back(kDefaultMappingLine);
    return lines;
}

std::string writeTypeMapping(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> defaultTypeMapping()
{
    return std::vector<std::string>(kTypeMappingLineCount, std::string(kDefaultMappingLine));
}

TypeMap typeMapFromLines(const std::vector<std::string>& lines)
{
    TypeMap map;
    for (int k = 0; k < kPascalTypeCount; ++k) {
        map.lines[k] = k < static_cast<int>(lines.size()) ? completeMappingLine(lines[k])
                                                          : std::string(kDefaultMappingLine);
        map.ticked[k] = !map.lines[k].empty() && map.lines[k].front() == '1';
    }
    return map;
}

} // namespace dict
