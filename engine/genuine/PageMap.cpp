#include "PageMap.h"

#include "Status.h"

#include <algorithm>

namespace engine::genuine {

namespace {

constexpr uint32_t kNoPage = 0xFFFFFF;

// Reads both copies of a 6.x PAT pair and keeps the valid one with the larger usage count.
// Returns false when neither copy is a PAT.
bool readPatPair(ByteSource& source, uint64_t firstPage, const FileControl& fcr, Page& current)
{
    auto valid = [](const Page& p) { return p.u8(0) == 'P' && p.u8(1) == 'P'; };
    Page a, b;
    const bool haveA =
        firstPage < fcr.pageCount && readBlock(source, firstPage * fcr.pageSize, fcr.pageSize, a) && valid(a);
    const bool haveB = firstPage + 1 < fcr.pageCount &&
                       readBlock(source, (firstPage + 1) * fcr.pageSize, fcr.pageSize, b) && valid(b);
    if (!haveA && !haveB)
        return false;
    current = (haveA && (!haveB || a.u32(4) >= b.u32(4))) ? std::move(a) : std::move(b);
    return true;
}

// The current copy of 8.x PAT k: of the two, the one whose header names table k + 1 and whose
// 16-bit usage count at +6 is the larger (the first wins a tie), whichever FCR copy is current.
bool readPatV8(ByteSource& source, const FileControl& fcr, size_t k, Page& current)
{
    const size_t span = copySpanV8(fcr.pageSize);
    const uint64_t first = PageMap::patPageV8(fcr.pageSize, k) * fcr.pageSize;
    Page copies[2];
    bool have[2];
    for (int i = 0; i < 2; ++i) {
        Page& c = copies[i];
        have[i] = readBlock(source, first + uint64_t(i) * span, span, c) && (c.u32(0) & 0xFFFFFF) == k + 1 &&
                  c.u8(3) == 0x50 && c.u16(4) == 'P';
    }
    if (!have[0] && !have[1])
        return false;
    const bool useFirst = have[0] && (!have[1] || copies[0].u16(6) >= copies[1].u16(6));
    current = std::move(copies[useFirst ? 0 : 1]);
    return true;
}

} // namespace

const PageMap::Entry& PageMap::entry(size_t logical) const
{
    static const Entry none;
    return logical < mEntries.size() ? mEntries[logical] : none;
}

bool PageMap::physical(uint32_t logical, uint16_t type, uint64_t& page) const
{
    const Entry& e = entry(logical);
    if (e.type == PageFree || e.type != type || e.damaged)
        return false;
    page = e.physical;
    return true;
}

size_t PageMap::entriesPerPatV8(uint32_t pageSize)
{
    const uint64_t span = copySpanV8(pageSize);
    return static_cast<size_t>(5 * span / 32 - 2 * (span / pageSize));
}

uint64_t PageMap::patPageV8(uint32_t pageSize, size_t k)
{
    const uint64_t m = copySpanV8(pageSize) / pageSize;
    return 4 * m + k * (entriesPerPatV8(pageSize) + 2 * m);
}

void PageMap::add(uint64_t physical, uint16_t type, const FileControl& fcr, std::vector<bool>& used)
{
    if (type == PageFree) {
        mEntries.push_back({});
        return;
    }
    const bool damaged = physical >= fcr.pageCount || used[physical];
    if (!damaged)
        used[physical] = true;
    mEntries.push_back({physical, type, damaged});
}

int16_t PageMap::load(ByteSource& source, const FileControl& fcr)
{
    mEntries.clear();
    mRefusal.clear();
    mExpectedPages = 0;
    if (fcr.family == Family::Pre6)
        return btr::StatusSuccess;
    const int16_t status = fcr.family == Family::V8 ? loadV8(source, fcr) : loadV6(source, fcr);
    if (status != btr::StatusSuccess)
        mEntries.clear();
    return status;
}

int16_t PageMap::loadV6(ByteSource& source, const FileControl& fcr)
{
    const uint64_t stride = fcr.pageSize / 4;
    const size_t perPair = stride - 2;
    // Pages that are not free to map: both FCR copies and every PAT page.
    std::vector<bool> used(fcr.pageCount, false);
    for (uint64_t p = 0; p < fcr.pageCount && p < 2; ++p)
        used[p] = true;
    for (uint64_t p = 2; p < fcr.pageCount; p += stride) {
        used[p] = true;
        if (p + 1 < fcr.pageCount)
            used[p + 1] = true;
    }
    mEntries.push_back({});
    for (uint64_t first = 2; first < fcr.pageCount; first += stride) {
        Page pat;
        if (!readPatPair(source, first, fcr, pat))
            return btr::StatusIoError;
        for (size_t n = 1; n <= perPair; ++n) {
            const size_t at = 4 + 4 * n;
            const uint8_t type = pat.u8(at + 1);
            const uint32_t physical = pat.page24(at, at + 2, at + 3);
            const bool none = physical == kNoPage || type == PageFree;
            add(physical, none ? uint16_t(PageFree) : type, fcr, used);
        }
    }
    return btr::StatusSuccess;
}

int16_t PageMap::loadV8(ByteSource& source, const FileControl& fcr)
{
    const uint64_t m = copySpanV8(fcr.pageSize) / fcr.pageSize;
    const size_t perPat = entriesPerPatV8(fcr.pageSize);
    const bool seen = patLayoutSeenV8(fcr.pageSize);
    const std::string size = std::to_string(fcr.pageSize) + "-byte pages";
    // The FCR page count is the highest logical page + 1; a file always has its first table.
    const uint64_t logicalPages = fcr.fcrPageCount > 1 ? fcr.fcrPageCount - 1 : 0;
    const size_t needed = static_cast<size_t>(std::max<uint64_t>(1, (logicalPages + perPat - 1) / perPat));
    // A file cut short: the tables past its end cannot be read.
    const uint64_t inFile = fcr.pageCount > 4 * m ? (fcr.pageCount - 4 * m - 1) / (perPat + 2 * m) + 1 : 1;
    const size_t tables = static_cast<size_t>(std::min<uint64_t>(needed, inFile));
    // A page beyond the stretch of the last table is no page of a file cut short but a wild entry.
    const uint64_t stretchEnd = patPageV8(fcr.pageSize, needed);
    mExpectedPages = patPageV8(fcr.pageSize, needed - 1) + 2 * m;

    // Pages that are not free to map: the FCR copies, the zeros after them and every PAT copy.
    std::vector<bool> used(fcr.pageCount, false);
    for (uint64_t p = 0; p < fcr.pageCount && p < 4 * m; ++p)
        used[p] = true;
    for (size_t k = 0; k < tables; ++k)
        for (uint64_t p = patPageV8(fcr.pageSize, k);
             p < fcr.pageCount && p < patPageV8(fcr.pageSize, k) + 2 * m; ++p)
            used[p] = true;
    mEntries.push_back({});
    for (size_t k = 0; k < tables; ++k) {
        Page pat;
        if (!readPatV8(source, fcr, k, pat)) {
            if (k == 0 && !seen)
                mRefusal = "no page allocation table where the layout assumed for " + size + " puts it";
            if (k == 0)
                return seen ? btr::StatusIoError : btr::StatusSuccess;
            for (size_t n = 0; n < perPat; ++n)
                mEntries.push_back({patPageV8(fcr.pageSize, k), PageData, true});
            continue;
        }
        // Exactly N entries: a zero entry is no terminator, and what follows the last is not one.
        for (size_t n = 1; n <= perPat; ++n) {
            const size_t at = 0x14 + 6 * (n - 1);
            const uint32_t physical = pat.u32(at);
            const uint16_t type = pat.u16(at + 4);
            const uint16_t kept = type == PageFree || physical == 0xFFFFFFFE ? uint16_t(PageFree) : type;
            add(physical, kept, fcr, used);
            if (kept != PageFree && physical < stretchEnd)
                mExpectedPages = std::max<uint64_t>(mExpectedPages, uint64_t(physical) + 1);
        }
    }
    // Each mapped page's header repeats its entry: [u32 logical page][u16 type].
    for (size_t logical = 1; logical < mEntries.size(); ++logical) {
        Entry& e = mEntries[logical];
        if (e.type == PageFree || e.damaged)
            continue;
        uint8_t header[6];
        const bool read = source.read(e.physical * fcr.pageSize, sizeof header, header);
        const uint32_t named = header[0] | header[1] << 8 | header[2] << 16 | uint32_t(header[3]) << 24;
        const uint16_t type = static_cast<uint16_t>(header[4] | header[5] << 8);
        if (read && named == logical && type == e.type)
            continue;
        if (!seen && mRefusal.empty())
            mRefusal = "physical page " + std::to_string(e.physical) +
                       " does not repeat its entry of the page " +
                       "allocation table, so the table layout assumed for " + size + " does not hold";
        e.damaged = true;
    }
    return btr::StatusSuccess;
}

} // namespace engine::genuine
