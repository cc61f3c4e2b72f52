#pragma once
// The code page of a database: how the 8-bit bytes of names, locations and text values stored in
// its records become text (UTF-8) and back. Every conversion between stored bytes and text goes
// through a CodePage; Latin-1 is the default.
//
// Conversions come from ICU's converters. A single-byte page is read once into two tables, so
// that decoding a value costs a table look-up per byte and objects can be shared between
// threads. A byte the page assigns no character decodes to the private-use character
// U+F700 + byte and encodes back to that byte: under every single-byte page, including one that
// is the wrong one for the data, decode followed by encode gives every byte back unchanged.
// Multi-byte pages (names ICU knows, such as "Shift_JIS") go through a converter per call;
// their invalid sequences are kept the same way, byte by byte.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

class CodePage {
public:
    // Latin-1.
    CodePage();

    // The page of a number (866, "1252") or a name ICU knows ("cp866", "windows-1251",
    // "Latin-1", "KOI8-R"); nullopt when there is none.
    static std::optional<CodePage> named(std::string_view nameOrNumber);
    static const CodePage& latin1();

    // The short name the page is chosen and remembered by: the number of a numbered page ("866"),
    // "Latin-1", or ICU's name of any other page.
    const std::string& id() const;
    // For lists: "866 Cyrillic (DOS)"; ICU's name for a page outside the usual ones.
    std::string label() const;
    // Whether every byte has a character of its own (the page's own, not a kept byte).
    bool byteComplete() const;

    // Stored bytes as UTF-8 text. Never fails: see the class comment for unassigned bytes.
    std::string decode(std::string_view bytes) const;
    void decodeAppend(std::string_view bytes, std::string& utf8) const;

    // UTF-8 text as stored bytes. False when a character has no byte in this page (*refused
    // then holds it) or the text is not valid UTF-8 (*refused is U+FFFD); bytes is then
    // unspecified.
    bool encode(std::string_view utf8, std::string& bytes, char32_t* refused = nullptr) const;

    bool operator==(const CodePage& other) const { return id() == other.id(); }

    struct Data;

private:
    explicit CodePage(std::shared_ptr<const Data> data) : mData(std::move(data)) {}
    std::shared_ptr<const Data> mData;
};

// The pages offered first, in this order: 437, 850, 852, 866, 1250, 1251, 1252, Latin-1.
const std::vector<CodePage>& usualCodePages();

// Every ICU converter name, for a page outside the usual ones.
std::vector<std::string> knownCodePageNames();

// A character as "U+0416 'Ж'".
std::string describeCharacter(char32_t c);

// How names stored as 8-bit bytes read under one of the usual pages.
struct NameReading {
    CodePage page;
    std::string script; // "Cyrillic", "Greek", "Latin", ...
    int unlikely = 0;   // how unlike names the reading looks; 0 for a plain one
};

// The usual pages under which every character of the stored names above 0x7F decodes to a
// letter, all of one script, most likely first: fewest capitals right after small letters, and
// for a Latin reading fewest letters beyond ASCII over those within it, for any other script
// fewest words mixing its letters with ASCII ones. Empty when no name holds a byte above 0x7F.
std::vector<NameReading> readingsOfNames(const std::vector<std::string>& storedNames);

// The suggestion for the user: "names read as Cyrillic under 866" (with "; as Latin under 1250"
// for other readings as likely, at most three); empty when there is nothing to suggest, or when
// the page in use is among the most likely readings.
std::string suggestionText(const std::vector<NameReading>& readings, const CodePage& inUse);

} // namespace dict
