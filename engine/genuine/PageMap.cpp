#include "PageMap.h"

#include "Status.h"

namespace engine::genuine {

namespace {

constexpr uint32_t kNoPage = 0xFFFFFF;

// Reads both copies of a PAT pair and keeps the valid one with the larger usage count.
// Returns false when neither copy is a PAT.
bool readPatPair(ByteSource& source, uint64_t firstPage, const FileControl& fcr, Page& current)
{
    const bool v8 = fcr.family == Family::V8;
    auto valid = [&](const Page& p) { return v8 ? p.u16(4) == 'P' : (p.u8(0) == 'P' && p.u8(1) == 'P'); };
    auto usage = [&](const Page& p) { return v8 ? uint32_t(p.u16(6)) : p.u32(4); };
    Page a, b;
    const bool haveA =
        firstPage < fcr.pageCount && readBlock(source, firstPage * fcr.pageSize, fcr.pageSize, a) && valid(a);
    const bool haveB = firstPage + 1 < fcr.pageCount &&
                       readBlock(source, (firstPage + 1) * fcr.pageSize, fcr.pageSize, b) && valid(b);
    if (!haveA && !haveB)
        return false;
    current = (haveA && (!haveB || usage(a) >= usage(b))) ? std::move(a) : std::move(b);
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
    if (e.type == PageFree || e.type != type)
        return false;
    page = e.physical;
    return true;
}

uint64_t PageMap::firstPatPageV8(uint32_t pageSize)
{
    // Both FCR copies take max(page size, 2048) bytes; the PAT pair follows them on the next
    // page boundary.
    return (2 * secondFcrOffsetV8(pageSize) + pageSize - 1) / pageSize;
}

bool PageMap::add(uint64_t physical, uint16_t type, const FileControl& fcr, std::vector<bool>& used)
{
    if (type == PageFree) {
        mEntries.push_back({});
        return true;
    }
    if (physical >= fcr.pageCount || used[physical])
        return false;
    used[physical] = true;
    mEntries.push_back({physical, type});
    return true;
}

int16_t PageMap::load(ByteSource& source, const FileControl& fcr)
{
    mEntries.clear();
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
            if (!add(physical, none ? uint16_t(PageFree) : type, fcr, used))
                return btr::StatusIoError;
        }
    }
    return btr::StatusSuccess;
}

int16_t PageMap::loadV8(ByteSource& source, const FileControl& fcr)
{
    const uint64_t first = firstPatPageV8(fcr.pageSize);
    std::vector<bool> used(fcr.pageCount, false);
    for (uint64_t p = 0; p < fcr.pageCount && p < first + 2; ++p)
        used[p] = true;
    mEntries.push_back({});
    if (first >= fcr.pageCount)
        return btr::StatusSuccess;
    Page pat;
    if (!readPatPair(source, first, fcr, pat))
        return btr::StatusIoError;
    const size_t perPat = entriesPerPatV8(fcr.pageSize);
    for (size_t n = 1; n <= perPat; ++n) {
        const size_t at = 14 + 6 * n;
        const uint32_t physical = pat.u32(at);
        const uint16_t type = pat.u16(at + 4);
        const bool none = physical == 0xFFFFFFFF || type == PageFree;
        if (!add(physical, none ? uint16_t(PageFree) : type, fcr, used))
            return btr::StatusIoError;
    }
    return btr::StatusSuccess;
}

} // namespace engine::genuine
