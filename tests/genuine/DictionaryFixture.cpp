// The editor's self-description written as a genuine 6.0 or 8.0 dictionary set.
#include "GenuineBuilder.h"

#include <set>

namespace genuinetest {

namespace {

Key key(std::initializer_list<Segment> segments)
{
    return Key{segments, 0};
}

// Distinct key values, the ACS applied to ACS segments, as the FCR counts them.
void countDistinct(FileDef& def)
{
    for (Key& k : def.keys) {
        std::set<Bytes> values;
        for (const auto& slot : def.slots) {
            if (!slot)
                continue;
            Bytes value;
            for (const Segment& s : k.segments)
                for (size_t i = 0; i < s.length; ++i) {
                    const uint8_t b = (*slot)[s.offset + i];
                    value.push_back((s.flags & 0x20) && def.acs ? def.acs->table[b] : b);
                }
            values.insert(value);
        }
        k.distinct = static_cast<uint32_t>(values.size());
    }
}

Bytes fileRecord(uint16_t id, const std::string& name, const std::string& loc)
{
    Bytes r(97, ' ');
    put16(r, 0, id);
    putText(r, 2, name, 20);
    putText(r, 22, loc, 64);
    r[86] = 16;
    return r;
}

Bytes fieldRecord(uint16_t id, uint16_t file, const std::string& name, uint8_t type, uint16_t offset,
                  uint16_t size)
{
    Bytes r(32, 0);
    put16(r, 0, id);
    put16(r, 2, file);
    putText(r, 4, name, 20);
    r[24] = type;
    put16(r, 25, offset);
    put16(r, 27, size);
    return r;
}

Bytes indexRecord(uint16_t file, uint16_t field, uint16_t number, uint16_t part, uint16_t flags)
{
    Bytes r(10, 0);
    put16(r, 0, file);
    put16(r, 2, field);
    put16(r, 4, number);
    put16(r, 6, part);
    put16(r, 8, flags);
    return r;
}

DictionaryDefs dictionaryDefs(uint16_t pageSize)
{
    DictionaryDefs set;

    FileDef& file = set.fileDdf;
    file.pageSize = pageSize;
    file.recordLength = 97;
    file.acs = upperAcs();
    file.keys = {key({{0, 2, 0x104, 14}}), key({{2, 20, 0x122, 0}})};
    file.slots = {fileRecord(1, "X$FILE", "FILE.DDF"), fileRecord(2, "X$FIELD", "FIELD.DDF"),
                  fileRecord(3, "X$INDEX", "INDEX.DDF")};
    countDistinct(file);

    FileDef& field = set.fieldDdf;
    field.pageSize = pageSize;
    field.recordLength = 32;
    field.acs = upperAcs();
    field.keys = {key({{0, 2, 0x104, 14}}), key({{2, 2, 0x105, 14}}), key({{4, 20, 0x123, 0}}),
                  key({{2, 2, 0x116, 14}, {4, 20, 0x122, 0}}),
                  key({{2, 2, 0x117, 14}, {25, 2, 0x117, 14}, {29, 1, 0x103, 0}})};
    struct F {
        uint16_t file;
        const char* name;
        uint8_t type;
        uint16_t offset, size;
    };
    const F fields[] = {{1, "Xf$Id", 1, 0, 2},     {1, "Xf$Name", 0, 2, 20},     {1, "Xf$Loc", 0, 22, 64},
                        {1, "Xf$Flags", 1, 86, 1}, {2, "Xe$Id", 1, 0, 2},        {2, "Xe$File", 1, 2, 2},
                        {2, "Xe$Name", 0, 4, 20},  {2, "Xe$DataType", 1, 24, 1}, {2, "Xe$Offset", 1, 25, 2},
                        {2, "Xe$Size", 1, 27, 2},  {2, "Xe$Dec", 1, 29, 1},      {2, "Xe$Flag", 1, 30, 2},
                        {3, "Xi$File", 1, 0, 2},   {3, "Xi$Field", 1, 2, 2},     {3, "Xi$Number", 1, 4, 2},
                        {3, "Xi$Part", 1, 6, 2},   {3, "Xi$Flags", 1, 8, 2}};
    uint16_t id = 1;
    for (const F& f : fields)
        field.slots.push_back(fieldRecord(id++, f.file, f.name, f.type, f.offset, f.size));
    countDistinct(field);

    FileDef& index = set.indexDdf;
    index.pageSize = pageSize;
    index.recordLength = 10;
    index.keys = {key({{0, 2, 0x105, 14}}), key({{2, 2, 0x105, 14}}),
                  key({{0, 2, 0x115, 14}, {4, 2, 0x115, 14}, {6, 2, 0x105, 14}})};
    const uint16_t rows[][5] = {{1, 1, 0, 0, 4},    {1, 2, 1, 0, 34},   {2, 5, 0, 0, 4},   {2, 6, 1, 0, 5},
                                {2, 7, 2, 0, 35},   {2, 6, 3, 0, 22},   {2, 7, 3, 1, 34},  {2, 6, 4, 0, 403},
                                {2, 9, 4, 1, 403},  {2, 11, 4, 2, 387}, {3, 13, 0, 0, 5},  {3, 14, 1, 0, 5},
                                {3, 13, 2, 0, 402}, {3, 15, 2, 1, 402}, {3, 16, 2, 2, 386}};
    for (const auto& r : rows)
        index.slots.push_back(indexRecord(r[0], r[1], r[2], r[3], r[4]));
    countDistinct(index);
    return set;
}

} // namespace

DictionaryDefs dictionaryDefs6x()
{
    return dictionaryDefs(4096);
}

DictionaryDefs dictionaryDefs8x()
{
    // As real 8.0 dictionaries: bit 14 of the word at 0x0A in one FCR copy or both, and an
    // INDEX.DDF of 44-byte slots (usage count, system data, record, three duplicate chains).
    DictionaryDefs defs = dictionaryDefs(512);
    defs.fieldDdf.word0A = {0, 0x4000};
    defs.indexDdf.word0A = {0x4000, 0x4000};
    defs.indexDdf.systemData = true;
    defs.indexDdf.fileFlags = 0x200;
    return defs;
}

DictionarySet buildDictionary6x()
{
    const DictionaryDefs defs = dictionaryDefs6x();
    return {build6x(defs.fileDdf), build6x(defs.fieldDdf), build6x(defs.indexDdf)};
}

DictionarySet buildDictionary8x()
{
    const DictionaryDefs defs = dictionaryDefs8x();
    return {build8x(defs.fileDdf), build8x(defs.fieldDdf), build8x(defs.indexDdf)};
}

} // namespace genuinetest
