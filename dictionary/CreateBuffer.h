#pragma once
// The Create buffer of a table's data file, made from the dictionary as the editor holds it:
// the file specification from the Files page's values, then one key specification per key
// segment of the table, by key number and then part, each placed on its field of the table.
// Plain values in, bytes out, so tests build buffers without a window.
#include "Records.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dict {

constexpr std::size_t kCreateBufferSize = 1920;
// Key specifications that fit after the file specification.
constexpr std::size_t kMaxCreateSegments = (kCreateBufferSize - FileSpec::kSize) / KeySpec::kSize;
constexpr int32_t kDefaultPageSize = 4096;

// A grid cell that is read as a number: its text, and its value when the text is an integer.
struct NumberCell {
    std::string text;
    std::optional<int32_t> value;
};

// The file specification as typed. A record length of 0 asks for the sum of the table's field
// sizes, a page size of 0 for kDefaultPageSize. Each value goes in as its low 16 (or 8) bits.
struct CreateFileValues {
    int32_t recordLength = 0;
    int32_t pageSize = 0;
    int32_t recordCount = 0;
    int32_t flags = 0;
    int32_t duplicatePointers = 0;
    int32_t reserved = 0;
    int32_t pages = 0;
};

// A Keys grid row: table and field names as the grid shows them, the segment's key flags, its
// key number and part, and (when the editor knows it by id) the index in `fields` of the field
// row it is placed on.
struct CreateKeyRow {
    std::string table;
    std::string field;
    NumberCell flags;
    int32_t number = 0;
    int32_t part = 0;
    std::optional<std::size_t> fieldRow;
};

// A Fields grid row (title row excluded): the Xe$File cell's text, the name and the numbers
// Create places a segment with.
struct CreateFieldRow {
    std::string file;
    std::string name;
    NumberCell dataType;
    NumberCell offset;
    NumberCell size;
};

struct CreateBuffer {
    enum class Problem {
        None,
        NotANumber,      // detail: the text of a cell that had to be a number
        FieldNotFound,   // detail: the key row's field name
        NoRecordLength,  // the record length is 0
        BadRecordLength, // detail: a record length outside 1..65535
        TooManySegments, // detail: the number of segments; at most kMaxCreateSegments fit
        BadSegment,      // detail: the key field's name; its offset, size or type, or the key
                         // flags, have no place in the unsigned fields of a key specification
    };
    Problem problem = Problem::None;
    std::string detail;
    std::vector<uint8_t> bytes; // kCreateBufferSize bytes, when there is no problem
    int keyCount = 0;           // valid once the key rows were placed (every problem but the first two)
    int segmentCount = 0;
    int32_t recordLength = 0;
};

// Builds the buffer for the table named `tableName` whose Xf$Id cell reads `tableId` (compared
// as a number with the field rows' Xe$File). Names are compared as everywhere in the editor:
// trailing blanks never count, letter case of a to z is ignored. The table's key rows go in by
// key number, then part, rows equal in both in the order given. A key row's field is
// fields[fieldRow] when it is given, else the first field row of the table with that name; an
// empty name names no field. A segment whose flags have the "segmented" bit (16) is followed by
// another segment of the same key; every other segment ends a key. The key flags go in as they
// are: no alternate collating sequence is appended for the ACS bit. A segment whose position
// (offset + 1), length (size), flags or extended type (data type) would wrap in its unsigned
// field is refused (BadSegment), never written wrapped.
CreateBuffer buildCreateBuffer(const std::string& tableName, const std::string& tableId,
                               const CreateFileValues& values, const std::vector<CreateKeyRow>& keys,
                               const std::vector<CreateFieldRow>& fields);

} // namespace dict
