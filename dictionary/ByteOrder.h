#pragma once
// Little-endian reads and writes of the integers and fixed-width texts that records and
// file and key descriptions are made of. Texts are Latin-1: one byte, one character.
#include "LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dict {

using le::getI16;
using le::getI32;
using le::getU16;
using le::getU32;
using le::putU16;
using le::putU32;

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
