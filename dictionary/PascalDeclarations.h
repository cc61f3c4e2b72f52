#pragma once
// What a Pascal unit declares for itself: its integer constants and its types, read so that the
// record scanner can size fields whose bounds are named constants or expressions and whose types
// are declared in the same unit. Still a token reader, not a compiler: it follows the `const` and
// `type` sections of one source, knows no other unit, and evaluates only integer constant
// expressions (decimal and $ hex literals, earlier constants, + - * div mod and parentheses).
//
// Names are matched ignoring the case of ASCII letters, as Pascal does. A name is seen from the
// places after its declaration only: a constant used before it is declared is "declared after its
// use", a type that reaches itself again is "circular".
//
// The source is taken as single bytes (Latin-1), as the scanner takes it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

// The source with its comments of all three kinds ({...}, (*...*), // to the end of the line)
// and its tabs, vertical tabs and form feeds turned into spaces; same length, so positions stay.
// Text in quotes ('...', ending at the closing quote or the end of the line) is kept.
std::string blankPascalComments(std::string_view source);

// A token of the expression and type reader.
struct PascalToken {
    enum Kind : std::uint8_t { End, Identifier, Number, Text, Symbol };
    Kind kind = End;
    std::string_view text; // a view into the source
    std::size_t pos = 0;   // where it starts in the source

    // An identifier or symbol equal to it (ASCII case ignored).
    bool is(std::string_view upperWord) const
    {
        if (kind < Identifier || kind == Number || kind == Text || text.size() != upperWord.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c) != upperWord[i])
                return false;
        }
        return true;
    }
};

// The tokens of source[begin, end) of a blanked source: identifiers, numbers (decimal, $ hex,
// reals), quoted texts and # character codes, and symbols (".." ":=" "<=" ">=" "<>" and single
// characters).
std::vector<PascalToken> lexPascal(std::string_view source, std::size_t begin, std::size_t end);
// The same into `tokens`, which is cleared first (its storage kept).
void lexPascal(std::string_view source, std::size_t begin, std::size_t end, std::vector<PascalToken>& tokens);

// Why a name stays unknown.
enum class UnresolvedReason : std::uint8_t {
    NotDeclared,   // not declared in this unit (another unit's, or none)
    DeclaredLater, // declared after the place that uses it
    Circular,      // its declaration leads back to itself
    NotInteger,    // not an integer constant expression
    EmptyRange,    // a range whose upper bound is below its lower bound
    TooLarge,      // a value or size beyond 32 bits, or a division by zero
    TooDeep,       // declarations nested beyond what is followed
    NotSized,      // a form of type whose size is not read: pointers, sets, files, procedures, classes
    NotMapped,     // SizeOf a Pascal type of the mapping that is not ticked
    CompilerBound, // the range of Integer and the like, the size of a 3-byte set: compilers differ
};
inline constexpr UnresolvedReason kUnresolvedReasons[] = {
    UnresolvedReason::NotDeclared,   UnresolvedReason::DeclaredLater, UnresolvedReason::Circular,
    UnresolvedReason::NotInteger,    UnresolvedReason::EmptyRange,    UnresolvedReason::TooLarge,
    UnresolvedReason::TooDeep,       UnresolvedReason::NotSized,      UnresolvedReason::NotMapped,
    UnresolvedReason::CompilerBound,
};
std::string_view reasonText(UnresolvedReason reason);

// A name that could not be resolved and why.
struct Unresolved {
    std::string name;
    UnresolvedReason reason = UnresolvedReason::NotDeclared;
};

// The lowest and highest values of an ordinal type of the language itself (Boolean, Byte, Char,
// ShortInt, Word, WideChar, SmallInt), or nullopt.
std::optional<std::pair<std::int64_t, std::int64_t>> builtinOrdinalRange(std::string_view name);

// The tokens of a record's fields in a blanked source, from `afterRecord` (just after its RECORD
// word) to the END that closes it, included (records within it nested; a variant part has no END
// of its own), into `tokens`, which is cleared first. Returns the position just past that END, or
// the source's size when the record is not closed.
std::size_t lexRecordBody(std::string_view blanked, std::size_t afterRecord,
                          std::vector<PascalToken>& tokens);

// The const and type declarations of one blanked source (blankPascalComments), with the
// constant evaluator. Types are only found here; sizing them needs the type mapping and is the
// scanner's (PascalScanner.cpp).
class PascalDeclarations {
public:
    enum class Kind : std::uint8_t { Constant, TypedConstant, Type, EnumValue };
    struct Declaration {
        Kind kind = Kind::Constant;
        std::size_t namePos = 0;                       // where its name is written
        std::size_t begin = 0, end = 0;                // the value or type after "=", to the ";"
        std::size_t recordPos = std::string_view::npos; // a record type: its RECORD word
        std::int32_t enumType = -1;                    // EnumValue: the enumeration's declaration
        std::int32_t enumIndex = 0;                    // EnumValue: its place in the list
    };

    explicit PascalDeclarations(std::string_view blanked);

    std::string_view source() const { return mSource; }
    const std::vector<Declaration>& declarations() const { return mDeclarations; }

    // The declaration of `name` seen from `usePos`: the last one declared before it. When the
    // name is declared only after usePos, `later` is set and the result is -1.
    int find(std::string_view name, std::size_t usePos, bool* later = nullptr) const;

    // Value of the constant expression tokens[i, ...), read as far as it goes; `i` is left after
    // it. Names are looked up from their own positions. The constants are evaluated in source
    // order at the first call, so a long chain of them never nests.
    struct Value {
        std::optional<std::int64_t> value;
        Unresolved unresolved; // when there is no value
    };
    // SizeOf(name): sizing needs the type mapping, so the scanner gives it. Set it before the
    // first evaluation; without it SizeOf is "a form of type not sized".
    void setSizeOf(std::function<Value(const PascalToken& name)> sizeOf) { mSizeOf = std::move(sizeOf); }
    Value evaluate(const std::vector<PascalToken>& tokens, std::size_t& i);
    // The value of constant declaration d (an enumeration value included), evaluated once.
    Value constantValue(int d);
    // The lowest and highest values of enumeration type d (declared "(A, B, C)"), or nullopt
    // when its tokens are no enumeration; `failure` receives why a value could not be read.
    std::optional<std::pair<std::int64_t, std::int64_t>> enumerationRange(int d, Unresolved* failure);

    // The lowest and highest values of type declaration d, called `name` where it is used: an
    // enumeration, a subrange, an alias of an ordinal type; with `arrays`, also an array (its
    // first index) and a string[n] (0 to n), as High and Low read them.
    struct Range {
        std::optional<std::pair<std::int64_t, std::int64_t>> range;
        Unresolved failure; // when there is no range
    };
    Range declarationRange(int d, std::string_view name, int depth, bool arrays = false);
    // The same for the type named by `name` where it is written: one of the unit or of the language.
    Range typeRange(const PascalToken& name, int depth, bool arrays = false);
    // One index of an array from tokens[i] (left after it) when it is an ordinal type's name or an
    // enumeration written in place; nullopt (i unchanged) for anything else.
    std::optional<Range> indexTypeRange(const std::vector<PascalToken>& tokens, std::size_t& i, int depth);

    // The nesting depth followed through declarations before TooDeep.
    static constexpr int kMaxDepth = 64;

private:
    enum class State : std::uint8_t { Unvisited, InProgress, Done };
    struct Memo {
        State state = State::Unvisited;
        Value value;
    };

    void read();
    void evaluateConstantsInOrder();
    Value intrinsic(const PascalToken& name, const std::vector<PascalToken>& tokens, std::size_t& i,
                    int depth);
    // "( expression )" from tokens[i], its "("; without the ")" it fails under `name`.
    Value parenthesised(const std::vector<PascalToken>& tokens, std::size_t& i, int depth,
                        std::string_view name);
    Value term(const std::vector<PascalToken>& tokens, std::size_t& i, int depth);
    Value factor(const std::vector<PascalToken>& tokens, std::size_t& i, int depth);
    Value expression(const std::vector<PascalToken>& tokens, std::size_t& i, int depth);
    Value nameValue(const PascalToken& name);

    std::string_view mSource;
    std::vector<Declaration> mDeclarations;
    // (hash of the upper-cased name, declaration), sorted: a name's declarations are one run, in
    // source order.
    std::vector<std::pair<std::uint64_t, int>> mByName;
    std::vector<Memo> mMemo;
    int mDepth = 0;
    bool mConstantsEvaluated = false;
    std::function<Value(const PascalToken& name)> mSizeOf;
};

} // namespace dict
