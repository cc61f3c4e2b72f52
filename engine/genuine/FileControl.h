#pragma once
// The file control record (FCR) of a genuine file: which family wrote it, which of its copies is
// current, and the file and key definitions it holds, already checked for sanity.
#include "ByteSource.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace engine::genuine {

enum class Family { Pre6, V6, V8 };

// Types of pages in the page allocation tables of 6.x and later files.
enum PageType : uint16_t {
    PageFree = 0,
    PageAcs = 'A',
    PageData = 'D',
    PageVariable = 'V',
};

constexpr size_t kSystemDataSize = 8;

struct SegmentSpec {
    uint16_t position = 0; // 1-based, from the record start, as the API counts
    uint16_t length = 0;
    uint16_t flags = 0;
    uint32_t distinct = 0;
    uint8_t extendedType = 0;
    uint8_t nullValue = 0;
    uint8_t key = 0;
    // The key's root index page (kept with its first segment): pre-6 the physical page, 6.x and
    // later the logical one; kNoIndexPage when the spec names none.
    uint32_t root = 0xFFFFFFFF;
};

constexpr uint32_t kNoIndexPage = 0xFFFFFFFF;

// A 4-byte index page pointer (root or child) in the family's form: pre-6 ws32 physical page,
// 6.x [hi][0x80 + key][lo][mid] logical page, 8.x u32 logical page. kNoIndexPage for all 0xFF bytes
// and for a 6.x pointer naming another key.
uint32_t indexPagePointer(const Page& page, size_t offset, Family family, uint8_t key);

struct FileControl {
    Family family = Family::Pre6;
    uint64_t fcrOffset = 0; // byte offset of the current copy
    uint32_t pageSize = 0;
    uint64_t pageCount = 0; // whole pages in the file
    uint32_t fcrPageCount = 0; // the FCR's own page count (8.x: highest logical page + 1)
    uint8_t version = 0;    // major in the high nibble, minor in the low one
    uint16_t keyCount = 0;
    uint16_t recordLength = 0;
    uint16_t physicalLength = 0;
    uint32_t recordCount = 0;
    uint16_t fileFlags = 0;
    uint8_t variableMode = 0;          // 0 fixed, 0xFF variable, 0xFD variable with blank truncation
    uint32_t deletedHead = 0xFFFFFFFF; // pre-6: file offset of the first free slot
    bool inconsistent = false;         // pre-6: marked as needing recovery
    bool systemData = false;           // 8.x: 8 bytes between a slot's usage count and its record
    // Records kept as compressed images on variable pages; recordLength is then the uncompressed
    // length (the FCR's record length is 0).
    bool compressed = false;
    std::array<uint8_t, 8> defaultAcsName{};
    std::vector<SegmentSpec> segments;

    bool variable() const { return variableMode != 0 || (fileFlags & 0x1) != 0; }
    // Where the record starts within its slot: after the usage count (6.0+) and system data.
    size_t recordOffsetInSlot() const
    {
        return family == Family::Pre6 ? 0 : 2 + (systemData ? kSystemDataSize : 0);
    }
    // Bytes of a slot before its duplicate pointers: the record (fixed part), or in a compressed
    // file the pointer to its image and the byte(s) after it, and the system data.
    size_t slotHead() const;
    // Bytes of the pointer to the variable part that follow the fixed part in the slot: 4 in pre-6,
    // 6 in 8.x variable-length files; 0 otherwise (6.x keeps it last in the slot).
    size_t variablePointerAfterFixedPart() const
    {
        if (compressed || !variable())
            return 0;
        return family == Family::Pre6 ? 4 : family == Family::V8 ? 6 : 0;
    }
    // Page header size of data and variable pages: 6 before 8.x, 8 in 8.x.
    size_t pageHeader() const { return family == Family::V8 ? 8 : 6; }
    bool usesAcs() const;
    // Keys whose records carry a pair of duplicate-chain pointers in their slot.
    int linkedDuplicateKeys() const;
};

constexpr uint16_t kFlagVariable = 0x1;
constexpr uint16_t kFlagCompression = 0x8;
constexpr uint16_t kFlagSystemData = 0x200;
constexpr uint16_t kFlagVat = 0x800;
constexpr uint16_t kFlagNoSystemData = 0x1000; // 8.x: with 0x200, the slots keep no system data
constexpr uint16_t kFlagPageCompression = 0x2000;

constexpr uint16_t kKeyDuplicates = 0x1;
constexpr uint16_t kKeySegmented = 0x10;
constexpr uint16_t kKeyAcs = 0x20;
constexpr uint16_t kKeyRepeatingDuplicates = 0x80;

constexpr int kMaxKeys = 119;
constexpr size_t kAcsBlockSize = 265;

// The family and page size that the first bytes of a file (0x2C of them at least) announce; false
// when they announce none, or a page size no record manager writes.
bool recogniseFamily(const Page& head, Family& family, uint32_t& pageSize);

// Recognises the family from the first bytes and parses the current FCR. 0 on success; 30 when
// the first bytes are no file control record of a known family (or the file ends inside it); 4100
// with why set when they are one but its contents cannot be understood (a key table outside the
// copy, a key outside the record); 2 when the source fails.
int16_t parseFileControl(ByteSource& source, FileControl& fcr, std::string& why);

// Bytes one 8.x FCR copy (and one PAT copy) takes: two pages, at least 2048 bytes. The second
// FCR copy starts there.
inline uint64_t copySpanV8(uint32_t pageSize)
{
    return pageSize * uint64_t(2) > 2048 ? pageSize * uint64_t(2) : 2048;
}

// Bytes one FCR copy takes: a page, in 8.x the whole copy span.
inline size_t fcrSpan(Family family, uint32_t pageSize)
{
    return family == Family::V8 ? static_cast<size_t>(copySpanV8(pageSize)) : pageSize;
}

} // namespace engine::genuine
