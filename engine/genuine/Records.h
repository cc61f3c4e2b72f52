#pragma once
// Reading the live records of a genuine file in physical order.
#include "FileControl.h"
#include "PageMap.h"

#include <cstdint>
#include <vector>

namespace engine::genuine {

// A page whose records could not all be read: its header, a slot or a record's image does not
// check, or the allocation table maps it where no page can be.
struct DamagedPage {
    uint64_t page = 0;   // physical page (as the allocation table names it when it maps it badly)
    size_t position = 0; // how many records were read before it, in physical order
};

struct RecordSet {
    std::vector<std::vector<uint8_t>> records; // whole records, variable parts appended
    std::vector<DamagedPage> damaged;          // in physical order, each page once
    // With each record: its address as index pages and duplicate chains name it (see
    // recordAddress), and for each key with linked duplicates, in key order, the address of the
    // next record of its chain (kNoIndexPage after the last): records x linkedDuplicateKeys() values.
    std::vector<uint32_t> addresses;
    std::vector<uint32_t> nextDuplicates;
    // Pre-6: the deleted-record chain broke on page chainBrokenAt (listed in damaged, its slots
    // left out), or there it leads past the end of a file cut short (chainPastTheEnd; the page is
    // read). Slots past the break were judged by their looks, and couldBeDeleted of the records
    // returned look like deleted slots (their first 4 bytes are a valid chain link).
    bool chainBroken = false;
    bool chainPastTheEnd = false;
    uint64_t chainBrokenAt = 0;
    size_t couldBeDeleted = 0;
    // Not 0 when the file ends before its control record or page tables say (a copy cut short):
    // the pages they say it has.
    uint64_t expectedPages = 0;
};

// Every live record of a pre-6, 6.x or 8.x file that can be read, in physical order: fixed and
// variable length, compressed. map must be loaded for 6.x and 8.x. A page that does not check
// (or that a cut file ends inside) is left out, its whole slots of a cut page excepted, and
// listed in out.damaged, and reading goes on with the next. A pre-6 deleted-record chain that
// breaks is followed up to the break (see RecordSet). 0 on success (damaged pages or not, whatever
// the count); 2 when the slot layout cannot be (out then empty). Without keepRecords the records
// of a fixed-length uncompressed file come back empty: their places (addresses) only.
int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out,
                    bool keepRecords = true);

// The address of slot `slot` of a data page: pre-6 the slot's byte offset in the file (page is
// physical), 6.x and later logical page << b | slot with b the bits slots per page need, 4 at
// least.
uint32_t recordAddress(const FileControl& fcr, uint64_t page, size_t slot, size_t slotsPerPage);
// The b of recordAddress: the bits slotsPerPage needs, 4 at least.
unsigned slotBits(size_t slotsPerPage);

// The longest record a compressed image may decode to.
constexpr size_t kLongestDecodedRecord = 0x40000;

// A compressed record image: [u16 n][n literal bytes] and [u16 n][b] (n copies of b) by turns,
// literal first. True when it decodes to exactly length bytes, or with atLeast to length bytes
// or more (a variable-length file, where length is the fixed part).
bool decompressRecord(const std::vector<uint8_t>& image, size_t length, std::vector<uint8_t>& record,
                      bool atLeast = false);

} // namespace engine::genuine
