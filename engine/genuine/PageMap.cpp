#include "PageMap.h"

#include "Status.h"

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

// The current 8.x PAT: of the two 2048-byte copies, the valid one with the larger 16-bit usage
// count at +6 (the first wins a tie), whichever FCR copy is current.
bool readPatV8(ByteSource& source, Page& current)
{
    Page copies[2];
    bool have[2];
    for (int i = 0; i < 2; ++i)
        have[i] = readBlock(source, PageMap::kPatOffsetV8[i], PageMap::kPatSizeV8, copies[i]) &&
                  copies[i].u16(4) == 'P';
    if (!have[0] && !have[1])
        return false;
    const bool first = have[0] && (!have[1] || copies[0].u16(6) >= copies[1].u16(6));
    current = std::move(copies[first ? 0 : 1]);
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
    return pageSize == 512 ? 312 : pageSize == 1024 ? 316 : 0;
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
    // The FCR copies, the zeros after them and the PAT copies come before any mapped page.
    std::vector<bool> used(fcr.pageCount, false);
    const uint64_t reserved = kFirstPageOffsetV8 / fcr.pageSize;
    for (uint64_t p = 0; p < fcr.pageCount && p < reserved; ++p)
        used[p] = true;
    mEntries.push_back({});
    Page pat;
    if (!readPatV8(source, pat))
        return btr::StatusIoError;
    // Entries stop at N; what follows the zero entry after them is an allocation bitmap. With a
    // page size whose N is not known, the entries up to the first zero one are taken, so that
    // Stat finds the collating sequence; such files' records are not read.
    const size_t known = entriesPerPatV8(fcr.pageSize);
    const size_t perPat = known != 0 ? known : (kPatSizeV8 - 0x14) / 6;
    for (size_t n = 1; n <= perPat; ++n) {
        const size_t at = 0x14 + 6 * (n - 1);
        const uint32_t physical = pat.u32(at);
        const uint16_t type = pat.u16(at + 4);
        if (known == 0 && physical == 0 && type == 0)
            break;
        add(physical, type, fcr, used);
    }
    return btr::StatusSuccess;
}

} // namespace engine::genuine
