#include "RecordView.h"

#include "FieldValue.h"
#include "Status.h"

#include <algorithm>
#include <numeric>

namespace dict {

RecordCache::RecordCache(std::size_t blockRecords, std::size_t cachedBlocks)
    : mBlockRecords(std::max<std::size_t>(blockRecords, 1)), mCachedBlocks(std::max<std::size_t>(cachedBlocks, 1))
{
}

int RecordCache::open(const std::string& path, bool quickly)
{
    close();
    return quickly ? mReader.openQuickly(path) : mReader.open(path);
}

void RecordCache::close()
{
    mReader.close();
    mLoaded = 0;
    mAtEnd = false;
    mEndStatus = 0;
    mBlockAddress.clear();
    mTail.clear();
    mCache.clear();
    mUse.clear();
    mLastAddress = 0;
    mMoved = false;
}

std::size_t RecordCache::fetch(std::size_t n)
{
    if (!mReader.isOpen() || mAtEnd || n == 0)
        return 0;
    if (mMoved) {
        // Back to the last record fetched, so that the next Step continues after it.
        if (int st = mReader.direct(mLastAddress)) {
            mAtEnd = true;
            mEndStatus = st;
            return 0;
        }
        mMoved = false;
    }
    std::size_t got = 0;
    while (got < n) {
        const int st = mLoaded == 0 ? mReader.first() : mReader.next();
        if (st != btr::StatusSuccess) {
            mAtEnd = true;
            mEndStatus = st;
            break;
        }
        if (mLoaded % mBlockRecords == 0) {
            sealTail();
            uint32_t address = 0;
            mReader.position(address);
            mBlockAddress.push_back(address);
        }
        const auto r = mReader.record();
        mTail.insert(mTail.end(), r.begin(), r.end());
        ++mLoaded;
        ++got;
    }
    return got;
}

void RecordCache::sealTail()
{
    if (mLoaded == 0 || mTail.empty())
        return;
    const std::size_t index = (mLoaded - 1) / mBlockRecords;
    mUse.push_front(index);
    mCache[index] = Block{std::move(mTail), mUse.begin()};
    mTail.clear();
    while (mCache.size() > mCachedBlocks) {
        mCache.erase(mUse.back());
        mUse.pop_back();
    }
}

const std::vector<uint8_t>* RecordCache::block(std::size_t index)
{
    const std::size_t tailIndex = mLoaded ? (mLoaded - 1) / mBlockRecords : 0;
    if (index == tailIndex && !mTail.empty())
        return &mTail;
    if (auto it = mCache.find(index); it != mCache.end()) {
        mUse.splice(mUse.begin(), mUse, it->second.use);
        return &it->second.bytes;
    }
    if (index >= mBlockAddress.size())
        return nullptr;
    // Read the block again from its first record's address.
    const std::size_t length = mReader.recordLength();
    const std::size_t count = std::min(mBlockRecords, mLoaded - index * mBlockRecords);
    std::vector<uint8_t> bytes;
    bytes.reserve(count * length);
    if (!mMoved) {
        // The current record is the last one fetched: where the next fetch goes on from.
        if (mReader.position(mLastAddress))
            return nullptr;
        mMoved = true;
    }
    int st = mReader.direct(mBlockAddress[index]);
    for (std::size_t i = 0; i < count && st == btr::StatusSuccess; ++i) {
        const auto r = mReader.record();
        bytes.insert(bytes.end(), r.begin(), r.end());
        if (i + 1 < count)
            st = mReader.next();
    }
    if (st != btr::StatusSuccess)
        return nullptr;
    mUse.push_front(index);
    auto& b = mCache[index];
    b = Block{std::move(bytes), mUse.begin()};
    while (mCache.size() > mCachedBlocks) {
        mCache.erase(mUse.back());
        mUse.pop_back();
    }
    return &mCache[index].bytes;
}

std::span<const uint8_t> RecordCache::record(std::size_t row)
{
    if (row >= mLoaded)
        return {};
    const std::vector<uint8_t>* b = block(row / mBlockRecords);
    const std::size_t length = mReader.recordLength();
    const std::size_t at = (row % mBlockRecords) * length;
    if (!b || at + length > b->size())
        return {};
    return std::span<const uint8_t>(b->data() + at, length);
}

std::vector<ViewColumn> viewColumns(const std::vector<ViewField>& fields, std::size_t recordLength)
{
    std::vector<int> order(fields.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return fields[a].offset < fields[b].offset; });
    std::vector<bool> covered(recordLength, false);
    std::vector<ViewColumn> fieldColumns;
    for (int i : order) {
        const ViewField& f = fields[i];
        ViewColumn c;
        c.field = i;
        c.offset = f.offset;
        c.size = f.size;
        c.outside = f.offset < 0 || f.size <= 0 || std::size_t(f.offset) + std::size_t(f.size) > recordLength;
        for (const ViewField& g : fields)
            if (&g != &f && g.size > 0 && f.size > 0 && g.offset < f.offset + f.size && f.offset < g.offset + g.size)
                c.overlaps = true;
        for (int k = std::max(f.offset, 0); k < f.offset + f.size && std::size_t(k) < recordLength; ++k)
            covered[std::size_t(k)] = true;
        fieldColumns.push_back(c);
    }
    std::vector<ViewColumn> gaps;
    for (std::size_t o = 0; o < recordLength;) {
        if (covered[o]) {
            ++o;
            continue;
        }
        std::size_t e = o;
        while (e < recordLength && !covered[e])
            ++e;
        ViewColumn c;
        c.kind = ViewColumn::Kind::Uncovered;
        c.offset = int(o);
        c.size = int(e - o);
        gaps.push_back(c);
        o = e;
    }
    std::vector<ViewColumn> all;
    std::merge(fieldColumns.begin(), fieldColumns.end(), gaps.begin(), gaps.end(), std::back_inserter(all),
               [](const ViewColumn& a, const ViewColumn& b) { return a.offset < b.offset; });
    return all;
}

namespace {

std::string hex(std::span<const uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0xF];
    }
    return s;
}

} // namespace

ColumnValue columnValue(const ViewColumn& column, const std::vector<ViewField>& fields,
                        std::span<const uint8_t> record, const CodePage& page)
{
    ColumnValue v;
    if (column.outside || record.size() < std::size_t(column.offset) + std::size_t(std::max(column.size, 0))) {
        v.decodes = false;
        return v;
    }
    const auto bytes = record.subspan(std::size_t(column.offset), std::size_t(column.size));
    if (column.kind == ViewColumn::Kind::Uncovered) {
        v.text = hex(bytes);
        return v;
    }
    const ViewField& f = fields[std::size_t(column.field)];
    FieldValue value;
    switch (decodeFieldValueStrictly(f.typeCode, bytes, f.decimals, value, page)) {
    case DecodeOutcome::Value:
        v.text = value.kind == FieldValue::Kind::Blob ? hex(bytes) : valueText(value);
        break;
    case DecodeOutcome::Empty:
        v.empty = true;
        break;
    case DecodeOutcome::Raw:
        v.text = hex(bytes);
        break;
    case DecodeOutcome::Undecodable:
        v.decodes = false;
        v.text = hex(bytes);
        break;
    }
    return v;
}

} // namespace dict
