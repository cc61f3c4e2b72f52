#pragma once
// A key as the dictionary describes it compared with the same key of its table's data file: the
// findings `quillan-cli check` lists and Build DDFs warns of for the rows it writes.
#include "DataRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

// A key segment as INDEX.DDF and FIELD.DDF describe it: its field's place in the record
// (position counted from 1, length in bytes) and the segment's Xi$Flags.
struct DescribedSegment {
    int position = 0;
    int length = 0;
    uint16_t flags = 0;
};

// What differs; `segment` -1 when the key as a whole does.
struct KeyDifference {
    int segment = -1;
    std::string message; // a sentence
};

// The key's segments in part order (nullopt for one whose field is no field of the table: not
// compared) against the segments of the data file's key `fileKey`. Flags are compared only when
// `compareFlags` (the tables of the dictionary files keep flags of their own), and as both
// sides mean them: each sets the extended-type and next-segment bits its own way.
std::vector<KeyDifference>
compareKeyWithDataFile(const std::vector<std::optional<DescribedSegment>>& segments,
                       const DataFileLayout& file, int fileKey, bool compareFlags);

// Whether a table describes the dictionary itself: a name beginning "X$" (either case) or a
// location naming one of the dictionary files.
bool describesDictionary(std::string_view name, std::string_view location);

// Some programs number a table's keys in INDEX.DDF from 1 where data files count from 0: a set
// whose tables, those that describe the dictionary aside, have keys and none numbered 0.
// `numbers`: the key numbers of those tables.
bool keysNumberedFromOne(const std::vector<int>& numbers);

// The data file's number of key `number` of a table: one less in a set numbered from 1, unless
// the table itself has a key 0.
inline int dataFileKeyNumber(int number, bool setFromOne, bool tableHasKeyZero)
{
    return setFromOne && !tableHasKeyZero ? number - 1 : number;
}

} // namespace dict
