#include "Records.h"

#include "Status.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace engine::genuine {

namespace {

constexpr unsigned kLastFragment = 254;
constexpr size_t kPageCacheLimit = 64;
constexpr uint16_t kChainedFragment = 0x8000; // pre-6: the fragment starts with a next pointer
constexpr size_t kV8VariableHeader = 0x10;
constexpr size_t kV8NextPointer = 6;
constexpr size_t kV6VariableHeader = 0x0C; // 6.x compressed files

// One pass over a file's records. Methods about one record or page return false when it does not
// check; the walk then lists the page as damaged and goes on.
class RecordWalk {
public:
    RecordWalk(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out, bool keep)
        : mSource(source), mFcr(fcr), mMap(map), mOut(out), mKeep(keep)
    {
    }

    int16_t run();

private:
    bool checkSlotLayout();
    void walkPre6();
    void walkDataPages();
    void markDeletedChain();
    bool looksLikeChainLink(uint32_t offset) const;
    bool readDataPage(uint64_t physical, Page& data);
    void takeSlots(const Page& data, uint64_t physical, uint64_t number, const std::vector<bool>* deleted);
    bool liveSlot(const Page& page, size_t at) const;
    bool takeSlot(const Page& page, size_t at);
    bool appendVariablePart(const Page& page, size_t pointerAt, std::vector<uint8_t>& record);
    bool appendChain(uint32_t logical, unsigned number, std::vector<uint8_t>& out);
    bool compressedImage(const Page& page, size_t at, std::vector<uint8_t>& image);
    bool fragment(uint64_t physical, unsigned number, const Page*& page, size_t& begin, size_t& end,
                  bool& chained);
    bool counted(uint32_t logical, unsigned number, const Page*& page, size_t& begin, size_t& end);
    bool claim(uint64_t physical, unsigned number);
    const Page* page(uint64_t physical);
    void damaged(uint64_t page);

    ByteSource& mSource;
    const FileControl& mFcr;
    const PageMap& mMap;
    RecordSet& mOut;
    const bool mKeep; // false: each record's place only (an empty record)
    size_t mSlotsPerPage = 0;
    uint64_t mPages = 0; // pages the file holds, a last one cut short included
    std::unordered_map<uint64_t, Page> mCache;
    std::unordered_set<uint64_t> mFragmentsUsed;
    std::vector<bool> mDeleted; // pre-6: slots on the deleted-record chain, by page and slot
};

int16_t RecordWalk::run()
{
    if (!checkSlotLayout())
        return btr::StatusIoError;
    mPages = (mSource.size() + mFcr.pageSize - 1) / mFcr.pageSize;
    if (mFcr.family == Family::Pre6)
        walkPre6();
    else
        walkDataPages();
    // Pre-6 and 6.x control records count the file's pages; 8.x tables map pages up to the last.
    const uint64_t expected = mFcr.family == Family::V8 ? mMap.expectedPages() : mFcr.fcrPageCount;
    if (mSource.size() % mFcr.pageSize != 0 || expected > mFcr.pageCount)
        mOut.expectedPages = std::max<uint64_t>(expected, mPages);
    return btr::StatusSuccess;
}

void RecordWalk::damaged(uint64_t page)
{
    if (mOut.damaged.empty() || mOut.damaged.back().page != page)
        mOut.damaged.push_back({page, mOut.records.size()});
}

// A slot holds the usage count (6.0+), system data (some 8.x files), the record, two chain
// pointers per key with linked duplicates, reserved duplicate pointers and the pointer to the
// variable part: after the fixed part in pre-6 and 8.x files, last in 6.x files. A compressed
// file's slot holds the pointer to the record's image instead of the record.
bool RecordWalk::checkSlotLayout()
{
    const size_t header = mFcr.pageHeader();
    const bool tailPointer = mFcr.family == Family::V6 && mFcr.variable() && !mFcr.compressed;
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

// A data page, or as much of it as a file cut short inside it holds (the page is then listed as
// damaged, and its whole slots are still read). False when nothing of it can be read.
bool RecordWalk::readDataPage(uint64_t physical, Page& data)
{
    if (readBlock(mSource, physical * mFcr.pageSize, mFcr.pageSize, data))
        return true;
    const uint64_t at = physical * mFcr.pageSize;
    damaged(physical);
    if (at >= mSource.size())
        return false;
    return readBlock(mSource, at, static_cast<size_t>(mSource.size() - at), data);
}

// Offsets a free slot's link may hold: a slot boundary of a page after the FCR, or the end.
bool RecordWalk::looksLikeChainLink(uint32_t offset) const
{
    if (offset == 0xFFFFFFFF)
        return true;
    const uint64_t pageNo = offset / mFcr.pageSize;
    const size_t within = offset % mFcr.pageSize;
    return pageNo != 0 && pageNo < mPages && within >= 6 && (within - 6) % mFcr.physicalLength == 0 &&
           (within - 6) / mFcr.physicalLength < mSlotsPerPage;
}

// Marks the slots on the deleted-record chain. A chain that leaves the slots, loops or reaches a
// page that cannot be read breaks there: the slots before the break stay marked, and the page
// whose link is wrong (0 for the FCR's head) is noted, unless the link only points past the end
// of a file cut short.
void RecordWalk::markDeletedChain()
{
    mDeleted.assign(mPages * mSlotsPerPage, false);
    uint32_t offset = mFcr.deletedHead;
    uint64_t from = 0; // the page holding the link being followed
    while (offset != 0xFFFFFFFF) {
        const uint64_t pageNo = offset / mFcr.pageSize;
        const size_t within = offset % mFcr.pageSize;
        const Page* p = looksLikeChainLink(offset) ? page(pageNo) : nullptr;
        const uint64_t index = pageNo * mSlotsPerPage + (within - 6) / mFcr.physicalLength;
        if (!p || mDeleted[index]) {
            mOut.chainBroken = true;
            const bool pastTheEnd = offset >= mSource.size() - mSource.size() % mFcr.pageSize &&
                                    offset < uint64_t(mFcr.fcrPageCount) * mFcr.pageSize;
            mOut.chainBrokenAt = from;
            mOut.chainPastTheEnd = pastTheEnd;
            return;
        }
        mDeleted[index] = true;
        from = pageNo;
        offset = p->ws32(within);
    }
}

void RecordWalk::walkPre6()
{
    if (mFcr.deletedHead != 0xFFFFFFFF)
        markDeletedChain();
    // The page whose link is wrong is not to be trusted; a link past the end of a cut file is.
    const bool skip = mOut.chainBroken && !mOut.chainPastTheEnd;
    if (skip && mOut.chainBrokenAt == 0)
        damaged(0);
    for (uint64_t p = 1; p < mPages; ++p) {
        if (skip && p == mOut.chainBrokenAt) {
            damaged(p);
            continue;
        }
        Page data;
        if (!readDataPage(p, data))
            continue;
        if (!(data.u16(4) & 0x8000))
            continue;
        takeSlots(data, p, p, mDeleted.empty() ? nullptr : &mDeleted);
    }
}

// The records of one data page's slots; number is the page's number as record addresses give it,
// deleted, when given, marks pre-6 slots on the chain.
void RecordWalk::takeSlots(const Page& data, uint64_t physical, uint64_t number,
                           const std::vector<bool>* deleted)
{
    const size_t linked = static_cast<size_t>(mFcr.linkedDuplicateKeys());
    const size_t header = mFcr.pageHeader();
    const bool pre6 = mFcr.family == Family::Pre6;
    for (size_t s = 0; s < mSlotsPerPage; ++s) {
        const size_t at = header + s * mFcr.physicalLength;
        if (!data.fits(at, mFcr.physicalLength))
            break; // the rest of a page the file ends inside
        if (deleted && (*deleted)[physical * mSlotsPerPage + s])
            continue;
        bool live = true;
        if (pre6 && mFcr.compressed) {
            live = data.u8(at + 4) != 0;
        } else if (pre6) {
            bool neverUsed = true;
            for (size_t i = 4; i < mFcr.physicalLength && neverUsed; ++i)
                neverUsed = data.u8(at + i) == 0;
            live = !neverUsed;
        } else {
            live = liveSlot(data, at);
        }
        if (!live)
            continue;
        if (!takeSlot(data, at)) {
            damaged(physical);
            continue;
        }
        mOut.addresses.push_back(recordAddress(mFcr, number, s, mSlotsPerPage));
        for (size_t k = 0; k < linked; ++k)
            mOut.nextDuplicates.push_back(data.ws32(at + mFcr.slotHead() + 8 * k + 4));
        // Past a broken chain, a slot whose first bytes are a valid link may be a deleted one.
        if (pre6 && !mFcr.compressed && mOut.chainBroken && looksLikeChainLink(data.ws32(at)))
            ++mOut.couldBeDeleted;
    }
}

// 6.x and uncompressed 8.x slots are live when their usage count is not 0; compressed slots when
// the three bytes after the image pointer are not all 0 (a free slot holds only the link to the
// next free one).
bool RecordWalk::liveSlot(const Page& data, size_t at) const
{
    if (mFcr.compressed) {
        const size_t flags = at + (mFcr.family == Family::V8 ? 6 : 4);
        return data.u8(flags) != 0 || data.u8(flags + 1) != 0 || data.u8(flags + 2) != 0;
    }
    return data.u16(at) != 0;
}

void RecordWalk::walkDataPages()
{
    const bool v8 = mFcr.family == Family::V8;
    for (size_t logical = 1; logical <= mMap.count(); ++logical) {
        const PageMap::Entry& e = mMap.entry(logical);
        if (e.type != PageData)
            continue; // a damaged variable page shows in the records that need it
        if (e.damaged) {
            damaged(e.physical);
            continue;
        }
        Page data;
        if (!readDataPage(e.physical, data))
            continue;
        // An 8.x page header repeats the page's PAT entry.
        if (v8 && (data.u32(0) != logical || data.u16(4) != PageData)) {
            damaged(e.physical);
            continue;
        }
        takeSlots(data, e.physical, logical, nullptr);
    }
}

bool RecordWalk::takeSlot(const Page& data, size_t at)
{
    std::vector<uint8_t> record;
    if (mFcr.compressed) {
        std::vector<uint8_t> image;
        if (!compressedImage(data, at, image) ||
            !decompressRecord(image, mFcr.recordLength, record, mFcr.variable()))
            return false;
    } else if (!mKeep && !mFcr.variable()) {
        if (!data.fits(at + mFcr.recordOffsetInSlot(), mFcr.recordLength))
            return false;
    } else {
        const size_t recordAt = at + mFcr.recordOffsetInSlot();
        if (!data.copy(recordAt, mFcr.recordLength, record))
            return false;
        if (mFcr.variable()) {
            if (mFcr.family == Family::V8) {
                // [u32 logical page][u16 fragment] after the fixed part; all 0xFF: none.
                const size_t pointerAt = recordAt + mFcr.recordLength;
                const uint32_t logical = data.u32(pointerAt);
                const unsigned number = data.u16(pointerAt + 4);
                if (!(logical == 0xFFFFFFFF && number == 0xFFFF) && !appendChain(logical, number, record))
                    return false;
            } else {
                const size_t pointerAt =
                    mFcr.family == Family::Pre6 ? at + mFcr.recordLength : at + mFcr.physicalLength - 4;
                if (!appendVariablePart(data, pointerAt, record))
                    return false;
            }
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

// Locates fragment number of the variable page with that logical number in a file whose variable
// pages count their fragments: 8.x (header [u32 logical]['V'], count at +14, fragments from +0x10)
// and 6.x compressed files (header [hi]'V'[lo][mid], count at +10, fragments from +0x0C). Fragment
// f's offset is the word at page size - 2 - 2f, and the entry at index count marks the end of the
// last one.
bool RecordWalk::counted(uint32_t logical, unsigned number, const Page*& out, size_t& begin, size_t& end)
{
    const bool v8 = mFcr.family == Family::V8;
    uint64_t physical = 0;
    if (!mMap.physical(logical, PageVariable, physical))
        return false;
    const Page* p = page(physical);
    if (!p)
        return false;
    const bool header = v8 ? p->u32(0) == logical && p->u16(4) == PageVariable
                           : p->page24(0, 2, 3) == logical && p->u8(1) == PageVariable;
    if (!header)
        return false;
    const size_t first = v8 ? kV8VariableHeader : kV6VariableHeader;
    const unsigned count = p->u16(v8 ? 14 : 10);
    if (number >= count || 2 + 2 * size_t(count) > mFcr.pageSize - first)
        return false;
    const size_t tableStart = mFcr.pageSize - 2 - 2 * size_t(count);
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
        return begin >= first && begin <= end && end <= tableStart && claim(physical, number);
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

// Appends the bodies of a fragment chain of a file whose variable pages count their fragments:
// 8.x fragments start with a 6-byte pointer to the next ([u32 logical page][u16 fragment], all
// 0xFF after the last), 6.x ones with a 4-byte one ([hi][lo][mid][fragment], fragment 0xFF after
// the last).
bool RecordWalk::appendChain(uint32_t logical, unsigned number, std::vector<uint8_t>& out)
{
    const bool v8 = mFcr.family == Family::V8;
    const size_t pointer = v8 ? kV8NextPointer : 4;
    for (;;) {
        const Page* p = nullptr;
        size_t begin = 0, end = 0;
        if (!counted(logical, number, p, begin, end) || end - begin < pointer)
            return false;
        if (!p->copy(begin + pointer, end - begin - pointer, out))
            return false;
        if (v8) {
            logical = p->u32(begin);
            number = p->u16(begin + 4);
            if (logical == 0xFFFFFFFF && number == 0xFFFF)
                return true;
        } else {
            logical = p->page24(begin, begin + 1, begin + 2);
            number = p->u8(begin + 3);
            if (number > kLastFragment)
                return true;
        }
    }
}

// The image of a compressed record: the fragment bodies of its chain, concatenated. The slot
// starts with the pointer to the first fragment: pre-6 [hi][lo][mid][fragment] naming a physical
// variable page, 6.x the same naming a logical one, 8.x [u32 logical page][u16 fragment].
bool RecordWalk::compressedImage(const Page& data, size_t at, std::vector<uint8_t>& image)
{
    if (mFcr.family == Family::Pre6)
        return appendVariablePart(data, at, image);
    if (mFcr.family == Family::V6)
        return appendChain(data.page24(at, at + 1, at + 2), data.u8(at + 3), image);
    return appendChain(data.u32(at), data.u16(at + 4), image);
}

} // namespace

uint32_t recordAddress(const FileControl& fcr, uint64_t page, size_t slot, size_t slotsPerPage)
{
    if (fcr.family == Family::Pre6)
        return static_cast<uint32_t>(page * fcr.pageSize + fcr.pageHeader() + slot * fcr.physicalLength);
    return static_cast<uint32_t>(page << slotBits(slotsPerPage) | slot);
}

unsigned slotBits(size_t slotsPerPage)
{
    unsigned bits = 4;
    while ((size_t(1) << bits) <= slotsPerPage)
        ++bits;
    return bits;
}

bool decompressRecord(const std::vector<uint8_t>& image, size_t length, std::vector<uint8_t>& record,
                      bool atLeast)
{
    record.clear();
    record.reserve(length);
    const size_t limit = atLeast ? std::max(length, kLongestDecodedRecord) : length;
    bool literal = true;
    size_t i = 0;
    while (i < image.size()) {
        if (image.size() - i < 2)
            return false;
        const size_t n = image[i] | size_t(image[i + 1]) << 8;
        i += 2;
        if (n > limit - record.size())
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
    return atLeast ? record.size() >= length : record.size() == length;
}

int16_t readRecords(ByteSource& source, const FileControl& fcr, const PageMap& map, RecordSet& out,
                    bool keepRecords)
{
    out = RecordSet{};
    RecordWalk walk(source, fcr, map, out, keepRecords);
    const int16_t status = walk.run();
    if (status != btr::StatusSuccess)
        out = RecordSet{};
    return status;
}

} // namespace engine::genuine
