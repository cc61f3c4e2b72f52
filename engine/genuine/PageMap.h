#pragma once
// The page allocation tables (PAT) of 6.x and later files: the map from logical pages to
// physical pages and the type of each logical page. Pre-6 files have none (pages are physical).
#include "FileControl.h"

#include <cstdint>
#include <vector>

namespace engine::genuine {

class PageMap {
public:
    struct Entry {
        uint64_t physical = 0;
        uint16_t type = PageFree;
        // The table maps this page outside the file, onto a control or table page, or onto a page
        // already mapped: its contents cannot be trusted (physical is what the table says).
        bool damaged = false;
    };

    // Reads the file's PATs (8.x: the current one of its pair). 0, or 2 when a table is missing.
    // Entries that cannot be right are kept, marked damaged.
    int16_t load(ByteSource& source, const FileControl& fcr);

    // Logical pages 1..count(); entry(0) and free pages have type PageFree.
    size_t count() const { return mEntries.empty() ? 0 : mEntries.size() - 1; }
    const Entry& entry(size_t logical) const;

    // Physical page of a logical page of the given type; false when there is none or its entry is
    // damaged.
    bool physical(uint32_t logical, uint16_t type, uint64_t& page) const;

    // 8.x: the two PAT copies are 2048-byte blocks at these byte offsets whatever the page size;
    // the pages after them start at kFirstPageOffsetV8.
    static constexpr uint64_t kPatOffsetV8[2] = {0x2000, 0x2800};
    static constexpr size_t kPatSizeV8 = 2048;
    static constexpr uint64_t kFirstPageOffsetV8 = 0x3000;
    // How many logical pages one 8.x PAT maps: 312 with 512-byte pages, 316 with 1024-byte pages;
    // 0 for page sizes whose table has not been seen.
    static size_t entriesPerPatV8(uint32_t pageSize);

private:
    int16_t loadV6(ByteSource& source, const FileControl& fcr);
    int16_t loadV8(ByteSource& source, const FileControl& fcr);
    void add(uint64_t physical, uint16_t type, const FileControl& fcr, std::vector<bool>& used);

    std::vector<Entry> mEntries;
};

} // namespace engine::genuine
