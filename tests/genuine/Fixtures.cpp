#include "Fixtures.h"

#include <algorithm>

namespace genuinetest {

Bytes sampleRecord(int16_t id, const std::string& text, uint16_t code)
{
    Bytes r(24, 0);
    put16(r, 0, static_cast<uint16_t>(id));
    putText(r, 2, text, 20);
    put16(r, 22, code);
    return r;
}

FileDef sampleDef(size_t slots, bool withDeleted)
{
    FileDef def;
    def.pageSize = 512;
    def.recordLength = 24;
    def.acs = upperAcs();
    def.keys = {{{{0, 2, 0x102, 1}}, 11},
                {{{2, 20, 0x123, 0}, {22, 2, 0x107, 14}}, 7},
                {{{22, 2, 0x109, 14, 0x20}}, 5}};
    for (size_t i = 0; i < slots; ++i) {
        if (withDeleted && i % 4 == 1)
            def.slots.push_back(std::nullopt);
        else
            def.slots.push_back(sampleRecord(static_cast<int16_t>(i * 37 - 300), "name " + std::to_string(i),
                                             static_cast<uint16_t>(i % 5)));
    }
    return def;
}

FileDef variableDef()
{
    FileDef def;
    def.pageSize = 1024;
    def.recordLength = 6;
    def.variableMode = 0xFF;
    def.fileFlags = 0x1;
    def.fragmentSize = 40;
    def.keys = {{{{0, 4, 0x100, 14}}, 0}};
    const size_t tails[] = {0, 1, 35, 36, 40, 41, 300, 700, 2, 0, 120};
    for (size_t i = 0; i < std::size(tails); ++i) {
        Bytes r(6 + tails[i]);
        for (size_t b = 0; b < r.size(); ++b)
            r[b] = static_cast<uint8_t>(i * 31 + b);
        def.slots.push_back(r);
        if (i == 3)
            def.slots.push_back(std::nullopt);
    }
    return def;
}

Bytes expectedStat(const FileDef& def, uint32_t count)
{
    Bytes s(16, 0);
    put16(s, 0, def.recordLength);
    put16(s, 2, def.pageSize);
    s[4] = static_cast<uint8_t>(def.keys.size());
    put32(s, 6, count);
    put16(s, 10, def.fileFlags);
    for (size_t k = 0; k < def.keys.size(); ++k)
        for (size_t i = 0; i < def.keys[k].segments.size(); ++i) {
            const Segment& seg = def.keys[k].segments[i];
            const bool last = i + 1 == def.keys[k].segments.size();
            Bytes spec(16, 0);
            put16(spec, 0, static_cast<uint16_t>(seg.offset + 1));
            put16(spec, 2, seg.length);
            put16(spec, 4, static_cast<uint16_t>(last ? seg.flags & ~0x10 : seg.flags | 0x10));
            put32(spec, 6, def.keys[k].distinct);
            spec[10] = seg.extendedType;
            spec[11] = seg.nullValue;
            spec[14] = static_cast<uint8_t>(k);
            s.insert(s.end(), spec.begin(), spec.end());
        }
    if (def.acs) {
        const Bytes block = def.acs->block();
        s.insert(s.end(), block.begin(), block.end());
    }
    return s;
}

FileDef keyTypesDef()
{
    FileDef def;
    def.pageSize = 1024;
    def.recordLength = 64;
    def.keys = {{{{0, 4, 0x140, 2}}, 0},                        // FLOAT, descending
                {{{4, 8, 0x100, 9}}, 0},                        // BFLOAT
                {{{12, 5, 0x101, 5}, {17, 6, 0x101, 8}}, 0},    // DECIMAL, NUMERIC, duplicates
                {{{23, 4, 0x101, 17}, {27, 10, 0x501, 10}}, 0}, // NUMERICSTS, case-blind LSTRING
                {{{37, 10, 0x301, 11, 0}}, 0},                  // ZSTRING, null when any segment is
                {{{47, 8, 0x100, 20}, {55, 4, 0x140, 3}}, 0}};  // TIMESTAMP, DATE descending
    uint32_t x = 12345;
    for (int i = 0; i < 14; ++i) {
        Bytes r(64);
        for (uint8_t& b : r) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
        if (i % 3 == 0)
            std::fill(r.begin() + 37, r.begin() + 47, 0);
        def.slots.push_back(r);
    }
    // Equal values on the keys with duplicates.
    std::copy(def.slots[2]->begin() + 12, def.slots[2]->begin() + 47, def.slots[5]->begin() + 12);
    return def;
}

FileDef word0ADef(uint16_t pageSize)
{
    FileDef def = sampleDef(20, true);
    def.pageSize = pageSize;
    def.word0A = {0, 0x4000}; // the second copy is the one in use
    return def;
}

FileDef systemDataDef()
{
    FileDef def = sampleDef(25, true);
    def.systemData = true;
    def.fileFlags = 0x200;
    return def;
}

FileDef compressedDef(bool v8, bool systemData)
{
    FileDef def = sampleDef(30, true);
    def.fileFlags = static_cast<uint16_t>(v8 ? (systemData ? 0x0209 : 0x1209) : 0x0009);
    def.systemData = v8 && systemData;
    def.fragmentSize = 7;
    return def;
}

FileDef fullTableDef(uint16_t pageSize)
{
    FileDef def;
    def.pageSize = pageSize;
    def.recordLength = static_cast<uint16_t>(pageSize - 112);
    def.keys = {{{{0, 4, 0x100, 1}}, 0}};
    const size_t pages = patEntriesV8(pageSize) - 1; // all but the index page hold data
    for (size_t i = 0; i < pages; ++i) {
        Bytes r(def.recordLength, static_cast<uint8_t>(i * 7));
        put32(r, 0, static_cast<uint32_t>((i * 2654435761u) % 100000));
        def.slots.push_back(r);
    }
    return def;
}

FileDef chainedVariableDef()
{
    FileDef def = variableDef();
    def.keys.push_back({{{4, 2, 0x101, 14}}, 0});
    def.fragmentSize = 24;
    return def;
}

DamagedFixture damagedFixture()
{
    DamagedFixture f;
    f.def = compressedDef(true, true);
    f.def.slots = sampleDef(100, true).slots;
    Layout layout;
    f.image = build8x(f.def, layout);
    const std::vector<size_t> data = layout.pagesOf('D');
    const size_t phys = physicalLength(f.def, true);
    const size_t perPage = (f.def.pageSize - 8) / phys;
    auto u16 = [&](size_t at) { return static_cast<size_t>(f.image.at(at) | f.image.at(at + 1) << 8); };

    // The second data page's header no longer repeats its PAT entry.
    put32(f.image, layout.offset(data.at(1)), 0x4F4F4F4F);
    // The first live record of the fourth: its image's first fragment says it is the last.
    size_t cut = 3 * perPage;
    while (!f.def.slots.at(cut))
        ++cut;
    const size_t slot = layout.offset(data.at(3)) + 8 + (cut % perPage) * phys;
    const size_t vpage = layout.offset(f.image.at(slot) | f.image.at(slot + 1) << 8);
    const size_t fragment = vpage + u16(vpage + f.def.pageSize - 2 - 2 * u16(slot + 4));
    std::fill(f.image.begin() + fragment, f.image.begin() + fragment + 6, 0xFF);
    // The sixth is mapped past the file's end by the current PAT.
    constexpr uint32_t kPastTheEnd = 0x00FFFF00;
    put32(f.image, kPatV8[f.def.currentPat] + 0x14 + 6 * (data.at(5) - 1), kPastTheEnd);

    f.pages = {static_cast<uint32_t>(layout.physical.at(data.at(1))),
               static_cast<uint32_t>(layout.physical.at(data.at(3))), kPastTheEnd};
    for (size_t i = 0; i < f.def.slots.size(); ++i) {
        const size_t page = i / perPage;
        if (f.before.size() < f.pages.size() && page == (f.before.size() == 0 ? 1u : f.before.size() == 1 ? 3u : 5u))
            f.before.push_back(f.sound.size());
        f.live += f.def.slots[i].has_value();
        if (!f.def.slots[i] || page == 1 || page == 5 || i == cut)
            continue;
        f.sound.push_back(*f.def.slots[i]);
    }
    return f;
}

std::vector<std::pair<std::string, Bytes>> seedFiles()
{
    std::vector<std::pair<std::string, Bytes>> out;
    const FileDef sample = sampleDef(30, true);
    out.emplace_back("pre6-deleted.btr", buildPre6(sample));
    out.emplace_back("v6-deleted.btr", build6x(sample));
    out.emplace_back("v8.btr", build8x(sampleDef(30, false)));
    FileDef table = sampleDef(6, true);
    table.segmentsThroughTable = true;
    out.emplace_back("v6-key-table.btr", build6x(table));
    const FileDef variable = variableDef();
    out.emplace_back("pre6-variable.btr", buildPre6(variable));
    out.emplace_back("v6-variable.btr", build6x(variable));
    FileDef compressed = sampleDef(4, false);
    compressed.fileFlags = 0x8;
    compressed.recordLength = 0;
    compressed.keys.resize(1);
    out.emplace_back("v6-compressed.btr", build6x(compressed));
    const FileDef types = keyTypesDef();
    out.emplace_back("pre6-key-types.btr", buildPre6(types));
    out.emplace_back("v6-key-types.btr", build6x(types));
    FileDef noKeys = sampleDef(8, false);
    noKeys.keys.clear();
    noKeys.acs.reset();
    out.emplace_back("v6-no-keys.btr", build6x(noKeys));
    out.emplace_back("v6-word0a.btr", build6x(word0ADef(512)));
    out.emplace_back("v8-system-data.btr", build8x(systemDataDef()));
    FileDef realTables = sampleDef(12, true);
    realTables.currentFcr = 1;
    realTables.currentPat = 0;
    realTables.decoyAt0x1000 = true;
    out.emplace_back("v8-tables.btr", build8x(realTables));
    FileDef kilo = sampleDef(12, false);
    kilo.pageSize = 1024;
    out.emplace_back("v8-1024.btr", build8x(kilo));
    FileDef compressed8 = compressedDef(true, true);
    compressed8.slots.resize(12);
    out.emplace_back("v8-compressed.btr", build8x(compressed8));
    FileDef compressed8NoSystem = compressedDef(true, false);
    compressed8NoSystem.slots.resize(8);
    out.emplace_back("v8-compressed-1209.btr", build8x(compressed8NoSystem));
    out.emplace_back("pre6-compressed.btr", buildPre6(compressedDef(false, false)));
    out.emplace_back("pre6-variable-chained.btr", buildPre6(chainedVariableDef()));
    out.emplace_back("v8-damaged.btr", damagedFixture().image);
    // The layouts of real company and DOS-era files: 8.x of 2 and 4 KiB pages, uncompressed 8.x
    // variable-length records, 6.x compressed records, compressed variable-length records, a pre-6
    // copy cut inside a page and one whose deleted-record chain runs into a page of garbage.
    for (uint16_t pageSize : {uint16_t(2048), uint16_t(4096)}) {
        FileDef paged = sampleDef(20, true);
        paged.pageSize = pageSize;
        paged.currentFcr = 1;
        out.emplace_back("v8-" + std::to_string(pageSize) + ".btr", build8x(paged));
    }
    FileDef variable8 = variableDef();
    variable8.fragmentSize = 30;
    out.emplace_back("v8-variable.btr", build8x(variable8));
    FileDef compressed6 = compressedDef(false, false);
    compressed6.slots.resize(8);
    out.emplace_back("v6-compressed-0x10e.btr", build6x(compressed6));
    FileDef compressedVariable = compressedDef(false, false);
    compressedVariable.fileFlags = 0x9;
    compressedVariable.slots.resize(8);
    for (auto& slot : compressedVariable.slots)
        if (slot)
            slot->insert(slot->end(), 40 + slot->at(0) % 50, static_cast<uint8_t>(slot->at(1)));
    out.emplace_back("pre6-compressed-variable.btr", buildPre6(compressedVariable));
    out.emplace_back("v6-compressed-variable.btr", build6x(compressedVariable));
    const Bytes pre6 = buildPre6(sampleDef(60, true));
    out.emplace_back("pre6-cut.btr", Bytes(pre6.begin(), pre6.end() - 700));
    Bytes garbage = pre6;
    std::fill(garbage.end() - 3 * 512, garbage.end() - 2 * 512, 0x3C);
    out.emplace_back("pre6-garbage-page.btr", garbage);
    const DictionarySet ddf80 = buildDictionary8x();
    out.emplace_back("v8-file.ddf", ddf80.fileDdf);
    out.emplace_back("v8-field.ddf", ddf80.fieldDdf);
    out.emplace_back("v8-index.ddf", ddf80.indexDdf);
    return out;
}

} // namespace genuinetest
