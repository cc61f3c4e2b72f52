#pragma once
// Definitions of the genuine files the tests and the fuzzer's seed corpus share.
#include "GenuineBuilder.h"

#include <string>
#include <utility>
#include <vector>

namespace genuinetest {

// 24-byte records, 512-byte pages, the "UPPER" sequence and three keys: an INTEGER id, an ACS
// name plus an unsigned code, and a null-able code with duplicates. With withDeleted, every
// fourth slot (from the second) is deleted.
FileDef sampleDef(size_t slots, bool withDeleted);
Bytes sampleRecord(int16_t id, const std::string& text, uint16_t code);

// Variable-length records (6-byte fixed part, variable parts of 0 to 700 bytes), 1024-byte
// pages, 40-byte fragments, one deleted slot.
FileDef variableDef();

// The documented Stat layout of a definition: file spec (version byte 0), segment specs, ACS
// block.
Bytes expectedStat(const FileDef& def, uint32_t count);

// 64-byte records of pseudo-random bytes under keys of many types (floats, packed and zoned
// decimals, LSTRING, ZSTRING, timestamps), descending and case-blind segments, duplicates.
FileDef keyTypesDef();

// sampleDef in a 6.x file whose FCR copy in use carries bit 14 at 0x0A, as real 6.0 files do.
FileDef word0ADef(uint16_t pageSize);

// An 8.x file whose slots keep system data: sampleDef's records and keys.
FileDef systemDataDef();

// sampleDef's records stored compressed (pre-6 flags 0x0009; 8.x 0x0209 with system data, or
// 0x1209 without), images split into fragments of a few bytes so that runs straddle them.
FileDef compressedDef(bool v8, bool systemData);

// 8.x: as many logical pages as one page allocation table maps (312 with 512-byte pages, 316
// with 1024-byte pages): one index page and a record of pageSize - 112 bytes on each data page.
FileDef fullTableDef(uint16_t pageSize);

// variableDef with a key allowing duplicates (so the slot holds a duplicate-pointer pair after
// the variable pointer) and fragments short enough to chain.
FileDef chainedVariableDef();

// A compressed 8.x file (100 slots of sampleDef) with three damaged data pages: the second's
// header overwritten, the fourth holding a record whose image is cut short (its chain ends after
// the first fragment), the sixth mapped by the allocation table past the end of the file.
struct DamagedFixture {
    FileDef def;
    Bytes image;
    std::vector<Bytes> sound;    // every record that can be read, in physical order
    std::vector<uint32_t> pages; // the damaged pages, in physical-reading order
    std::vector<size_t> before;  // how many sound records come before each
    size_t live = 0;             // live records, damaged or not
};
DamagedFixture damagedFixture();

// Small files of every family and kind, named for the seed corpus.
std::vector<std::pair<std::string, Bytes>> seedFiles();

} // namespace genuinetest
