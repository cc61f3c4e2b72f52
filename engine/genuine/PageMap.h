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
    };

    // Reads every PAT of the file (8.x: the first pair only). 0, or 2 when a table is missing,
    // damaged or maps a page outside the file or onto a page already mapped.
    int16_t load(ByteSource& source, const FileControl& fcr);

    // Logical pages 1..count(); entry(0) and free pages have type PageFree.
    size_t count() const { return mEntries.empty() ? 0 : mEntries.size() - 1; }
    const Entry& entry(size_t logical) const;

    // Physical page of a logical page of the given type; false when there is none.
    bool physical(uint32_t logical, uint16_t type, uint64_t& page) const;

    // The first physical page that 8.x files keep their PAT pair on.
    static uint64_t firstPatPageV8(uint32_t pageSize);
    // How many logical pages one 8.x PAT maps.
    static size_t entriesPerPatV8(uint32_t pageSize) { return (pageSize - 20) / 6; }

private:
    int16_t loadV6(ByteSource& source, const FileControl& fcr);
    int16_t loadV8(ByteSource& source, const FileControl& fcr);
    bool add(uint64_t physical, uint16_t type, const FileControl& fcr, std::vector<bool>& used);

    std::vector<Entry> mEntries;
};

} // namespace engine::genuine
