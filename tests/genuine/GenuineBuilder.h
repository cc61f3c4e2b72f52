#pragma once
// Test-only writer of genuine record-manager files, byte by byte from their documented on-disk
// layout (pre-6, 6.x, 8.x). It lets tests make files that Quillan's reader must understand and
// damage them precisely. The product never uses it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace genuinetest {

using Bytes = std::vector<uint8_t>;

struct Segment {
    uint16_t offset = 0; // 0-based in the record
    uint16_t length = 0;
    uint16_t flags = 0; // the builder adds 0x10 to every segment but a key's last
    uint8_t extendedType = 0;
    uint8_t nullValue = 0;
};

struct Key {
    std::vector<Segment> segments;
    uint32_t distinct = 0; // distinct-value count written to the FCR
};

struct Acs {
    std::string name; // up to 8 characters, NUL padded
    std::array<uint8_t, 256> table{};
    Bytes block() const; // 0xAC, name, table: 265 bytes
};

// "UPPER": a-z to A-Z, everything else to itself.
Acs upperAcs();

struct FileDef {
    uint16_t pageSize = 512;
    uint16_t recordLength = 0;
    uint16_t fileFlags = 0;
    uint8_t variableMode = 0; // 0, 0xFF or 0xFD
    uint16_t versionWord = 0; // 0 = the family's usual one
    std::vector<Key> keys;
    std::optional<Acs> acs;
    // Slots in physical order: a record (fixed part then variable part), or nullopt for a slot
    // that once held a record and was deleted. Slots after the last are never used.
    std::vector<std::optional<Bytes>> slots;
    // Each slot's place in the order its record was inserted (as after slots were reused); empty:
    // physical order. Linked duplicate chains and the entries of repeating duplicates follow it.
    std::vector<size_t> inserted;
    uint16_t reservedDuplicatePointers = 0;
    size_t fragmentSize = 48;          // 6.x: the variable part is split into fragments of this size
    bool segmentsThroughTable = false; // 6.x: put the segment specs away from 0x110
    int16_t recordCountAdjust = 0;     // written count = live records + this
    // 6.x, 8.x: the word at 0x0A of the first and the second FCR copy (real files may have bit 14
    // set there).
    std::array<uint16_t, 2> word0A{};
    // 8.x: each slot keeps 8 bytes of system data between its usage count and its record; the
    // file flags (kept at 0x190) must then hold 0x200 without 0x1000.
    bool systemData = false;
    // 8.x: which of the two FCR copies and which of the two PAT copies is current; the other
    // copy is stale (an older count, a PAT mapping every page wrongly).
    int currentFcr = 0;
    int currentPat = 1;
    // 8.x: bytes 0x1000-0x1FFF hold a table a reader could take for a PAT (real files keep zeros).
    bool decoyAt0x1000 = false;
    // 8.x: at least this many PATs (the pages are spread over them; never more than pages).
    size_t patCount = 0;
    // 8.x: unmapped stale copies of data pages (same header, other slots) after the last page.
    size_t staleCopies = 0;
    // Each key's B-tree on index pages of its own, as many as it needs, with the distinct-value
    // count of the records in place of `distinct` and the records' duplicate pointers linked
    // (else one page of junk per key and junk pointers). nodeEntries bounds the entries of a
    // node (0: as many as a page holds), so that few records make trees of several levels. A
    // key of a type keyOrder does not know, or too long for two entries a page, keeps its page
    // of junk.
    bool indexPages = false;
    size_t nodeEntries = 0;
    // Compressed files (file flag 0x8; pre-6 and 8.x): recordLength is the uncompressed length
    // (the FCR's record length is written as 0); each record is stored as a compressed image on
    // variable pages, split into fragments of fragmentSize bytes.
};

// Where the builder put each logical page (pre-6: physical page = logical page).
struct Layout {
    size_t pageSize = 0;
    std::vector<size_t> physical; // by logical page; [0] unused
    std::vector<uint16_t> type;   // 'A', 'D', 'V', 0x80/0x8000 + key
    // Byte offset of logical page n's first byte.
    size_t offset(size_t n) const { return physical.at(n) * pageSize; }
    // Logical numbers of the pages of one type, in logical order.
    std::vector<size_t> pagesOf(uint16_t t) const;
};

Bytes buildPre6(const FileDef& def);
Bytes buildPre6(const FileDef& def, Layout& layout);
Bytes build6x(const FileDef& def);
Bytes build6x(const FileDef& def, Layout& layout);
// With U = max(2 x page size, 2048) and m = U / page size: two FCR copies of U bytes, U bytes of
// zeros, then PAT k's two U-byte copies at page 4m + k(N + 2m) with N = 5U/32 - 2m entries (312,
// 316, 636, 1276 for 512 .. 4096-byte pages), a zero entry and an allocation bitmap after them,
// and the N pages it maps after them. The key attribute table is at 0x7A8, 0xF3C, 0x1E66 for
// U = 2, 4, 8 KiB; the segment specs 36 bytes apart from 0x200. The stale FCR copy counts 0
// records and points at another table.
Bytes build8x(const FileDef& def);
Bytes build8x(const FileDef& def, Layout& layout);

// The slots of def holding a record whose key k is not null, in the key's order, equal keys in
// the order they were inserted (def.inserted), or with `physical` in physical order. Knows STRING
// (through the ACS with flag 0x20, case-blind with 0x400), INTEGER and UNSIGNED BINARY segments,
// either direction; any other type sets `known` false.
std::vector<size_t> keyOrder(const FileDef& def, size_t k, bool& known, bool physical = false);
// The number of distinct values of key k among those records.
uint32_t distinctValues(const FileDef& def, size_t k);

// A record's compressed image: literal and run pairs by turns, literal first.
Bytes compressImage(const Bytes& record);

// Offsets the tests poke at. usageCount: 6.x and 8.x slots.
uint16_t physicalLength(const FileDef& def, bool usageCount);
constexpr size_t kPatV8[2] = {0x2000, 0x2800}; // 512- and 1024-byte pages
size_t copySpanV8(uint16_t pageSize);
size_t patEntriesV8(uint16_t pageSize);
size_t patPageV8(uint16_t pageSize, size_t k); // copy A; copy B m pages later
size_t keyTableV8(uint16_t pageSize);
constexpr size_t kKeyTableV8 = 0x7A8;
constexpr size_t kSegmentStrideV8 = 36;
constexpr size_t kSegmentsV8 = 0x200; // first 8.x segment spec (0x190 holds the file flags)

// The three dictionary files of the editor's own self-description, FILE.DDF and FIELD.DDF
// carrying the "UPPER" sequence: in 6.0 format with 4096-byte pages, or in 8.0 format with
// 512-byte pages, INDEX.DDF then keeping system data in its slots as a real 8.0 one does.
struct DictionarySet {
    Bytes fileDdf, fieldDdf, indexDdf;
};
struct DictionaryDefs {
    FileDef fileDdf, fieldDdf, indexDdf;
};
DictionaryDefs dictionaryDefs6x();
DictionaryDefs dictionaryDefs8x();
DictionarySet buildDictionary6x();
DictionarySet buildDictionary8x();

void writeFile(const std::string& path, const Bytes& bytes);

// Little helpers for making records.
void put16(Bytes& b, size_t at, uint16_t v);
void put32(Bytes& b, size_t at, uint32_t v);
void putText(Bytes& b, size_t at, const std::string& text, size_t width, uint8_t pad = ' ');

} // namespace genuinetest
