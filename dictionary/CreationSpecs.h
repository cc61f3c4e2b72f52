#pragma once
// The four dictionary files as the editor creates them: their names, record lengths and the
// Create buffers (file specification, key segment specifications, and for FILE.DDF and
// FIELD.DDF the "UPPER" alternate collating sequence). Built once, on first use, and shared
// read-only for the rest of the run.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dict {

enum class DictFile { File, Field, Index, FieldExt };

constexpr std::size_t kAcsSize = 265;

// 0xAC, the name "UPPER" padded with NULs to 8 bytes, then a 256-byte table that maps a..z to
// A..Z and every other byte to itself.
const std::array<uint8_t, kAcsSize>& upperAcs();

struct CreationSpec {
    const char* fileName;       // "FILE.DDF", ...; no directory
    uint16_t recordLength;      // 97, 32, 10, 6
    std::vector<uint8_t> bytes; // what Create is given: 313, 409, 96, 48 bytes
    // The bytes of a record that hold the editor's values: FILE.DDF's 10 reserved bytes are not
    // among them, so a FILE.DDF with the old 87-byte records holds every value (87, 32, 10, 6).
    uint16_t valueLength;
};

const CreationSpec& creationSpec(DictFile file);

} // namespace dict
