#include "PascalScanner.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>

namespace dict {
namespace {

bool isDelimiter(char c)
{
    return c == '.' || c == ':' || c == ';' || c == '=' || c == '[' || c == ']';
}

bool endsToken(char c)
{
    return c == ' ' || c == '\n' || c == '\r';
}

// Appends `text` to a short string of at most ScannedField::kTextWidth characters.
void appendCut(std::string& to, std::string_view text)
{
    if (to.size() >= ScannedField::kTextWidth)
        return;
    to.append(text.substr(0, ScannedField::kTextWidth - to.size()));
}

// Stops a scan; the message becomes ScanResult::error.
class ScanStop : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::int32_t checkedInt32(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw ScanStop("Integer overflow");
    return static_cast<std::int32_t>(value);
}

// One scan: the token list, the type-token list of the field being read and the running offset.
class PascalScanner {
public:
    PascalScanner(std::string_view source, const TypeMap& mapping)
        : mTokens(tokenizePascal(source)), mMapping(mapping)
    {
        for (int k = 0; k < kPascalTypeCount; ++k)
            if (mapping.ticked[k])
                mTicked.push_back(k);
    }

    ScanResult scan()
    {
        ScanResult result;
        try {
            findRecords(result.records);
        } catch (const ScanStop& stop) {
            result.error = stop.what();
        } catch (const ConversionError& error) {
            result.error = error.what();
        }
        return result;
    }

private:
    struct Rule {
        bool read = false;
        std::int32_t btrievePosition = 0;
        std::int32_t minLength = 0;
    };

    std::size_t count() const { return mTokens.size(); }
    bool tokenIs(std::size_t i, std::string_view word) const
    {
        return equalIgnoringAsciiCase(mTokens[i], word);
    }

    void findRecords(std::vector<ScannedRecord>& records)
    {
        for (std::size_t i = 0; i < count(); ++i) {
            if (!tokenIs(i, "RECORD"))
                continue;
            std::string_view name;
            if (i >= 2 && mTokens[i - 1] == "=")
                name = mTokens[i - 2];
            else if (i >= 3 && tokenIs(i - 1, "PACKED") && mTokens[i - 2] == "=")
                name = mTokens[i - 3];
            else
                continue;
            ScannedRecord record{std::string(name), {}};
            ParseRecordFields(i, record.Fields);
            records.push_back(std::move(record));
        }
    }

    // Entered with i at the RECORD token; leaves i at the END that closes the record, past the
    // END of an empty record, or at the end of the token list.
    void ParseRecordFields(std::size_t& i, std::vector<ScannedField>& fields)
    {
        mRunningOffset = 0;
        ++i;
        if (i >= count())
            return;
        if (tokenIs(i, "END")) {
            ++i;
            return;
        }
        for (;;) {
            ScannedField field;
            while (i < count() && mTokens[i] != ":") {
                appendCut(field.Name, mTokens[i]);
                ++i;
            }
            if (i >= count())
                return; // the source ended in the field's names
            ++i;
            mTypeTokens.clear();
            while (i < count() && mTokens[i] != ";") {
                mTypeTokens.push_back(mTokens[i]);
                appendCut(field.PascalType, " ");
                appendCut(field.PascalType, mTokens[i]);
                ++i;
            }
            MapFieldType(field);
            fields.push_back(std::move(field));
            ++i;
            if (i >= count() || tokenIs(i, "END"))
                return;
        }
    }

    void MapFieldType(ScannedField& field)
    {
        int k = -1;
        for (std::string_view token : mTypeTokens) {
            for (int candidate : mTicked)
                if (equalIgnoringAsciiCase(token, pascalTypeNames()[candidate])) {
                    k = candidate;
                    break;
                }
            if (k >= 0)
                break;
        }
        if (k < 0)
            return;
        const auto [first, second] = ReadBounds();
        const Rule& rule = ruleOf(k);
        if (rule.btrievePosition >= 0 && rule.btrievePosition < kCombinedTypeCount)
            field.BtrieveType = std::string(combinedTypeNames()[rule.btrievePosition]);
        std::int64_t size = rule.minLength;
        if (first >= 0 && second >= 0 && second > first)
            size *= std::int64_t{second} - first + 1;
        else if (first > 0)
            size *= first;
        if (k == kPascalStringPosition)
            size += 1;
        field.Offset = checkedInt32(mRunningOffset);
        field.Size = checkedInt32(size);
        mRunningOffset = checkedInt32(mRunningOffset + size);
    }

    // The first bracket of the type: [first] or [first..second]; -1 for a bound that is not
    // there (no "[", or the type ends before the bound).
    std::pair<std::int32_t, std::int32_t> ReadBounds() const
    {
        std::int32_t first = -1;
        std::int32_t second = -1;
        std::size_t j = 0;
        while (j < mTypeTokens.size() && mTypeTokens[j] != "[")
            ++j;
        if (++j >= mTypeTokens.size())
            return {first, second};
        first = decimalValue(mTypeTokens[j]);
        if (++j < mTypeTokens.size() && mTypeTokens[j] == ".") {
            while (j < mTypeTokens.size() && mTypeTokens[j] == ".")
                ++j;
            if (j < mTypeTokens.size())
                second = decimalValue(mTypeTokens[j]);
        }
        return {first, second};
    }

    // Words 1 and 2 of line k, read when the type first decides a field's size.
    const Rule& ruleOf(int k)
    {
        Rule& rule = mRules[k];
        if (!rule.read) {
            rule.btrievePosition = GetWord(mMapping.lines[k], 1);
            rule.minLength = GetWord(mMapping.lines[k], 2);
            rule.read = true;
        }
        return rule;
    }

    std::vector<std::string_view> mTokens;
    const TypeMap& mMapping;
    std::vector<int> mTicked; // ticked Pascal type positions, in list order
    std::array<Rule, kPascalTypeCount> mRules{};
    std::vector<std::string_view> mTypeTokens;
    std::int64_t mRunningOffset = 0;
};

} // namespace

std::size_t SkipSeparators(std::string_view source, std::size_t pos)
{
    while (pos + 1 < source.size()) { // pos < last
        const char c = source[pos];
        const bool separator =
            c == ' ' || c == '\n' || c == '\r' || c == '{' || c == '}' ||
            (c == '(' && source[pos + 1] == '*') ||
            (c == '*' && ((pos > 0 && source[pos - 1] == '(') || source[pos + 1] == ')')) ||
            (c == ')' && pos > 0 && source[pos - 1] == '*');
        if (!separator)
            break;
        ++pos;
    }
    return pos;
}

std::string_view NextToken(std::string_view source, std::size_t& pos)
{
    pos = SkipSeparators(source, pos);
    const std::size_t start = pos;
    while (pos + 1 < source.size() && !endsToken(source[pos])) {
        if (isDelimiter(source[pos])) {
            if (pos == start)
                ++pos;
            break;
        }
        ++pos;
    }
    return source.substr(start, pos - start);
}

std::vector<std::string_view> tokenizePascal(std::string_view source)
{
    std::vector<std::string_view> tokens;
    tokens.reserve(source.size() / 6);
    std::size_t pos = 0;
    while (pos + 1 < source.size())
        tokens.push_back(NextToken(source, pos));
    return tokens;
}

ScanResult scanPascalRecords(std::string_view source, const TypeMap& mapping)
{
    return PascalScanner(source, mapping).scan();
}

int readWholeFile(const std::string& path, std::string& bytes)
{
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return errno ? errno : ENOENT;
    std::string data;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        data.append(buffer, got);
    if (std::ferror(file.get()))
        return errno ? errno : EIO;
    bytes = std::move(data);
    return 0;
}

} // namespace dict
