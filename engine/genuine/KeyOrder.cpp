#include "KeyOrder.h"

#include <algorithm>
#include <unordered_set>

namespace engine::genuine {

namespace {

constexpr unsigned kMaxDepth = 32;

// Slots by page and slot number: where record addresses lead.
class SlotTable {
public:
    explicit SlotTable(const FileControl& fcr) : mFcr(fcr)
    {
        if (fcr.physicalLength != 0 && fcr.pageSize > fcr.pageHeader())
            mSlotsPerPage = (fcr.pageSize - fcr.pageHeader()) / fcr.physicalLength;
        mBits = slotBits(mSlotsPerPage);
    }

    // A table by page and slot from the lowest page to the highest when it is not much larger
    // than the records, else a search in the addresses (ascending, as the records were read).
    // False when an address cannot be a slot's or the addresses are not ascending.
    bool fill(const std::vector<uint32_t>& addresses)
    {
        mAddresses = &addresses;
        uint64_t lowest = UINT64_MAX, highest = 0;
        for (size_t i = 0; i < addresses.size(); ++i) {
            uint64_t page = 0;
            size_t slot = 0;
            if (!split(addresses[i], page, slot) || (i > 0 && addresses[i] <= addresses[i - 1]))
                return false;
            lowest = std::min(lowest, page);
            highest = std::max(highest, page);
        }
        if (addresses.empty() || (highest - lowest + 1) * mSlotsPerPage > 2 * addresses.size() + 256)
            return true;
        mFirstPage = lowest;
        mIndex.assign(static_cast<size_t>((highest - lowest + 1) * mSlotsPerPage), kNone);
        for (size_t i = 0; i < addresses.size(); ++i) {
            uint64_t page = 0;
            size_t slot = 0;
            split(addresses[i], page, slot);
            mIndex[static_cast<size_t>((page - lowest) * mSlotsPerPage + slot)] = static_cast<uint32_t>(i);
        }
        return true;
    }

    bool indexOf(uint32_t address, uint32_t& index) const
    {
        if (mIndex.empty()) {
            const auto it = std::lower_bound(mAddresses->begin(), mAddresses->end(), address);
            index = static_cast<uint32_t>(it - mAddresses->begin());
            return it != mAddresses->end() && *it == address;
        }
        uint64_t page = 0;
        size_t slot = 0;
        if (!split(address, page, slot) || page < mFirstPage)
            return false;
        const uint64_t at = (page - mFirstPage) * mSlotsPerPage + slot;
        if (at >= mIndex.size())
            return false;
        index = mIndex[static_cast<size_t>(at)];
        return index != kNone;
    }

private:
    static constexpr uint32_t kNone = 0xFFFFFFFF;

    // Pre-6: a slot's file offset; later logical page << b | slot (see recordAddress).
    bool split(uint32_t address, uint64_t& page, size_t& slot) const
    {
        if (mFcr.family == Family::Pre6) {
            page = address / mFcr.pageSize;
            const size_t within = address % mFcr.pageSize;
            if (within < mFcr.pageHeader() || (within - mFcr.pageHeader()) % mFcr.physicalLength != 0)
                return false;
            slot = (within - mFcr.pageHeader()) / mFcr.physicalLength;
        } else {
            page = address >> mBits;
            slot = address & ((size_t(1) << mBits) - 1);
        }
        return slot < mSlotsPerPage;
    }

    const FileControl& mFcr;
    size_t mSlotsPerPage = 0;
    unsigned mBits = 4;
    const std::vector<uint32_t>* mAddresses = nullptr;
    uint64_t mFirstPage = 0;
    std::vector<uint32_t> mIndex;
};

class TreeWalk {
public:
    TreeWalk(ByteSource& source, const FileControl& fcr, const PageMap& map, const RecordSet& set,
             const SlotTable& slots)
        : mSource(source), mFcr(fcr), mMap(map), mSet(set), mSlots(slots),
          mLinked(static_cast<size_t>(fcr.linkedDuplicateKeys()))
    {
    }

    bool walk(size_t firstSegment, size_t linkedIndex, bool withKeys, KeyOrder& out);

private:
    bool node(uint32_t pointer, unsigned depth);
    bool readNode(uint32_t pointer, Page& page);
    bool take(uint32_t address, uint32_t lastDuplicate, const uint8_t* key);
    bool indexOf(uint32_t address, uint32_t& index) const;

    ByteSource& mSource;
    const FileControl& mFcr;
    const PageMap& mMap;
    const RecordSet& mSet;
    const SlotTable& mSlots;
    const size_t mLinked;
    // The key being walked.
    uint8_t mKey = 0;
    size_t mKeyLength = 0;
    bool mChained = false;
    size_t mChain = 0; // which pair of duplicate pointers
    unsigned mLeafDepth = 0;
    uint64_t mEntries = 0;
    std::unordered_set<uint32_t> mVisited;
    KeyOrder* mOut = nullptr;
    bool mWithKeys = false;
};

bool TreeWalk::indexOf(uint32_t address, uint32_t& index) const
{
    return mSlots.indexOf(address, index);
}

// An index page of the key being walked: pre-6 a physical page not marked as data that starts
// with its own number; later a logical page the table types as the key's, whose header repeats
// that entry.
bool TreeWalk::readNode(uint32_t pointer, Page& page)
{
    uint64_t physical = pointer;
    if (mFcr.family != Family::Pre6 &&
        !mMap.physical(pointer, static_cast<uint16_t>((mFcr.family == Family::V8 ? 0x8000 : 0x80) + mKey),
                       physical))
        return false;
    if (physical == 0 || physical >= mFcr.pageCount ||
        !readBlock(mSource, physical * mFcr.pageSize, mFcr.pageSize, page))
        return false;
    switch (mFcr.family) {
    case Family::Pre6:
        return page.ws32(0) == pointer && !(page.u16(4) & 0x8000);
    case Family::V6:
        return page.u8(1) == 0x80 + mKey && page.page24(0, 2, 3) == pointer;
    case Family::V8:
        break;
    }
    return page.u32(0) == pointer && page.u16(4) == 0x8000 + mKey;
}

bool TreeWalk::node(uint32_t pointer, unsigned depth)
{
    if (depth > kMaxDepth || !mVisited.insert(pointer).second)
        return false;
    Page page;
    if (!readNode(pointer, page))
        return false;
    const size_t header = mFcr.pageHeader();
    const size_t count = page.u16(header);
    const size_t entrySize = 8 + mKeyLength + (mChained ? 4 : 0);
    const size_t first = header + 6;
    if (count == 0 || !page.fits(first, count * entrySize))
        return false;
    const uint32_t rightmost = indexPagePointer(page, header + 2, mFcr.family, mKey);
    const bool leaf = rightmost == kNoIndexPage;
    if (leaf) {
        if (mLeafDepth == 0)
            mLeafDepth = depth;
        if (depth != mLeafDepth)
            return false;
    }
    for (size_t e = 0; e < count; ++e) {
        const size_t at = first + e * entrySize;
        const uint32_t child = indexPagePointer(page, at, mFcr.family, mKey);
        if ((child == kNoIndexPage) != leaf || (!leaf && !node(child, depth + 1)))
            return false;
        const uint32_t address = page.ws32(at + 4 + mKeyLength);
        if (!take(address, mChained ? page.ws32(at + 8 + mKeyLength) : address, page.data() + at + 4))
            return false;
    }
    return leaf || node(rightmost, depth + 1);
}

// The records of one entry: its record, and with linked duplicates the rest of its chain.
bool TreeWalk::take(uint32_t address, uint32_t lastDuplicate, const uint8_t* key)
{
    ++mEntries;
    for (size_t steps = 0; steps <= mSet.addresses.size(); ++steps) {
        uint32_t index = 0;
        if (!indexOf(address, index))
            return false;
        mOut->records.push_back(index);
        if (mWithKeys)
            mOut->keys.insert(mOut->keys.end(), key, key + mKeyLength);
        if (!mChained)
            return true;
        const uint32_t next = mSet.nextDuplicates[size_t(index) * mLinked + mChain];
        if (next == kNoIndexPage)
            return address == lastDuplicate;
        address = next;
    }
    return false; // a chain that loops
}

bool TreeWalk::walk(size_t firstSegment, size_t linkedIndex, bool withKeys, KeyOrder& out)
{
    const SegmentSpec& spec = mFcr.segments[firstSegment];
    mKey = spec.key;
    mKeyLength = 0;
    for (size_t s = firstSegment; s < mFcr.segments.size() && mFcr.segments[s].key == mKey; ++s)
        mKeyLength += mFcr.segments[s].length;
    mChained = (spec.flags & kKeyDuplicates) && !(spec.flags & kKeyRepeatingDuplicates);
    mChain = linkedIndex;
    mLeafDepth = 0;
    mEntries = 0;
    mVisited.clear();
    mOut = &out;
    mWithKeys = withKeys;
    out.records.clear();
    out.keys.clear();
    const bool repeating = (spec.flags & kKeyDuplicates) && (spec.flags & kKeyRepeatingDuplicates);
    const bool ok = spec.root == kNoIndexPage ? spec.distinct == 0 : node(spec.root, 1);
    // A key with repeating duplicates has an entry per record, not per distinct value.
    out.walked = ok && (repeating || mEntries == spec.distinct);
    if (!out.walked) {
        out.records.clear();
        out.keys.clear();
    }
    return out.walked;
}

} // namespace

std::vector<KeyOrder> readKeyOrders(ByteSource& source, const FileControl& fcr, const PageMap& map,
                                    const RecordSet& set, bool withKeys)
{
    std::vector<KeyOrder> orders(fcr.keyCount);
    const size_t linked = static_cast<size_t>(fcr.linkedDuplicateKeys());
    if (!set.damaged.empty() || set.addresses.size() != set.records.size() ||
        set.nextDuplicates.size() != set.records.size() * linked)
        return orders;
    SlotTable slots(fcr);
    if (!slots.fill(set.addresses))
        return orders;
    TreeWalk walk(source, fcr, map, set, slots);
    size_t linkedIndex = 0;
    for (size_t s = 0; s < fcr.segments.size(); ++s) {
        const SegmentSpec& spec = fcr.segments[s];
        if (s > 0 && fcr.segments[s - 1].key == spec.key)
            continue;
        if (spec.key < orders.size())
            walk.walk(s, linkedIndex, withKeys, orders[spec.key]);
        if ((spec.flags & kKeyDuplicates) && !(spec.flags & kKeyRepeatingDuplicates))
            ++linkedIndex;
    }
    return orders;
}

} // namespace engine::genuine
