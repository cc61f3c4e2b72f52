#pragma once
// The Pascal record scanner: finds "name = RECORD" and "name = PACKED RECORD" declarations in a
// Pascal source and lists each record's fields with their Pascal type, the Btrieve type the type
// mapping gives them, their offset and their size. It is a token scanner with a small fixed
// grammar, not a Pascal parser: comment brackets and braces only separate tokens (the text inside
// a comment is scanned like code) and the first END after a ";" closes a record. Several names
// before one ":" ("X, Y: T") are one field each, of type T, placed one after the other.
//
// Resolving declarations (ScanOptions::resolve) changes four things and nothing else: comments
// of all three kinds and tabs are blanks (blankPascalComments); a bound may be a constant
// expression over the unit's constants; a record is read as Pascal declares it, to its own END
// (records written inside it, a variant part after its fixed fields: each variant's fields start
// where the fixed part and the tag end, so variants overlap, and the record's size is the fixed
// part plus its largest variant); and a field's type is read as Pascal declares it, so that a
// type declared in the unit (alias, string[n], subrange, enumeration, array, record) gives its
// size. What stays unknown is listed in the record's Unresolved, sized 0, never guessed, and the
// scan goes on. PascalDeclarations.h reads the declarations.
//
// The source is taken as single bytes (Latin-1): no decoding. Every text here is Latin-1.
#include "TypeMappingLine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

// One field of a scanned record. A field whose type is not mapped keeps an empty BtrieveType,
// Offset 0 and Size 0, and takes no room in the record.
struct ScannedField {
    static constexpr std::size_t kTextWidth = 63; // Name and PascalType are cut here

    std::string Name;        // the name as written; "X, Y: T" gives a field X and a field Y
    std::string PascalType;  // the type's tokens, each preceded by one space (" String [ 20 ]")
    std::string BtrieveType; // a name of the combined Btrieve type list, or empty
    std::int32_t Offset = 0; // bytes from the start of the record
    std::int32_t Size = 0;   // bytes
    // Resolving scans: the variant of the record's variant part the field belongs to, as an
    // index into its record's Variants; -1 for the fixed part and its tag.
    std::int32_t Variant = -1;

    bool operator==(const ScannedField&) const = default;
};

// A field whose type or bound names what the unit does not declare (resolving scans only).
struct UnresolvedField {
    std::string Field;  // the field's Name
    std::string Name;   // the name that could not be resolved
    std::string Reason; // reasonText of PascalDeclarations.h

    bool operator==(const UnresolvedField&) const = default;
};

// A record found by the scanner: its name as written and its fields in order.
struct ScannedRecord {
    std::string Name;
    std::vector<ScannedField> Fields;
    std::vector<UnresolvedField> Unresolved; // resolving scans: in field order
    // Resolving scans: the variants of its variant parts in the order they are declared, each
    // named by its case labels as written ("1", "1,2"), a nested variant after its enclosing one
    // ("2/B"). Cut at 63 characters.
    std::vector<std::string> Variants;

    bool operator==(const ScannedRecord&) const = default;
};

// The name of the variant field `f` of record `r` belongs to; empty for the fixed part.
inline std::string_view variantName(const ScannedRecord& r, const ScannedField& f)
{
    return f.Variant >= 0 && static_cast<std::size_t>(f.Variant) < r.Variants.size()
               ? std::string_view(r.Variants[static_cast<std::size_t>(f.Variant)])
               : std::string_view();
}

// What one scan found. When the scan stopped at an error, `records` holds the records completed
// before it and `error` the message: "'<token>' is not a valid integer value" for a bound or a
// mapping word that is not a decimal integer, "Integer overflow" for a size or offset beyond
// 32 bits. A source that ends inside a record is no error: that record is listed with the fields
// read so far (a field counts once its ":" has been read).
struct ScanResult {
    std::vector<ScannedRecord> records;
    std::optional<std::string> error;
};

struct ScanOptions {
    bool resolve = false; // read the unit's const and type declarations first
};

// Scans a whole source with the given mapping. Never reads outside `source`.
ScanResult scanPascalRecords(std::string_view source, const TypeMap& mapping, const ScanOptions& options = {});

// The tokenizer on its own. Positions run from 0; `last` is source.size() - 1 and no scanning
// loop goes past it, so the source's final byte never becomes part of a token.
//
// SkipSeparators: the position of the first byte at or after `pos` that is not a separator
// (space, LF, CR, "{", "}", and the two bytes of "(*" and "*)"), or `last`.
std::size_t SkipSeparators(std::string_view source, std::size_t pos);
// NextToken: the next token from `pos`, which it moves past the token. A token is a run of bytes
// other than space, LF and CR, ended also by the delimiters ". : ; = [ ]", each of which is a
// token of its own. Empty only when the end was reached after separators.
std::string_view NextToken(std::string_view source, std::size_t& pos);
// Every token of the source in order (views into it), empty tokens included.
std::vector<std::string_view> tokenizePascal(std::string_view source);

// Reads a whole file. Returns 0, or the errno of the failed open or read.
int readWholeFile(const std::string& path, std::string& bytes);

} // namespace dict
