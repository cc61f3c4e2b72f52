#pragma once
// Little-endian reads and writes of the integers and fixed-width texts that records and
// file and key descriptions are made of. Texts are Latin-1: one byte, one character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dict {

inline uint16_t getU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t getI16(const uint8_t* p)
{
    return static_cast<int16_t>(getU16(p));
}
inline uint32_t getU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t getI32(const uint8_t* p)
{
    return static_cast<int32_t>(getU32(p));
}

// Stores the low 16 (32) bits of the value.
inline void putU16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v)
{
    putU16(p, v);
    putU16(p + 2, v >> 16);
}

// The width stored bytes, trailing blanks and any NUL bytes included.
inline std::string getText(const uint8_t* p, std::size_t width)
{
    return std::string(reinterpret_cast<const char*>(p), width);
}

// Blank-fills the field, then copies at most width characters of the text over it; no terminator.
inline void putText(uint8_t* p, std::size_t width, std::string_view text)
{
    for (std::size_t i = 0; i < width; ++i)
        p[i] = i < text.size() ? static_cast<uint8_t>(text[i]) : uint8_t{' '};
}

} // namespace dict
