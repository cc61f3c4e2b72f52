#pragma once
// The fixed record layouts of the four dictionary files, and the file and key specification
// layouts that Create takes and Stat returns. Each struct holds one record as typed values;
// decode reads it from the record's bytes, encode writes every byte of it back.
//
// Contract of decode/encode: the span holds at least kSize bytes (std::length_error otherwise);
// only the first kSize bytes are read or written. Texts are Latin-1 strings of the stored width,
// trailing blanks kept; encode blank-pads a shorter text and cuts a longer one at the width.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace dict {

// FILE.DDF: one record per table.
struct FileRecord {
    static constexpr std::size_t kSize = 97;
    static constexpr std::size_t kNameWidth = 20;
    static constexpr std::size_t kLocWidth = 64;
    static constexpr std::size_t kReservedWidth = 10;
    // The bytes before the reserved ones: the whole record of old dictionaries.
    static constexpr std::size_t kValueSize = kSize - kReservedWidth;

    int16_t id = 0;    // Xf$Id
    std::string name;  // Xf$Name, 20
    std::string loc;   // Xf$Loc, 64
    uint8_t flags = 0; // Xf$Flags
    std::array<uint8_t, kReservedWidth> reserved{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

    static FileRecord decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const FileRecord&) const = default;
};

// FIELD.DDF: one record per field.
struct FieldRecord {
    static constexpr std::size_t kSize = 32;
    static constexpr std::size_t kNameWidth = 20;

    int16_t id = 0;       // Xe$Id
    int16_t file = 0;     // Xe$File
    std::string name;     // Xe$Name, 20
    uint8_t dataType = 0; // Xe$DataType
    int16_t offset = 0;   // Xe$Offset
    int16_t size = 0;     // Xe$Size
    uint8_t dec = 0;      // Xe$Dec
    int16_t flag = 0;     // Xe$Flag

    static FieldRecord decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const FieldRecord&) const = default;
};

// INDEX.DDF: one record per key segment.
struct IndexRecord {
    static constexpr std::size_t kSize = 10;

    int16_t file = 0;   // Xi$File
    int16_t field = 0;  // Xi$Field
    int16_t number = 0; // Xi$Number
    int16_t part = 0;   // Xi$Part
    int16_t flags = 0;  // Xi$Flags

    static IndexRecord decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const IndexRecord&) const = default;
};

// FIELDEXT.DDF: one record per field with an extended type.
struct FieldExtRecord {
    static constexpr std::size_t kSize = 6;

    int16_t file = 0;     // Xx$File
    int16_t id = 0;       // Xx$Id
    int16_t dataType = 0; // Xx$DataType

    static FieldExtRecord decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const FieldExtRecord&) const = default;
};

// The 16 bytes that head a Create buffer and the statistics buffer.
struct FileSpec {
    static constexpr std::size_t kSize = 16;

    int16_t recordLength = 0;
    int16_t pageSize = 0;
    int16_t indexCount = 0;
    int32_t recordCount = 0;
    int16_t flags = 0;
    uint8_t duplicatePointers = 0;
    uint8_t reserved = 0;
    int16_t pages = 0; // preallocated on Create, unused in the statistics

    static FileSpec decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const FileSpec&) const = default;
};

// Key segment flag bits.
enum KeyFlag : uint16_t {
    KeyDuplicates = 0x001,
    KeyModifiable = 0x002,
    KeyBinary = 0x004,
    KeySegmented = 0x010,
    KeyAlternateSequence = 0x020,
    KeyExtendedType = 0x100,
};

// One key segment specification; a key of n segments takes n consecutive ones.
struct KeySpec {
    static constexpr std::size_t kSize = 16;

    uint16_t position = 0; // counted from 1
    uint16_t length = 0;
    uint16_t flags = 0;
    uint32_t notUsed = 0;
    uint8_t extendedType = 0;
    uint8_t nullValue = 0;
    uint16_t reserved = 0;
    uint8_t keyNumber = 0;
    uint8_t sequenceNumber = 0;

    static KeySpec decode(std::span<const uint8_t> bytes);
    void encode(std::span<uint8_t> bytes) const;
    bool operator==(const KeySpec&) const = default;
};

} // namespace dict
