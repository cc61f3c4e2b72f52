#pragma once
// Key definitions and their byte images. A key image is a byte string that sorts, compared as raw
// bytes (memcmp), in the record manager's order for the key: every segment by its own type and
// direction, equal images for equal keys. Images of one segment always have the same length, so
// the images of consecutive segments concatenate without separators.
#include "Status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

enum KeyType : uint8_t {
    TypeString = 0,
    TypeInteger = 1,
    TypeFloat = 2,
    TypeDate = 3,
    TypeTime = 4,
    TypeDecimal = 5,
    TypeMoney = 6,
    TypeLogical = 7,
    TypeNumeric = 8,
    TypeBfloat = 9,
    TypeLstring = 10,
    TypeZstring = 11,
    TypeUnsignedBinary = 14,
    TypeAutoIncrement = 15,
    TypeNumericSts = 17,
    TypeNumericSa = 18,
    TypeCurrency = 19,
    TypeTimestamp = 20,
};

namespace keyflag = btr::keyflag;

// Weight of every byte value; applied to the bytes of string segments before they compare.
using Collation = std::array<uint8_t, 256>;

// The collation of a case-insensitive segment: a-z weigh as A-Z, every other byte as itself.
Collation caseInsensitiveCollation();

struct KeySegment {
    uint16_t position = 1; // counted from 1 in the record
    uint16_t length = 0;
    uint16_t flags = 0;
    uint8_t type = TypeString; // effective type: extended type, or STRING / old-style binary
    uint8_t nullValue = 0;
    std::optional<Collation> collation; // ACS or case-insensitive; only on string types

    bool descending() const { return flags & keyflag::Descending; }
};

struct KeyDefinition {
    int number = 0;      // the key number callers use
    uint16_t flags = 0;  // flags of the first segment (duplicates, modifiable, null are per key)
    uint16_t length = 0; // sum of the segment lengths
    std::vector<KeySegment> segments;

    bool duplicates() const { return flags & (keyflag::Duplicates | keyflag::RepeatingDuplicates); }
    bool modifiable() const { return flags & keyflag::Modifiable; }
};

// The effective type of a segment with these flags and extended-type byte.
uint8_t effectiveSegmentType(uint16_t flags, uint8_t extendedType);

// 0 when a segment of this effective type may be `length` bytes long; 49 for a type the engine
// does not know, 29 for a length the type does not allow.
int16_t checkSegmentType(uint8_t type, uint16_t length);

// checkSegmentType for a segment as its flags give it: an old-style binary segment (flag 0x4
// without an extended type) may be any even length.
int16_t checkSegment(const KeySegment& s);

// True for the types whose bytes a collating sequence applies to.
bool isStringType(uint8_t type);

// Number of image bytes a segment produces.
size_t segmentImageSize(const KeySegment& segment);

// Appends the image of one segment value (segment.length bytes at `value`).
void appendSegmentImage(std::string& out, const KeySegment& segment, const uint8_t* value);

// The image of a whole key value: the key's segments laid end to end (key.length bytes).
std::string keyImage(const KeyDefinition& key, const uint8_t* keyValue);
void keyImage(const KeyDefinition& key, const uint8_t* keyValue, std::string& out);

// Copies the key's segments out of a record (at least as long as the fixed record) into
// keyValue (key.length bytes).
void extractKey(const KeyDefinition& key, const uint8_t* record, uint8_t* keyValue);

// True when a key value is a null key: every segment (flag 0x8) or any segment (flag 0x200)
// consists only of its null-value byte. Null keys stay out of the key path.
bool isNullKey(const KeyDefinition& key, const uint8_t* keyValue);

} // namespace engine
