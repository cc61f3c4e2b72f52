#include "Records.h"

#include "Status.h"

#include <unordered_map>
#include <unordered_set>

namespace engine::genuine {

namespace {

constexpr unsigned kLastFragment = 254;
constexpr size_t kPageCacheLimit = 64;
constexpr uint16_t kChainedFragment = 0x8000; // pre-6: the fragment starts with a next pointer
constexpr size_t kV8VariableHeader = 0x10;
constexpr size_t kV8NextPointer = 6;

// One pass over a file's records. Methods about one record or page return false when it does not
// check; the walk then lists the page as damaged and goes on.
class RecordWalk {
public:
    RecordWalk(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out)
        : mSource(source), mFcr(fcr), mMap(map), mOut(out)
    {
    }

    int16_t run();

private:
    bool checkSlotLayout();
    bool walkPre6();
    void walkDataPages();
    bool markDeletedChain(std::vector<bool>& deleted);
    bool liveSlot(const Page& page, size_t at) const;
    bool takeSlot(const Page& page, size_t at);
    bool appendVariablePart(const Page& page, size_t pointerAt, std::vector<uint8_t>& record);
    bool compressedImage(const Page& page, size_t at, std::vector<uint8_t>& image);
    bool fragment(uint64_t physical, unsigned number, const Page*& page, size_t& begin, size_t& end,
                  bool& chained);
    bool fragmentV8(uint32_t logical, unsigned number, const Page*& page, size_t& begin, size_t& end);
    bool claim(uint64_t physical, unsigned number);
    const Page* page(uint64_t physical);
    void damaged(uint64_t page);

    ByteSource& mSource;
    const FileControl& mFcr;
    const PageMap& mMap;
    RecordSet& mOut;
    size_t mSlotsPerPage = 0;
    std::unordered_map<uint64_t, Page> mCache;
    std::unordered_set<uint64_t> mFragmentsUsed;
};

int16_t RecordWalk::run()
{
    if (!checkSlotLayout())
        return btr::StatusIoError;
    if (mFcr.family == Family::Pre6) {
        if (!walkPre6())
            return btr::StatusIoError;
    } else {
        walkDataPages();
    }
    if (mOut.damaged.empty() && mOut.records.size() != mFcr.recordCount)
        return btr::StatusIoError;
    return btr::StatusSuccess;
}

void RecordWalk::damaged(uint64_t page)
{
    if (mOut.damaged.empty() || mOut.damaged.back().page != page)
        mOut.damaged.push_back({page, mOut.records.size()});
}

// A slot holds the usage count (6.0+), system data (some 8.x files), the record, two chain
// pointers per key with linked duplicates, reserved duplicate pointers and the pointer to the
// variable part: after the fixed part in pre-6 files, last in 6.x files. A compressed file's
// slot holds the pointer to the record's image instead of the record.
bool RecordWalk::checkSlotLayout()
{
    const size_t header = mFcr.pageHeader();
    const bool tailPointer = mFcr.family == Family::V6 && mFcr.variable();
    const size_t minimum = mFcr.slotHead() + 8 * size_t(mFcr.linkedDuplicateKeys()) + (tailPointer ? 4 : 0);
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
        if (!readBlock(mSource, p * mFcr.pageSize, mFcr.pageSize, data)) {
            damaged(p);
            continue;
        }
        if (!(data.u16(4) & 0x8000))
            continue;
        for (size_t s = 0; s < mSlotsPerPage; ++s) {
            if (!deleted.empty() && deleted[p * mSlotsPerPage + s])
                continue;
            const size_t at = 6 + s * mFcr.physicalLength;
            bool neverUsed = true;
            for (size_t i = 4; i < mFcr.physicalLength && neverUsed; ++i)
                neverUsed = data.u8(at + i) == 0;
            if (!neverUsed && !takeSlot(data, at))
                damaged(p);
        }
    }
    return true;
}

// 6.x and uncompressed 8.x slots are live when their usage count is not 0; compressed 8.x slots
// when the three bytes after the image pointer are not all 0 (a free slot holds only the link to
// the next free one).
bool RecordWalk::liveSlot(const Page& data, size_t at) const
{
    if (mFcr.compressed)
        return data.u8(at + 6) != 0 || data.u8(at + 7) != 0 || data.u8(at + 8) != 0;
    return data.u16(at) != 0;
}

void RecordWalk::walkDataPages()
{
    const bool v8 = mFcr.family == Family::V8;
    const size_t header = mFcr.pageHeader();
    for (size_t logical = 1; logical <= mMap.count(); ++logical) {
        const PageMap::Entry& e = mMap.entry(logical);
        if (e.damaged) {
            damaged(e.physical);
            continue;
        }
        if (e.type != PageData)
            continue;
        Page data;
        if (!readBlock(mSource, e.physical * mFcr.pageSize, mFcr.pageSize, data)) {
            damaged(e.physical);
            continue;
        }
        // An 8.x page header repeats the page's PAT entry.
        if (v8 && (data.u32(0) != logical || data.u16(4) != PageData)) {
            damaged(e.physical);
            continue;
        }
        for (size_t s = 0; s < mSlotsPerPage; ++s) {
            const size_t at = header + s * mFcr.physicalLength;
            if (liveSlot(data, at) && !takeSlot(data, at))
                damaged(e.physical);
        }
    }
}

bool RecordWalk::takeSlot(const Page& data, size_t at)
{
    std::vector<uint8_t> record;
    if (mFcr.compressed) {
        std::vector<uint8_t> image;
        if (!compressedImage(data, at, image) || !decompressRecord(image, mFcr.recordLength, record))
            return false;
    } else {
        if (!data.copy(at + mFcr.recordOffsetInSlot(), mFcr.recordLength, record))
            return false;
        if (mFcr.variable()) {
            const size_t pointerAt = mFcr.family == Family::Pre6 ? at + mFcr.recordLength
                                                                 : at + mFcr.physicalLength - 4;
            if (!appendVariablePart(data, pointerAt, record))
                return false;
        }
    }
    mOut.records.push_back(std::move(record));
    return true;
}

// Each fragment belongs to one record only; this also ends any loop.
bool RecordWalk::claim(uint64_t physical, unsigned number)
{
    return mFragmentsUsed.insert(physical << 16 | number).second;
}

// Locates fragment number of a pre-6 or 6.x variable page: its bytes are [begin, end) of *page.
// The fragment table grows back from the page end; an entry of 0xFFFF is unused, and a fragment
// ends where the next used entry's fragment begins. Bit 15 of an entry marks a pre-6 fragment
// that starts with a pointer to the next one.
bool RecordWalk::fragment(uint64_t physical, unsigned number, const Page*& out, size_t& begin, size_t& end,
                          bool& chained)
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
    chained = (entry & kChainedFragment) != 0;
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

// Locates fragment number of the 8.x variable page with that logical number: the page header
// repeats the PAT entry and holds the fragment count at +14; fragment f's offset is the word at
// page size - 2 - 2f, and the entry at index count marks the end of the last one.
bool RecordWalk::fragmentV8(uint32_t logical, unsigned number, const Page*& out, size_t& begin, size_t& end)
{
    uint64_t physical = 0;
    if (!mMap.physical(logical, PageVariable, physical))
        return false;
    const Page* p = page(physical);
    if (!p || p->u32(0) != logical || p->u16(4) != PageVariable)
        return false;
    const unsigned count = p->u16(14);
    const size_t tableStart = mFcr.pageSize - 2 - 2 * size_t(count);
    if (number >= count || 2 + 2 * size_t(count) > mFcr.pageSize - kV8VariableHeader)
        return false;
    auto entry = [&](unsigned f) { return p->u16(mFcr.pageSize - 2 - 2 * size_t(f)); };
    begin = entry(number);
    if (begin == 0xFFFF)
        return false;
    for (unsigned next = number + 1; next <= count; ++next) {
        const uint16_t value = entry(next);
        if (value == 0xFFFF)
            continue;
        end = value;
        out = p;
        return begin >= kV8VariableHeader && begin <= end && end <= tableStart;
    }
    return false;
}

bool RecordWalk::appendVariablePart(const Page& data, size_t pointerAt, std::vector<uint8_t>& record)
{
    const bool pre6 = mFcr.family == Family::Pre6;
    uint32_t pageNo = data.page24(pointerAt, pointerAt + 1, pointerAt + 2);
    unsigned number = data.u8(pointerAt + 3);
    while (number <= kLastFragment) {
        uint64_t physical = pageNo;
        if (!pre6 && !mMap.physical(pageNo, PageVariable, physical))
            return false;
        if (!claim(physical, number))
            return false;
        const Page* p = nullptr;
        size_t begin = 0, end = 0;
        bool chained = false;
        if (!fragment(physical, number, p, begin, end, chained))
            return false;
        // 6.x fragments always start with the pointer to the next; pre-6 ones when bit 15 says so.
        if (!pre6)
            chained = true;
        if (!chained)
            return p->copy(begin, end - begin, record);
        if (end - begin < 4 || !p->copy(begin + 4, end - begin - 4, record))
            return false;
        pageNo = p->page24(begin, begin + 1, begin + 2);
        number = p->u8(begin + 3);
    }
    return true;
}

// The image of a compressed record: the fragment bodies of its chain, concatenated. Pre-6: the
// slot starts with [hi][lo][mid][fragment] naming a physical variable page; 8.x: with
// [u32 logical page][u16 fragment], and each fragment starts with a 6-byte pointer to the next
// (all 0xFF after the last).
bool RecordWalk::compressedImage(const Page& data, size_t at, std::vector<uint8_t>& image)
{
    if (mFcr.family == Family::Pre6)
        return appendVariablePart(data, at, image);
    uint32_t logical = data.u32(at);
    unsigned number = data.u16(at + 4);
    for (;;) {
        const Page* p = nullptr;
        size_t begin = 0, end = 0;
        if (!fragmentV8(logical, number, p, begin, end))
            return false;
        uint64_t physical = 0;
        mMap.physical(logical, PageVariable, physical);
        if (!claim(physical, number) || end - begin < kV8NextPointer)
            return false;
        if (!p->copy(begin + kV8NextPointer, end - begin - kV8NextPointer, image))
            return false;
        logical = p->u32(begin);
        number = p->u16(begin + 4);
        if (logical == 0xFFFFFFFF && number == 0xFFFF)
            return true;
    }
}

} // namespace

bool decompressRecord(const std::vector<uint8_t>& image, size_t length, std::vector<uint8_t>& record)
{
    record.clear();
    record.reserve(length);
    bool literal = true;
    size_t i = 0;
    while (i < image.size()) {
        if (image.size() - i < 2)
            return false;
        const size_t n = image[i] | size_t(image[i + 1]) << 8;
        i += 2;
        if (n > length - record.size())
            return false;
        if (literal) {
            if (n > image.size() - i)
                return false;
            record.insert(record.end(), image.begin() + static_cast<std::ptrdiff_t>(i),
                          image.begin() + static_cast<std::ptrdiff_t>(i + n));
            i += n;
        } else {
            if (i >= image.size())
                return false;
            record.insert(record.end(), n, image[i]);
            i += 1;
        }
        literal = !literal;
    }
    return record.size() == length;
}

int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out)
{
    out = RecordSet{};
    RecordWalk walk(source, fcr, map, out);
    const int16_t status = walk.run();
    if (status != btr::StatusSuccess)
        out = RecordSet{};
    return status;
}

} // namespace engine::genuine
