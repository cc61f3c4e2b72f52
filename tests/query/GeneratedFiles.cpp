#include "GeneratedFiles.h"

#include "GenuineBuilder.h"
#include "SampleDictionary.h"

#include "Records.h"
#include "Status.h"
#include "WinBtr.h"

#include <cstring>
#include <stdexcept>

namespace querytest {
namespace {

uint16_t fileFlags(const GenSegment& s, bool last)
{
    return static_cast<uint16_t>(s.flags | btr::keyflag::ExtendedType | (last ? 0 : btr::keyflag::Segmented));
}

bool usesAcs(const GenTable& t)
{
    for (const auto& key : t.keys)
        for (const GenSegment& s : key)
            if (s.flags & btr::keyflag::Acs)
                return true;
    return false;
}

} // namespace

void writeGeneratedDictionary(const std::filesystem::path& dir, const std::vector<GenTable>& tables)
{
    sample::DictionaryRows rows = sample::selfDescription();
    int16_t fieldId = 1000;
    for (const GenTable& t : tables) {
        dict::FileRecord f;
        f.id = t.id;
        f.name = t.name;
        f.loc = t.location;
        rows.files.push_back(f);
        const int16_t first = fieldId;
        for (const GenField& g : t.fields)
            rows.fields.push_back({fieldId++, t.id, g.name, g.type, static_cast<int16_t>(g.offset),
                                   static_cast<int16_t>(g.size), static_cast<uint8_t>(g.dec), 0});
        for (std::size_t k = 0; k < t.keys.size(); ++k)
            for (std::size_t p = 0; p < t.keys[k].size(); ++p) {
                const GenSegment& s = t.keys[k][p];
                rows.indexes.push_back({t.id, static_cast<int16_t>(first + s.field), static_cast<int16_t>(k),
                                        static_cast<int16_t>(p),
                                        static_cast<int16_t>(fileFlags(s, p + 1 == t.keys[k].size()))});
            }
    }
    sample::writeDictionary(dir, rows);
}

void createNativeFile(const std::filesystem::path& path, const GenTable& t,
                      const std::vector<std::vector<uint8_t>>& records)
{
    std::vector<uint8_t> spec(dict::FileSpec::kSize);
    dict::FileSpec fs;
    fs.recordLength = static_cast<int16_t>(t.recordLength);
    fs.pageSize = 4096;
    fs.indexCount = static_cast<int16_t>(t.keys.size());
    fs.encode(spec);
    for (const auto& key : t.keys)
        for (std::size_t p = 0; p < key.size(); ++p) {
            const GenField& f = t.fields[static_cast<std::size_t>(key[p].field)];
            dict::KeySpec ks;
            ks.position = static_cast<uint16_t>(f.offset + 1);
            ks.length = static_cast<uint16_t>(f.size);
            ks.flags = fileFlags(key[p], p + 1 == key.size());
            ks.extendedType = f.type;
            ks.nullValue = key[p].nullValue;
            spec.resize(spec.size() + dict::KeySpec::kSize);
            ks.encode(std::span<uint8_t>(spec).last(dict::KeySpec::kSize));
        }
    if (usesAcs(t)) {
        const genuinetest::Bytes block = genuinetest::upperAcs().block();
        spec.insert(spec.end(), block.begin(), block.end());
    }
    TWinBtr btr;
    btr.ClearKey(255);
    std::strncpy(btr.KeyBuffer, path.string().c_str(), sizeof btr.KeyBuffer - 1);
    btr.KeyNumber = 0;
    if (int st = btr.ExecuteWith(btr::OpCreate, spec.data(), static_cast<uint16_t>(spec.size())))
        throw std::runtime_error(path.string() + " not created: status " + std::to_string(st));
    if (int st = btr.Open(path.string(), "", 0))
        throw std::runtime_error(path.string() + " not opened: status " + std::to_string(st));
    for (const std::vector<uint8_t>& r : records) {
        btr.UseBuffer(const_cast<uint8_t*>(r.data()));
        if (int st = btr.Insert())
            throw std::runtime_error(path.string() + ": insert refused: status " + std::to_string(st));
    }
    btr.Close();
}

void createGenuineFile(const std::filesystem::path& path, const GenTable& t,
                       const std::vector<std::vector<uint8_t>>& records, bool family8)
{
    genuinetest::FileDef def;
    def.pageSize = family8 ? 1024 : 4096;
    def.recordLength = static_cast<uint16_t>(t.recordLength);
    for (const auto& key : t.keys) {
        genuinetest::Key k;
        for (const GenSegment& s : key) {
            const GenField& f = t.fields[static_cast<std::size_t>(s.field)];
            k.segments.push_back({static_cast<uint16_t>(f.offset), static_cast<uint16_t>(f.size),
                                  static_cast<uint16_t>(s.flags | btr::keyflag::ExtendedType), f.type,
                                  s.nullValue});
        }
        def.keys.push_back(k);
    }
    if (usesAcs(t))
        def.acs = genuinetest::upperAcs();
    for (const auto& r : records)
        def.slots.emplace_back(r);
    def.indexPages = true;
    for (size_t k = 0; k < def.keys.size(); ++k)
        def.keys[k].distinct = genuinetest::distinctValues(def, k);
    genuinetest::writeFile(path.string(), family8 ? genuinetest::build8x(def) : genuinetest::build6x(def));
}

} // namespace querytest
