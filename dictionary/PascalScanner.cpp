#include "PascalScanner.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>

namespace dict {
namespace {

// Byte classes of the tokenizer.
enum : std::uint8_t {
    kEndsToken = 1, // space, LF, CR: end a token and are skipped as separators
    kDelimiter = 2, // . : ; = [ ] are tokens of their own
    kBrace = 4,     // { } are skipped as separators before a token
};

constexpr std::array<std::uint8_t, 256> kByteClass = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned char c : {' ', '\n', '\r'})
        classes[c] = kEndsToken;
    for (unsigned char c : {'.', ':', ';', '=', '[', ']'})
        classes[c] = kDelimiter;
    classes['{'] = classes['}'] = kBrace;
    return classes;
}();

std::uint8_t byteClass(char c)
{
    return kByteClass[static_cast<unsigned char>(c)];
}

// Equal ignoring the case of ASCII letters, `upperWord` being upper case already.
inline bool isWord(std::string_view token, std::string_view upperWord)
{
    if (token.size() != upperWord.size())
        return false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c) != upperWord[i])
            return false;
    }
    return true;
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

// The token list of a source, produced as it is read: the scan moves forward through it and
// looks back at most three tokens from the furthest one read, so only the last four are kept.
class TokenList {
public:
    explicit TokenList(std::string_view source) : mSource(source) {}

    // Whether token i exists; reads the source up to it.
    bool has(std::size_t i)
    {
        while (mCount <= i && mPos + 1 < mSource.size())
            mRing[mCount++ % kKept] = NextToken(mSource, mPos);
        return i < mCount;
    }
    // Token i, for i among the last four read.
    std::string_view operator[](std::size_t i) const { return mRing[i % kKept]; }

private:
    static constexpr std::size_t kKept = 4;
    std::string_view mSource;
    std::size_t mPos = 0;
    std::size_t mCount = 0;
    std::array<std::string_view, kKept> mRing;
};

// One scan: the tokens, the type-token list of the field being read and the running offset.
class PascalScanner {
public:
    PascalScanner(std::string_view source, const TypeMap& mapping) : mTokens(source), mMapping(mapping)
    {
        for (int k = 0; k < kPascalTypeCount; ++k)
            if (mapping.ticked[k])
                mTicked.push_back({k, upperCased(pascalTypeNames()[k])});
    }

    ScanResult scan()
    {
        ScanResult result;
        try {
            findRecords(result.records);
        } catch (const ScanStop& stop) {
            result.error = stop.what();
        } catch (const ConversionError& error) {
            result.error = error.message();
        }
        return result;
    }

private:
    struct Rule {
        bool read = false;
        std::int32_t btrievePosition = 0;
        std::int32_t minLength = 0;
    };
    struct Ticked {
        int position;
        std::string upperName;
    };

    static std::string upperCased(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            c = asciiUpper(c);
        return out;
    }

    void findRecords(std::vector<ScannedRecord>& records)
    {
        for (std::size_t i = 0; mTokens.has(i); ++i) {
            if (!isWord(mTokens[i], "RECORD"))
                continue;
            std::string_view name;
            if (i >= 2 && mTokens[i - 1] == "=")
                name = mTokens[i - 2];
            else if (i >= 3 && isWord(mTokens[i - 1], "PACKED") && mTokens[i - 2] == "=")
                name = mTokens[i - 3];
            else
                continue;
            ScannedRecord& record = records.emplace_back();
            record.Name = name;
            try {
                ParseRecordFields(i, record.Fields);
            } catch (...) {
                records.pop_back(); // only completed records stay
                throw;
            }
        }
    }

    // Entered with i at the RECORD token; leaves i at the END that closes the record, past the
    // END of an empty record, or at the end of the token list.
    void ParseRecordFields(std::size_t& i, std::vector<ScannedField>& fields)
    {
        mRunningOffset = 0;
        ++i;
        if (!mTokens.has(i))
            return;
        if (isWord(mTokens[i], "END")) {
            ++i;
            return;
        }
        for (;;) {
            ScannedField field;
            while (mTokens.has(i) && mTokens[i] != ":") {
                appendCut(field.Name, mTokens[i]);
                ++i;
            }
            if (!mTokens.has(i))
                return; // the source ended in the field's names
            ++i;
            mTypeTokens.clear();
            while (mTokens.has(i) && mTokens[i] != ";") {
                mTypeTokens.push_back(mTokens[i]);
                appendCut(field.PascalType, " ");
                appendCut(field.PascalType, mTokens[i]);
                ++i;
            }
            MapFieldType(field);
            fields.push_back(std::move(field));
            ++i;
            if (!mTokens.has(i) || isWord(mTokens[i], "END"))
                return;
        }
    }

    void MapFieldType(ScannedField& field)
    {
        int k = -1;
        for (std::string_view token : mTypeTokens) {
            for (const Ticked& type : mTicked)
                if (isWord(token, type.upperName)) {
                    k = type.position;
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
            field.BtrieveType = combinedTypeNames()[rule.btrievePosition];
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

    TokenList mTokens;
    const TypeMap& mMapping;
    std::vector<Ticked> mTicked; // in list order
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
            (byteClass(c) & (kEndsToken | kBrace)) != 0 || (c == '(' && source[pos + 1] == '*') ||
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
    const std::size_t last = source.empty() ? 0 : source.size() - 1;
    while (pos < last) {
        const std::uint8_t kind = byteClass(source[pos]);
        if (kind & kEndsToken)
            break;
        if (kind & kDelimiter) {
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
