#pragma once
// The page allocation tables (PAT) of 6.x and later files: the map from logical pages to
// physical pages and the type of each logical page. Pre-6 files have none (pages are physical).
#include "FileControl.h"

#include <cstdint>
#include <string>
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

    // Reads the file's PATs (the current copy of each). 0, or 2 when the first table is missing.
    // Entries that cannot be right are kept, marked damaged: one mapping a page outside the file or
    // onto a page already mapped, an 8.x page whose header does not repeat its entry, and every
    // entry of a later table that is missing (physical is then that table's page). An 8.x file
    // of a page size whose tables have not been seen and that does not bear out the layout
    // assumed for it loads too, with refusal() saying why its records cannot be trusted.
    int16_t load(ByteSource& source, const FileControl& fcr);
    const std::string& refusal() const { return mRefusal; }
    // 8.x: the pages the file has by its tables: up to the last table it needs and the mapped
    // pages within their stretches (0 before 8.x). More than the file holds: it was cut short.
    uint64_t expectedPages() const { return mExpectedPages; }

    // Logical pages 1..count(); entry(0) and free pages have type PageFree.
    size_t count() const { return mEntries.empty() ? 0 : mEntries.size() - 1; }
    const Entry& entry(size_t logical) const;

    // Physical page of a logical page of the given type; false when there is none or its entry is
    // damaged.
    bool physical(uint32_t logical, uint16_t type, uint64_t& page) const;

    // 8.x: with U the copy span (two pages, at least 2048 bytes) and m = U / page size, the two
    // FCR copies and U bytes of zeros take pages 0 .. 4m - 1; PAT k has its copies at page
    // 4m + k (N + 2m) and m pages later, each U bytes, and maps logical pages kN + 1 .. kN + N.
    // N = 312, 316, 636, 1276 for pages of 512 .. 4096 bytes: 5U/32 - 2m, which this reader
    // assumes for 8 and 16 KiB pages too (checking every page header against it).
    static size_t entriesPerPatV8(uint32_t pageSize);
    static uint64_t patPageV8(uint32_t pageSize, size_t k);
    // True for the page sizes whose tables have been seen in real files (the sizes between them
    // follow the same rule by assumption, checked as 8 and 16 KiB are).
    static bool patLayoutSeenV8(uint32_t pageSize)
    {
        return pageSize == 512 || pageSize == 1024 || pageSize == 2048 || pageSize == 4096;
    }

private:
    int16_t loadV6(ByteSource& source, const FileControl& fcr);
    int16_t loadV8(ByteSource& source, const FileControl& fcr);
    void add(uint64_t physical, uint16_t type, const FileControl& fcr, std::vector<bool>& used);

    std::vector<Entry> mEntries;
    std::string mRefusal;
    uint64_t mExpectedPages = 0;
};

} // namespace engine::genuine
