#include "Records.h"

#include "Status.h"

#include <unordered_map>
#include <unordered_set>

namespace engine::genuine {

namespace {

constexpr unsigned kLastFragment = 254;
constexpr size_t kPageCacheLimit = 64;

// One pass over a file's records; every method returns false as soon as the file proves damaged.
class RecordWalk {
public:
    RecordWalk(ByteSource& source, const FileControl& fcr, const PageMap& map,
               std::vector<std::vector<uint8_t>>& records)
        : mSource(source), mFcr(fcr), mMap(map), mRecords(records)
    {
    }

    bool run();

private:
    bool checkSlotLayout();
    bool walkPre6();
    bool walkDataPages(size_t header);
    bool markDeletedChain(std::vector<bool>& deleted);
    bool takeSlot(const Page& page, size_t slot, size_t recordAt);
    bool appendVariablePart(const Page& page, size_t pointerAt, std::vector<uint8_t>& record);
    bool fragment(uint64_t physical, unsigned number, const Page*& page, size_t& begin, size_t& end);
    const Page* page(uint64_t physical);

    ByteSource& mSource;
    const FileControl& mFcr;
    const PageMap& mMap;
    std::vector<std::vector<uint8_t>>& mRecords;
    size_t mSlotsPerPage = 0;
    std::unordered_map<uint64_t, Page> mCache;
    std::unordered_set<uint64_t> mFragmentsUsed;
};

bool RecordWalk::run()
{
    if (!checkSlotLayout())
        return false;
    const bool ok =
        mFcr.family == Family::Pre6 ? walkPre6() : walkDataPages(mFcr.family == Family::V8 ? 8 : 6);
    return ok && mRecords.size() == mFcr.recordCount;
}

// A slot holds the usage count (6.0+), system data (some 8.x files), the record, two chain
// pointers per key with linked duplicates, reserved duplicate pointers and, last, the pointer to
// the variable part.
bool RecordWalk::checkSlotLayout()
{
    const size_t header = mFcr.family == Family::V8 ? 8 : 6;
    const size_t minimum = mFcr.recordOffsetInSlot() + mFcr.recordLength +
                           8 * size_t(mFcr.linkedDuplicateKeys()) + (mFcr.variable() ? 4 : 0);
    const size_t length = mFcr.physicalLength;
    if (mFcr.recordLength == 0 || length < minimum || length > mFcr.pageSize - header)
        return false;
    if (mFcr.family == Family::Pre6 && length < 4) // a free slot holds the next free slot's offset
        return false;
    mSlotsPerPage = (mFcr.pageSize - header) / length;
    return true;
}

const Page* RecordWalk::page(uint64_t physical)
{
    auto it = mCache.find(physical);
    if (it != mCache.end())
        return &it->second;
    if (physical >= mFcr.pageCount)
        return nullptr;
    if (mCache.size() >= kPageCacheLimit)
        mCache.clear();
    Page p;
    if (!readBlock(mSource, physical * mFcr.pageSize, mFcr.pageSize, p))
        return nullptr;
    return &mCache.emplace(physical, std::move(p)).first->second;
}

bool RecordWalk::markDeletedChain(std::vector<bool>& deleted)
{
    const size_t header = 6;
    uint32_t offset = mFcr.deletedHead;
    while (offset != 0xFFFFFFFF) {
        const uint64_t pageNo = offset / mFcr.pageSize;
        const size_t within = offset % mFcr.pageSize;
        if (pageNo == 0 || pageNo >= mFcr.pageCount || within < header ||
            (within - header) % mFcr.physicalLength != 0)
            return false;
        const size_t slot = (within - header) / mFcr.physicalLength;
        const uint64_t index = pageNo * mSlotsPerPage + slot;
        if (slot >= mSlotsPerPage || deleted[index])
            return false; // outside the slots, or a loop
        deleted[index] = true;
        const Page* p = page(pageNo);
        if (!p)
            return false;
        offset = p->ws32(within);
    }
    return true;
}

bool RecordWalk::walkPre6()
{
    std::vector<bool> deleted;
    if (mFcr.deletedHead != 0xFFFFFFFF) {
        deleted.assign(mFcr.pageCount * mSlotsPerPage, false);
        if (!markDeletedChain(deleted))
            return false;
    }
    for (uint64_t p = 1; p < mFcr.pageCount; ++p) {
        Page data;
        if (!readBlock(mSource, p * mFcr.pageSize, mFcr.pageSize, data))
            return false;
        if (!(data.u16(4) & 0x8000))
            continue;
        for (size_t s = 0; s < mSlotsPerPage; ++s) {
            if (!deleted.empty() && deleted[p * mSlotsPerPage + s])
                continue;
            const size_t at = 6 + s * mFcr.physicalLength;
            bool neverUsed = true;
            for (size_t i = 4; i < mFcr.physicalLength && neverUsed; ++i)
                neverUsed = data.u8(at + i) == 0;
            if (neverUsed)
                continue;
            if (!takeSlot(data, s, at))
                return false;
        }
    }
    return true;
}

bool RecordWalk::walkDataPages(size_t header)
{
    for (size_t logical = 1; logical <= mMap.count(); ++logical) {
        const PageMap::Entry& e = mMap.entry(logical);
        if (e.type != PageData)
            continue;
        Page data;
        if (!readBlock(mSource, e.physical * mFcr.pageSize, mFcr.pageSize, data))
            return false;
        for (size_t s = 0; s < mSlotsPerPage; ++s) {
            const size_t at = header + s * mFcr.physicalLength;
            if (data.u16(at) == 0)
                continue;
            if (!takeSlot(data, s, at + mFcr.recordOffsetInSlot()))
                return false;
        }
    }
    return true;
}

bool RecordWalk::takeSlot(const Page& data, size_t slot, size_t recordAt)
{
    if (mRecords.size() >= mFcr.recordCount)
        return false; // more live records than the FCR counts
    std::vector<uint8_t> record;
    if (!data.copy(recordAt, mFcr.recordLength, record))
        return false;
    if (mFcr.variable()) {
        const size_t header = mFcr.family == Family::V8 ? 8 : 6;
        const size_t pointerAt = header + (slot + 1) * mFcr.physicalLength - 4;
        if (!appendVariablePart(data, pointerAt, record))
            return false;
    }
    mRecords.push_back(std::move(record));
    return true;
}

// Locates fragment number of a variable page: its bytes are [begin, end) of *page. The fragment
// table grows back from the page end; an entry of 0xFFFF is unused, and a fragment ends where
// the next used entry's fragment begins.
bool RecordWalk::fragment(uint64_t physical, unsigned number, const Page*& out, size_t& begin, size_t& end)
{
    const size_t header = 6;
    const size_t lastWord = (mFcr.pageSize - 1) >> 1;
    const Page* p = page(physical);
    if (!p || number > kLastFragment)
        return false;
    const uint16_t entry = p->u16(2 * (lastWord - number));
    if (entry == 0xFFFF)
        return false;
    begin = entry & 0x7FFF;
    for (unsigned next = number + 1; next <= kLastFragment + 1; ++next) {
        const size_t tableAt = 2 * (lastWord - next);
        if (tableAt < header)
            return false;
        const uint16_t value = p->u16(tableAt);
        if (value == 0xFFFF)
            continue;
        end = value & 0x7FFF;
        out = p;
        return begin >= header && begin <= end && end <= tableAt;
    }
    return false;
}

bool RecordWalk::appendVariablePart(const Page& data, size_t pointerAt, std::vector<uint8_t>& record)
{
    const bool chained = mFcr.family != Family::Pre6;
    uint32_t pageNo = data.page24(pointerAt, pointerAt + 1, pointerAt + 2);
    unsigned number = data.u8(pointerAt + 3);
    while (number <= kLastFragment) {
        uint64_t physical = pageNo;
        if (chained && !mMap.physical(pageNo, PageVariable, physical))
            return false;
        // Each fragment belongs to one record only; this also ends any loop.
        if (!mFragmentsUsed.insert(physical << 8 | number).second)
            return false;
        const Page* p = nullptr;
        size_t begin = 0, end = 0;
        if (!fragment(physical, number, p, begin, end))
            return false;
        if (!chained)
            return p->copy(begin, end - begin, record);
        if (end - begin < 4 || !p->copy(begin + 4, end - begin - 4, record))
            return false;
        pageNo = p->page24(begin, begin + 1, begin + 2);
        number = p->u8(begin + 3);
    }
    return true;
}

} // namespace

int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map,
                    std::vector<std::vector<uint8_t>>& records)
{
    records.clear();
    RecordWalk walk(source, fcr, map, records);
    if (!walk.run()) {
        records.clear();
        return btr::StatusIoError;
    }
    return btr::StatusSuccess;
}

} // namespace engine::genuine
