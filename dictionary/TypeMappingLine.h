#pragma once
// The type mapping: 29 text lines, line k for Pascal type k of the catalogue, each holding three
// decimal words "tick btrieveType minLength" (tick 1 = the scanner uses the type; btrieveType a
// position in the combined Btrieve type list; minLength the size of one element in bytes). The
// lines are kept as text, as "Quillan.rec" holds them, and read word by word when needed, so a
// word that is not a number is only reported when something reads it.
//
// Texts are Latin-1 strings, one byte per character.
#include "DataTypes.h"
#include "Text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

constexpr int kTypeMappingLineCount = kPascalTypeCount; // 29
inline constexpr std::string_view kDefaultMappingLine = "0 0 0";

// A text that should have been an integer; message() is "'<text>' is not a valid integer value"
// (Latin-1, the text as found).
using text::ConversionError;

// Optional sign, then decimal digits, nothing else, in the signed 32-bit range
// (text::IntegerSyntax::Decimal).
std::optional<std::int32_t> parseDecimal(std::string_view text);
// parseDecimal, or ConversionError for a text it refuses.
std::int32_t decimalValue(std::string_view text);

// Word n (from 0) of a line as an integer; words are runs of characters other than space. 0
// when the line has no word n; ConversionError when the word is not a decimal integer.
std::int32_t GetWord(std::string_view line, int n);

// The line with word n replaced by the decimal text of value: everything before word n and
// everything after it are kept byte for byte. A line with fewer words gets "0" words up to n.
std::string PutWord(std::string_view line, int n, std::int32_t value);

// A line with fewer than three words gets " 0" for each missing word (trailing spaces dropped
// first); a line without words becomes the default line "0 0 0". Other lines are kept as they are.
std::string completeMappingLine(std::string_view line);

// The 29 lines of a "Quillan.rec" text (lines end with CR LF or LF). A shorter file is completed
// with default lines and short lines with "0" words (completeMappingLine); lines beyond the 29th
// are ignored.
std::vector<std::string> readTypeMapping(std::string_view text);
// The lines as "Quillan.rec" holds them: each ended by CR LF.
std::string writeTypeMapping(const std::vector<std::string>& lines);
// 29 default lines.
std::vector<std::string> defaultTypeMapping();

// The mapping as the record scanner reads it: for each Pascal type, whether it is ticked and its
// line (word 1 the Btrieve type position, word 2 the Min Length). In the editor the ticks are the
// tick boxes of the Pascal Type list; elsewhere they come from word 0 (typeMapFromLines).
struct TypeMap {
    std::array<bool, kPascalTypeCount> ticked{};
    std::array<std::string, kPascalTypeCount> lines;
};

// Lines completed as readTypeMapping does; type k is ticked when line k begins with "1".
TypeMap typeMapFromLines(const std::vector<std::string>& lines);

} // namespace dict
