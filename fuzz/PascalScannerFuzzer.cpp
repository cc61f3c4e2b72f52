// Feeds arbitrary bytes to the Pascal record scanner as a source file. The first byte chooses
// the scan: odd resolves the unit's declarations first (the rest of the bytes being the source),
// even scans as without that option. The tokenizer on its own,
// then the record parser with two mappings (every type ticked with small lengths; a few types
// ticked with huge or negative lengths and Btrieve positions outside the list). Besides the
// sanitizers' findings it stops on a broken contract: a token outside the source or holding
// the final byte, a token that holds a separator or a delimiter with other bytes, an empty
// token before the last, texts beyond 63 characters, an unmapped field with a size, offsets
// that are not the sum of the sizes before them in their variant (or the fixed part), or an
// error text of an unknown kind. The same
// bytes also go to the mapping-line words as a "Quillan.rec" and as one line: every completed line
// has three words, and a word written with PutWord reads back with GetWord.
#include "PascalDeclarations.h"
#include "PascalScanner.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

// Stops on a broken contract, naming the line of the check.
void checkAt(bool condition, int line)
{
    if (!condition) {
        std::fprintf(stderr, "contract broken at line %d\n", line);
        std::abort();
    }
}
#define check(condition) checkAt((condition), __LINE__)

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

// A resolving scan: never stopped by the source (the mappings' words are all numbers), every
// unresolved entry names a field of its record that takes no room, with a known reason.
void checkResolved(const dict::ScanResult& result)
{
    check(!result.error);
    for (const dict::ScannedRecord& record : result.records) {
        std::size_t next = 0;
        for (const dict::UnresolvedField& u : record.Unresolved) {
            check(u.Name.size() <= dict::ScannedField::kTextWidth);
            bool reasonKnown = false;
            for (auto r : dict::kUnresolvedReasons)
                reasonKnown = reasonKnown || dict::reasonText(r) == u.Reason;
            check(reasonKnown);
            const auto takesNoRoom = [&u](const dict::ScannedField& f) {
                return f.Name == u.Field && f.Size == 0 && f.Offset == 0 && f.BtrieveType.empty();
            };
            while (next < record.Fields.size() && !takesNoRoom(record.Fields[next]))
                ++next;
            check(next < record.Fields.size());
            ++next;
        }
    }
}

void checkScan(std::string_view source, const dict::TypeMap& map, bool validPositions, bool resolve)
{
    dict::ScanOptions options;
    options.resolve = resolve;
    const dict::ScanResult result = dict::scanPascalRecords(source, map, options);
    if (resolve)
        checkResolved(result);
    for (const dict::ScannedRecord& record : result.records) {
        check(resolve || record.Unresolved.empty());
        // Where the next field of each variant (-1 for the fixed part) starts: the fixed part
        // from 0, a variant from wherever its first field is.
        check(resolve || record.Variants.empty());
        for (const std::string& name : record.Variants)
            check(name.size() <= dict::ScannedField::kTextWidth);
        std::map<std::int32_t, std::int64_t> next{{-1, 0}};
        for (const dict::ScannedField& f : record.Fields) {
            check(f.Name.size() <= dict::ScannedField::kTextWidth);
            check(f.PascalType.size() <= dict::ScannedField::kTextWidth);
            check(f.Variant >= -1 && f.Variant < static_cast<std::int32_t>(record.Variants.size()));
            if (f.BtrieveType.empty() && validPositions && !resolve) {
                check(f.Offset == 0 && f.Size == 0);
                continue;
            }
            if (f.Offset == 0 && f.Size == 0 && f.BtrieveType.empty())
                continue; // unmapped, or mapped to no Btrieve type with a zero size
            const auto at = next.try_emplace(f.Variant, f.Offset).first;
            check(f.Offset == at->second);
            at->second += f.Size;
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
    if (size == 0)
        return 0;
    const bool resolve = (data[0] & 1) != 0;
    const std::string_view source(reinterpret_cast<const char*>(data) + 1, size - 1);
    checkTokens(source);
    static const dict::TypeMap every = everyTypeTicked();
    static const dict::TypeMap extreme = extremeLengths();
    checkScan(source, every, true, resolve);
    checkScan(source, extreme, false, resolve);
    if (resolve) {
        const std::string blanked = dict::blankPascalComments(source);
        check(blanked.size() == source.size());
        for (const dict::PascalToken& t : dict::lexPascal(blanked, 0, blanked.size()))
            check(!t.text.empty() && t.pos + t.text.size() <= blanked.size());
    }
    checkMappingLines(source);
    return 0;
}
