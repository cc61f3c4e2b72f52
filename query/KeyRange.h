#pragma once
// The keys of a data file that serve SQL constraints, and the ranges of key images the
// constraints allow. A key serves when every one of its segments covers exactly one column whose
// decoded values order as the segment's bytes do: signed and unsigned integers (Integer,
// Autoincrement, Unsigned up to 4 bytes) in either direction, and String fields for equality
// only (a String value drops its trailing blanks and NULs, so the bytes of one value are a range
// between the value padded with NULs and padded with blanks; case-insensitive segments fold a-z).
// Keys with an ACS, a null value or another type are not used: the record manager's order there is
// not the order of the values, or records are missing from the key path.
//
// A range is always a superset of the rows asked for: SQLite checks every constraint again.
#include "DataRecords.h"
#include "SqlSchema.h"

#include <cstdint>
#include <string>
#include <vector>

namespace query {

enum class SegmentKind { Signed, Unsigned, Text };

struct ServedSegment {
    int column = 0; // index into the table's columns
    int offset = 0; // in the record, from 0
    int length = 0;
    SegmentKind kind = SegmentKind::Signed;
    bool descending = false;
    bool caseInsensitive = false;
};

struct ServedKey {
    int number = 0; // the key number the record manager takes
    bool unique = false;
    std::vector<ServedSegment> segments;
    std::size_t length() const;
};

// The keys of the file (from its statistics) that serve constraints on the table's columns.
std::vector<ServedKey> servedKeys(const dict::DataFileLayout& layout, const dict::TablePlan& table);

// The values one segment may take, in the order of the column's values: integers lo..hi, texts
// the byte images from lo to hi.
struct SegmentBounds {
    int64_t lo = 0;
    int64_t hi = 0;
    std::string loBytes;
    std::string hiBytes;
    bool empty = false;
};

// Every value the segment can hold.
SegmentBounds fullBounds(const ServedSegment& segment);

enum class Bound { Equal, Greater, GreaterOrEqual, Less, LessOrEqual };

// Narrows integer bounds by `column <op> value`; a value that is not a number narrows nothing.
void narrowInteger(SegmentBounds& b, Bound op, bool isInteger, int64_t integer, double real);
// Narrows text bounds by `column = bytes` (the value in the code page's bytes).
void narrowText(SegmentBounds& b, const ServedSegment& segment, const std::string& bytes);

// The key images, in key order, of the first and the last key the bounds allow.
void keyImages(const ServedKey& key, const std::vector<SegmentBounds>& bounds, std::string& first,
               std::string& last);
// The key image of a record (its segments' bytes in order).
std::string keyOf(const ServedKey& key, const uint8_t* record);
// Two key images in the key's order: negative, zero or positive.
int compareKeys(const ServedKey& key, const std::string& a, const std::string& b);

} // namespace query
