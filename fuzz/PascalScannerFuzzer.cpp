// Feeds arbitrary bytes to the Pascal record scanner as a source file: the tokenizer on its own,
// then the record parser with two mappings (every type ticked with small lengths; a few types
// ticked with huge or negative lengths and Btrieve positions outside the list). Besides the
// sanitizers' findings it stops on a broken contract: a token outside the source or holding
// the final byte, a token that holds a separator or a delimiter with other bytes, an empty
// token before the last, texts beyond 63 characters, an unmapped field with a size, offsets
// that are not the sum of the sizes before them, or an error text of an unknown kind. The same
// bytes also go to the mapping-line words as a "Quillan.rec" and as one line: every completed line
// has three words, and a word written with PutWord reads back with GetWord.
#include "PascalScanner.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isDelimiter(char c)
{
    return c == '.' || c == ':' || c == ';' || c == '=' || c == '[' || c == ']';
}

void checkTokens(std::string_view source)
{
    const auto tokens = dict::tokenizePascal(source);
    std::size_t previousEnd = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view t = tokens[i];
        check(t.empty() ? i + 1 == tokens.size() : true);
        if (t.empty())
            break;
        const std::size_t start = static_cast<std::size_t>(t.data() - source.data());
        check(start >= previousEnd && start + t.size() < source.size()); // never the final byte
        previousEnd = start + t.size();
        for (char c : t)
            check(c != ' ' && c != '\n' && c != '\r');
        if (t.size() > 1)
            for (char c : t)
                check(!isDelimiter(c));
    }
}

dict::TypeMap everyTypeTicked()
{
    dict::TypeMap map;
    for (int k = 0; k < dict::kPascalTypeCount; ++k) {
        map.ticked[k] = true;
        map.lines[k] = "1 " + std::to_string(k % dict::kCombinedTypeCount) + " " + std::to_string(k % 9);
    }
    return map;
}

dict::TypeMap extremeLengths()
{
    dict::TypeMap map;
    for (int k = 0; k < dict::kPascalTypeCount; ++k) {
        map.ticked[k] = k % 3 == 0 || k == dict::kPascalStringPosition;
        map.lines[k] = k % 2 ? "1 -1 2147483647" : "1 99 -1000000";
    }
    return map;
}

void checkScan(std::string_view source, const dict::TypeMap& map, bool validPositions)
{
    const dict::ScanResult result = dict::scanPascalRecords(source, map);
    for (const dict::ScannedRecord& record : result.records) {
        std::int64_t offset = 0;
        for (const dict::ScannedField& f : record.Fields) {
            check(f.Name.size() <= dict::ScannedField::kTextWidth);
            check(f.PascalType.size() <= dict::ScannedField::kTextWidth);
            if (f.BtrieveType.empty() && validPositions) {
                check(f.Offset == 0 && f.Size == 0);
                continue;
            }
            if (f.Offset == 0 && f.Size == 0 && f.BtrieveType.empty())
                continue; // unmapped, or mapped to no Btrieve type with a zero size
            check(f.Offset == offset);
            offset += f.Size;
        }
    }
    if (result.error) {
        const std::string& e = *result.error;
        check(e == "Integer overflow" ||
              (e.size() >= 31 && e.front() == '\'' && e.ends_with("' is not a valid integer value")));
    }
}

void checkMappingLines(std::string_view text)
{
    for (const std::string& line : dict::readTypeMapping(text)) {
        check(line.find('\n') == std::string::npos);
        int words = 0;
        for (std::size_t i = 0; i < line.size(); ++i)
            words += line[i] != ' ' && (i == 0 || line[i - 1] == ' ');
        check(words >= 3);
    }
    const std::string_view line = text.substr(0, text.find('\n'));
    for (int n = 0; n < 4; ++n) {
        try {
            dict::GetWord(line, n);
        } catch (const dict::ConversionError& e) {
            check(e.message().ends_with("' is not a valid integer value"));
        }
        const std::int32_t value = n == 1 ? -1 : 1000 * n + 7;
        check(dict::GetWord(dict::PutWord(line, n, value), n) == value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    checkTokens(source);
    static const dict::TypeMap every = everyTypeTicked();
    static const dict::TypeMap extreme = extremeLengths();
    checkScan(source, every, true);
    checkScan(source, extreme, false);
    checkMappingLines(source);
    return 0;
}
