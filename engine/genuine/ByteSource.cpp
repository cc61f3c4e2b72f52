#include "ByteSource.h"

#include "LittleEndian.h"

#include <cstring>

namespace engine::genuine {

bool MemorySource::read(uint64_t offset, size_t n, uint8_t* out)
{
    if (offset > mSize || n > mSize - offset)
        return false;
    if (n != 0)
        std::memcpy(out, mData + offset, n);
    return true;
}

FileSource::FileSource(const std::string& path)
{
    mFile = std::fopen(path.c_str(), "rb");
    if (!mFile)
        return;
    if (fseeko(mFile, 0, SEEK_END) != 0) {
        std::fclose(mFile);
        mFile = nullptr;
        return;
    }
    const off_t end = ftello(mFile);
    if (end < 0) {
        std::fclose(mFile);
        mFile = nullptr;
        return;
    }
    mSize = static_cast<uint64_t>(end);
}

FileSource::~FileSource()
{
    if (mFile)
        std::fclose(mFile);
}

bool FileSource::read(uint64_t offset, size_t n, uint8_t* out)
{
    if (!mFile || offset > mSize || n > mSize - offset)
        return false;
    if (fseeko(mFile, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(out, 1, n, mFile) == n;
}

uint8_t Page::u8(size_t offset) const
{
    if (!fits(offset, 1)) {
        mOverrun = true;
        return 0;
    }
    return mBytes[offset];
}

uint16_t Page::u16(size_t offset) const
{
    if (!fits(offset, 2)) {
        mOverrun = true;
        return 0;
    }
    return le::getU16(&mBytes[offset]);
}

uint32_t Page::u32(size_t offset) const
{
    if (!fits(offset, 4)) {
        mOverrun = true;
        return 0;
    }
    return static_cast<uint32_t>(u16(offset)) | static_cast<uint32_t>(u16(offset + 2)) << 16;
}

uint32_t Page::ws32(size_t offset) const
{
    if (!fits(offset, 4)) {
        mOverrun = true;
        return 0;
    }
    return static_cast<uint32_t>(u16(offset)) << 16 | u16(offset + 2);
}

uint32_t Page::page24(size_t hiOffset, size_t loOffset, size_t midOffset) const
{
    return static_cast<uint32_t>(u8(hiOffset)) << 16 | static_cast<uint32_t>(u8(midOffset)) << 8 |
           u8(loOffset);
}

bool Page::copy(size_t offset, size_t n, std::vector<uint8_t>& out) const
{
    if (!fits(offset, n)) {
        mOverrun = true;
        return false;
    }
    out.insert(out.end(), mBytes.begin() + static_cast<std::ptrdiff_t>(offset),
               mBytes.begin() + static_cast<std::ptrdiff_t>(offset + n));
    return true;
}

bool readBlock(ByteSource& source, uint64_t offset, size_t size, Page& page)
{
    std::vector<uint8_t> bytes(size);
    if (!source.read(offset, size, bytes.data()))
        return false;
    page = Page(std::move(bytes));
    return true;
}

} // namespace engine::genuine
