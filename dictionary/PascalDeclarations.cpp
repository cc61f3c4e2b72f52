#include "PascalDeclarations.h"

#include "Text.h"

#include <algorithm>
#include <array>
#include <limits>

namespace dict {
namespace {

bool equalsUpper(std::string_view token, std::string_view upperWord)
{
    if (token.size() != upperWord.size())
        return false;
    for (std::size_t i = 0; i < token.size(); ++i)
        if (text::asciiUpper(token[i]) != upperWord[i])
            return false;
    return true;
}

constexpr std::array<std::uint8_t, 256> kIdentifierBytes = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
        table[c] = start ? 3 : (c >= '0' && c <= '9') ? 2 : 0;
    }
    return table;
}();

bool isIdentifierStart(unsigned char c)
{
    return kIdentifierBytes[c] & 1;
}

bool isIdentifierByte(unsigned char c)
{
    return kIdentifierBytes[c] != 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads tokens of source[begin, end) one at a time.
class Lexer {
public:
    Lexer(std::string_view source, std::size_t begin, std::size_t end)
        : mSource(source), mPos(begin), mEnd(end < source.size() ? end : source.size())
    {
    }

    // Moves past everything up to the next identifier that could be a section word (CONST,
    // TYPE, RESOURCESTRING) and returns it, or an End token: the fast way through code outside
    // the const and type sections, where nothing else matters.
    PascalToken nextSectionWord()
    {
        while (mPos < mEnd) {
            const std::size_t start = mPos;
            const std::string_view word = skipToWord();
            const std::size_t length = word.size();
            if (length == 0 || !isIdentifierStart(static_cast<unsigned char>(word.front())) ||
                (length != 4 && length != 5 && length != 14))
                continue;
            PascalToken token{PascalToken::Identifier, word, start};
            if (token.is("TYPE") || token.is("CONST") || token.is("RESOURCESTRING"))
                return token;
        }
        return PascalToken{PascalToken::End, {}, mPos};
    }

    // Moves past one piece of text: a quoted string (to its closing quote or the end of its
    // line), one byte that cannot be part of a word, or a whole word, which it returns (empty for
    // the others).
    std::string_view skipToWord()
    {
        const auto c = static_cast<unsigned char>(mSource[mPos]);
        if (c == '\'') {
            ++mPos;
            while (mPos < mEnd && mSource[mPos] != '\'' && mSource[mPos] != '\n' && mSource[mPos] != '\r')
                ++mPos;
            if (mPos < mEnd && mSource[mPos] == '\'')
                ++mPos;
            return {};
        }
        if (!isIdentifierByte(c)) {
            ++mPos;
            return {};
        }
        const std::size_t start = mPos;
        while (mPos < mEnd && isIdentifierByte(static_cast<unsigned char>(mSource[mPos])))
            ++mPos;
        return mSource.substr(start, mPos - start);
    }

    // Moves past a record's fields to the END that closes it (records within it nested), from
    // just after its RECORD word; returns the position after that END, or the end of the text.
    std::size_t skipRecordBody()
    {
        int depth = 1;
        while (mPos < mEnd) {
            const std::string_view word = skipToWord();
            if (word.size() == 3 && equalsUpper(word, "END")) {
                if (--depth == 0)
                    return mPos;
            } else if (word.size() == 6 && equalsUpper(word, "RECORD")) {
                ++depth;
            }
        }
        return mPos;
    }

    PascalToken next()
    {
        while (mPos < mEnd && static_cast<unsigned char>(mSource[mPos]) <= ' ')
            ++mPos;
        PascalToken token;
        token.pos = mPos;
        if (mPos >= mEnd)
            return token;
        const std::size_t start = mPos;
        const char c = mSource[mPos];
        if (isIdentifierStart(static_cast<unsigned char>(c))) {
            while (mPos < mEnd && isIdentifierByte(static_cast<unsigned char>(mSource[mPos])))
                ++mPos;
            token.kind = PascalToken::Identifier;
        } else if (isDigit(c)) {
            while (mPos < mEnd && isDigit(mSource[mPos]))
                ++mPos;
            // A real: "1.5" or "1e3"; "1..9" is a range.
            if (mPos + 1 < mEnd && mSource[mPos] == '.' && isDigit(mSource[mPos + 1])) {
                ++mPos;
                while (mPos < mEnd && isDigit(mSource[mPos]))
                    ++mPos;
            }
            if (mPos < mEnd && (mSource[mPos] == 'e' || mSource[mPos] == 'E')) {
                std::size_t p = mPos + 1;
                if (p < mEnd && (mSource[p] == '+' || mSource[p] == '-'))
                    ++p;
                if (p < mEnd && isDigit(mSource[p])) {
                    mPos = p;
                    while (mPos < mEnd && isDigit(mSource[mPos]))
                        ++mPos;
                }
            }
            token.kind = PascalToken::Number;
        } else if (c == '$' && mPos + 1 < mEnd && isHexDigit(mSource[mPos + 1])) {
            ++mPos;
            while (mPos < mEnd && isHexDigit(mSource[mPos]))
                ++mPos;
            token.kind = PascalToken::Number;
        } else if (c == '\'' || c == '#') {
            // Quoted texts and character codes, joined as Pascal joins them: 'a'#13'b'.
            while (mPos < mEnd && (mSource[mPos] == '\'' || mSource[mPos] == '#')) {
                if (mSource[mPos] == '#') {
                    ++mPos;
                    if (mPos < mEnd && mSource[mPos] == '$')
                        ++mPos;
                    while (mPos < mEnd && isHexDigit(mSource[mPos]))
                        ++mPos;
                    continue;
                }
                ++mPos;
                while (mPos < mEnd && mSource[mPos] != '\'' && mSource[mPos] != '\n' && mSource[mPos] != '\r')
                    ++mPos;
                if (mPos < mEnd && mSource[mPos] == '\'')
                    ++mPos;
                else
                    break;
            }
            token.kind = PascalToken::Text;
        } else {
            token.kind = PascalToken::Symbol;
            ++mPos;
            if (mPos < mEnd) {
                const char d = mSource[mPos];
                if ((c == '.' && d == '.') || (c == ':' && d == '=') || (c == '<' && (d == '=' || d == '>')) ||
                    (c == '>' && d == '='))
                    ++mPos;
            }
        }
        token.text = mSource.substr(start, mPos - start);
        return token;
    }

private:
    std::string_view mSource;
    std::size_t mPos;
    std::size_t mEnd;
};

// Words that end a const or type section.
bool endsSection(const PascalToken& t)
{
    static constexpr std::array<std::string_view, 22> kWords = {
        "VAR",        "THREADVAR",      "LABEL",        "PROCEDURE", "FUNCTION", "CONSTRUCTOR",
        "DESTRUCTOR", "OPERATOR",       "BEGIN",        "IMPLEMENTATION", "INTERFACE", "USES",
        "INITIALIZATION", "FINALIZATION", "END",        "PROGRAM",   "UNIT",     "LIBRARY",
        "EXPORTS",    "ASM",            "PROPERTY",     "CLASS",
    };
    if (t.kind != PascalToken::Identifier)
        return false;
    for (std::string_view w : kWords)
        if (equalsUpper(t.text, w))
            return true;
    return false;
}

// Words that open a block closed by END inside a type declaration.
bool opensBlock(const PascalToken& t)
{
    return t.kind == PascalToken::Identifier &&
           (t.is("RECORD") || t.is("CLASS") || t.is("OBJECT") || t.is("INTERFACE") || t.is("DISPINTERFACE"));
}

bool checkedAdd(std::int64_t a, std::int64_t b, std::int64_t& out)
{
    return !__builtin_add_overflow(a, b, &out);
}
bool checkedSub(std::int64_t a, std::int64_t b, std::int64_t& out)
{
    return !__builtin_sub_overflow(a, b, &out);
}
bool checkedMul(std::int64_t a, std::int64_t b, std::int64_t& out)
{
    return !__builtin_mul_overflow(a, b, &out);
}

PascalDeclarations::Value failed(std::string_view name, UnresolvedReason reason)
{
    PascalDeclarations::Value v;
    v.unresolved = {std::string(name), reason};
    return v;
}

PascalDeclarations::Value valueOf(std::int64_t n)
{
    PascalDeclarations::Value v;
    v.value = n;
    return v;
}

std::string_view tokenText(const std::vector<PascalToken>& tokens, std::size_t i)
{
    return i < tokens.size() ? tokens[i].text : std::string_view();
}

// FNV-1a over the name with ASCII letters upper-cased.
std::uint64_t nameHash(std::string_view name)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(text::asciiUpper(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::string_view reasonText(UnresolvedReason reason)
{
    switch (reason) {
    case UnresolvedReason::NotDeclared:
        return "not declared in this unit";
    case UnresolvedReason::DeclaredLater:
        return "declared after its use";
    case UnresolvedReason::Circular:
        return "circular declaration";
    case UnresolvedReason::NotInteger:
        return "not an integer constant";
    case UnresolvedReason::EmptyRange:
        return "empty range";
    case UnresolvedReason::TooLarge:
        return "beyond 32 bits or divided by zero";
    case UnresolvedReason::TooDeep:
        return "nested too deeply";
    case UnresolvedReason::NotSized:
        return "a form of type not sized";
    case UnresolvedReason::NotMapped:
        return "not ticked in the type mapping";
    case UnresolvedReason::CompilerBound:
        return "depends on the compiler";
    }
    return "unknown";
}

std::optional<std::pair<std::int64_t, std::int64_t>> builtinOrdinalRange(std::string_view name)
{
    static const std::pair<std::string_view, std::pair<std::int64_t, std::int64_t>> kRanges[] = {
        {"BOOLEAN", {0, 1}},       {"BYTE", {0, 255}},
        {"CHAR", {0, 255}},        {"ANSICHAR", {0, 255}},
        {"SHORTINT", {-128, 127}}, {"WORD", {0, 65535}},
        {"WIDECHAR", {0, 65535}},  {"SMALLINT", {-32768, 32767}},
    };
    for (const auto& [word, range] : kRanges)
        if (equalsUpper(name, word))
            return range;
    return std::nullopt;
}

std::size_t lexRecordBody(std::string_view blanked, std::size_t afterRecord, std::vector<PascalToken>& tokens)
{
    tokens.clear();
    Lexer lexer(blanked, afterRecord, blanked.size());
    int depth = 1;
    for (PascalToken t = lexer.next(); t.kind != PascalToken::End; t = lexer.next()) {
        tokens.push_back(t);
        if (t.kind != PascalToken::Identifier || (t.text.size() != 3 && t.text.size() != 6))
            continue;
        if (t.is("END") && --depth == 0)
            return t.pos + t.text.size();
        if (t.is("RECORD"))
            ++depth;
    }
    return blanked.size();
}

std::string blankPascalComments(std::string_view source)
{
    // Bytes that may start a comment or a quoted text, or become a space.
    static constexpr std::array<bool, 256> kSpecial = [] {
        std::array<bool, 256> table{};
        for (unsigned char c : {'{', '(', '/', '\'', '\t', '\v', '\f'})
            table[c] = true;
        return table;
    }();
    std::string out(source);
    const std::size_t n = out.size();
    std::size_t i = 0;
    const auto blank = [&out](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k)
            if (out[k] != '\n' && out[k] != '\r')
                out[k] = ' ';
    };
    while (i < n) {
        while (i < n && !kSpecial[static_cast<unsigned char>(out[i])])
            ++i;
        if (i >= n)
            break;
        const char c = out[i];
        if (c == '{') {
            const std::size_t close = source.find('}', i + 1);
            const std::size_t end = close == std::string_view::npos ? n : close + 1;
            blank(i, end);
            i = end;
        } else if (c == '(' && i + 1 < n && out[i + 1] == '*') {
            const std::size_t close = source.find("*)", i + 2);
            const std::size_t end = close == std::string_view::npos ? n : close + 2;
            blank(i, end);
            i = end;
        } else if (c == '/' && i + 1 < n && out[i + 1] == '/') {
            std::size_t end = i;
            while (end < n && out[end] != '\n' && out[end] != '\r')
                ++end;
            blank(i, end);
            i = end;
        } else if (c == '\'') {
            ++i;
            while (i < n && out[i] != '\'' && out[i] != '\n' && out[i] != '\r')
                ++i;
            if (i < n && out[i] == '\'')
                ++i;
        } else {
            if (c == '\t' || c == '\v' || c == '\f')
                out[i] = ' ';
            ++i;
        }
    }
    return out;
}

std::vector<PascalToken> lexPascal(std::string_view source, std::size_t begin, std::size_t end)
{
    std::vector<PascalToken> tokens;
    lexPascal(source, begin, end, tokens);
    return tokens;
}

void lexPascal(std::string_view source, std::size_t begin, std::size_t end, std::vector<PascalToken>& tokens)
{
    tokens.clear();
    Lexer lexer(source, begin, end);
    for (PascalToken t = lexer.next(); t.kind != PascalToken::End; t = lexer.next())
        tokens.push_back(t);
}

// ---- Reading the sections ----

PascalDeclarations::PascalDeclarations(std::string_view blanked) : mSource(blanked)
{
    read();
    std::sort(mByName.begin(), mByName.end()); // declarations of one name stay in source order
    mMemo.resize(mDeclarations.size());
}

void PascalDeclarations::evaluateConstantsInOrder()
{
    if (mConstantsEvaluated)
        return;
    mConstantsEvaluated = true;
    // Constants in source order: each finds the ones it uses evaluated already, so a long chain
    // of them never nests.
    for (std::size_t d = 0; d < mDeclarations.size(); ++d)
        if (mDeclarations[d].kind == Kind::Constant || mDeclarations[d].kind == Kind::EnumValue)
            constantValue(static_cast<int>(d));
}

void PascalDeclarations::read()
{
    enum class Section { None, Const, Type } section = Section::None;
    Lexer lexer(mSource, 0, mSource.size());
    // Tokens read ahead: a ring, peeked at most kAhead - 1 tokens ahead.
    constexpr std::size_t kAhead = 128;
    std::array<PascalToken, kAhead> ahead;
    std::size_t head = 0;
    std::size_t count = 0;
    const auto next = [&]() {
        if (count == 0)
            return section == Section::None ? lexer.nextSectionWord() : lexer.next();
        const PascalToken t = ahead[head];
        head = (head + 1) % kAhead;
        --count;
        return t;
    };
    const auto peek = [&](std::size_t k) -> const PascalToken& {
        while (count <= k)
            ahead[(head + count++) % kAhead] = lexer.next();
        return ahead[(head + k) % kAhead];
    };
    const auto add = [this](Kind kind, const PascalToken& name, std::size_t begin, std::size_t end) {
        Declaration d;
        d.kind = kind;
        d.namePos = name.pos;
        d.begin = begin;
        d.end = end;
        mByName.emplace_back(nameHash(name.text), static_cast<int>(mDeclarations.size()));
        mDeclarations.push_back(d);
        return static_cast<int>(mDeclarations.size() - 1);
    };

    for (PascalToken t = next(); t.kind != PascalToken::End; t = next()) {
        if (t.kind != PascalToken::Identifier)
            continue;
        if (t.is("CONST") || t.is("RESOURCESTRING")) {
            section = Section::Const;
            continue;
        }
        if (t.is("TYPE")) {
            section = Section::Type;
            continue;
        }
        if (endsSection(t)) {
            section = Section::None;
            continue;
        }
        if (section == Section::None)
            continue;
        const PascalToken& after = peek(0);
        if (section == Section::Const && after.is(":")) {
            // A typed constant: a variable with a starting value, no constant of expressions.
            add(Kind::TypedConstant, t, after.pos, after.pos);
            int depth = 0;
            for (PascalToken u = next(); u.kind != PascalToken::End; u = next()) {
                if (u.is("(") || u.is("["))
                    ++depth;
                else if ((u.is(")") || u.is("]")) && depth > 0)
                    --depth;
                else if (u.is(";") && depth == 0)
                    break;
            }
            continue;
        }
        if (!after.is("="))
            continue;
        const PascalToken name = t;
        next(); // "="
        const std::size_t begin = peek(0).pos;
        std::size_t end = begin;
        std::size_t recordPos = std::string_view::npos;
        if (section == Section::Type) {
            // A record: its fields are the scanner's to read; here it is only passed over.
            const bool packed = peek(0).is("PACKED");
            if (peek(packed ? 1 : 0).is("RECORD") && count == (packed ? 2u : 1u)) {
                recordPos = peek(packed ? 1 : 0).pos;
                count = 0;
                end = lexer.skipRecordBody();
                const int d = add(Kind::Type, name, begin, end);
                mDeclarations[d].recordPos = recordPos;
                continue;
            }
        }
        const bool enumeration = section == Section::Type && peek(0).is("(");
        int parens = 0;
        int blocks = 0;
        bool first = true;
        for (;;) {
            const PascalToken& u = peek(0);
            if (u.kind == PascalToken::End)
                break;
            if (parens == 0 && blocks == 0 && u.is(";"))
                break;
            if (section == Section::Type && blocks == 0 && parens == 0 && !first && endsSection(u) &&
                !u.is("CLASS") && !u.is("PROCEDURE") && !u.is("FUNCTION") && !u.is("INTERFACE"))
                break; // a declaration without its ";": the section went on without it
            if (u.is("(") || u.is("["))
                ++parens;
            else if ((u.is(")") || u.is("]")) && parens > 0)
                --parens;
            else if (section == Section::Type && parens == 0 && opensBlock(u)) {
                // "class;", "class of T" and "class(TBase);" open nothing.
                const PascalToken& v = peek(1);
                const bool opens = !(u.is("CLASS") || u.is("INTERFACE") || u.is("DISPINTERFACE") ||
                                     u.is("OBJECT")) ||
                                   !(v.is(";") || v.is("OF"));
                bool shortClass = false;
                if (opens && (u.is("CLASS") || u.is("INTERFACE")) && v.is("(")) {
                    std::size_t k = 2;
                    while (peek(k).kind != PascalToken::End && !peek(k).is(")") && k < kAhead - 2)
                        ++k;
                    shortClass = peek(k).is(")") && peek(k + 1).is(";");
                }
                if (opens && !shortClass) {
                    if (u.is("RECORD") && blocks == 0 && recordPos == std::string_view::npos)
                        recordPos = u.pos;
                    ++blocks;
                }
            } else if (section == Section::Type && parens == 0 && blocks > 0 && u.is("END")) {
                --blocks;
            }
            end = u.pos + u.text.size();
            first = false;
            next();
        }
        if (section == Section::Const) {
            add(Kind::Constant, name, begin, end);
            continue;
        }
        const int d = add(Kind::Type, name, begin, end);
        mDeclarations[d].recordPos = recordPos;
        if (enumeration) {
            // Its values are constants too: "(Red, Green = 5, Blue)".
            const std::vector<PascalToken> tokens = lexPascal(mSource, begin, end);
            int index = 0;
            bool expectName = true;
            int depth = 0;
            for (std::size_t i = 1; i < tokens.size(); ++i) {
                const PascalToken& u = tokens[i];
                if (u.is("("))
                    ++depth;
                else if (u.is(")") && depth-- == 0)
                    break;
                else if (u.is(",") && depth == 0)
                    expectName = true;
                else if (expectName && depth == 0 && u.kind == PascalToken::Identifier) {
                    const int v = add(Kind::EnumValue, u, u.pos, u.pos);
                    mDeclarations[v].enumType = d;
                    mDeclarations[v].enumIndex = index++;
                    expectName = false;
                }
            }
        }
    }
}

int PascalDeclarations::find(std::string_view name, std::size_t usePos, bool* later) const
{
    if (later)
        *later = false;
    const std::uint64_t hash = nameHash(name);
    auto it = std::lower_bound(mByName.begin(), mByName.end(), std::make_pair(hash, std::numeric_limits<int>::min()));
    int found = -1;
    bool any = false;
    for (; it != mByName.end() && it->first == hash; ++it) {
        const Declaration& d = mDeclarations[it->second];
        if (!text::equalIgnoringAsciiCase(mSource.substr(d.namePos, name.size()), name) ||
            (d.namePos + name.size() < mSource.size() &&
             isIdentifierByte(static_cast<unsigned char>(mSource[d.namePos + name.size()]))))
            continue;
        any = true;
        if (d.namePos < usePos)
            found = it->second;
        else
            break;
    }
    if (!any)
        return -1;
    if (found < 0 && later)
        *later = true;
    return found;
}

// ---- Constant expressions ----

PascalDeclarations::Value PascalDeclarations::evaluate(const std::vector<PascalToken>& tokens, std::size_t& i)
{
    evaluateConstantsInOrder();
    return expression(tokens, i, 0);
}

PascalDeclarations::Value PascalDeclarations::expression(const std::vector<PascalToken>& tokens, std::size_t& i,
                                                         int depth)
{
    if (depth > kMaxDepth)
        return failed(tokenText(tokens, i), UnresolvedReason::TooDeep);
    Value left = term(tokens, i, depth);
    while (left.value && i < tokens.size() && (tokens[i].is("+") || tokens[i].is("-"))) {
        const bool plus = tokens[i].is("+");
        ++i;
        Value right = term(tokens, i, depth);
        if (!right.value)
            return right;
        std::int64_t out = 0;
        if (!(plus ? checkedAdd(*left.value, *right.value, out) : checkedSub(*left.value, *right.value, out)))
            return failed(tokens[i - 1].text, UnresolvedReason::TooLarge);
        left.value = out;
    }
    return left;
}

PascalDeclarations::Value PascalDeclarations::term(const std::vector<PascalToken>& tokens, std::size_t& i,
                                                   int depth)
{
    Value left = factor(tokens, i, depth);
    while (left.value && i < tokens.size() &&
           (tokens[i].is("*") || tokens[i].is("DIV") || tokens[i].is("MOD"))) {
        const PascalToken op = tokens[i++];
        Value right = factor(tokens, i, depth);
        if (!right.value)
            return right;
        std::int64_t out = 0;
        if (op.is("*")) {
            if (!checkedMul(*left.value, *right.value, out))
                return failed(op.text, UnresolvedReason::TooLarge);
        } else {
            if (*right.value == 0 || (*left.value == INT64_MIN && *right.value == -1))
                return failed(op.text, UnresolvedReason::TooLarge);
            out = op.is("DIV") ? *left.value / *right.value : *left.value % *right.value;
        }
        left.value = out;
    }
    return left;
}

PascalDeclarations::Value PascalDeclarations::factor(const std::vector<PascalToken>& tokens, std::size_t& i,
                                                     int depth)
{
    if (depth > kMaxDepth)
        return failed(tokenText(tokens, i), UnresolvedReason::TooDeep);
    if (i >= tokens.size())
        return failed("", UnresolvedReason::NotInteger);
    const PascalToken& t = tokens[i];
    if (t.is("-") || t.is("+")) {
        ++i;
        Value v = factor(tokens, i, depth + 1);
        if (v.value && t.is("-")) {
            if (*v.value == INT64_MIN)
                return failed(t.text, UnresolvedReason::TooLarge);
            v.value = -*v.value;
        }
        return v;
    }
    if (t.is("("))
        return parenthesised(tokens, i, depth, t.text);
    if (t.kind == PascalToken::Number) {
        ++i;
        std::int64_t n = 0;
        const bool hex = t.text.front() == '$';
        for (char c : t.text.substr(hex ? 1 : 0)) {
            int digit = 0;
            if (isDigit(c))
                digit = c - '0';
            else if (hex && isHexDigit(c))
                digit = text::asciiUpper(c) - 'A' + 10;
            else
                return failed(t.text, UnresolvedReason::NotInteger); // a real
            if (!checkedMul(n, hex ? 16 : 10, n) || !checkedAdd(n, digit, n))
                return failed(t.text, UnresolvedReason::TooLarge);
        }
        return valueOf(n);
    }
    if (t.kind == PascalToken::Text) {
        // One character, 'a' or #97: its code, as an ordinal bound.
        ++i;
        const std::string_view x = t.text;
        if (x.size() == 3 && x.front() == '\'' && x.back() == '\'' && x[1] != '\'')
            return valueOf(static_cast<unsigned char>(x[1]));
        if (x == "''''")
            return valueOf('\'');
        if (x.size() >= 2 && x.front() == '#') {
            std::size_t j = 0;
            const std::vector<PascalToken> code = lexPascal(x, 1, x.size());
            if (code.size() == 1 && code[0].kind == PascalToken::Number) {
                Value v = factor(code, j, depth + 1);
                if (v.value && *v.value >= 0 && *v.value <= 0xFFFF)
                    return v;
            }
        }
        return failed(t.text, UnresolvedReason::NotInteger);
    }
    if (t.kind == PascalToken::Identifier) {
        ++i;
        if (i < tokens.size() && tokens[i].is("("))
            return intrinsic(t, tokens, i, depth);
        return nameValue(t);
    }
    return failed(t.text, UnresolvedReason::NotInteger);
}

PascalDeclarations::Value PascalDeclarations::nameValue(const PascalToken& name)
{
    bool later = false;
    const int d = find(name.text, name.pos, &later);
    if (d < 0 && !later && (name.is("TRUE") || name.is("FALSE")))
        return valueOf(name.is("TRUE") ? 1 : 0);
    if (d < 0)
        return failed(name.text, later ? UnresolvedReason::DeclaredLater : UnresolvedReason::NotDeclared);
    const Kind kind = mDeclarations[d].kind;
    if (kind != Kind::Constant && kind != Kind::EnumValue)
        return failed(name.text, UnresolvedReason::NotInteger);
    Value v = constantValue(d);
    // A constant that is there but no integer is named itself, not by its text.
    if (!v.value && (v.unresolved.name.empty() || v.unresolved.reason == UnresolvedReason::NotInteger))
        v.unresolved.name = name.text;
    return v;
}

PascalDeclarations::Value PascalDeclarations::parenthesised(const std::vector<PascalToken>& tokens,
                                                            std::size_t& i, int depth, std::string_view name)
{
    ++i; // "("
    Value v = expression(tokens, i, depth + 1);
    if (!v.value)
        return v;
    if (i >= tokens.size() || !tokens[i].is(")"))
        return failed(name, UnresolvedReason::NotInteger);
    ++i;
    return v;
}

// Ord, Succ, Pred and Chr of a constant expression; High and Low of an ordinal type, an array or
// a string type; SizeOf a type. Entered with i at the "(" after the name.
PascalDeclarations::Value PascalDeclarations::intrinsic(const PascalToken& name,
                                                        const std::vector<PascalToken>& tokens,
                                                        std::size_t& i, int depth)
{
    const bool high = name.is("HIGH");
    if (high || name.is("LOW") || name.is("SIZEOF")) {
        if (i + 2 >= tokens.size() || tokens[i + 1].kind != PascalToken::Identifier || !tokens[i + 2].is(")"))
            return failed(name.text, UnresolvedReason::NotInteger);
        const PascalToken& argument = tokens[i + 1];
        i += 3;
        if (name.is("SIZEOF"))
            return mSizeOf ? mSizeOf(argument) : failed(argument.text, UnresolvedReason::NotSized);
        const Range r = typeRange(argument, depth + 1, true);
        if (!r.range) {
            Value v;
            v.unresolved = r.failure;
            return v;
        }
        return valueOf(high ? r.range->second : r.range->first);
    }
    const bool succ = name.is("SUCC");
    const bool pred = name.is("PRED");
    const bool chr = name.is("CHR");
    if (!(succ || pred || chr || name.is("ORD")))
        return failed(name.text, UnresolvedReason::NotInteger); // a function of no constant value
    const Value v = parenthesised(tokens, i, depth, name.text);
    if (!v.value)
        return v;
    std::int64_t out = *v.value;
    if ((succ && !checkedAdd(out, 1, out)) || (pred && !checkedSub(out, 1, out)) ||
        (chr && (out < 0 || out > 0xFFFF)))
        return failed(name.text, UnresolvedReason::TooLarge);
    return valueOf(out);
}

PascalDeclarations::Value PascalDeclarations::constantValue(int d)
{
    evaluateConstantsInOrder();
    Memo& memo = mMemo[d];
    if (memo.state == State::Done)
        return memo.value;
    if (memo.state == State::InProgress)
        return failed("", UnresolvedReason::Circular); // the caller names it
    if (mDepth >= kMaxDepth)
        return failed("", UnresolvedReason::TooDeep);
    memo.state = State::InProgress;
    ++mDepth;
    const Declaration decl = mDeclarations[d];
    Value v;
    if (decl.kind == Kind::EnumValue) {
        Unresolved failure;
        std::int64_t value = 0;
        // The value of member `enumIndex`: its own "= expression", else the one before plus 1.
        const std::vector<PascalToken> tokens = lexPascal(mSource, mDeclarations[decl.enumType].begin,
                                                          mDeclarations[decl.enumType].end);
        int index = -1;
        bool ok = true;
        for (std::size_t i = 1; i < tokens.size() && index < decl.enumIndex;) {
            if (tokens[i].kind != PascalToken::Identifier) {
                ++i;
                continue;
            }
            ++index;
            ++i;
            if (i < tokens.size() && tokens[i].is("=")) {
                ++i;
                Value own = expression(tokens, i, 0);
                if (!own.value) {
                    v = own;
                    ok = false;
                    break;
                }
                value = *own.value;
            } else if (index > 0) {
                ++value;
            }
            while (i < tokens.size() && !tokens[i].is(",") && !tokens[i].is(")"))
                ++i;
            if (i < tokens.size())
                ++i;
        }
        if (ok)
            v = valueOf(value);
    } else {
        const std::vector<PascalToken> tokens = lexPascal(mSource, decl.begin, decl.end);
        std::size_t i = 0;
        v = expression(tokens, i, 0);
        if (v.value && i != tokens.size())
            v = failed(tokenText(tokens, i), UnresolvedReason::NotInteger);
    }
    --mDepth;
    if (!v.value && v.unresolved.reason == UnresolvedReason::TooDeep) {
        memo.state = State::Unvisited; // not this declaration's fault: another path may reach it
        return v;
    }
    memo.state = State::Done;
    memo.value = v;
    return v;
}

std::optional<std::pair<std::int64_t, std::int64_t>> PascalDeclarations::enumerationRange(int d,
                                                                                          Unresolved* failure)
{
    evaluateConstantsInOrder();
    const Declaration& decl = mDeclarations[d];
    if (decl.kind != Kind::Type)
        return std::nullopt;
    std::optional<std::pair<std::int64_t, std::int64_t>> range;
    for (std::size_t v = static_cast<std::size_t>(d) + 1; v < mDeclarations.size(); ++v) {
        if (mDeclarations[v].kind != Kind::EnumValue || mDeclarations[v].enumType != d)
            break;
        const Value value = constantValue(static_cast<int>(v));
        if (!value.value) {
            if (failure)
                *failure = value.unresolved;
            return std::nullopt;
        }
        if (!range)
            range = std::make_pair(*value.value, *value.value);
        range->first = std::min(range->first, *value.value);
        range->second = std::max(range->second, *value.value);
    }
    return range;
}

// ---- Ordinal ranges ----

namespace {

PascalDeclarations::Range noRange(std::string_view name, UnresolvedReason reason)
{
    PascalDeclarations::Range r;
    r.failure = {std::string(name), reason};
    return r;
}

PascalDeclarations::Range rangeOf(std::int64_t lo, std::int64_t hi)
{
    PascalDeclarations::Range r;
    r.range = std::make_pair(lo, hi);
    return r;
}

// Integer types whose range the language leaves to the compiler (16 or 32 bits).
bool isCompilerBoundType(std::string_view name)
{
    for (std::string_view word :
         {"INTEGER", "CARDINAL", "LONGINT", "LONGWORD", "INT64", "UINT64", "NATIVEINT", "NATIVEUINT", "COMP"})
        if (equalsUpper(name, word))
            return true;
    return false;
}

} // namespace

PascalDeclarations::Range PascalDeclarations::typeRange(const PascalToken& name, int depth, bool arrays)
{
    bool later = false;
    const int d = find(name.text, name.pos, &later);
    if (d >= 0 && mDeclarations[d].kind == Kind::Type)
        return declarationRange(d, name.text, depth + 1, arrays);
    if (d < 0) {
        if (const auto range = builtinOrdinalRange(name.text))
            return rangeOf(range->first, range->second);
        if (!later && isCompilerBoundType(name.text))
            return noRange(name.text, UnresolvedReason::CompilerBound);
        return noRange(name.text, later ? UnresolvedReason::DeclaredLater : UnresolvedReason::NotDeclared);
    }
    return noRange(name.text, UnresolvedReason::NotInteger); // a constant, no type
}

PascalDeclarations::Range PascalDeclarations::declarationRange(int d, std::string_view name, int depth,
                                                               bool arrays)
{
    if (depth > kMaxDepth)
        return noRange(name, UnresolvedReason::TooDeep);
    Unresolved failure{std::string(name), UnresolvedReason::NotInteger};
    if (const auto range = enumerationRange(d, &failure))
        return rangeOf(range->first, range->second);
    if (failure.reason != UnresolvedReason::NotInteger || failure.name != name)
        return noRange(failure.name, failure.reason);
    const Declaration& decl = mDeclarations[d];
    const std::vector<PascalToken> tokens = lexPascal(mSource, decl.begin, decl.end);
    std::size_t i = 0;
    while (i < tokens.size() && tokens[i].is("TYPE"))
        ++i;
    if (i + 1 == tokens.size() && tokens[i].kind == PascalToken::Identifier) {
        const int alias = find(tokens[i].text, tokens[i].pos);
        if (alias == d)
            return noRange(name, UnresolvedReason::Circular);
        if (alias >= 0 && mDeclarations[alias].kind == Kind::Type)
            return declarationRange(alias, tokens[i].text, depth + 1, arrays);
        if (const auto range = builtinOrdinalRange(tokens[i].text))
            return rangeOf(range->first, range->second);
    }
    if (arrays) {
        std::size_t j = i;
        while (j < tokens.size() && tokens[j].is("PACKED"))
            ++j;
        if (j + 1 < tokens.size() && tokens[j].is("ARRAY") && tokens[j + 1].is("[")) {
            i = j + 2; // its first index: a type, else "lo..hi" as below
            if (std::optional<Range> r = indexTypeRange(tokens, i, depth + 1))
                return *r;
        }
        if (j + 1 < tokens.size() && tokens[j].is("STRING") && tokens[j + 1].is("[")) {
            j += 2;
            const Value n = evaluate(tokens, j);
            if (!n.value)
                return noRange(n.unresolved.name, n.unresolved.reason);
            return rangeOf(0, *n.value);
        }
    }
    const std::size_t start = i;
    const Value lo = evaluate(tokens, i);
    if (lo.value && i < tokens.size() && tokens[i].is("..")) {
        ++i;
        const Value hi = evaluate(tokens, i);
        if (!hi.value)
            return noRange(hi.unresolved.name, hi.unresolved.reason);
        return rangeOf(*lo.value, *hi.value);
    }
    if (!lo.value && i > start)
        return noRange(lo.unresolved.name, lo.unresolved.reason);
    return noRange(name, UnresolvedReason::NotInteger); // no ordinal type
}

std::optional<PascalDeclarations::Range>
PascalDeclarations::indexTypeRange(const std::vector<PascalToken>& tokens, std::size_t& i, int depth)
{
    if (i + 1 < tokens.size() && tokens[i].is("(") && tokens[i + 1].kind == PascalToken::Identifier) {
        // An enumeration written in place: its names counted from 0.
        std::int64_t names = 0;
        std::size_t j = i + 1;
        for (; j < tokens.size() && !tokens[j].is(")"); ++j)
            names +=
                tokens[j].kind == PascalToken::Identifier && (tokens[j - 1].is("(") || tokens[j - 1].is(","));
        if (j < tokens.size()) {
            i = j + 1;
            return rangeOf(0, names - 1);
        }
    }
    if (i + 1 < tokens.size() && tokens[i].kind == PascalToken::Identifier &&
        (tokens[i + 1].is(",") || tokens[i + 1].is("]"))) {
        const PascalToken& name = tokens[i];
        const int d = find(name.text, name.pos);
        if ((d >= 0 && mDeclarations[d].kind == Kind::Type) || (d < 0 && builtinOrdinalRange(name.text))) {
            ++i;
            return typeRange(name, depth);
        }
    }
    return std::nullopt;
}

} // namespace dict
