#include "Generators.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <numeric>

namespace genuinetest {

namespace {

size_t pick(std::mt19937& rng, size_t lo, size_t hi)
{
    return std::uniform_int_distribution<size_t>(lo, std::max(lo, hi))(rng);
}

bool chance(std::mt19937& rng, double p)
{
    return std::bernoulli_distribution(p)(rng);
}

// Bytes with runs in them, so that compressed images hold both kinds of token.
void fill(std::mt19937& rng, Bytes& b, size_t from, size_t to)
{
    for (size_t i = from; i < to;) {
        const size_t n = std::min(to - i, pick(rng, 1, chance(rng, 0.3) ? 40 : 6));
        const auto value = static_cast<uint8_t>(pick(rng, 0, 255));
        const bool run = chance(rng, 0.4);
        for (size_t j = 0; j < n; ++j)
            b[i + j] = run ? value : static_cast<uint8_t>(pick(rng, 0, 255));
        i += n;
    }
}

uint8_t versionByte(uint16_t word)
{
    const int value = std::abs(static_cast<int>(static_cast<int16_t>(word)));
    return static_cast<uint8_t>(std::min((value >> 8) & 0xFF, 15) << 4 | (value & 0xFF) >> 4);
}

const char* formatName(Format f)
{
    return f == Format::Pre6 ? "pre-6" : f == Format::V6 ? "6.x" : "8.x";
}

const char* storageName(Storage s)
{
    switch (s) {
    case Storage::Fixed:
        return "fixed";
    case Storage::Variable:
        return "variable";
    case Storage::Compressed:
        return "compressed";
    case Storage::CompressedVariable:
        return "compressed variable";
    }
    return "";
}

// A key segment of a random type over [offset, offset + length).
Segment segment(std::mt19937& rng, uint16_t offset, uint16_t length, bool acs)
{
    Segment s{offset, length};
    const size_t type = length == 2 || length == 4 ? pick(rng, 0, 2) : 0;
    if (type == 1)
        s.flags = 0x100, s.extendedType = 1; // INTEGER
    else if (type == 2)
        s.flags = 0x100, s.extendedType = 14; // UNSIGNED BINARY
    else if (acs && chance(rng, 0.5))
        s.flags = 0x20; // STRING through the sequence
    else if (chance(rng, 0.3))
        s.flags = 0x400; // STRING, case-blind
    if (chance(rng, 0.25))
        s.flags |= 0x40; // descending
    if (chance(rng, 0.3))
        s.flags |= 0x2; // modifiable: no bearing on the layout
    return s;
}

} // namespace

std::string GeneratedFile::describe() const
{
    size_t live = 0;
    for (const auto& s : def.slots)
        live += s.has_value();
    return std::string(formatName(format)) + " " + storageName(storage) + ", pages of " +
           std::to_string(def.pageSize) + ", record length " + std::to_string(def.recordLength) + ", " +
           std::to_string(def.keys.size()) + " keys, " + std::to_string(live) + " of " +
           std::to_string(def.slots.size()) + " slots live, fragments of " +
           std::to_string(def.fragmentSize) + (def.systemData ? ", system data" : "") +
           (def.acs ? ", UPPER" : "") +
           (format == Format::V8
                ? ", " + std::to_string(def.patCount) + " PATs asked, " + std::to_string(def.staleCopies) +
                      " stale copies, FCR copy " + std::to_string(def.currentFcr)
                : "");
}

GeneratedFile generateFile(std::mt19937& rng, Format format, Storage storage, size_t bytes)
{
    GeneratedFile g;
    g.format = format;
    g.storage = storage;
    FileDef& def = g.def;
    const bool v8 = format == Format::V8;
    const bool compressed = storage == Storage::Compressed || storage == Storage::CompressedVariable;
    const bool variable = storage == Storage::Variable || storage == Storage::CompressedVariable;

    def.pageSize = static_cast<uint16_t>(v8 && chance(rng, 0.1) ? (chance(rng, 0.5) ? 8192 : 16384)
                                                                : 512 * pick(rng, 1, 8));
    const size_t ps = def.pageSize;
    def.fileFlags = static_cast<uint16_t>((variable ? 0x1 : 0) | (compressed ? 0x8 : 0));
    if (v8) {
        const size_t systemData = pick(rng, 0, 2);
        def.systemData = systemData == 1;
        def.fileFlags |= systemData == 1 ? 0x200 : systemData == 2 ? 0x1200 : 0;
    }
    const uint16_t versions[3][4] = {
        {0xFB00, 0xFC00, 0x0500, 0xFD00}, {0x0600, 0xFA00, 0x0610, 0x0700}, {0x0800, 0x0900, 0x0800, 0x0900}};
    def.versionWord = versions[static_cast<int>(format)][pick(rng, 0, 3)];
    g.version = versionByte(def.versionWord);

    // The fixed part: a slot of it, its pointers and duplicate pairs must fit a page.
    const size_t slotRoom = ps - (v8 ? 8 : 6) - 8 * 6 - 16;
    const size_t longest = compressed ? 4000 : std::min<size_t>(4000, slotRoom);
    // A pre-6 slot whose bytes after its first 4 are all zero was never used: such a record cannot
    // be told from no record, so these records keep a byte after the first 4 that is not zero.
    const bool pre6Slots = format == Format::Pre6 && !compressed;
    const size_t shortest = pre6Slots ? 5 : 1;
    def.recordLength =
        static_cast<uint16_t>(chance(rng, 0.3) ? pick(rng, shortest, 16) : pick(rng, shortest, longest));
    const size_t length = def.recordLength;
    def.reservedDuplicatePointers = chance(rng, 0.2) ? 1 : 0;
    def.fragmentSize = pick(rng, 4, std::min<size_t>(ps / 2 - 40, 2000));
    if (chance(rng, 0.2))
        def.acs = upperAcs();

    // Keys: a unique key covers the record's first 4 bytes, which count the records; a key with
    // duplicates may lie anywhere in the fixed part.
    const size_t keys = pick(rng, 0, 4);
    const size_t mostSegments = ps == 512 ? 5 : 8; // what a 512-byte FCR holds
    size_t segments = 0;
    for (size_t k = 0; k < keys && segments < mostSegments; ++k) {
        Key key;
        key.distinct = static_cast<uint32_t>(pick(rng, 0, 5000));
        const bool unique = length >= 4 && chance(rng, 0.5);
        const size_t parts = std::min<size_t>(mostSegments - segments, chance(rng, 0.3) ? 2 : 1);
        for (size_t p = 0; p < parts; ++p) {
            uint16_t at = 0, n = 0;
            if (unique && p == 0) {
                n = 4;
            } else {
                n = static_cast<uint16_t>(pick(rng, 1, std::min<size_t>(length, chance(rng, 0.5) ? 4 : 30)));
                at = static_cast<uint16_t>(pick(rng, 0, length - n));
            }
            Segment s = segment(rng, at, n, def.acs.has_value());
            if (!unique)
                s.flags |= 0x1;
            key.segments.push_back(s);
        }
        // Null keys (all segments or any segment null) only on keys with duplicates, whose
        // bytes the records' identities do not use.
        const uint16_t null = unique ? 0 : std::array<uint16_t, 4>{0, 0, 0x8, 0x200}[pick(rng, 0, 3)];
        const uint8_t nullValue = static_cast<uint8_t>(chance(rng, 0.5)   ? 0
                                                       : chance(rng, 0.5) ? ' '
                                                                          : pick(rng, 1, 255));
        for (Segment& s : key.segments)
            if (null)
                s.flags |= null, s.nullValue = nullValue;
        // Repeating duplicates keep no chain pointers in the slots.
        if (!unique && chance(rng, 0.15))
            for (Segment& s : key.segments)
                s.flags |= 0x80;
        segments += key.segments.size();
        def.keys.push_back(key);
    }
    if (def.acs && std::none_of(def.keys.begin(), def.keys.end(), [](const Key& k) {
            return std::any_of(k.segments.begin(), k.segments.end(),
                               [](const Segment& s) { return s.flags & 0x20; });
        }))
        def.acs.reset(); // a file keeps a sequence only for keys that use it

    // Records up to the byte budget; variable parts mostly short, now and then up to 20 KB.
    const size_t longestTail = variable ? (chance(rng, 0.2) ? 20000 : 300) : 0;
    const bool deletes = chance(rng, 0.5);
    size_t used = 0;
    for (uint32_t i = 0; used < bytes; ++i) {
        if (deletes && chance(rng, 0.1)) {
            def.slots.push_back(std::nullopt);
            continue;
        }
        Bytes r(length + (variable ? pick(rng, 0, longestTail) : 0), 0);
        fill(rng, r, 0, r.size());
        // Now and then a null segment or a copy of another record's key, for null keys and
        // duplicates.
        for (const Key& key : def.keys) {
            if (key.segments.front().flags & 0x1 && chance(rng, 0.1)) {
                const Segment& s = key.segments[pick(rng, 0, key.segments.size() - 1)];
                std::fill(r.begin() + s.offset, r.begin() + s.offset + s.length, s.nullValue);
            } else if (key.segments.front().flags & 0x1 && !def.slots.empty() && def.slots.back() &&
                       chance(rng, 0.2)) {
                for (const Segment& s : key.segments)
                    std::copy_n(def.slots.back()->begin() + s.offset, s.length, r.begin() + s.offset);
            }
        }
        if (length >= 4)
            put32(r, 0, i * 2654435761u);
        if (pre6Slots)
            r[4] |= 0x80;
        used += r.size() + 8;
        def.slots.push_back(std::move(r));
    }
    // The file's own B-trees, mostly with the true distinct-value count (a wrong one must make a
    // reader distrust the tree), some with few entries a node for several levels.
    def.indexPages = chance(rng, 0.85);
    def.nodeEntries = chance(rng, 0.6) ? pick(rng, 2, 8) : 0;
    // Records inserted in another order than their slots', as when deleted slots were reused:
    // equal keys then chain in that order.
    if (def.indexPages && chance(rng, 0.4)) {
        def.inserted.resize(def.slots.size());
        std::iota(def.inserted.begin(), def.inserted.end(), size_t{0});
        std::shuffle(def.inserted.begin(), def.inserted.end(), rng);
    }
    for (size_t k = 0; k < def.keys.size(); ++k)
        if (def.indexPages && chance(rng, 0.9))
            def.keys[k].distinct = distinctValues(def, k);

    if (format == Format::V6) {
        def.segmentsThroughTable = chance(rng, 0.5);
        def.word0A[pick(rng, 0, 1)] = chance(rng, 0.5) ? 0x4000 : 0;
    }
    if (v8) {
        // Many tables only where a table's stretch of pages stays small.
        const size_t stretch = (patEntriesV8(def.pageSize) + 4) * ps;
        const size_t mostTables = std::clamp<size_t>((4u << 20) / stretch, 1, 12);
        def.patCount = mostTables > 1 && chance(rng, 0.4) ? pick(rng, 2, mostTables) : 1;
        def.staleCopies = pick(rng, 0, 3);
        def.currentFcr = static_cast<int>(pick(rng, 0, 1));
        def.currentPat = static_cast<int>(pick(rng, 0, 1));
        def.decoyAt0x1000 = ps <= 1024 && chance(rng, 0.3);
        def.word0A[def.currentFcr] = chance(rng, 0.3) ? 0x4000 : 0;
    }
    return g;
}

Bytes buildFile(const GeneratedFile& f)
{
    switch (f.format) {
    case Format::Pre6:
        return buildPre6(f.def);
    case Format::V6:
        return build6x(f.def);
    case Format::V8:
        break;
    }
    return build8x(f.def);
}

bool treeTaken(const FileDef& def, Format format, size_t k)
{
    const Key& key = def.keys[k];
    size_t length = 0;
    for (const Segment& s : key.segments)
        length += s.length;
    const bool chained = (key.segments[0].flags & 0x1) && !(key.segments[0].flags & 0x80);
    size_t fanout = (def.pageSize - (format == Format::V8 ? 8 : 6) - 6) / (8 + length + (chained ? 4 : 0));
    if (def.nodeEntries)
        fanout = std::min(fanout, def.nodeEntries);
    bool known = true;
    keyOrder(def, k, known);
    const bool repeating = (key.segments[0].flags & 0x81) == 0x81;
    return def.indexPages && known && fanout >= 2 && (repeating || key.distinct == distinctValues(def, k));
}

Format formatOfVersion(uint8_t version)
{
    return version < 0x60 ? Format::Pre6 : version < 0x80 ? Format::V6 : Format::V8;
}

} // namespace genuinetest
