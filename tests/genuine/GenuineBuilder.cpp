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

bool isCompressed(const FileDef& def)
{
    return (def.fileFlags & 0x8) != 0;
}

// Records with a variable part kept apart from the fixed part (compressed records are whole
// images instead).
bool hasVariableParts(const FileDef& def)
{
    return isVariable(def) && !isCompressed(def);
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

enum class Style { Pre6, V6, V8 };

// Bytes of a slot before its duplicate pointers.
size_t slotHead(const FileDef& def, Style style)
{
    if (isCompressed(def)) // image pointer and 01 / 01 nn 00 / 01 01 00, system data
        return style == Style::Pre6 ? 5 : style == Style::V6 ? 7 : 9 + (def.systemData ? 8 : 0);
    const size_t pointer = !hasVariableParts(def) ? 0 : style == Style::Pre6 ? 4 : style == Style::V8 ? 6 : 0;
    return (style == Style::Pre6 ? 0 : 2) + (def.systemData ? 8 : 0) + def.recordLength + pointer;
}

uint16_t slotLength(const FileDef& def, Style style)
{
    const size_t n = slotHead(def, style) + 8u * linkedDuplicateKeys(def) + 8u * def.reservedDuplicatePointers +
                     (style == Style::V6 && hasVariableParts(def) ? 4 : 0);
    return static_cast<uint16_t>(std::max<size_t>(n, 4));
}

void writeFcrCommon(Bytes& fcr, const FileDef& def, uint32_t count, uint32_t pages, Style style)
{
    const bool compressed = isCompressed(def);
    put16(fcr, 0x14, static_cast<uint16_t>(def.keys.size()));
    put16(fcr, 0x16, compressed ? 0 : def.recordLength);
    put16(fcr, 0x18, slotLength(def, style));
    putWs32(fcr, 0x1A, count);
    putWs32(fcr, 0x26, pages);
    fcr.at(0x38) = isVariable(def) ? (def.variableMode ? def.variableMode : 0xFF) : 0;
    put16(fcr, 0x106, def.fileFlags);
    if (compressed && style != Style::V8)
        put16(fcr, 0x10E, def.recordLength);
}

// Packs fragments into variable pages; the fragment table grows back from the page end (fragment
// f's offset in the word at page size - 2 - 2f, then the end of the last one). Pre-6 and 6.x
// pages start their fragments at +6, 8.x pages at +0x10 with the fragment count at +14.
class VariablePages {
public:
    struct Place {
        size_t page = 0;
        unsigned fragment = 0;
        size_t offset = 0;
    };

    // Pages that count their fragments (8.x, 6.x compressed, pre-6) keep the count at countAt;
    // fragments start at first.
    VariablePages(size_t pageSize, size_t first, size_t countAt)
        : mPageSize(pageSize), mFirst(first), mCountAt(countAt)
    {
    }

    // A fragment of size bytes; flagged sets bit 15 of its table entry (pre-6: it starts with a
    // pointer to the next fragment).
    Place place(size_t size, bool flagged)
    {
        if (mPages.empty() || mCursor + size > tableStart(mOffsets.back().size() + 2) ||
            mOffsets.back().size() >= 255) {
            mPages.emplace_back(mPageSize, 0);
            mOffsets.emplace_back();
            mCursor = first();
        }
        if (mCursor + size > tableStart(mOffsets.back().size() + 2))
            throw std::runtime_error("fragment larger than a page");
        Place p{mPages.size() - 1, static_cast<unsigned>(mOffsets.back().size()), mCursor};
        mOffsets.back().push_back(static_cast<uint16_t>(mCursor | (flagged ? 0x8000 : 0)));
        mCursor += size;
        mEnds.resize(mPages.size());
        mEnds.back() = mCursor;
        return p;
    }

    Bytes& page(size_t i) { return mPages[i]; }
    size_t count() const { return mPages.size(); }

    void finishTables()
    {
        for (size_t i = 0; i < mPages.size(); ++i) {
            const auto& offsets = mOffsets[i];
            for (size_t f = 0; f < offsets.size(); ++f)
                put16(mPages[i], entryAt(f), offsets[f]);
            put16(mPages[i], entryAt(offsets.size()), static_cast<uint16_t>(mEnds[i]));
            if (mCountAt)
                put16(mPages[i], mCountAt, static_cast<uint16_t>(offsets.size()));
            if (mCountAt == 14)
                continue;
            for (size_t f = offsets.size() + 1; f < 255 && entryAt(f) >= mEnds[i] + 2; ++f)
                put16(mPages[i], entryAt(f), 0xFFFF);
        }
    }

private:
    size_t first() const { return mFirst; }
    size_t entryAt(size_t f) const { return mPageSize - 2 - 2 * f; }
    size_t tableStart(size_t entries) const { return mPageSize - 2 * entries; }

    size_t mPageSize;
    size_t mFirst;
    size_t mCountAt;
    std::vector<Bytes> mPages;
    std::vector<std::vector<uint16_t>> mOffsets;
    std::vector<size_t> mEnds;
    size_t mCursor = 0;
};

// Where each slot's stored bytes (variable part, or compressed image) went: its fragments.
struct Chain {
    Bytes payload;
    std::vector<VariablePages::Place> places;
    std::vector<size_t> sizes; // payload bytes in each fragment
};
using Chains = std::vector<Chain>;

size_t pointerSize(Style style, bool last)
{
    return style == Style::V8 ? 6 : style == Style::V6 ? 4 : last ? 0 : 4;
}

Chains packChains(const FileDef& def, VariablePages& pages, Style style)
{
    Chains chains(def.slots.size());
    const bool compressed = isCompressed(def);
    if (!compressed && !hasVariableParts(def))
        return chains;
    for (size_t i = 0; i < def.slots.size(); ++i) {
        if (!def.slots[i])
            continue;
        Chain& c = chains[i];
        c.payload = compressed ? compressImage(*def.slots[i]) : variablePart(def, *def.slots[i]);
        for (size_t at = 0; at < c.payload.size(); at += def.fragmentSize) {
            const size_t n = std::min(def.fragmentSize, c.payload.size() - at);
            const bool last = at + n == c.payload.size();
            c.sizes.push_back(n);
            c.places.push_back(pages.place(n + pointerSize(style, last), style == Style::Pre6 && !last));
        }
    }
    return chains;
}

// Writes a pointer to place p (or the end of a chain when p is null) at b[at]; pageNumber maps a
// variable page index to the number the pointer names.
template <class PageNumber>
void putPointer(Bytes& b, size_t at, const VariablePages::Place* p, Style style, PageNumber pageNumber)
{
    if (style == Style::V8) {
        put32(b, at, p ? static_cast<uint32_t>(pageNumber(p->page)) : 0xFFFFFFFF);
        put16(b, at + 4, p ? static_cast<uint16_t>(p->fragment) : 0xFFFF);
        return;
    }
    putPage24(b, at, at + 1, at + 2, p ? static_cast<uint32_t>(pageNumber(p->page)) : 0);
    b.at(at + 3) = p ? static_cast<uint8_t>(p->fragment) : 0xFF;
}

// Writes chain i's slot pointer at pointerAt and its fragments.
template <class PageNumber>
void writeChain(const Chain& chain, VariablePages& pages, Style style, Bytes& slotPage, size_t pointerAt,
                PageNumber pageNumber)
{
    putPointer(slotPage, pointerAt, chain.places.empty() ? nullptr : &chain.places[0], style, pageNumber);
    size_t from = 0;
    for (size_t c = 0; c < chain.places.size(); ++c) {
        Bytes& page = pages.page(chain.places[c].page);
        size_t at = chain.places[c].offset;
        const bool last = c + 1 == chain.places.size();
        if (pointerSize(style, last) != 0) {
            putPointer(page, at, last ? nullptr : &chain.places[c + 1], style, pageNumber);
            at += pointerSize(style, last);
        }
        std::copy(chain.payload.begin() + from, chain.payload.begin() + from + chain.sizes[c], page.begin() + at);
        from += chain.sizes[c];
    }
}

size_t slotsPerPage(const FileDef& def, size_t header, Style style)
{
    return (def.pageSize - header) / slotLength(def, style);
}

// Junk in the duplicate pointers after the slot head.
void writeDuplicatePointers(const FileDef& def, Bytes& page, size_t dupAt)
{
    for (size_t i = 0; i < 8u * (linkedDuplicateKeys(def) + def.reservedDuplicatePointers); ++i)
        page.at(dupAt + i) = 0xDD;
}

bool segmentIsNull(const Segment& s, const Bytes& r)
{
    for (size_t i = 0; i < s.length; ++i)
        if ((s.offset + i < r.size() ? r[s.offset + i] : 0) != s.nullValue)
            return false;
    return true;
}

bool keyIsNull(const Key& key, const Bytes& r)
{
    const uint16_t flags = key.segments.front().flags;
    if (flags & 0x8)
        return std::all_of(key.segments.begin(), key.segments.end(),
                           [&](const Segment& s) { return segmentIsNull(s, r); });
    if (flags & 0x200)
        return std::any_of(key.segments.begin(), key.segments.end(),
                           [&](const Segment& s) { return segmentIsNull(s, r); });
    return false;
}

// <0, 0, >0 as record a's key k orders before, with or after b's; `known` false for a type this
// does not order.
int compareKeys(const FileDef& def, const Key& key, const Bytes& a, const Bytes& b, bool& known)
{
    const auto at = [](const Bytes& r, size_t i) -> uint8_t { return i < r.size() ? r[i] : 0; };
    for (const Segment& s : key.segments) {
        const uint8_t type = (s.flags & 0x100) ? s.extendedType : 0;
        int result = 0;
        if (type == 1 || type == 14) {
            int64_t x = 0, y = 0;
            for (size_t i = s.length; i > 0; --i) {
                x = x << 8 | at(a, s.offset + i - 1);
                y = y << 8 | at(b, s.offset + i - 1);
            }
            if (type == 1 && s.length < 8) {
                const int64_t sign = int64_t{1} << (8 * s.length - 1);
                x = (x ^ sign) - sign;
                y = (y ^ sign) - sign;
            }
            result = x < y ? -1 : x > y;
        } else if (type == 0) {
            for (size_t i = 0; i < s.length && result == 0; ++i) {
                uint8_t x = at(a, s.offset + i), y = at(b, s.offset + i);
                if ((s.flags & 0x20) && def.acs) {
                    x = def.acs->table[x];
                    y = def.acs->table[y];
                } else if (s.flags & 0x400) {
                    x = static_cast<uint8_t>(x >= 'a' && x <= 'z' ? x - 32 : x);
                    y = static_cast<uint8_t>(y >= 'a' && y <= 'z' ? y - 32 : y);
                }
                result = x < y ? -1 : x > y;
            }
        } else {
            known = false;
        }
        if (result != 0)
            return (s.flags & 0x40) ? -result : result;
    }
    return 0;
}

// One key's B-tree: its entries in key order, each the first and the last slot of its records
// (one record, or a chain of duplicates), and its nodes, nodes[0] the root. Node n lives on the
// key's n-th index page.
struct KeyTree {
    struct Node {
        std::vector<size_t> entries;  // indexes into heads
        std::vector<size_t> children; // node indexes, one more than entries; none in a leaf
    };
    bool written = false;
    bool chained = false;
    size_t keyLength = 0;
    std::vector<size_t> heads, lasts;
    std::vector<Node> nodes;
    size_t pages() const { return std::max<size_t>(nodes.size(), 1); }
};

constexpr size_t kNone = SIZE_MAX;

struct IndexTrees {
    std::vector<KeyTree> keys;
    // By key with linked duplicates (in key order), by slot: the previous and the next slot of its
    // chain (kNone at the ends and for slots on none).
    std::vector<std::vector<std::pair<size_t, size_t>>> links;
    size_t pages() const
    {
        size_t n = 0;
        for (const KeyTree& t : keys)
            n += t.pages();
        return n;
    }
};

// Entries a tree of `depth` levels holds with at most `fanout` entries a node.
size_t treeCapacity(size_t depth, size_t fanout)
{
    size_t n = 1;
    for (size_t d = 0; d < depth && n <= SIZE_MAX / (fanout + 1); ++d)
        n *= fanout + 1;
    return n - 1;
}

// The subtree of entries [lo, hi) with every leaf `depth` levels down; its node's index.
size_t buildNode(KeyTree& t, size_t lo, size_t hi, size_t depth, size_t fanout)
{
    const size_t id = t.nodes.size();
    t.nodes.emplace_back();
    const size_t n = hi - lo;
    if (n == 0 || (depth == 1 && n > fanout))
        throw std::runtime_error("builder: a node of " + std::to_string(n) + " entries");
    if (depth == 1) {
        for (size_t e = lo; e < hi; ++e)
            t.nodes[id].entries.push_back(e);
        return id;
    }
    const size_t below = treeCapacity(depth - 1, fanout);
    const size_t children = std::max<size_t>(2, (n + 1 + below) / (below + 1));
    const size_t rest = n - (children - 1);
    size_t at = lo;
    for (size_t c = 0; c < children; ++c) {
        const size_t size = rest / children + (c < rest % children ? 1 : 0);
        const size_t child = buildNode(t, at, at + size, depth - 1, fanout);
        t.nodes[id].children.push_back(child);
        at += size;
        if (c + 1 < children)
            t.nodes[id].entries.push_back(at++);
    }
    return id;
}

// Index page header: 6 bytes before 8.x, 8 in 8.x.
IndexTrees planTrees(const FileDef& def, size_t header)
{
    IndexTrees out;
    out.keys.resize(def.keys.size());
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const Key& key = def.keys[k];
        KeyTree& t = out.keys[k];
        t.chained = !key.segments.empty() && (key.segments[0].flags & 0x1) && !(key.segments[0].flags & 0x80);
        if (t.chained)
            out.links.emplace_back(def.slots.size(), std::make_pair(kNone, kNone));
        if (!def.indexPages)
            continue;
        for (const Segment& s : key.segments)
            t.keyLength += s.length;
        size_t fanout = (def.pageSize - header - 6) / (8 + t.keyLength + (t.chained ? 4 : 0));
        if (def.nodeEntries != 0)
            fanout = std::min(fanout, def.nodeEntries);
        bool known = true;
        const std::vector<size_t> order = keyOrder(def, k, known);
        if (!known || fanout < 2)
            continue;
        t.written = true;
        for (size_t i = 0; i < order.size(); ++i) {
            if (t.chained && i > 0 &&
                compareKeys(def, key, *def.slots[order[i - 1]], *def.slots[order[i]], known) == 0) {
                auto& chain = out.links.back();
                chain[t.lasts.back()].second = order[i];
                chain[order[i]].first = t.lasts.back();
                t.lasts.back() = order[i];
                continue;
            }
            t.heads.push_back(order[i]);
            t.lasts.push_back(order[i]);
        }
        size_t depth = 1;
        while (treeCapacity(depth, fanout) < t.heads.size())
            ++depth;
        if (!t.heads.empty())
            buildNode(t, 0, t.heads.size(), depth, fanout);
    }
    return out;
}

// An index page pointer of key k: pre-6 ws32 physical page, 6.x [hi][0x80 + k][lo][mid] logical
// page, 8.x u32 logical page; all 0xFF for none (kNone).
void putIndexPointer(Bytes& b, size_t at, size_t page, size_t k, Style style)
{
    const auto n = static_cast<uint32_t>(page);
    if (page == kNone) {
        put32(b, at, 0xFFFFFFFF);
    } else if (style == Style::Pre6) {
        putWs32(b, at, n);
    } else if (style == Style::V6) {
        putPage24(b, at, at + 2, at + 3, n);
        b.at(at + 1) = static_cast<uint8_t>(0x80 + k);
    } else {
        put32(b, at, n);
    }
}

// Writes key k's index pages: node n on page(n), whose number pointers give as pageNumber(n);
// address(slot) is a record's address. A key without a tree keeps junk.
template <class PageOf, class PageNumber, class Address>
void writeTree(const FileDef& def, const KeyTree& t, size_t k, Style style, size_t header, PageOf page,
               PageNumber pageNumber, Address address)
{
    const auto pointer = [&](Bytes& b, size_t at, size_t node) {
        putIndexPointer(b, at, node == kNone ? kNone : pageNumber(node), k, style);
    };
    for (size_t n = 0; t.written && n < t.nodes.size(); ++n) {
        const KeyTree::Node& node = t.nodes[n];
        Bytes& b = page(n);
        const bool leaf = node.children.empty();
        put16(b, header, static_cast<uint16_t>(node.entries.size()));
        pointer(b, header + 2, leaf ? kNone : node.children.back());
        size_t at = header + 6;
        for (size_t e = 0; e < node.entries.size(); ++e) {
            const size_t entry = node.entries[e];
            pointer(b, at, leaf ? kNone : node.children[e]);
            const Bytes& record = *def.slots[t.heads[entry]];
            size_t to = at + 4;
            for (const Segment& s : def.keys[k].segments)
                for (size_t i = 0; i < s.length; ++i)
                    b.at(to++) = s.offset + i < record.size() ? record[s.offset + i] : 0;
            putWs32(b, to, address(t.heads[entry]));
            if (t.chained)
                putWs32(b, to + 4, address(t.lasts[entry]));
            at = to + 4 + (t.chained ? 4 : 0);
        }
    }
}

// The key's root as its first segment spec names it (see putIndexPointer); junk's place when it
// has no tree, none when its tree is empty.
template <class PageNumber>
void writeRoot(Bytes& fcr, size_t at, const KeyTree& t, size_t k, Style style, PageNumber pageNumber)
{
    if (t.written)
        putIndexPointer(fcr, at, t.nodes.empty() ? kNone : pageNumber(0), k, style);
}

// The duplicate pointers of slot i at dupAt: linked chains (ws32 previous, next; all 0xFF at the
// ends) where the keys have trees, junk elsewhere and in reserved pointers.
template <class Address>
void writeDuplicatePointers(const FileDef& def, const IndexTrees& trees, Bytes& page, size_t dupAt, size_t i,
                            Address address)
{
    writeDuplicatePointers(def, page, dupAt);
    if (!def.indexPages)
        return;
    for (size_t j = 0; j < trees.links.size(); ++j) {
        const auto [prev, next] = trees.links[j][i];
        putWs32(page, dupAt + 8 * j, prev == kNone ? 0xFFFFFFFF : address(prev));
        putWs32(page, dupAt + 8 * j + 4, next == kNone ? 0xFFFFFFFF : address(next));
    }
}

// 6.x and 8.x record addresses: logical page << b | slot, b the bits the slots per page need (4 at
// least).
uint32_t pagedAddress(size_t logical, size_t slot, size_t perPage)
{
    unsigned bits = 4;
    while ((size_t(1) << bits) <= perPage)
        ++bits;
    return static_cast<uint32_t>(logical << bits | slot);
}

void writeRecord(const FileDef& def, const Bytes& record, Bytes& page, size_t at)
{
    const size_t n = std::min<size_t>(record.size(), def.recordLength);
    std::copy(record.begin(), record.begin() + n, page.begin() + at);
}

void recordLayout(Layout* layout, size_t pageSize, const std::vector<size_t>& physical,
                  const std::vector<uint16_t>& type)
{
    if (!layout)
        return;
    layout->pageSize = pageSize;
    layout->physical = physical;
    layout->type = type;
}

} // namespace

std::vector<size_t> keyOrder(const FileDef& def, size_t k, bool& known, bool physical)
{
    const Key& key = def.keys.at(k);
    std::vector<size_t> out;
    for (size_t i = 0; i < def.slots.size(); ++i)
        if (def.slots[i] && !keyIsNull(key, *def.slots[i]))
            out.push_back(i);
    if (!physical && !def.inserted.empty())
        std::sort(out.begin(), out.end(),
                  [&](size_t a, size_t b) { return def.inserted.at(a) < def.inserted.at(b); });
    std::stable_sort(out.begin(), out.end(), [&](size_t a, size_t b) {
        return compareKeys(def, key, *def.slots[a], *def.slots[b], known) < 0;
    });
    return out;
}

uint32_t distinctValues(const FileDef& def, size_t k)
{
    bool known = true;
    const std::vector<size_t> order = keyOrder(def, k, known);
    uint32_t n = 0;
    for (size_t i = 0; i < order.size(); ++i)
        n += i == 0 ||
             compareKeys(def, def.keys[k], *def.slots[order[i - 1]], *def.slots[order[i]], known) != 0;
    return n;
}

std::vector<size_t> Layout::pagesOf(uint16_t t) const
{
    std::vector<size_t> out;
    for (size_t n = 1; n < type.size(); ++n)
        if (type[n] == t)
            out.push_back(n);
    return out;
}

Bytes compressImage(const Bytes& record)
{
    Bytes out;
    auto pair = [&](size_t n) {
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
    };
    size_t i = 0;
    while (i < record.size()) {
        // A literal up to the next run of four or more equal bytes, then that run (maybe empty).
        size_t runAt = i;
        size_t runLength = 0;
        for (; runAt < record.size(); ++runAt) {
            runLength = 1;
            while (runAt + runLength < record.size() && record[runAt + runLength] == record[runAt])
                ++runLength;
            if (runLength >= 4)
                break;
        }
        if (runAt >= record.size())
            runLength = 0;
        pair(runAt - i);
        out.insert(out.end(), record.begin() + i, record.begin() + runAt);
        if (runLength == 0)
            break;
        pair(runLength);
        out.push_back(record[runAt]);
        i = runAt + runLength;
    }
    if (out.empty())
        pair(0);
    return out;
}

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
    return slotLength(def, usageCount ? (def.systemData || isCompressed(def) ? Style::V8 : Style::V6) : Style::Pre6);
}

size_t copySpanV8(uint16_t pageSize)
{
    return std::max<size_t>(2 * size_t(pageSize), 2048);
}

size_t patEntriesV8(uint16_t pageSize)
{
    const size_t span = copySpanV8(pageSize);
    return 5 * span / 32 - 2 * (span / pageSize);
}

size_t patPageV8(uint16_t pageSize, size_t k)
{
    const size_t m = copySpanV8(pageSize) / pageSize;
    return 4 * m + k * (patEntriesV8(pageSize) + 2 * m);
}

size_t keyTableV8(uint16_t pageSize)
{
    const size_t span = copySpanV8(pageSize);
    return span == 2048 ? 0x7A8 : span == 4096 ? 0xF3C : span == 8192 ? 0x1E66 : span - 0x1F2;
}

Bytes buildPre6(const FileDef& def)
{
    Layout unused;
    return buildPre6(def, unused);
}

Bytes buildPre6(const FileDef& def, Layout& layout)
{
    if (def.systemData)
        throw std::runtime_error("pre-6 builder: no system data before 8.x");
    const size_t ps = def.pageSize;
    const uint16_t phys = slotLength(def, Style::Pre6);
    const size_t perPage = slotsPerPage(def, 6, Style::Pre6);
    const size_t dataPages = std::max<size_t>(1, (def.slots.size() + perPage - 1) / perPage);
    VariablePages variable(ps, 12, 10);
    const Chains chains = packChains(def, variable, Style::Pre6);
    const bool pointers = isCompressed(def) || hasVariableParts(def);

    const size_t acsPages = def.acs ? 1 : 0;
    const size_t firstIndex = 1 + acsPages;
    const IndexTrees trees = planTrees(def, 6);
    const size_t firstData = firstIndex + trees.pages();
    const size_t firstVariable = firstData + dataPages;
    const size_t pages = firstVariable + variable.count();
    Bytes file(pages * ps, 0);
    Bytes fcr(ps, 0);
    put16(fcr, 0x06, def.versionWord ? def.versionWord : 0xFB00); // -0x0500: 5.0
    put16(fcr, 0x08, def.pageSize);
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(pages), Style::Pre6);
    const std::vector<uint16_t> firsts = writeSegments(fcr, 0x110, def, 0);
    if (def.acs) {
        Bytes acs(ps, 0);
        acs[2] = 1;
        const Bytes block = def.acs->block();
        std::copy(block.begin(), block.end(), acs.begin() + 6);
        std::copy(acs.begin(), acs.end(), file.begin() + ps);
    }
    const auto address = [&](size_t i) {
        return static_cast<uint32_t>((firstData + i / perPage) * ps + 6 + (i % perPage) * phys);
    };
    // Index pages: their own number, flag bit 15 clear; each key's root on its last page.
    for (size_t k = 0, first = firstIndex; k < def.keys.size(); first += trees.keys[k++].pages()) {
        const KeyTree& t = trees.keys[k];
        const auto pageNumber = [&](size_t node) { return first + t.pages() - 1 - node; };
        std::vector<Bytes> index(t.pages(), Bytes(ps, 0x5A));
        writeTree(
            def, t, k, Style::Pre6, 6, [&](size_t node) -> Bytes& { return index[t.pages() - 1 - node]; },
            pageNumber, address);
        for (size_t p = 0; p < index.size(); ++p) {
            putWs32(index[p], 0, static_cast<uint32_t>(first + p));
            put16(index[p], 4, 0x0001);
            std::copy(index[p].begin(), index[p].end(), file.begin() + (first + p) * ps);
        }
        writeRoot(fcr, firsts[k], t, k, Style::Pre6, pageNumber);
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
        // Compressed: image pointer, 01; variable: fixed part, then the pointer to the rest.
        size_t pointerAt = at;
        if (!isCompressed(def)) {
            writeRecord(def, *def.slots[i], page, at);
            pointerAt = at + def.recordLength;
        } else {
            page.at(at + 4) = 0x01;
        }
        if (pointers)
            writeChain(chains[i], variable, Style::Pre6, page, pointerAt,
                       [&](size_t v) { return firstVariable + v; });
        writeDuplicatePointers(def, trees, page, at + slotHead(def, Style::Pre6), i, address);
    }
    variable.finishTables();
    putWs32(fcr, 0x10, deletedHead);
    std::copy(fcr.begin(), fcr.end(), file.begin());
    for (size_t p = 0; p < dataPages; ++p)
        std::copy(data[p].begin(), data[p].end(), file.begin() + (firstData + p) * ps);
    for (size_t v = 0; v < variable.count(); ++v)
        std::copy(variable.page(v).begin(), variable.page(v).end(), file.begin() + (firstVariable + v) * ps);

    std::vector<size_t> physical(pages);
    std::vector<uint16_t> types(pages, 0);
    for (size_t p = 0; p < pages; ++p)
        physical[p] = p;
    if (def.acs)
        types[1] = 'A';
    for (size_t k = 0, p = firstIndex; k < def.keys.size(); ++k)
        for (size_t n = 0; n < trees.keys[k].pages(); ++n)
            types[p++] = static_cast<uint16_t>(0x80 + k);
    for (size_t p = firstData; p < firstVariable; ++p)
        types[p] = 'D';
    for (size_t p = firstVariable; p < pages; ++p)
        types[p] = 'V';
    recordLayout(&layout, ps, physical, types);
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
    IndexTrees trees;
    std::vector<size_t> roots; // by key: the logical number of its root's page
};

// Lays out ACS, index, data and variable pages and fills the slots. logical, when given, is the
// logical number of the n-th page laid out (8.x files spread over many PATs); else n.
PagedFile layOutPages(const FileDef& def, Style style, const std::vector<size_t>* logical = nullptr)
{
    const auto number = [&](size_t n) { return logical ? logical->at(n) : n; };
    const bool v8 = style == Style::V8;
    const size_t header = v8 ? 8 : 6;
    const size_t ps = def.pageSize;
    const uint16_t phys = slotLength(def, style);
    const bool compressed = isCompressed(def);
    const bool storedCompressed = compressed;
    const size_t perPage = slotsPerPage(def, header, style);
    const size_t dataPages = std::max<size_t>(1, (def.slots.size() + perPage - 1) / perPage);
    VariablePages variable(ps, v8 ? 0x10 : compressed ? 0x0C : 6, v8 ? 14 : compressed ? 10 : 0);
    PagedFile f;
    Chains chains = packChains(def, variable, style);

    if (def.acs) {
        LogicalPage acs{'A', Bytes(ps, 0)};
        const Bytes block = def.acs->block();
        std::copy(block.begin(), block.end(), acs.bytes.begin() + header);
        f.pages.push_back(acs);
    }
    f.trees = planTrees(def, header);
    std::vector<size_t> firstIndex; // by key: the index into pages of its first index page
    for (size_t k = 0; k < def.keys.size(); ++k) {
        firstIndex.push_back(f.pages.size());
        for (size_t n = 0; n < f.trees.keys[k].pages(); ++n)
            f.pages.push_back({static_cast<uint16_t>((v8 ? 0x8000 : 0x80) + k), Bytes(ps, 0x5A)});
    }
    f.firstData = f.pages.size() + 1;
    const auto address = [&](size_t i) {
        return pagedAddress(number(f.firstData + i / perPage), i % perPage, perPage);
    };
    for (size_t p = 0; p < dataPages; ++p)
        f.pages.push_back({'D', Bytes(ps, 0)});
    f.firstVariable = f.pages.size() + 1;
    const bool anyData = dataPages > 0;
    for (size_t i = 0; anyData && i < def.slots.size(); ++i) {
        Bytes& page = f.pages[f.firstData - 1 + i / perPage].bytes;
        const size_t at = header + (i % perPage) * phys;
        const auto variablePage = [&](size_t v) { return number(f.firstVariable + v); };
        if (!def.slots[i]) { // deleted: usage count 0 (compressed: a free link, zeros), old bytes
            if (storedCompressed)
                put32(page, at, 0x00070001);
            else
                std::fill(page.begin() + at + 2, page.begin() + at + phys, 0xEE);
            continue;
        }
        if (storedCompressed) {
            writeChain(chains[i], variable, style, page, at, variablePage);
            page.at(at + (v8 ? 6 : 4)) = 0x01;
            page.at(at + (v8 ? 7 : 5)) = static_cast<uint8_t>(v8 ? 0x01 : 1 + i % 7);
        } else {
            put16(page, at, static_cast<uint16_t>(1 + i % 3));
        }
        size_t recordAt = storedCompressed ? at + (v8 ? 9 : 7) : at + 2;
        if (def.systemData) { // an 8-byte value of the record manager's own
            for (size_t b = 0; b < 8; ++b)
                page.at(recordAt + b) = static_cast<uint8_t>(0xA0 + i + b);
            recordAt += 8;
        }
        if (!storedCompressed)
            writeRecord(def, *def.slots[i], page, recordAt);
        writeDuplicatePointers(def, f.trees, page, at + slotHead(def, style), i, address);
        if (hasVariableParts(def)) // 8.x: right after the fixed part; 6.x: last in the slot
            writeChain(chains[i], variable, style, page, v8 ? recordAt + def.recordLength : at + phys - 4,
                       variablePage);
    }
    variable.finishTables();
    for (size_t v = 0; v < variable.count(); ++v)
        f.pages.push_back({'V', variable.page(v)});
    // Each key's nodes on its pages from the last back, the root last.
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const KeyTree& t = f.trees.keys[k];
        const auto indexOf = [&](size_t node) { return firstIndex[k] + t.pages() - 1 - node; };
        writeTree(
            def, t, k, style, header, [&](size_t node) -> Bytes& { return f.pages[indexOf(node)].bytes; },
            [&](size_t node) { return number(indexOf(node) + 1); }, address);
        f.roots.push_back(number(indexOf(0) + 1));
    }
    // Page headers: [hi][type][lo][mid] + usage (6.x); [u32 logical][u16 type][u16 usage] (8.x).
    for (size_t n = 1; n <= f.pages.size(); ++n) {
        Bytes& b = f.pages[n - 1].bytes;
        if (v8) {
            put32(b, 0, static_cast<uint32_t>(number(n)));
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

std::vector<uint16_t> typesOf(const PagedFile& f)
{
    std::vector<uint16_t> types(f.pages.size() + 1, 0);
    for (size_t n = 1; n <= f.pages.size(); ++n)
        types[n] = f.pages[n - 1].type;
    return types;
}

} // namespace

Bytes build6x(const FileDef& def)
{
    Layout unused;
    return build6x(def, unused);
}

Bytes build6x(const FileDef& def, Layout& layout)
{
    if (def.systemData)
        throw std::runtime_error("6.x builder: no system data before 8.x");
    const size_t ps = def.pageSize;
    const size_t stride = ps / 4;
    const size_t perPair = stride - 2;
    PagedFile f = layOutPages(def, Style::V6);
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
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(pages), Style::V6);
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
    const std::vector<uint16_t> firsts = writeSegments(fcr, segmentsAt, def, isCompressed(def) ? 0 : 2);
    for (size_t k = 0; k < firsts.size(); ++k)
        writeRoot(fcr, firsts[k], f.trees.keys[k], k, Style::V6, [&](size_t) { return f.roots[k]; });
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
    recordLayout(&layout, ps, physical, typesOf(f));
    return file;
}

Bytes build8x(const FileDef& def)
{
    Layout unused;
    return build8x(def, unused);
}

Bytes build8x(const FileDef& def, Layout& layout)
{
    const size_t ps = def.pageSize;
    if (ps < 512 || ps > 16384 || ps % 512 != 0)
        throw std::runtime_error("8.x builder: page size");
    const size_t span = copySpanV8(def.pageSize);
    const size_t m = span / ps;
    const size_t perPat = patEntriesV8(def.pageSize);
    if (def.systemData != ((def.fileFlags & 0x200) && !(def.fileFlags & 0x1000)))
        throw std::runtime_error("8.x builder: system data goes with file flag 0x200 without 0x1000");
    // Pages spread over the tables as evenly as they go, each table mapping some.
    const size_t n = layOutPages(def, Style::V8).pages.size();
    const size_t tables = std::min(n, std::max({def.patCount, size_t(1), (n + perPat - 1) / perPat}));
    std::vector<size_t> logical(n + 1, 0), physical(n + 1, 0);
    std::vector<size_t> groupSize(tables);
    for (size_t k = 0, i = 1; k < tables; ++k) {
        groupSize[k] = n / tables + (k < n % tables ? 1 : 0);
        if (groupSize[k] > perPat)
            throw std::runtime_error("8.x builder: more pages than the tables map");
        // Within its table's stretch, a group's pages lie in reverse order, so that logical and
        // physical order differ.
        for (size_t j = 0; j < groupSize[k]; ++j, ++i) {
            logical[i] = k * perPat + j + 1;
            physical[i] = patPageV8(def.pageSize, k) + 2 * m + (groupSize[k] - 1 - j);
        }
    }
    PagedFile f = layOutPages(def, Style::V8, &logical);
    std::vector<size_t> indexOf(logical[n] + 1, n + 1); // n + 1: no page
    for (size_t i = 1; i <= n; ++i)
        indexOf[logical[i]] = i;
    // Stale copies of data pages (older contents, same header) after the last mapped page.
    const size_t lastStretch = patPageV8(def.pageSize, tables - 1) + 2 * m + groupSize[tables - 1];
    const size_t pages = lastStretch + def.staleCopies;
    Bytes file(pages * ps, 0);

    // Two copies of each PAT, U bytes each; the stale one maps every page onto the one after it,
    // with the type of another. Which copy is current alternates from table to table.
    for (size_t k = 0; k < tables; ++k) {
        for (int c = 0; c < 2; ++c) {
            Bytes pat(span, 0);
            const bool current = c == (def.currentPat + int(k)) % 2;
            put32(pat, 0, static_cast<uint32_t>(k + 1));
            pat[3] = 0x50;
            put16(pat, 4, 'P');
            put16(pat, 6, static_cast<uint16_t>(current ? 9 + k : 8 + k));
            for (size_t e = 1; e <= perPat; ++e) {
                const size_t at = 0x14 + 6 * (e - 1);
                const size_t l = k * perPat + e;
                const size_t i = l < indexOf.size() ? indexOf[l] : n + 1;
                if (i > n) { // free
                    put32(pat, at, 0xFFFFFFFE);
                    put16(pat, at + 4, 0);
                } else if (current) {
                    put32(pat, at, static_cast<uint32_t>(physical[i]));
                    put16(pat, at + 4, f.pages[i - 1].type);
                } else {
                    put32(pat, at, static_cast<uint32_t>(physical[i % n + 1]));
                    put16(pat, at + 4, f.pages[(i + 1) % n].type);
                }
            }
            // The entry after the last is all zero; an allocation bitmap follows.
            for (size_t at = 0x14 + 6 * perPat + 6; at < pat.size(); ++at)
                pat[at] = static_cast<uint8_t>(0xF7 - (at & 0x3F));
            std::copy(pat.begin(), pat.end(), file.begin() + (patPageV8(def.pageSize, k) + c * m) * ps);
        }
    }
    if (def.decoyAt0x1000 && ps <= 1024) { // where a reader might look for a PAT at page 8 of 512-byte pages
        Bytes decoy(0x1000, 0);
        put16(decoy, 4, 'P');
        put16(decoy, 6, 0x7FFF);
        for (size_t at = 0x14; at + 6 <= decoy.size(); at += 6) {
            put32(decoy, at, 1);
            put16(decoy, at + 4, 'D');
        }
        std::copy(decoy.begin(), decoy.end(), file.begin() + 0x1000);
    }
    for (size_t i = 1; i <= n; ++i)
        std::copy(f.pages[i - 1].bytes.begin(), f.pages[i - 1].bytes.end(), file.begin() + physical[i] * ps);
    const std::vector<size_t> dataPages = [&] {
        std::vector<size_t> d;
        for (size_t i = 1; i <= n; ++i)
            if (f.pages[i - 1].type == 'D')
                d.push_back(i);
        return d;
    }();
    for (size_t c = 0; c < def.staleCopies && !dataPages.empty(); ++c) {
        Bytes old = f.pages[dataPages[c % dataPages.size()] - 1].bytes;
        for (size_t at = 8; at + 1 < ps; at += 2) // every slot in use, holding other bytes
            put16(old, at, static_cast<uint16_t>(0x0101 + c));
        std::copy(old.begin(), old.end(), file.begin() + (lastStretch + c) * ps);
    }

    const size_t highest = logical[n];
    Bytes fcr(span, 0);
    fcr[0] = 'F';
    fcr[1] = 'C';
    fcr[4] = 'C';
    fcr[0x2B] = static_cast<uint8_t>(ps / 256);
    put16(fcr, 0x4A, def.versionWord ? def.versionWord : 0x0800);
    // The page count is the highest logical page + 1.
    writeFcrCommon(fcr, def, liveCount(def), static_cast<uint32_t>(highest + 1), Style::V8);
    put16(fcr, 0x52, static_cast<uint16_t>(highest + 1));
    if (def.acs)
        putText(fcr, 0x3C, def.acs->name, 8, 0);
    size_t segments = 0;
    for (const Key& k : def.keys)
        segments += k.segments.size();
    const size_t tableAt = keyTableV8(def.pageSize);
    if (kSegmentsV8 + kSegmentStrideV8 * segments > tableAt || tableAt + 2 * def.keys.size() > span)
        throw std::runtime_error("8.x builder: too many keys for the FCR");
    const bool compressed = isCompressed(def);
    const uint16_t bias = compressed ? 0 : def.systemData ? 10 : 2;
    const std::vector<uint16_t> firsts = writeSegments(fcr, kSegmentsV8, def, bias, kSegmentStrideV8);
    for (size_t k = 0; k < firsts.size(); ++k)
        writeRoot(fcr, firsts[k], f.trees.keys[k], k, Style::V8, [&](size_t) { return f.roots[k]; });
    put16(fcr, 0x72, static_cast<uint16_t>(slotHead(def, Style::V8)));
    put16(fcr, 0x74, static_cast<uint16_t>(linkedDuplicateKeys(def) + def.reservedDuplicatePointers));
    put16(fcr, 0x76, static_cast<uint16_t>(def.keys.size()));
    put16(fcr, 0x78, static_cast<uint16_t>(segments));
    put16(fcr, 0x7A, static_cast<uint16_t>(tableAt));
    // Real 8.x files hold 0xFFFF at 0x106 and the flags at 0x190; 0x38 tells fixed from variable.
    put16(fcr, 0x106, 0xFFFF);
    put16(fcr, 0x190, def.fileFlags);
    if (compressed)
        put16(fcr, 0x192, def.recordLength);
    for (size_t k = 0; k < firsts.size(); ++k)
        put16(fcr, tableAt + 2 * k, firsts[k]);
    Bytes stale8 = fcr;
    put16(fcr, 0x06, 0x0102);
    put16(stale8, 0x06, 0x0101);
    putWs32(stale8, 0x1A, 0);
    put16(stale8, 0x0A, 0x4000);
    Bytes& first = def.currentFcr == 0 ? fcr : stale8;
    Bytes& other = def.currentFcr == 0 ? stale8 : fcr;
    put16(first, 0x0A, static_cast<uint16_t>(first.at(0x0A) | first.at(0x0B) << 8 | def.word0A[0]));
    put16(other, 0x0A, static_cast<uint16_t>(other.at(0x0A) | other.at(0x0B) << 8 | def.word0A[1]));
    std::copy(first.begin(), first.end(), file.begin());
    std::copy(other.begin(), other.end(), file.begin() + span);
    std::vector<size_t> byLogical(highest + 1, 0);
    std::vector<uint16_t> types(highest + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        byLogical[logical[i]] = physical[i];
        types[logical[i]] = f.pages[i - 1].type;
    }
    recordLayout(&layout, ps, byLogical, types);
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
