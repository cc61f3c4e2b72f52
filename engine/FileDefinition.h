#pragma once
// What a file is: its file specification, keys and collating sequences, parsed from the
// record manager's Create layout (16-byte file spec, 16-byte segment specs, 265-byte ACS blocks)
// and written back in the Stat layout.
#include "KeyImage.h"

#include <array>
#include <cstdint>
#include <vector>

namespace engine {

namespace fileflag = btr::fileflag;

constexpr size_t kFileSpecSize = 16;
constexpr size_t kSegmentSpecSize = 16;
constexpr size_t kAcsBlockSize = 265;
constexpr int kMaxKeys = 119;
constexpr uint16_t kMaxKeyLength = 255;

struct FileDefinition {
    std::array<uint8_t, kFileSpecSize> fileSpec{};                   // as given to Create (counts cleared)
    std::vector<std::array<uint8_t, kSegmentSpecSize>> segmentSpecs; // as given
    std::vector<std::vector<uint8_t>> acsBlocks;                     // kAcsBlockSize bytes each
    std::vector<KeyDefinition> keys;                                 // in the order given
    uint16_t recordLength = 0;
    uint16_t pageSize = 0;
    uint16_t fileFlags = 0;

    bool variableLength() const { return fileFlags & fileflag::VariableLength; }
    // Index in `keys` of the key with this number, or -1.
    int keyIndex(int keyNumber) const;
    // The Create buffer that describes this file exactly (file spec, segments, ACS blocks).
    std::vector<uint8_t> createImage() const;
};

// Parses and checks a Create buffer. Returns 0, or the status Create answers with: 22 buffer
// shorter than its specs, 24 page size, 28 record length, 26 keys/segments, 27 key position,
// 29 key length, 45 inconsistent key flags, 48 bad or missing ACS, 49 unknown key type.
// Bytes after the segment specs that do not start an ACS block (e.g. zero fill) are ignored.
int16_t parseCreateSpec(const uint8_t* buffer, size_t length, FileDefinition& out);

// Parses a Stat image from a reader of genuine files leniently: key numbers as the image gives
// them, a segment of a type the engine cannot order compares as STRING. False when the image is
// too short for what it announces or a key is longer than 255 bytes.
bool parseStatImage(const uint8_t* buffer, size_t length, FileDefinition& out);

// Stat image of a file: file spec with record count (and version byte when `version` is not 0),
// segment specs with each key's distinct-value count and key number, then the ACS blocks.
std::vector<uint8_t> statImage(const FileDefinition& def, uint32_t records,
                               const std::vector<uint32_t>& distinctPerKey, uint8_t version);

// Copies a Stat image into a caller's buffer of `capacity` bytes. The file and segment specs
// (`specsLength` bytes) must fit, else 22 (what fits is still copied); whole ACS blocks follow
// as far as they fit. `written` receives the number of bytes copied.
int16_t deliverStat(const std::vector<uint8_t>& image, size_t specsLength, uint8_t* out, uint32_t capacity,
                    uint32_t& written);

} // namespace engine
