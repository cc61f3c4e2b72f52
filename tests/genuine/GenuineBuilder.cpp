#include "GenuineBuilder.h"

#include <algorithm>
#include <cassert>
#include <fstream>
#include <set>
#include <stdexcept>

namespace genuinetest {

void put16(Bytes& b, size_t at, uint16_t v)
{
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

void putText(Bytes& b, size_t at, const std::string& text, size_t width, uint8_t pad)
{
    for (size_t i = 0; i < width; ++i)
        b.at(at + i) = i < text.size() ? static_cast<uint8_t>(text[i]) : pad;
}

namespace {

// High word first, then the low word.
void putWs32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v >> 16));
    put16(b, at + 2, static_cast<uint16_t>(v));
}

// [hi][x][lo][mid] with x left alone.
void putPage24(Bytes& b, size_t hi, size_t lo, size_t mid, uint32_t page)
{
    b.at(hi) = static_cast<uint8_t>(page >> 16);
    b.at(lo) = static_cast<uint8_t>(page);
    b.at(mid) = static_cast<uint8_t>(page >> 8);
}

int linkedDuplicateKeys(const FileDef& def)
{
    int n = 0;
    for (const Key& k : def.keys)
        if (!k.segments.empty() && (k.segments[0].flags & 0x1) && !(k.segments[0].flags & 0x80))
            ++n;
    return n;
}

bool isVariable(const FileDef& def)
{
    return def.variableMode != 0 || (def.fileFlags & 0x1);
}

uint32_t liveCount(const FileDef& def)
{
    uint32_t n = 0;
    for (const auto& s : def.slots)
        n += s.has_value();
    return static_cast<uint32_t>(n + def.recordCountAdjust);
}

Bytes variablePart(const FileDef& def, const Bytes& record)
{
    if (record.size() <= def.recordLength)
        return {};
    return Bytes(record.begin() + def.recordLength, record.end());
}

// Writes the segment specs at offset, stride bytes apart (bytes past the 30 of a spec hold junk);
// returns each key's first spec's offset.
std::vector<uint16_t> writeSegments(Bytes& fcr, size_t at, const FileDef& def, uint16_t positionBias,
                                    size_t stride = 30)
{
    std::vector<uint16_t> firsts;
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const Key& key = def.keys[k];
        firsts.push_back(static_cast<uint16_t>(at));
        for (size_t i = 0; i < key.segments.size(); ++i) {
            const Segment& s = key.segments[i];
            const bool last = i + 1 == key.segments.size();
            fcr.at(at) = 0x00; // root page: never read
            fcr.at(at + 1) = static_cast<uint8_t>(0x80 + k);
            putWs32(fcr, at + 0x04, key.distinct);
            put16(fcr, at + 0x08, static_cast<uint16_t>(last ? s.flags & ~0x10 : s.flags | 0x10));
            put16(fcr, at + 0x14, static_cast<uint16_t>(s.offset + positionBias));
            put16(fcr, at + 0x16, s.length);
            fcr.at(at + 0x1C) = s.extendedType;
            fcr.at(at + 0x1D) = s.nullValue;
            for (size_t i = 30; i < stride; ++i)
                fcr.at(at + i) = 0xEE;
            at += stride;
        }
    }
    return firsts;
}

void writeFcrCommon(Bytes& fcr, const FileDef& def, uint32_t count, uint32_t pages, bool usageCount)
{
    put16(fcr, 0x14, static_cast<uint16_t>(def.keys.size()));
    put16(fcr, 0x16, def.recordLength);
    put16(fcr, 0x18, physicalLength(def, usageCount));
    putWs32(fcr, 0x1A, count);
    putWs32(fcr, 0x26, pages);
    fcr.at(0x38) = isVariable(def) ? (def.variableMode ? def.variableMode : 0xFF) : 0;
    put16(fcr, 0x106, def.fileFlags);
}

// Packs the fragments of variable parts into variable pages, fragment table at the page end.
class VariablePages {
public:
    struct Place {
        size_t page = 0;
        unsigned fragment = 0;
        size_t offset = 0;
    };

    VariablePages(size_t pageSize, bool chained) : mPageSize(pageSize), mChained(chained) {}

    Place place(size_t payload)
    {
        const size_t size = payload + (mChained ? 4 : 0);
        if (mPages.empty() || mCursor + size > tableStart(mOffsets.back().size() + 1) ||
            mOffsets.back().size() >= 255) {
            mPages.emplace_back(mPageSize, 0);
            mOffsets.emplace_back();
            mCursor = 6;
        }
        if (mCursor + size > tableStart(mOffsets.back().size() + 1))
            throw std::runtime_error("fragment larger than a page");
        Place p{mPages.size() - 1, static_cast<unsigned>(mOffsets.back().size()), mCursor};
        mOffsets.back().push_back(static_cast<uint16_t>(mCursor));
        mCursor += size;
        mEnds.resize(mPages.size());
        mEnds.back() = mCursor;
        return p;
    }

    Bytes& page(size_t i) { return mPages[i]; }
    size_t count() const { return mPages.size(); }

    // Writes each page's fragment table: its fragments' offsets, then the end of the last one.
    void finishTables()
    {
        const size_t lastWord = (mPageSize - 1) >> 1;
        for (size_t i = 0; i < mPages.size(); ++i) {
            const auto& offsets = mOffsets[i];
            for (size_t f = 0; f < offsets.size(); ++f)
                put16(mPages[i], 2 * (lastWord - f), offsets[f]);
            put16(mPages[i], 2 * (lastWord - offsets.size()), static_cast<uint16_t>(mEnds[i]));
            for (size_t f = offsets.size() + 1; f < 255 && 2 * (lastWord - f) >= mEnds[i] + 2; ++f)
                put16(mPages[i], 2 * (lastWord - f), 0xFFFF);
        }
    }

private:
    size_t tableStart(size_t entries) const { return 2 * (((mPageSize - 1) >> 1) - entries); }

    size_t mPageSize;
    bool mChained;
    std::vector<Bytes> mPages;
    std::vector<std::vector<uint16_t>> mOffsets;
    std::vector<size_t> mEnds;
    size_t mCursor = 6;
};

// Where each slot's variable part went: its fragments in order.
using Chains = std::vector<std::vector<VariablePages::Place>>;

Chains packVariableParts(const FileDef& def, VariablePages& pages, bool chained)
{
    Chains chains(def.slots.size());
    if (!isVariable(def))
        return chains;
    for (size_t i = 0; i < def.slots.size(); ++i) {
        if (!def.slots[i])
            continue;
        const Bytes tail = variablePart(def, *def.slots[i]);
        if (!chained) {
            if (!tail.empty())
                chains[i].push_back(pages.place(tail.size()));
            continue;
        }
        for (size_t at = 0; at < tail.size(); at += def.fragmentSize)
            chains[i].push_back(pages.place(std::min(def.fragmentSize, tail.size() - at)));
    }
    return chains;
}

// Writes slot i's variable pointer and its fragments; pageNumber maps a variable page index to
// the number the pointer names.
template <class PageNumber>
void writeChain(const FileDef& def, size_t i, const Chains& chains, VariablePages& pages, bool chained,
                Bytes& slotPage, size_t pointerAt, PageNumber pageNumber)
{
    const auto& chain = chains[i];
    auto putPointer = [&](Bytes& b, size_t at, const VariablePages::Place* p) {
        putPage24(b, at, at + 1, at + 2, p ? pageNumber(p->page) : 0);
        b.at(at + 3) = p ? static_cast<uint8_t>(p->fragment) : 0xFF;
    };
    putPointer(slotPage, pointerAt, chain.empty() ? nullptr : &chain[0]);
    const Bytes tail = def.slots[i] ? variablePart(def, *def.slots[i]) : Bytes{};
    size_t from = 0;
    for (size_t c = 0; c < chain.size(); ++c) {
        Bytes& page = pages.page(chain[c].page);
        size_t at = chain[c].offset;
        const size_t n = chained ? std::min(def.fragmentSize, tail.size() - from) : tail.size();
        if (chained) {
            putPointer(page, at, c + 1 < chain.size() ? &chain[c + 1] : nullptr);
            at += 4;
        }
        std::copy(tail.begin() + from, tail.begin() + from + n, page.begin() + at);
        from += n;
    }
}

size_t slotsPerPage(const FileDef& def, size_t header, bool usage)
{
    return (def.pageSize - header) / physicalLength(def, usage);
}

// Fills a slot from the record on: record, junk in the duplicate pointers.
void writeRecordSlot(const FileDef& def, const Bytes& record, Bytes& page, size_t at)
{
    const size_t n = std::min<size_t>(record.size(), def.recordLength);
    std::copy(record.begin(), record.begin() + n, page.begin() + at);
    const size_t dupAt = at + def.recordLength;
    for (size_t i = 0; i < 8u * (linkedDuplicateKeys(def) + def.reservedDuplicatePointers); ++i)
        page.at(dupAt + i) = 0xDD;
}

} // namespace

Bytes Acs::block() const
{
    Bytes b(265, 0);
    b[0] = 0xAC;
    putText(b, 1, name, 8, 0);
    std::copy(table.begin(), table.end(), b.begin() + 9);
    return b;
}

Acs upperAcs()
{
    Acs acs;
    acs.name = "UPPER";
    for (int i = 0; i < 256; ++i)
        acs.table[i] = static_cast<uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
    return acs;
}

uint16_t physicalLength(const FileDef& def, bool usageCount)
{
    size_t n = (usageCount ? 2 : 0) + (def.systemData ? 8 : 0) + def.recordLength +
               8u * linkedDuplicateKeys(def) + 8u * def.reservedDuplicatePointers + (isVariable(def) ? 4 : 0);
    return static_cast<uint16_t>(std::max<size_t>(n, 4));
}

Bytes buildPre6(const FileDef& def)
{
    if (def.systemData)
        throw std::runtime_error("pre-6 builder: no system data before 8.x");
    const size_t ps = def.pageSize;
    const uint16_t phys = physicalLength(def, false);
    const size_t perPage = slotsPerPage(def, 6, false);
    const size_t dataPages = std::max<size_t>(1, (def.slots.size() + perPage - 1) / perPage);
    VariablePages variable(ps, false);
    const Chains chains = packVariableParts(def, variable, false);

    const size_t acsPages = def.acs ? 1 : 0;
    const size_t firstIndex = 1 + acsPages;
    const size_t firstData = firstIndex + def.keys.size();
    const size_t firstVariable = firstData + dataPages;
    const size_t pages = firstVariable + variable.count();
    Bytes file(pages * ps, 0);
    Bytes fcr(ps, 0);
    put16(fcr, 0x06, def.versionWord ? def.versionWord : 0xFB00); // -0x0500: 5.0
    put16(fcr, 0x08, def.pageSize);
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(pages), false);
    writeSegments(fcr, 0x110, def, 0);
    if (def.acs) {
        Bytes acs(ps, 0);
        acs[2] = 1;
        const Bytes block = def.acs->block();
        std::copy(block.begin(), block.end(), acs.begin() + 6);
        std::copy(acs.begin(), acs.end(), file.begin() + ps);
    }
    for (size_t k = 0; k < def.keys.size(); ++k) { // index pages: flag bit 15 clear
        Bytes index(ps, 0x5A);
        put16(index, 4, 0x0001);
        std::copy(index.begin(), index.end(), file.begin() + (firstIndex + k) * ps);
    }
    uint32_t deletedHead = 0xFFFFFFFF;
    std::vector<Bytes> data(dataPages, Bytes(ps, 0));
    for (size_t p = 0; p < dataPages; ++p) {
        put16(data[p], 0, static_cast<uint16_t>(firstData + p));
        put16(data[p], 4, 0x8000);
    }
    for (size_t i = 0; i < def.slots.size(); ++i) {
        Bytes& page = data[i / perPage];
        const size_t at = 6 + (i % perPage) * phys;
        if (!def.slots[i]) { // deleted: first on the chain, pointing at the previous head
            std::fill(page.begin() + at, page.begin() + at + phys, 0xEE);
            putWs32(page, at, deletedHead);
            deletedHead = static_cast<uint32_t>((firstData + i / perPage) * ps + at);
            continue;
        }
        writeRecordSlot(def, *def.slots[i], page, at);
        if (isVariable(def))
            writeChain(def, i, chains, variable, false, page, at + phys - 4,
                       [&](size_t v) { return static_cast<uint32_t>(firstVariable + v); });
    }
    variable.finishTables();
    putWs32(fcr, 0x10, deletedHead);
    std::copy(fcr.begin(), fcr.end(), file.begin());
    for (size_t p = 0; p < dataPages; ++p)
        std::copy(data[p].begin(), data[p].end(), file.begin() + (firstData + p) * ps);
    for (size_t v = 0; v < variable.count(); ++v)
        std::copy(variable.page(v).begin(), variable.page(v).end(), file.begin() + (firstVariable + v) * ps);
    return file;
}

namespace {

// Logical pages of a 6.x or 8.x file, in logical order, with their type and contents.
struct LogicalPage {
    uint16_t type = 0;
    Bytes bytes;
};

struct PagedFile {
    std::vector<LogicalPage> pages; // logical page n is pages[n - 1]
    size_t firstData = 0, firstVariable = 0;
    Chains chains;
};

// Lays out ACS, index, data and variable pages and fills the slots. header: page header size.
PagedFile layOutPages(const FileDef& def, size_t header, bool v8)
{
    const size_t ps = def.pageSize;
    const uint16_t phys = physicalLength(def, true);
    const bool compressed = def.fileFlags & 0x8;
    const size_t perPage = slotsPerPage(def, header, true);
    const size_t dataPages = compressed ? 0 : std::max<size_t>(1, (def.slots.size() + perPage - 1) / perPage);
    VariablePages variable(ps, true);
    PagedFile f;
    if (!compressed && !v8)
        f.chains = packVariableParts(def, variable, true);

    if (def.acs) {
        LogicalPage acs{'A', Bytes(ps, 0)};
        const Bytes block = def.acs->block();
        std::copy(block.begin(), block.end(), acs.bytes.begin() + header);
        f.pages.push_back(acs);
    }
    for (size_t k = 0; k < def.keys.size(); ++k)
        f.pages.push_back({static_cast<uint16_t>(0x80 + k), Bytes(ps, 0x5A)});
    f.firstData = f.pages.size() + 1;
    for (size_t p = 0; p < dataPages; ++p)
        f.pages.push_back({'D', Bytes(ps, 0)});
    f.firstVariable = f.pages.size() + 1;
    for (size_t i = 0; !compressed && i < def.slots.size(); ++i) {
        Bytes& page = f.pages[f.firstData - 1 + i / perPage].bytes;
        const size_t at = header + (i % perPage) * phys;
        if (!def.slots[i]) { // deleted: usage count 0, old bytes left behind
            std::fill(page.begin() + at + 2, page.begin() + at + phys, 0xEE);
            continue;
        }
        put16(page, at, static_cast<uint16_t>(1 + i % 3));
        size_t recordAt = at + 2;
        if (def.systemData) { // an 8-byte value of the record manager's own
            for (size_t b = 0; b < 8; ++b)
                page.at(recordAt + b) = static_cast<uint8_t>(0xA0 + i + b);
            recordAt += 8;
        }
        writeRecordSlot(def, *def.slots[i], page, recordAt);
        if (isVariable(def) && !v8)
            writeChain(def, i, f.chains, variable, true, page, at + phys - 4,
                       [&](size_t v) { return static_cast<uint32_t>(f.firstVariable + v); });
    }
    variable.finishTables();
    for (size_t v = 0; v < variable.count(); ++v)
        f.pages.push_back({'V', variable.page(v)});
    // Page headers: [hi][type][lo][mid] + usage (6.x); [u32 logical][u16 type][u16 usage] (8.x).
    for (size_t n = 1; n <= f.pages.size(); ++n) {
        Bytes& b = f.pages[n - 1].bytes;
        if (v8) {
            put32(b, 0, static_cast<uint32_t>(n));
            put16(b, 4, f.pages[n - 1].type);
            put16(b, 6, 1);
        } else {
            b[1] = static_cast<uint8_t>(f.pages[n - 1].type);
            putPage24(b, 0, 2, 3, static_cast<uint32_t>(n));
            put16(b, 4, 1);
        }
    }
    return f;
}

} // namespace

Bytes build6x(const FileDef& def)
{
    if (def.systemData)
        throw std::runtime_error("6.x builder: no system data before 8.x");
    const size_t ps = def.pageSize;
    const size_t stride = ps / 4;
    const size_t perPair = stride - 2;
    PagedFile f = layOutPages(def, 6, false);
    const size_t n = f.pages.size();

    // Physical pages: 0 and 1 FCR, PAT pairs at 2 + k * stride; logical pages take the rest in
    // reverse order, so logical and physical order differ.
    std::vector<size_t> free;
    for (size_t p = 2; free.size() < n; ++p)
        if ((p - 2) % stride >= 2)
            free.push_back(p);
    std::vector<size_t> physical(n + 1, 0);
    for (size_t l = 1; l <= n; ++l)
        physical[l] = free[n - l];
    size_t pages = free.empty() ? 4 : std::max<size_t>(free.back() + 1, 4);
    const size_t pairs = (pages - 2 + stride - 1) / stride;
    Bytes file(pages * ps, 0);

    for (size_t k = 0; k < pairs; ++k) {
        Bytes current(ps, 0), stale(ps, 0);
        for (Bytes* b : {&current, &stale}) {
            (*b)[0] = 'P';
            (*b)[1] = 'P';
            put16(*b, 2, static_cast<uint16_t>(k));
        }
        put32(current, 4, 0x00020001);
        put32(stale, 4, 0x00010007);
        for (size_t e = 1; e <= perPair; ++e) {
            const size_t at = 4 + 4 * e;
            const size_t l = k * perPair + e;
            if (l <= n) {
                current[at + 1] = static_cast<uint8_t>(f.pages[l - 1].type);
                putPage24(current, at, at + 2, at + 3, static_cast<uint32_t>(physical[l]));
            } else {
                putPage24(current, at, at + 2, at + 3, 0xFFFFFF);
            }
            stale[at + 1] = 'D'; // an old table that would map every page onto page 1
            putPage24(stale, at, at + 2, at + 3, 1);
        }
        const size_t first = 2 + k * stride;
        std::copy(stale.begin(), stale.end(), file.begin() + first * ps);
        if (first + 1 < pages)
            std::copy(current.begin(), current.end(), file.begin() + (first + 1) * ps);
    }
    for (size_t l = 1; l <= n; ++l)
        std::copy(f.pages[l - 1].bytes.begin(), f.pages[l - 1].bytes.end(), file.begin() + physical[l] * ps);

    // Two FCR copies; the current one (larger usage count) is the second.
    Bytes fcr(ps, 0);
    fcr[0] = 'F';
    fcr[1] = 'C';
    put16(fcr, 0x08, def.pageSize);
    put16(fcr, 0x4A, def.versionWord ? def.versionWord : 0x0600);
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(pages), true);
    if (def.acs)
        putText(fcr, 0x3C, def.acs->name, 8, 0);
    size_t segmentsAt = 0x110;
    size_t tableAt = 0x110 + 30 * 0; // placed after the segments below
    size_t segments = 0;
    for (const Key& k : def.keys)
        segments += k.segments.size();
    if (def.segmentsThroughTable) {
        tableAt = 0x110;
        segmentsAt = 0x150;
        std::fill(fcr.begin() + 0x110, fcr.begin() + 0x150, 0xEE);
    } else {
        tableAt = 0x110 + 30 * segments;
    }
    const std::vector<uint16_t> firsts = writeSegments(fcr, segmentsAt, def, 2);
    fcr.at(0x76) = static_cast<uint8_t>(def.keys.size());
    put16(fcr, 0x78, static_cast<uint16_t>(tableAt));
    for (size_t k = 0; k < firsts.size(); ++k)
        put16(fcr, tableAt + 2 * k, firsts[k]);
    Bytes stale = fcr;
    put32(fcr, 0x04, 0x00010002);
    put32(stale, 0x04, 0x00000009);
    putWs32(stale, 0x1A, liveCount(def) + 7);
    put16(stale, 0x16, static_cast<uint16_t>(def.recordLength + 1));
    put16(stale, 0x0A, def.word0A[0]);
    put16(fcr, 0x0A, def.word0A[1]);
    std::copy(stale.begin(), stale.end(), file.begin());
    std::copy(fcr.begin(), fcr.end(), file.begin() + ps);
    return file;
}

Bytes build8x(const FileDef& def)
{
    const size_t ps = def.pageSize;
    const size_t second = std::max<size_t>(ps, 2048);
    const size_t firstPat = (2 * second + ps - 1) / ps;
    PagedFile f = layOutPages(def, 8, true);
    const size_t n = f.pages.size();
    if (n > (ps - 20) / 6)
        throw std::runtime_error("8.x builder: more pages than one PAT maps");
    const size_t pages = firstPat + 2 + n;
    Bytes file(pages * ps, 0);
    std::vector<size_t> physical(n + 1, 0);
    for (size_t l = 1; l <= n; ++l)
        physical[l] = pages - l;

    Bytes current(ps, 0), stale(ps, 0);
    for (Bytes* b : {&current, &stale})
        put16(*b, 4, 'P');
    put16(current, 6, 4);
    put16(stale, 6, 2);
    for (size_t e = 1; e <= (ps - 20) / 6; ++e) {
        const size_t at = 14 + 6 * e;
        if (e <= n) {
            put32(current, at, static_cast<uint32_t>(physical[e]));
            put16(current, at + 4, f.pages[e - 1].type);
        } else {
            put32(current, at, 0xFFFFFFFF);
        }
        put32(stale, at, 0); // an old table mapping everything onto the FCR
        put16(stale, at + 4, 'D');
    }
    std::copy(current.begin(), current.end(), file.begin() + firstPat * ps);
    std::copy(stale.begin(), stale.end(), file.begin() + (firstPat + 1) * ps);
    for (size_t l = 1; l <= n; ++l)
        std::copy(f.pages[l - 1].bytes.begin(), f.pages[l - 1].bytes.end(), file.begin() + physical[l] * ps);

    // Two FCR copies; here the current one (larger 16-bit usage count) is the first.
    Bytes fcr(second, 0);
    fcr[0] = 'F';
    fcr[1] = 'C';
    fcr[4] = 'C';
    fcr[0x2B] = static_cast<uint8_t>(ps / 256);
    put16(fcr, 0x4A, def.versionWord ? def.versionWord : 0x0800);
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(pages), true);
    if (def.acs)
        putText(fcr, 0x3C, def.acs->name, 8, 0);
    size_t segments = 0;
    for (const Key& k : def.keys)
        segments += k.segments.size();
    if (0x110 + kSegmentStrideV8 * segments > kKeyTableV8 || kKeyTableV8 + 2 * def.keys.size() > second)
        throw std::runtime_error("8.x builder: too many keys for the FCR");
    const std::vector<uint16_t> firsts =
        writeSegments(fcr, 0x110, def, def.systemData ? 10 : 2, kSegmentStrideV8);
    put16(fcr, 0x76, static_cast<uint16_t>(def.keys.size()));
    put16(fcr, 0x78, static_cast<uint16_t>(segments));
    put16(fcr, 0x7A, static_cast<uint16_t>(kKeyTableV8));
    // Real 8.x files hold 0xFFFF at 0x106 and tell fixed from variable at 0x38; other flags are
    // written where they can be seen.
    const uint8_t mode = fcr.at(0x38);
    const uint16_t flagsOfMode = mode == 0 ? 0 : mode == 0xFD ? 0x3 : 0x1;
    if (def.fileFlags == flagsOfMode)
        put16(fcr, 0x106, 0xFFFF);
    for (size_t k = 0; k < firsts.size(); ++k)
        put16(fcr, kKeyTableV8 + 2 * k, firsts[k]);
    Bytes stale8 = fcr;
    put16(fcr, 0x06, 0x0102);
    put16(stale8, 0x06, 0x0101);
    putWs32(stale8, 0x1A, liveCount(def) + 3);
    put16(fcr, 0x0A, def.word0A[0]);
    put16(stale8, 0x0A, def.word0A[1]);
    std::copy(fcr.begin(), fcr.end(), file.begin());
    std::copy(stale8.begin(), stale8.end(), file.begin() + second);
    return file;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace genuinetest
