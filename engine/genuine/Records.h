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
};

// Every live record of a pre-6, 6.x or 8.x file that can be read, in physical order: fixed and
// variable length (8.x fixed only), compressed (pre-6 and 8.x). map must be loaded for 6.x and
// 8.x. A page that does not check is left out and listed in out.damaged, and reading goes on
// with the next. 0 on success (damaged pages or not); 2 when the file as a whole cannot be read:
// a slot layout that cannot be, a deleted-record chain that loops or leaves the file, or, with
// no damaged page, a live-record count that differs from the FCR's (out then empty).
int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out);

// A compressed record image: [u16 n][n literal bytes] and [u16 n][b] (n copies of b) by turns,
// literal first. True when it decodes to exactly length bytes.
bool decompressRecord(const std::vector<uint8_t>& image, size_t length, std::vector<uint8_t>& record);

} // namespace engine::genuine
