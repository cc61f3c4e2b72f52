#include "MemoryFile.h"

#include "Status.h"

#include <algorithm>
#include <cstdint>

namespace engine {

void recordKey(const KeyDefinition& key, const std::vector<uint8_t>& record, std::vector<uint8_t>& keyValue)
{
    size_t extent = 0;
    for (const KeySegment& s : key.segments)
        extent = std::max<size_t>(extent, size_t(s.position) - 1 + s.length);
    keyValue.resize(key.length);
    if (record.size() >= extent) {
        extractKey(key, record.data(), keyValue.data());
    } else {
        std::vector<uint8_t> padded(record);
        padded.resize(extent, 0);
        extractKey(key, padded.data(), keyValue.data());
    }
}

int16_t MemoryFile::open(const std::string& path, GenuineInfo info, GenuineRecordReader reader,
                         std::unique_ptr<MemoryFile>& out, GenuineIndexOpener indexOpener)
{
    std::unique_ptr<MemoryFile> file(new MemoryFile);
    if (!parseStatImage(info.stat.data(), info.stat.size(), file->mDef))
        return btr::StatusNotBtrieveFile;
    file->mPath = path;
    file->mInfo = std::move(info);
    file->mReader = std::move(reader);
    file->mIndexOpener = std::move(indexOpener);
    file->mPaths.resize(file->mDef.keys.size());
    out = std::move(file);
    return btr::StatusSuccess;
}

int16_t MemoryFile::stat(bool withVersion, std::vector<uint8_t>& image)
{
    image = mInfo.stat;
    image[5] = withVersion ? mInfo.version : 0;
    return btr::StatusSuccess;
}

bool MemoryFile::indexed()
{
    if (mLoaded)
        return false;
    if (!mIndexTried) {
        mIndexTried = true;
        if (mIndexOpener && mInfo.recordsReadable)
            mIndex = mIndexOpener(mPath, mInfo);
        if (mIndex) {
            mRecords.assign(mIndex->records(), {});
            mFetched.assign(mRecords.size(), false);
        }
    }
    return mIndex != nullptr;
}

const std::vector<uint8_t>* MemoryFile::recordAt(size_t index)
{
    if (mIndex && !mLoaded && !mFetched[index]) {
        if (!mIndex->read(index, mRecords[index]))
            return nullptr;
        mFetched[index] = true;
        ++mFetches;
    }
    return &mRecords[index];
}

// Records read one at a time cost a page read each: once they come to a sixteenth of the file,
// reading the rest whole is cheaper.
void MemoryFile::readWholeWhenCheaper()
{
    if (mIndex && !mLoaded && mFetches > mRecords.size() / 16)
        load();
}

int16_t MemoryFile::load()
{
    if (mLoaded)
        return mLoadStatus;
    mLoaded = true;
    if (mIndex) { // every record now, and every path again from what the whole read gives
        mIndex.reset();
        mFetched.clear();
        mRecords.clear();
        for (Path& p : mPaths)
            p = Path{};
    }
    if (!mInfo.recordsReadable)
        mLoadStatus = mInfo.readStatus ? mInfo.readStatus : int16_t(btr::StatusIoError);
    else
        mLoadStatus = mReader(mPath, mInfo, mRecords, mDamaged, mKeyOrders);
    if (mLoadStatus == btr::StatusRecordCountDiffers) {
        mCountDiffers = true;
        mLoadStatus = btr::StatusSuccess;
    }
    if (mLoadStatus == 0 && mRecords.size() + mDamaged.size() > 0xFFFFFFFEu)
        mLoadStatus = btr::StatusIoError;
    if (mLoadStatus != 0) {
        mRecords.clear();
        mDamaged.clear();
    }
    if (mLoadStatus != 0 || !mDamaged.empty())
        mKeyOrders.clear();
    if (!mDamaged.empty()) {
        size_t d = 0;
        for (size_t i = 0; i <= mRecords.size(); ++i) {
            for (; d < mDamaged.size() && mDamaged[d].position <= i; ++d)
                mSequence.push_back(-1 - static_cast<int64_t>(d));
            if (i < mRecords.size())
                mSequence.push_back(static_cast<int64_t>(i));
        }
    }
    return mLoadStatus;
}

int16_t MemoryFile::path(size_t keyIndex, Path*& out)
{
    Path& built = mPaths[keyIndex];
    if (!built.built && indexed() && pathFromIndex(keyIndex, built))
        built.built = true;
    if (built.built && !mLoaded) {
        out = &built;
        return btr::StatusSuccess;
    }
    if (int16_t st = load())
        return st;
    if (!mDamaged.empty())
        return btr::StatusIoError;
    Path& p = mPaths[keyIndex];
    if (!p.built && !pathFromIndexPages(keyIndex, p)) {
        const KeyDefinition& key = mDef.keys[keyIndex];
        p.entries.clear();
        std::vector<uint8_t> value;
        for (uint32_t i = 0; i < mRecords.size(); ++i) {
            recordKey(key, mRecords[i], value);
            if (!isNullKey(key, value.data()))
                p.entries.emplace_back(keyImage(key, value.data()), i);
        }
        std::sort(p.entries.begin(), p.entries.end());
    }
    p.built = true;
    if (keyIndex < mKeyOrders.size())
        mKeyOrders[keyIndex] = GenuineKeyOrder{};
    out = &p;
    return btr::StatusSuccess;
}

// Whether entry b may follow entry a on key's path: a greater image, or on a key with duplicates
// an equal one (equal keys keep the file's own order); on a key without duplicates an equal image
// only after a lower record number, as the sorted path has it.
bool followsOnPath(const KeyDefinition& key, const std::pair<std::string, uint32_t>& a,
                   const std::pair<std::string, uint32_t>& b)
{
    return key.duplicates() ? !(b.first < a.first) : a < b;
}

bool keyPathFromOrder(const KeyDefinition& key, const std::vector<std::vector<uint8_t>>& records,
                      const std::vector<uint32_t>& order,
                      std::vector<std::pair<std::string, uint32_t>>& entries)
{
    std::vector<bool> seen(records.size(), false);
    std::vector<uint8_t> value;
    entries.clear();
    entries.reserve(order.size());
    for (const uint32_t i : order) {
        if (i >= records.size() || seen[i])
            return false;
        seen[i] = true;
        recordKey(key, records[i], value);
        if (isNullKey(key, value.data()))
            return false;
        entries.emplace_back(keyImage(key, value.data()), i);
        if (entries.size() > 1 && !followsOnPath(key, entries[entries.size() - 2], entries.back()))
            return false;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        if (seen[i])
            continue;
        recordKey(key, records[i], value);
        if (!isNullKey(key, value.data()))
            return false;
    }
    return true;
}

// Without the records: the order and key bytes the index pages give, taken when they hold every
// record once in the path's order (see followsOnPath). Keys with null values are not taken
// (which records they leave out cannot be told without the records).
bool MemoryFile::pathFromIndex(size_t keyIndex, Path& p)
{
    std::vector<GenuineKeyOrder>& orders = mIndex->keyOrders();
    if (keyIndex >= orders.size() || !orders[keyIndex].walked)
        return false;
    GenuineKeyOrder order = std::move(orders[keyIndex]);
    orders[keyIndex] = GenuineKeyOrder{};
    const KeyDefinition& key = mDef.keys[keyIndex];
    if ((key.flags & (keyflag::NullAll | keyflag::NullAny)) || order.records.size() != mRecords.size() ||
        order.keys.size() != order.records.size() * key.length)
        return false;
    std::vector<bool> seen(mRecords.size(), false);
    p.entries.clear();
    p.entries.reserve(order.records.size());
    for (size_t j = 0; j < order.records.size(); ++j) {
        const uint32_t i = order.records[j];
        if (i >= seen.size() || seen[i])
            return false;
        seen[i] = true;
        p.entries.emplace_back(keyImage(key, order.keys.data() + j * key.length), i);
        if (j > 0 && !followsOnPath(key, p.entries[j - 1], p.entries[j]))
            return false;
    }
    return true;
}

bool MemoryFile::pathFromIndexPages(size_t keyIndex, Path& p) const
{
    return keyIndex < mKeyOrders.size() && mKeyOrders[keyIndex].walked &&
           keyPathFromOrder(mDef.keys[keyIndex], mRecords, mKeyOrders[keyIndex].records, p.entries);
}

bool MemoryFile::found(size_t keyIndex, const Path& p, size_t at, FoundRecord& out)
{
    const uint32_t index = p.entries[at].second;
    const std::vector<uint8_t>* record = recordAt(index);
    if (!record)
        return false;
    if (mIndex && !mLoaded) { // the record must bear out its entry
        recordKey(mDef.keys[keyIndex], *record, mKeyValue);
        if (keyImage(mDef.keys[keyIndex], mKeyValue.data()) != p.entries[at].first)
            return false;
    }
    out.address = index + 1;
    out.data = *record;
    out.entry.image = p.entries[at].first;
    out.entry.sequence = mDef.keys[keyIndex].duplicates() ? static_cast<int64_t>(at) : 0;
    return true;
}

int16_t MemoryFile::seekKey(size_t keyIndex, KeySeek how, const std::string& image, const KeyEntry& from,
                            FoundRecord& out)
{
    readWholeWhenCheaper();
    Path* p = nullptr;
    if (int16_t st = path(keyIndex, p))
        return st;
    const auto& e = p->entries;
    using Entry = std::pair<std::string, uint32_t>;
    const auto byImage = [](const Entry& a, const std::string& b) { return a.first < b; };
    const auto imageBefore = [](const std::string& a, const Entry& b) { return a < b.first; };
    // On a key with duplicates an entry's sequence is its place on the path: entries order by
    // (image, place). Whether entry i comes after or before `from`:
    const bool dup = mDef.keys[keyIndex].duplicates();
    const auto compare = [&](size_t i) {
        const int c = e[i].first.compare(from.image);
        if (c != 0 || !dup)
            return c;
        const auto place = static_cast<int64_t>(i);
        return place < from.sequence ? -1 : place > from.sequence ? 1 : 0;
    };
    const auto after = [&](size_t i) { return compare(i) > 0; };
    const auto before = [&](size_t i) { return compare(i) < 0; };
    // The first entry for which `beyond` holds (it holds for every entry after it).
    const auto firstWhere = [&](auto beyond) {
        size_t lo = 0, hi = e.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (beyond(mid))
                hi = mid;
            else
                lo = mid + 1;
        }
        return static_cast<long>(lo);
    };
    const auto lowerBound = [&] { return std::lower_bound(e.begin(), e.end(), image, byImage) - e.begin(); };
    const auto upperBound = [&] {
        return std::upper_bound(e.begin(), e.end(), image, imageBefore) - e.begin();
    };
    long pos = -1;
    switch (how) {
    case KeySeek::First:
        pos = e.empty() ? -1 : 0;
        break;
    case KeySeek::Last:
        pos = static_cast<long>(e.size()) - 1;
        break;
    case KeySeek::Equal: {
        const size_t lo = static_cast<size_t>(lowerBound());
        if (lo == e.size() || image < e[lo].first)
            return btr::StatusKeyNotFound;
        pos = static_cast<long>(lo);
        break;
    }
    case KeySeek::Greater:
        pos = upperBound();
        break;
    case KeySeek::GreaterOrEqual:
        pos = lowerBound();
        break;
    case KeySeek::Less:
        pos = static_cast<long>(lowerBound()) - 1;
        break;
    case KeySeek::LessOrEqual:
        pos = static_cast<long>(upperBound()) - 1;
        break;
    case KeySeek::After: {
        // The first entry after `from`: right after the last one returned when that is `from`.
        const size_t i = p->last;
        if (i < e.size() && !after(i) && (i + 1 == e.size() || after(i + 1)))
            pos = static_cast<long>(i) + 1;
        else
            pos = firstWhere(after);
        break;
    }
    case KeySeek::Before: {
        // The last entry before `from`: right before the last one returned when that is `from`.
        const size_t i = p->last;
        if (i < e.size() && !before(i) && (i == 0 || before(i - 1)))
            pos = static_cast<long>(i) - 1;
        else
            pos = firstWhere([&](size_t j) { return !before(j); }) - 1;
        break;
    }
    }
    if (pos >= static_cast<long>(e.size()))
        pos = -1;
    if (pos < 0)
        return endOfRecords();
    if (found(keyIndex, *p, static_cast<size_t>(pos), out)) {
        p->last = static_cast<size_t>(pos);
        return btr::StatusSuccess;
    }
    // Read without its records, the file does not bear out its index pages: read it whole.
    if (int16_t st = load())
        return st;
    return seekKey(keyIndex, how, image, from, out);
}

int16_t MemoryFile::step(StepSeek how, uint32_t from, FoundRecord& out)
{
    readWholeWhenCheaper();
    // Read without its records, a file has no damaged pages (else it is read whole).
    if (!(mIndex && !mLoaded))
        if (int16_t st = load())
            return st;
    const bool damaged = !mDamaged.empty();
    const long n = static_cast<long>(damaged ? mSequence.size() : mRecords.size());
    long index = -1;
    switch (how) {
    case StepSeek::First:
        index = 0;
        break;
    case StepSeek::Last:
        index = n - 1;
        break;
    case StepSeek::After:
        index = static_cast<long>(from); // address from + 1 - 1
        break;
    case StepSeek::Before:
        index = static_cast<long>(from) - 2;
        break;
    }
    if (index < 0 || index >= n)
        return endOfRecords();
    out.address = static_cast<uint32_t>(index + 1);
    out.entry = KeyEntry{};
    out.skippedPage = false;
    if (!damaged) {
        const std::vector<uint8_t>* record = recordAt(static_cast<size_t>(index));
        if (!record) { // the file changed or does not bear out its tables: read it whole
            if (int16_t st = load())
                return st;
            return step(how, from, out);
        }
        out.data = *record;
        return btr::StatusSuccess;
    }
    const int64_t at = mSequence[index];
    if (at >= 0) {
        out.data = mRecords[static_cast<size_t>(at)];
        return btr::StatusSuccess;
    }
    const GenuineDamage& d = mDamaged[static_cast<size_t>(-1 - at)];
    const bool plain = d.kind == GenuineDamage::Kind::Page;
    const uint32_t words[3] = {static_cast<uint32_t>(d.page), static_cast<uint32_t>(d.kind),
                               static_cast<uint32_t>(std::min<uint64_t>(d.value, 0xFFFFFFFF))};
    out.data.assign(plain ? 4 : 12, 0);
    for (size_t i = 0; i < out.data.size(); ++i)
        out.data[i] = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
    out.skippedPage = true;
    return btr::StatusIoError;
}

int16_t MemoryFile::endOfRecords() const
{
    return mCountDiffers ? btr::StatusRecordCountDiffers : btr::StatusEndOfFile;
}

int16_t MemoryFile::read(uint32_t address, FoundRecord& out)
{
    readWholeWhenCheaper();
    if (!(mIndex && !mLoaded))
        if (int16_t st = load())
            return st;
    if (!mDamaged.empty())
        return btr::StatusIoError;
    if (address == 0 || address > mRecords.size())
        return btr::StatusInvalidRecordAddress;
    const std::vector<uint8_t>* record = recordAt(address - 1);
    if (!record) {
        if (int16_t st = load())
            return st;
        return read(address, out);
    }
    out.address = address;
    out.data = *record;
    out.entry = KeyEntry{};
    return btr::StatusSuccess;
}

int16_t MemoryFile::sequenceOf(uint32_t address, size_t keyIndex, int64_t& sequence)
{
    sequence = 0;
    if (!mDef.keys[keyIndex].duplicates())
        return btr::StatusSuccess;
    Path* p = nullptr;
    if (int16_t st = path(keyIndex, p))
        return st;
    if (p->places.empty()) {
        p->places.assign(mRecords.size(), UINT32_MAX);
        for (size_t i = 0; i < p->entries.size(); ++i)
            p->places[p->entries[i].second] = static_cast<uint32_t>(i);
    }
    if (address == 0 || address > p->places.size() || p->places[address - 1] == UINT32_MAX)
        return btr::StatusInvalidRecordAddress;
    sequence = p->places[address - 1];
    return btr::StatusSuccess;
}

int16_t MemoryFile::highestImage(size_t keyIndex, std::string& image, bool& found)
{
    Path* p = nullptr;
    if (int16_t st = path(keyIndex, p))
        return st;
    found = !p->entries.empty();
    if (found)
        image = p->entries.back().first;
    return btr::StatusSuccess;
}

int16_t MemoryFile::insert(const std::vector<uint8_t>&, const RecordImages&, uint32_t&, int64_t&)
{
    return btr::StatusAccessDenied;
}

int16_t MemoryFile::update(uint32_t, const std::vector<uint8_t>&, const RecordImages&)
{
    return btr::StatusAccessDenied;
}

int16_t MemoryFile::remove(uint32_t)
{
    return btr::StatusAccessDenied;
}

} // namespace engine
