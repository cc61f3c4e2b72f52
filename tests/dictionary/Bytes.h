#pragma once
// Builds expected record bytes by hand, independently of the code under test.
#include <cstdint>
#include <string>
#include <vector>

namespace testbytes {

class Bytes {
public:
    Bytes& u8(unsigned v)
    {
        mBytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& u32(unsigned long v) { return u16(v & 0xFFFF).u16((v >> 16) & 0xFFFF); }
    Bytes& text(const std::string& s, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : ' ');
        return *this;
    }
    Bytes& fill(uint8_t b, std::size_t n)
    {
        mBytes.insert(mBytes.end(), n, b);
        return *this;
    }
    const std::vector<uint8_t>& get() const { return mBytes; }

private:
    std::vector<uint8_t> mBytes;
};

} // namespace testbytes
