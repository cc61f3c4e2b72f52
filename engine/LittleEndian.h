#pragma once
// Little-endian integers in byte buffers: the one byte order of every record-manager structure
// (file and key specifications, Stat areas, dictionary records, genuine file pages).
#include <cstdint>

namespace le {

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
    return static_cast<uint32_t>(getU16(p)) | (static_cast<uint32_t>(getU16(p + 2)) << 16);
}
inline int32_t getI32(const uint8_t* p)
{
    return static_cast<int32_t>(getU32(p));
}

// Store the low 16 (32) bits of the value.
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

} // namespace le
