#include "CreationSpecs.h"

#include "Records.h"

#include <initializer_list>

namespace dict {
namespace {

constexpr uint16_t kDictionaryPageSize = 4096;
constexpr uint8_t kExtUnsignedBinary = 14;
constexpr uint8_t kExtString = 0;

struct Segment {
    uint16_t key; // key number; counts the indexes, not written into the Create buffer
    uint16_t position;
    uint16_t length;
    uint16_t flags;
    uint8_t extendedType;
};

CreationSpec build(const char* name, uint16_t recordLength, uint16_t valueLength,
                   std::initializer_list<Segment> segments, bool withAcs)
{
    uint16_t indexes = 0;
    for (const Segment& s : segments)
        indexes = static_cast<uint16_t>(std::max<int>(indexes, s.key + 1));

    CreationSpec created{name, recordLength, {}, valueLength};
    created.bytes.assign(FileSpec::kSize + segments.size() * KeySpec::kSize + (withAcs ? kAcsSize : 0), 0);
    FileSpec fs;
    fs.recordLength = static_cast<int16_t>(recordLength);
    fs.pageSize = static_cast<int16_t>(kDictionaryPageSize);
    fs.indexCount = static_cast<int16_t>(indexes);
    fs.encode(created.bytes);
    std::size_t at = FileSpec::kSize;
    for (const Segment& s : segments) {
        KeySpec ks;
        ks.position = s.position;
        ks.length = s.length;
        ks.flags = s.flags;
        ks.extendedType = s.extendedType;
        ks.encode(std::span<uint8_t>(created.bytes).subspan(at));
        at += KeySpec::kSize;
    }
    if (withAcs) {
        const auto& acs = upperAcs();
        std::copy(acs.begin(), acs.end(), created.bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return created;
}

} // namespace

const std::array<uint8_t, kAcsSize>& upperAcs()
{
    static const std::array<uint8_t, kAcsSize> acs = [] {
        std::array<uint8_t, kAcsSize> a{};
        a[0] = 0xAC;
        const char name[] = "UPPER";
        for (std::size_t i = 0; i < 5; ++i)
            a[1 + i] = static_cast<uint8_t>(name[i]);
        for (int b = 0; b < 256; ++b)
            a[9 + b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - 32 : b);
        return a;
    }();
    return acs;
}

const CreationSpec& creationSpec(DictFile file)
{
    static const std::array<CreationSpec, 4> all = {
        build("FILE.DDF", FileRecord::kSize, FileRecord::kValueSize,
              {
                  {0, 1, 2, 0x104, kExtUnsignedBinary}, // Xf$Id
                  {1, 3, 20, 0x122, kExtString},        // Xf$Name
              },
              true),
        build("FIELD.DDF", FieldRecord::kSize, FieldRecord::kSize,
              {
                  {0, 1, 2, 0x104, kExtUnsignedBinary},  // Xe$Id
                  {1, 3, 2, 0x105, kExtUnsignedBinary},  // Xe$File
                  {2, 5, 20, 0x123, kExtString},         // Xe$Name
                  {3, 3, 2, 0x116, kExtUnsignedBinary},  // Xe$File
                  {3, 5, 20, 0x122, kExtString},         // Xe$Name
                  {4, 3, 2, 0x117, kExtUnsignedBinary},  // Xe$File
                  {4, 26, 2, 0x117, kExtUnsignedBinary}, // Xe$Offset
                  {4, 30, 1, 0x103, kExtString},         // Xe$Dec
              },
              true),
        build("INDEX.DDF", IndexRecord::kSize, IndexRecord::kSize,
              {
                  {0, 1, 2, 0x105, kExtUnsignedBinary}, // Xi$File
                  {1, 3, 2, 0x105, kExtUnsignedBinary}, // Xi$Field
                  {2, 1, 2, 0x115, kExtUnsignedBinary}, // Xi$File
                  {2, 5, 2, 0x115, kExtUnsignedBinary}, // Xi$Number
                  {2, 7, 2, 0x105, kExtUnsignedBinary}, // Xi$Part
              },
              false),
        build("FIELDEXT.DDF", FieldExtRecord::kSize, FieldExtRecord::kSize,
              {
                  {0, 1, 2, 0x114, kExtUnsignedBinary}, // Xx$File
                  {0, 3, 2, 0x104, kExtUnsignedBinary}, // Xx$Id
              },
              false),
    };
    return all[static_cast<std::size_t>(file)];
}

} // namespace dict
