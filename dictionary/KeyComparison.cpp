#include "KeyComparison.h"

#include "DictionarySet.h"
#include "Records.h"

#include <algorithm>

namespace dict {
namespace {

unsigned comparedFlags(unsigned flags)
{
    return static_cast<uint16_t>(flags) & ~unsigned(KeyExtendedType | KeySegmented);
}

} // namespace

std::vector<KeyDifference>
compareKeyWithDataFile(const std::vector<std::optional<DescribedSegment>>& segments,
                       const DataFileLayout& file, int fileKey, bool compareFlags)
{
    std::vector<KeyDifference> found;
    std::vector<const KeySpec*> specs;
    for (const DataFileLayout::Segment& s : file.segments)
        if (s.key == fileKey)
            specs.push_back(&s.spec);
    if (specs.empty()) {
        found.push_back({-1, "The key is in INDEX.DDF but the data file has no such key."});
        return found;
    }
    if (specs.size() != segments.size())
        found.push_back({-1, "The key has " + std::to_string(segments.size()) +
                                 " segments in INDEX.DDF and " + std::to_string(specs.size()) +
                                 " in the data file."});
    for (std::size_t i = 0; i < std::min(specs.size(), segments.size()); ++i) {
        if (!segments[i])
            continue;
        const DescribedSegment& s = *segments[i];
        const KeySpec& f = *specs[i];
        std::string what;
        const auto also = [&](const std::string& text) { what += (what.empty() ? "" : "; ") + text; };
        if (s.position != f.position)
            also("position " + std::to_string(s.position) + " in INDEX.DDF, " + std::to_string(f.position) +
                 " in the data file");
        if (s.length != f.length)
            also("length " + std::to_string(s.length) + " in INDEX.DDF, " + std::to_string(f.length) +
                 " in the data file");
        if (compareFlags && comparedFlags(s.flags) != comparedFlags(f.flags))
            also("flags " + std::to_string(s.flags) + " in INDEX.DDF, " + std::to_string(f.flags) +
                 " in the data file");
        if (!what.empty())
            found.push_back(
                {int(i), "Segment " + std::to_string(i) + " differs from the data file: " + what + "."});
    }
    return found;
}

bool describesDictionary(std::string_view name, std::string_view location)
{
    const std::string trimmed = trimmedName(name);
    return (trimmed.size() >= 2 && (trimmed[0] == 'X' || trimmed[0] == 'x') && trimmed[1] == '$') ||
           isDictionaryFileLocation(location);
}

bool keysNumberedFromOne(const std::vector<int>& numbers)
{
    return !numbers.empty() && std::find(numbers.begin(), numbers.end(), 0) == numbers.end();
}

} // namespace dict
