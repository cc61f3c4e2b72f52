#pragma once
// Random definitions of genuine files for the builder: every parameter a real file can vary,
// beyond the cases the format notes show, so that a reader that only fits those fails.
#include "GenuineBuilder.h"

#include <cstdint>
#include <random>
#include <string>

namespace genuinetest {

enum class Format { Pre6, V6, V8 };

// How the records are stored.
enum class Storage { Fixed, Variable, Compressed, CompressedVariable };

struct GeneratedFile {
    Format format = Format::Pre6;
    Storage storage = Storage::Fixed;
    FileDef def;
    uint8_t version = 0; // the version byte Stat gives
    std::string describe() const;
};

// A file of the format and storage: page size (any multiple of 512 up to 4096, and 8 or 16 KiB
// for 8.x), record length 1 to 4000 bytes (as far as the page holds a slot), variable parts up
// to 20 KB in fragments of random size, 0 to 4 keys of STRING, INTEGER and UNSIGNED BINARY
// segments with and without duplicates (unique keys over values that differ), the "UPPER"
// sequence, deleted slots, reserved duplicate pointers; 8.x: system data, 1 to 12 PATs, stale
// page copies, either FCR and PAT copy current. bytes bounds the records' total size.
GeneratedFile generateFile(std::mt19937& rng, Format format, Storage storage, size_t bytes);

// The builder for the format.
Bytes buildFile(const GeneratedFile& f);

// Whether the builder wrote key k of def, built in the format, a tree a reader can take: known
// types, two entries a page, the true distinct-value count (a key with repeating duplicates has an
// entry per record instead).
bool treeTaken(const FileDef& def, Format format, size_t k);
// The format a file's version byte (from Stat) belongs to.
Format formatOfVersion(uint8_t version);

} // namespace genuinetest
