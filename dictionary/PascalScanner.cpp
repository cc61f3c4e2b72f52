#include "PascalScanner.h"

#include "PascalDeclarations.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <deque>
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

// The names of a field's names as written ("X,Y", or "X, Y" joined without blanks): the texts
// between commas, empty ones left out. Names with no comma, or nothing but commas, are one name
// as written.
void splitNames(std::string_view names, std::vector<std::string_view>& out)
{
    out.clear();
    if (names.find(',') == std::string_view::npos || names.find_first_not_of(',') == std::string_view::npos) {
        out.push_back(names);
        return;
    }
    for (std::size_t from = 0; from <= names.size();) {
        const std::size_t comma = std::min(names.find(',', from), names.size());
        if (comma > from)
            out.push_back(names.substr(from, comma - from));
        from = comma + 1;
    }
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
    explicit TokenList(std::string_view source, std::size_t start = 0) : mSource(source), mPos(start) {}

    // Whether token i exists; reads the source up to it.
    bool has(std::size_t i)
    {
        while (mCount <= i && mPos + 1 < mSource.size())
            mRing[mCount++ % kKept] = NextToken(mSource, mPos);
        return i < mCount;
    }
    // Token i, for i among the last four read.
    std::string_view operator[](std::size_t i) const { return mRing[i % kKept]; }
    // Goes on reading at byte `pos`, token i (the last one read) becoming `last`.
    void resumeAt(std::size_t pos, std::size_t i, std::string_view last)
    {
        mPos = pos;
        mCount = i + 1;
        mRing[i % kKept] = last;
    }

private:
    static constexpr std::size_t kKept = 4;
    std::string_view mSource;
    std::size_t mPos = 0;
    std::size_t mCount = 0;
    std::array<std::string_view, kKept> mRing;
};

// The size of a type as the resolving scan reads it.
struct Sized {
    enum State : std::uint8_t {
        Unmapped,   // a Pascal type of the list that is not ticked: no type, no room, no report
        Known,      // `size` bytes of Btrieve type `btrieve` (a combined position; -1 for none)
        Unresolved, // `why`
    };
    State state = Unmapped;
    std::int32_t btrieve = -1;
    std::int64_t size = 0;
    dict::Unresolved why;

    static Sized known(std::int32_t btrieve, std::int64_t size) { return {Known, btrieve, size, {}}; }
    static Sized unresolved(std::string_view name, UnresolvedReason reason)
    {
        return {Unresolved, -1, 0, {std::string(name), reason}};
    }
};

// Bytes of an ordinal value between lo and hi (enumerations: 1 byte up to 256 values).
std::int64_t ordinalSize(std::int64_t lo, std::int64_t hi)
{
    if (lo >= 0)
        return hi <= 0xFF ? 1 : hi <= 0xFFFF ? 2 : 4;
    return lo >= -128 && hi <= 127 ? 1 : lo >= -32768 && hi <= 32767 ? 2 : 4;
}

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool fitsInt32(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= kInt32Max;
}

// One scan: the tokens and the mapping; when resolving, the blanked source, its declarations and
// the sizes of the types found so far.
class PascalScanner {
public:
    PascalScanner(std::string_view source, const TypeMap& mapping, const ScanOptions& options)
        : mMapping(mapping), mResolve(options.resolve)
    {
        for (int k = 0; k < kPascalTypeCount; ++k)
            if (mapping.ticked[k])
                mTicked.push_back({k, upperCased(pascalTypeNames()[k])});
        if (mResolve) {
            mBlanked = blankPascalComments(source);
            mSource = mBlanked;
            mDeclarations.emplace(mSource);
            mDeclarations->setSizeOf([this](const PascalToken& name) { return sizeOfName(name); });
            mTypeMemo.resize(mDeclarations->declarations().size());
            mUnsignedPosition = combinedPositionOfName("Unsigned");
            mIntegerPosition = combinedPositionOfName("Integer");
        } else {
            mSource = source;
        }
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
    using Tokens = std::vector<PascalToken>;

    static std::string upperCased(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            c = text::asciiUpper(c);
        return out;
    }

    void findRecords(std::vector<ScannedRecord>& records)
    {
        TokenList tokens(mSource);
        for (std::size_t i = 0; tokens.has(i); ++i) {
            if (!isWord(tokens[i], "RECORD"))
                continue;
            std::string_view name;
            if (i >= 2 && tokens[i - 1] == "=")
                name = tokens[i - 2];
            else if (i >= 3 && isWord(tokens[i - 1], "PACKED") && tokens[i - 2] == "=")
                name = tokens[i - 3];
            else
                continue;
            ScannedRecord& record = records.emplace_back();
            record.Name = name;
            try {
                if (mResolve)
                    readDeclaredRecord(tokens, i, record);
                else
                    ParseRecordFields(tokens, i, record.Fields);
            } catch (...) {
                records.pop_back(); // only completed records stay
                throw;
            }
        }
    }

    // Entered with i at the RECORD token; leaves i at the END that closes the record, past the
    // END of an empty record, or at the end of the token list.
    void ParseRecordFields(TokenList& tokens, std::size_t& i, std::vector<ScannedField>& fields)
    {
        std::int64_t runningOffset = 0;
        std::vector<std::string_view> typeTokens;
        ++i;
        if (!tokens.has(i))
            return;
        if (isWord(tokens[i], "END")) {
            ++i;
            return;
        }
        for (;;) {
            ScannedField field;
            while (tokens.has(i) && tokens[i] != ":") {
                field.Name += tokens[i]; // whole until the names are told apart
                ++i;
            }
            if (!tokens.has(i))
                return; // the source ended in the field's names
            ++i;
            typeTokens.clear();
            while (tokens.has(i) && tokens[i] != ";") {
                typeTokens.push_back(tokens[i]);
                appendCut(field.PascalType, " ");
                appendCut(field.PascalType, tokens[i]);
                ++i;
            }
            if (field.Name.find(',') == std::string::npos) {
                field.Name.resize(std::min(field.Name.size(), ScannedField::kTextWidth));
                MapFieldType(field, typeTokens, runningOffset);
                fields.push_back(std::move(field));
            } else {
                // "X, Y: T": a field of type T for each name, one after the other.
                mNames.swap(field.Name);
                field.Name.clear();
                splitNames(mNames, mNameList);
                for (std::size_t n = 0; n < mNameList.size(); ++n) {
                    ScannedField named = n + 1 < mNameList.size() ? field : std::move(field);
                    appendCut(named.Name, mNameList[n]);
                    MapFieldType(named, typeTokens, runningOffset);
                    fields.push_back(std::move(named));
                }
            }
            ++i;
            if (!tokens.has(i) || isWord(tokens[i], "END"))
                return;
        }
    }

    // The first ticked Pascal type among the tokens, token order first, then list order; -1.
    template <class Texts, class TextOf> int firstTicked(const Texts& texts, TextOf textOf) const
    {
        for (const auto& token : texts)
            for (const Ticked& type : mTicked)
                if (isWord(textOf(token), type.upperName))
                    return type.position;
        return -1;
    }

    void MapFieldType(ScannedField& field, const std::vector<std::string_view>& typeTokens,
                      std::int64_t& runningOffset)
    {
        const int k = firstTicked(typeTokens, [](std::string_view t) { return t; });
        if (k < 0)
            return;
        const auto [first, second] = ReadBounds(typeTokens);
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
        field.Offset = checkedInt32(runningOffset);
        field.Size = checkedInt32(size);
        runningOffset = checkedInt32(runningOffset + size);
    }

    // The first bracket of the type: [first] or [first..second]; -1 for a bound that is not
    // there (no "[", or the type ends before the bound).
    static std::pair<std::int32_t, std::int32_t> ReadBounds(const std::vector<std::string_view>& typeTokens)
    {
        std::int32_t first = -1;
        std::int32_t second = -1;
        std::size_t j = 0;
        while (j < typeTokens.size() && typeTokens[j] != "[")
            ++j;
        if (++j >= typeTokens.size())
            return {first, second};
        first = decimalValue(typeTokens[j]);
        if (++j < typeTokens.size() && typeTokens[j] == ".") {
            while (j < typeTokens.size() && typeTokens[j] == ".")
                ++j;
            if (j < typeTokens.size())
                second = decimalValue(typeTokens[j]);
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

    // ---- Resolving scans ----

    // What reading a record gives: its fields, what stayed unknown and its variants (each left out
    // when only the record's size is wanted), and the first unknown name with its reason.
    struct RecordOut {
        std::vector<ScannedField>* fields = nullptr;
        std::vector<UnresolvedField>* unresolved = nullptr;
        std::vector<std::string>* variants = nullptr;
        std::optional<Unresolved> firstUnknown;
    };

    // A token list of the pool for as long as it lives: one per reading in progress, kept between
    // records, since a field's type may reach other records and a SizeOf in a bound others again.
    class PooledTokens {
    public:
        explicit PooledTokens(PascalScanner& scanner) : mScanner(scanner)
        {
            if (scanner.mTokenPool.size() <= scanner.mPoolInUse)
                scanner.mTokenPool.emplace_back();
            mTokens = &scanner.mTokenPool[scanner.mPoolInUse++];
        }
        ~PooledTokens() { --mScanner.mPoolInUse; }
        PooledTokens(const PooledTokens&) = delete;
        PooledTokens& operator=(const PooledTokens&) = delete;
        Tokens& operator*() { return *mTokens; }

    private:
        PascalScanner& mScanner;
        Tokens* mTokens = nullptr;
    };

    // A record found at tokens[i] (its RECORD word), read as declared to the END that closes it;
    // the token list goes on after that END.
    void readDeclaredRecord(TokenList& tokens, std::size_t& i, ScannedRecord& record)
    {
        const std::size_t afterRecord =
            static_cast<std::size_t>(tokens[i].data() - mSource.data()) + tokens[i].size();
        std::size_t end = 0;
        {
            PooledTokens pooled(*this);
            Tokens& t = *pooled;
            end = lexRecordBody(mSource, afterRecord, t);
            // A field per ":", and one more per name before it ("X, Y:"): at most a ":" or "," each.
            record.Fields.reserve(static_cast<std::size_t>(std::count_if(
                t.begin(), t.end(), [](const PascalToken& u) { return u.is(":") || u.is(","); })));
            std::size_t j = 0;
            RecordOut out{&record.Fields, &record.Unresolved, &record.Variants, {}};
            readRecordBody(t, j, out, 0);
        }
        tokens.resumeAt(end, i, mSource.substr(end >= 3 ? end - 3 : 0, std::min<std::size_t>(end, 3)));
    }

    // The fields from tokens[i], just after RECORD, to the END that closes the record (i left
    // after it). Returns the record's size.
    std::int64_t readRecordBody(const Tokens& t, std::size_t& i, RecordOut& out, int depth)
    {
        const std::int64_t size = readFieldList(t, i, 0, -1, false, out, depth);
        if (i < t.size() && t[i].is("END"))
            ++i;
        return size;
    }

    static bool closesList(const PascalToken& token, bool inVariant)
    {
        return token.is("END") || (inVariant && token.is(")"));
    }

    // A field list from tokens[i], its fields placed from `start`: fixed fields, then maybe a
    // variant part, up to the END of the record or, in a variant, the ")" that closes it (i left
    // there). `variant` is the list's in out.variants, -1 for the fixed part. Returns where its
    // furthest field ends.
    std::int64_t readFieldList(const Tokens& t, std::size_t& i, std::int64_t start, std::int32_t variant,
                               bool inVariant, RecordOut& out, int depth)
    {
        std::int64_t offset = start;
        std::int64_t end = start;
        while (i < t.size() && !closesList(t[i], inVariant)) {
            if (t[i].is(";")) {
                ++i;
                continue;
            }
            if (t[i].is("CASE")) {
                offset = readVariantPart(t, i, offset, variant, inVariant, out, depth);
                end = std::max(end, offset);
                continue;
            }
            const std::size_t names = i;
            while (i < t.size() && !t[i].is(":") && !t[i].is(";") && !closesList(t[i], inVariant))
                ++i;
            if (i >= t.size())
                break; // the source ended in the field's names
            if (!t[i].is(":"))
                continue; // no field: a method, a visibility word
            const std::size_t colon = i;
            const std::size_t typeBegin = ++i;
            skipTo(t, i, inVariant, ";"); // the type
            // "X, Y: T" declares a field of type T for each name, one after the other.
            const auto addField = [&](std::size_t from, std::size_t until) {
                ScannedField field;
                appendScannerTokens(field.Name, t, from, until, false);
                field.Variant = variant;
                resolveField(field, t, typeBegin, i, offset, out, depth);
            };
            bool named = false;
            for (std::size_t from = names; from <= colon;) {
                std::size_t until = from;
                while (until < colon && !t[until].is(","))
                    ++until;
                if (until > from) {
                    addField(from, until);
                    named = true;
                }
                from = until + 1;
            }
            if (!named)
                addField(names, colon); // no name, or nothing but commas: as written
            end = std::max(end, offset);
        }
        return end;
    }

    // Moves i to the first token outside brackets and records written in place that ends the list
    // (END, or ")" in a variant) or is one of the stop words; to the end when there is none.
    static void skipTo(const Tokens& t, std::size_t& i, bool inVariant, std::string_view stop = {},
                       std::string_view otherStop = {})
    {
        int brackets = 0;
        int records = 0;
        for (; i < t.size(); ++i) {
            const PascalToken& u = t[i];
            if (brackets == 0 && records == 0 &&
                (closesList(u, inVariant) || (!stop.empty() && u.is(stop)) ||
                 (!otherStop.empty() && u.is(otherStop))))
                return;
            if (u.is("(") || u.is("["))
                ++brackets;
            else if ((u.is(")") || u.is("]")) && brackets > 0)
                --brackets;
            else if (brackets == 0 && u.is("RECORD"))
                ++records;
            else if (brackets == 0 && records > 0 && u.is("END"))
                --records;
        }
    }

    // "case [tag:] Type of labels: (fields); ..." from tokens[i] (its CASE). The named tag is a
    // field at `offset`, which moves past it; every variant's fields start there. Returns where
    // the largest variant ends.
    std::int64_t readVariantPart(const Tokens& t, std::size_t& i, std::int64_t& offset, std::int32_t variant,
                                 bool inVariant, RecordOut& out, int depth)
    {
        ++i; // CASE
        std::size_t of = i;
        skipTo(t, of, inVariant, "OF", ";");
        if (of >= t.size() || !t[of].is("OF")) {
            i = of;
            return offset;
        }
        if (depth > PascalDeclarations::kMaxDepth) {
            // Variant parts nested deeper than followed: passed over, the record left unsized.
            skipTo(t, i, inVariant);
            if (!out.firstUnknown)
                out.firstUnknown = Unresolved{"case", UnresolvedReason::TooDeep};
            return offset;
        }
        if (of > i + 1 && t[i].kind == PascalToken::Identifier && t[i + 1].is(":")) {
            ScannedField tag;
            appendScannerTokens(tag.Name, t, i, i + 1, false);
            tag.Variant = variant;
            resolveField(tag, t, i + 2, of, offset, out, depth);
        }
        i = of + 1;
        std::int64_t end = offset;
        while (i < t.size() && !closesList(t[i], inVariant)) {
            if (t[i].is(";")) {
                ++i;
                continue;
            }
            const std::size_t labels = i;
            skipTo(t, i, inVariant, ":", ";");
            if (i >= t.size() || !t[i].is(":"))
                continue;
            std::int32_t index = -1;
            if (out.variants) {
                std::string name =
                    variant < 0 ? std::string() : out.variants->at(static_cast<std::size_t>(variant)) + "/";
                appendScannerTokens(name, t, labels, i, false);
                name.resize(std::min(name.size(), ScannedField::kTextWidth)); // a parent's 63 and "/"
                out.variants->push_back(std::move(name));
                index = static_cast<std::int32_t>(out.variants->size() - 1);
            }
            ++i;
            if (i < t.size() && t[i].is("(")) {
                ++i;
                end = std::max(end, readFieldList(t, i, offset, index, true, out, depth + 1));
                if (i < t.size() && t[i].is(")"))
                    ++i;
            }
        }
        return end;
    }

    // Appends the scanner's tokens of the source from token `from` up to token `until` (excluded):
    // joined as field names are, or each after a space as Pascal types are; cut at 63 characters.
    // The tokens themselves go to `tokens` when given.
    void appendScannerTokens(std::string& to, const Tokens& t, std::size_t from, std::size_t until,
                             bool spaced, std::vector<std::string_view>* tokens = nullptr) const
    {
        if (from >= until || until > t.size())
            return;
        const std::size_t end = t[until - 1].pos + t[until - 1].text.size();
        const std::string_view view = mSource.substr(0, std::min(end + 1, mSource.size()));
        for (std::size_t pos = t[from].pos; pos + 1 < view.size() && pos < end;) {
            const std::string_view token = NextToken(view, pos);
            if (token.empty())
                break;
            if (spaced)
                appendCut(to, " ");
            appendCut(to, token);
            if (tokens)
                tokens->push_back(token);
        }
    }

    // Sizes a field of type tokens[begin, end) at `offset`, which moves past it, and lists it.
    void resolveField(ScannedField& field, const Tokens& t, std::size_t begin, std::size_t end,
                      std::int64_t& offset, RecordOut& out, int depth)
    {
        mTypeTokens.clear();
        appendScannerTokens(field.PascalType, t, begin, end, true, &mTypeTokens);
        Sized sized;
        if (begin >= end) {
        } else if (const std::optional<Sized> common = commonForm(mTypeTokens);
                   common && fitsInt32(common->size) && fitsInt32(offset + common->size)) {
            sized = *common;
        } else {
            const std::string_view first = mTypeTokens.empty() ? t[begin].text : mTypeTokens.front();
            PooledTokens pooled(*this);
            Tokens& type = *pooled;
            type.assign(t.begin() + static_cast<std::ptrdiff_t>(begin),
                        t.begin() + static_cast<std::ptrdiff_t>(end));
            sized = sizeOfType(type, depth);
            if (sized.state == Sized::Known && (!fitsInt32(sized.size) || !fitsInt32(offset + sized.size)))
                sized = Sized::unresolved(first, UnresolvedReason::TooLarge);
        }
        if (sized.state == Sized::Unresolved) {
            if (out.unresolved)
                out.unresolved->push_back({field.Name, sized.why.name.substr(0, ScannedField::kTextWidth),
                                           std::string(reasonText(sized.why.reason))});
            if (!out.firstUnknown)
                out.firstUnknown = sized.why;
        } else if (sized.state == Sized::Known) {
            if (sized.btrieve >= 0 && sized.btrieve < kCombinedTypeCount)
                field.BtrieveType = combinedTypeNames()[sized.btrieve];
            field.Offset = static_cast<std::int32_t>(offset);
            field.Size = static_cast<std::int32_t>(sized.size);
            offset += sized.size;
        }
        if (out.fields)
            out.fields->push_back(std::move(field));
    }

    // SizeOf(name) in a constant expression: a ticked Pascal type by the mapping, a type of the
    // unit as a field of that type is sized.
    PascalDeclarations::Value sizeOfName(const PascalToken& name)
    {
        const Tokens one{name};
        std::size_t i = 0;
        const std::optional<Sized> sized = readNamedType(one, i, 0);
        PascalDeclarations::Value v;
        if (sized && sized->state == Sized::Known)
            v.value = sized->size;
        else if (sized && sized->state == Sized::Unresolved)
            v.unresolved = sized->why;
        else
            v.unresolved = {std::string(name.text),
                            sized ? UnresolvedReason::NotMapped : UnresolvedReason::NotSized};
        return v;
    }

    // The source text from token `from` to token `to` (included).
    std::string_view textOf(const Tokens& tokens, std::size_t from, std::size_t to) const
    {
        if (from >= tokens.size())
            return {};
        to = std::min(to, tokens.size() - 1);
        return mSource.substr(tokens[from].pos, tokens[to].pos + tokens[to].text.size() - tokens[from].pos);
    }

    static bool isListedPascalType(std::string_view name)
    {
        static const std::array<std::string, kPascalTypeCount> kUpperNames = [] {
            std::array<std::string, kPascalTypeCount> names;
            for (int k = 0; k < kPascalTypeCount; ++k)
                names[k] = upperCased(pascalTypeNames()[k]);
            return names;
        }();
        for (const std::string& listed : kUpperNames)
            if (isWord(name, listed))
                return true;
        return false;
    }



    // The commonest forms of a field's type, sized straight from the scanner's tokens as the
    // reading below would size them: a ticked type alone, "T [ n ]", and "array [ a . . b ] of T"
    // with decimal bounds. nullopt for anything else.
    std::optional<Sized> commonForm(const std::vector<std::string_view>& t)
    {
        const auto ticked = [this](std::string_view name) {
            return firstTicked(std::array{name}, [](std::string_view x) { return x; });
        };
        if (t.size() == 1) {
            if (const int k = ticked(t[0]); k >= 0)
                if (Sized sized = tickedSize(k, 1); sized.state == Sized::Known)
                    return sized;
            return std::nullopt;
        }
        if (t.size() == 4 && t[1] == "[" && t[3] == "]") {
            const auto n = parseDecimal(t[2]);
            const int k = n ? ticked(t[0]) : -1;
            if (k >= 0)
                if (Sized sized = tickedSize(k, *n > 0 ? *n : 1); sized.state == Sized::Known)
                    return sized;
            return std::nullopt;
        }
        if (t.size() == 9 && isWord(t[0], "ARRAY") && t[1] == "[" && t[3] == "." && t[4] == "." && t[6] == "]" &&
            isWord(t[7], "OF")) {
            const auto lo = parseDecimal(t[2]);
            const auto hi = parseDecimal(t[5]);
            const int k = lo && hi && *hi >= *lo && std::int64_t{*hi} - *lo < kInt32Max ? ticked(t[8]) : -1;
            if (k < 0)
                return std::nullopt;
            const Sized element = tickedSize(k, 1);
            if (element.state != Sized::Known)
                return std::nullopt;
            return Sized::known(element.btrieve, (std::int64_t{*hi} - *lo + 1) * element.size);
        }
        return std::nullopt;
    }

    // A whole type: read as declared, or else by the first ticked type among its tokens.
    Sized sizeOfType(const Tokens& tokens, int depth)
    {
        std::size_t i = 0;
        if (std::optional<Sized> sized = readType(tokens, i, depth); sized && i == tokens.size())
            return *sized;
        if (!tokens.empty()) {
            const PascalToken& t = tokens[tokens[0].is("PACKED") && tokens.size() > 1 ? 1 : 0];
            for (std::string_view word : {"^", "SET", "FILE", "PROCEDURE", "FUNCTION", "REFERENCE", "CLASS",
                                          "OBJECT", "INTERFACE", "DISPINTERFACE"})
                if (t.is(word))
                    return Sized::unresolved(textOf(tokens, 0, tokens.size() - 1), UnresolvedReason::NotSized);
        }
        return byFirstTicked(tokens);
    }

    // The unresolving scan's rule over the expression tokens, with bounds evaluated. Without a
    // ticked type among them, a type of other words than the list's is one not sized.
    Sized byFirstTicked(const Tokens& tokens)
    {
        const int k = firstTicked(tokens, [](const PascalToken& t) {
            return t.kind == PascalToken::Identifier ? t.text : std::string_view();
        });
        if (k < 0) {
            for (const PascalToken& t : tokens)
                if (t.kind == PascalToken::Identifier && !isListedPascalType(t.text))
                    return Sized::unresolved(textOf(tokens, 0, tokens.size() - 1), UnresolvedReason::NotSized);
            return {};
        }
        std::size_t i = 0;
        while (i < tokens.size() && !tokens[i].is("["))
            ++i;
        std::int64_t count = 1;
        if (i < tokens.size()) {
            ++i;
            const Count c = boundCount(tokens, i);
            if (c.failed)
                return *c.failed;
            count = c.count;
        }
        return tickedSize(k, count);
    }

    Sized tickedSize(int k, std::int64_t count)
    {
        const Rule& rule = ruleOf(k);
        std::int64_t size = 0;
        if (__builtin_mul_overflow(std::int64_t{rule.minLength}, count, &size) || !fitsInt32(size + 1))
            return Sized::unresolved(pascalTypeNames()[k], UnresolvedReason::TooLarge);
        if (k == kPascalStringPosition)
            size += 1;
        return Sized::known(rule.btrievePosition, size);
    }

    struct Count {
        std::int64_t count = 1;
        std::optional<Sized> failed;
    };

    // The text of the bound that starts at token `from`: up to the "," or "]" that ends it.
    std::string_view boundText(const Tokens& tokens, std::size_t from) const
    {
        std::size_t to = from;
        int depth = 0;
        while (to + 1 < tokens.size()) {
            const PascalToken& next = tokens[to + 1];
            if (next.is("(") || next.is("["))
                ++depth;
            else if (depth == 0 && (next.is(",") || next.is("]")))
                break;
            else if ((next.is(")") || next.is("]")) && depth > 0)
                --depth;
            ++to;
        }
        return textOf(tokens, from, to);
    }

    // A failed value: named by its own name when it has one, else by the bound's text.
    Sized failedBound(const PascalDeclarations::Value& v, const Tokens& tokens, std::size_t from) const
    {
        const std::string& name = v.unresolved.name;
        const bool named = !name.empty() && isIdentifierText(name);
        return Sized::unresolved(named ? std::string_view(name) : boundText(tokens, from), v.unresolved.reason);
    }

    static bool isIdentifierText(std::string_view text)
    {
        const auto c = static_cast<unsigned char>(text.front());
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
    }

    // "lo..hi" counts hi - lo + 1; a single value n counts n when positive, else 1.
    Count boundCount(const Tokens& tokens, std::size_t& i)
    {
        Count c;
        const std::size_t start = i;
        const PascalDeclarations::Value lo = mDeclarations->evaluate(tokens, i);
        if (!lo.value) {
            c.failed = failedBound(lo, tokens, start);
            return c;
        }
        if (i < tokens.size() && tokens[i].is("..")) {
            ++i;
            const PascalDeclarations::Value hi = mDeclarations->evaluate(tokens, i);
            if (!hi.value) {
                c.failed = failedBound(hi, tokens, start);
                return c;
            }
            c = rangeCount(*lo.value, *hi.value, boundText(tokens, start));
            return c;
        }
        c.count = *lo.value > 0 ? *lo.value : 1;
        return c;
    }

    static Count rangeCount(std::int64_t lo, std::int64_t hi, std::string_view text)
    {
        Count c;
        if (hi < lo)
            c.failed = Sized::unresolved(text, UnresolvedReason::EmptyRange);
        else if (hi - lo >= kInt32Max) // lo and hi are within 64 bits of each other only when sane
            c.failed = Sized::unresolved(text, UnresolvedReason::TooLarge);
        else
            c.count = hi - lo + 1;
        return c;
    }

    // One index of an array: a range, an ordinal type's name, an enumeration written in place,
    // or a single value.
    Count dimensionCount(const Tokens& tokens, std::size_t& i, int depth)
    {
        const std::string_view name = i < tokens.size() ? tokens[i].text : std::string_view();
        if (const std::optional<PascalDeclarations::Range> r =
                mDeclarations->indexTypeRange(tokens, i, depth)) {
            if (r->range)
                return rangeCount(r->range->first, r->range->second, name);
            Count c;
            c.failed = Sized::unresolved(r->failure.name, r->failure.reason);
            return c;
        }
        return boundCount(tokens, i);
    }

    // A type from tokens[i]: packed, array, enumeration, subrange, or a name with an optional
    // bound. nullopt for a form it does not read (pointers, sets, procedures, classes...).
    std::optional<Sized> readType(const Tokens& tokens, std::size_t& i, int depth)
    {
        if (depth > PascalDeclarations::kMaxDepth)
            return Sized::unresolved(i < tokens.size() ? tokens[i].text : std::string_view(),
                                     UnresolvedReason::TooDeep);
        if (i < tokens.size() && tokens[i].is("TYPE"))
            ++i;
        while (i < tokens.size() && tokens[i].is("PACKED"))
            ++i;
        if (i >= tokens.size())
            return std::nullopt;
        const PascalToken& t = tokens[i];
        if (t.is("ARRAY"))
            return readArray(tokens, i, depth);
        if (t.is("SET") && i + 1 < tokens.size() && tokens[i + 1].is("OF"))
            return readSet(tokens, i, depth);
        if (t.is("RECORD")) {
            ++i;
            RecordOut inner;
            const std::int64_t size = readRecordBody(tokens, i, inner, depth + 1);
            if (inner.firstUnknown)
                return Sized::unresolved(inner.firstUnknown->name, inner.firstUnknown->reason);
            return Sized::known(-1, size);
        }
        if (t.is("(")) {
            // An enumeration written in place: its names counted.
            std::int64_t names = 0;
            for (++i; i < tokens.size() && !tokens[i].is(")"); ++i)
                names += tokens[i].kind == PascalToken::Identifier && (tokens[i - 1].is("(") || tokens[i - 1].is(","));
            if (i >= tokens.size())
                return std::nullopt;
            ++i;
            return Sized::known(mUnsignedPosition, ordinalSize(0, names - 1));
        }
        const bool named = t.kind == PascalToken::Identifier &&
                           !(i + 1 < tokens.size() && (tokens[i + 1].is("..") || tokens[i + 1].is("(") ||
                                                       tokens[i + 1].is("+") || tokens[i + 1].is("-") ||
                                                       tokens[i + 1].is("*") || tokens[i + 1].is("DIV") ||
                                                       tokens[i + 1].is("MOD")));
        if (named)
            return readNamedType(tokens, i, depth);
        // A subrange: "lo..hi" of constant expressions.
        const PascalDeclarations::Value lo = mDeclarations->evaluate(tokens, i);
        if (i >= tokens.size() || !tokens[i].is(".."))
            return std::nullopt;
        if (!lo.value)
            return Sized::unresolved(lo.unresolved.name, lo.unresolved.reason);
        ++i;
        const PascalDeclarations::Value hi = mDeclarations->evaluate(tokens, i);
        if (!hi.value)
            return Sized::unresolved(hi.unresolved.name, hi.unresolved.reason);
        if (*hi.value < *lo.value)
            return Sized::unresolved(tokens[i - 1].text, UnresolvedReason::EmptyRange);
        return Sized::known(*lo.value < 0 ? mIntegerPosition : mUnsignedPosition, ordinalSize(*lo.value, *hi.value));
    }

    // "set of" an ordinal type of values 0 to 255: a bit per value from the byte of its lowest
    // value to the byte of its highest. A 3-byte set is 3 bytes to some compilers, 4 to others.
    std::optional<Sized> readSet(const Tokens& tokens, std::size_t& i, int depth)
    {
        const std::size_t start = i;
        i += 2; // SET OF
        std::optional<PascalDeclarations::Range> r;
        if (i + 1 == tokens.size() && tokens[i].kind == PascalToken::Identifier) {
            r = mDeclarations->typeRange(tokens[i++], depth);
        } else if (!(r = mDeclarations->indexTypeRange(tokens, i, depth))) {
            const PascalDeclarations::Value lo = mDeclarations->evaluate(tokens, i);
            if (!lo.value)
                return Sized::unresolved(lo.unresolved.name, lo.unresolved.reason);
            if (i >= tokens.size() || !tokens[i].is(".."))
                return std::nullopt;
            ++i;
            const PascalDeclarations::Value hi = mDeclarations->evaluate(tokens, i);
            if (!hi.value)
                return Sized::unresolved(hi.unresolved.name, hi.unresolved.reason);
            r = PascalDeclarations::Range{std::make_pair(*lo.value, *hi.value), {}};
        }
        if (!r->range)
            return Sized::unresolved(r->failure.name, r->failure.reason);
        const auto [lo, hi] = *r->range;
        const std::string_view text = textOf(tokens, start, i - 1);
        if (hi < lo)
            return Sized::unresolved(text, UnresolvedReason::EmptyRange);
        if (lo < 0 || hi > 255)
            return Sized::unresolved(text, UnresolvedReason::NotSized);
        const std::int64_t bytes = hi / 8 - lo / 8 + 1;
        if (bytes == 3)
            return Sized::unresolved(text, UnresolvedReason::CompilerBound);
        return Sized::known(-1, bytes);
    }

    std::optional<Sized> readArray(const Tokens& tokens, std::size_t& i, int depth)
    {
        ++i; // ARRAY
        std::int64_t count = 1;
        std::optional<Sized> failure;
        if (i < tokens.size() && tokens[i].is("[")) {
            ++i;
            for (;;) {
                const Count c = dimensionCount(tokens, i, depth);
                if (c.failed && !failure)
                    failure = c.failed;
                if (!c.failed && __builtin_mul_overflow(count, c.count, &count) && !failure)
                    failure = Sized::unresolved("array", UnresolvedReason::TooLarge);
                if (i < tokens.size() && tokens[i].is(",")) {
                    ++i;
                    continue;
                }
                if (i < tokens.size() && tokens[i].is("]")) {
                    ++i;
                    break;
                }
                return std::nullopt;
            }
        }
        if (i >= tokens.size() || !tokens[i].is("OF"))
            return std::nullopt;
        ++i;
        const std::optional<Sized> element = readType(tokens, i, depth + 1);
        if (!element || element->state == Sized::Unmapped)
            return element;
        if (failure)
            return failure;
        if (element->state == Sized::Unresolved)
            return element;
        std::int64_t size = 0;
        if (__builtin_mul_overflow(count, element->size, &size) || !fitsInt32(size))
            return Sized::unresolved("array", UnresolvedReason::TooLarge);
        return Sized::known(element->btrieve, size);
    }

    std::optional<Sized> readNamedType(const Tokens& tokens, std::size_t& i, int depth)
    {
        const std::size_t start = i;
        const PascalToken name = tokens[i++];
        if (i < tokens.size() && tokens[i].is(".")) {
            // Another unit's name, "Unit.TType".
            while (i + 1 < tokens.size() && tokens[i].is(".") && tokens[i + 1].kind == PascalToken::Identifier)
                i += 2;
            return Sized::unresolved(textOf(tokens, start, i - 1), UnresolvedReason::NotDeclared);
        }
        const int k = firstTicked(std::array{name}, [](const PascalToken& t) { return t.text; });
        if (k >= 0) {
            std::int64_t count = 1;
            if (i < tokens.size() && tokens[i].is("[")) {
                ++i;
                const Count c = boundCount(tokens, i);
                if (i >= tokens.size() || !tokens[i].is("]"))
                    return std::nullopt;
                ++i;
                if (c.failed)
                    return c.failed;
                count = c.count;
            }
            return tickedSize(k, count);
        }
        if (i < tokens.size() && tokens[i].is("["))
            return std::nullopt;
        bool later = false;
        const int d = mDeclarations->find(name.text, name.pos, &later);
        if (d >= 0 && mDeclarations->declarations()[d].kind == PascalDeclarations::Kind::Type)
            return sizeOfDeclaration(d, name.text, depth + 1);
        if (isListedPascalType(name.text))
            return Sized{}; // a Pascal type of the list, not ticked
        if (d >= 0)
            return Sized::unresolved(name.text, UnresolvedReason::NotDeclared); // a constant, no type
        return Sized::unresolved(name.text, later ? UnresolvedReason::DeclaredLater : UnresolvedReason::NotDeclared);
    }

    // Type declaration d, sized once per scan.
    Sized sizeOfDeclaration(int d, std::string_view name, int depth)
    {
        TypeMemo& memo = mTypeMemo[d];
        if (memo.state == TypeMemo::Done)
            return memo.sized;
        if (memo.state == TypeMemo::InProgress)
            return Sized::unresolved(name, UnresolvedReason::Circular);
        // A SizeOf in a bound may lead into another declaration from within this one.
        if (depth > PascalDeclarations::kMaxDepth || mDeclarationsInProgress >= PascalDeclarations::kMaxDepth)
            return Sized::unresolved(name, UnresolvedReason::TooDeep);
        memo.state = TypeMemo::InProgress;
        ++mDeclarationsInProgress;
        const PascalDeclarations::Declaration& decl = mDeclarations->declarations()[d];
        Sized sized;
        Unresolved failure{std::string(name), UnresolvedReason::NotInteger};
        if (const auto range = mDeclarations->enumerationRange(d, &failure)) {
            sized = Sized::known(mUnsignedPosition, ordinalSize(range->first, range->second));
        } else if (failure.reason != UnresolvedReason::NotInteger || failure.name != name) {
            sized = Sized::unresolved(failure.name, failure.reason);
        } else {
            sized = sizeOfType(lexPascal(mSource, decl.begin, decl.end), depth);
        }
        --mDeclarationsInProgress;
        if (sized.state == Sized::Unresolved && sized.why.reason == UnresolvedReason::TooDeep) {
            memo.state = TypeMemo::Unvisited;
            return sized;
        }
        memo.state = TypeMemo::Done;
        memo.sized = sized;
        return sized;
    }

    struct TypeMemo {
        enum State : std::uint8_t { Unvisited, InProgress, Done } state = Unvisited;
        Sized sized;
    };

    std::string_view mSource;
    const TypeMap& mMapping;
    bool mResolve;
    std::vector<Ticked> mTicked; // in list order
    std::array<Rule, kPascalTypeCount> mRules{};
    std::string mBlanked;
    std::optional<PascalDeclarations> mDeclarations;
    std::vector<TypeMemo> mTypeMemo;
    std::deque<Tokens> mTokenPool; // a deque: growing it keeps the lists in use where they are
    std::size_t mPoolInUse = 0;
    int mDeclarationsInProgress = 0;
    std::vector<std::string_view> mTypeTokens; // the scanner's tokens of the type being resolved
    std::string mNames;                        // the names of the field being split, joined
    std::vector<std::string_view> mNameList;   // the same, one by one
    std::int32_t mUnsignedPosition = -1;
    std::int32_t mIntegerPosition = -1;
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

ScanResult scanPascalRecords(std::string_view source, const TypeMap& mapping, const ScanOptions& options)
{
    return PascalScanner(source, mapping, options).scan();
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
