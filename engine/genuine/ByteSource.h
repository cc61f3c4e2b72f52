#pragma once
// Bounds-checked access to the bytes of a genuine file: whole-file sources (an open file or a
// buffer in memory) and the pages read from them. Every read that would leave the source or a
// page fails instead of touching memory outside it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace engine::genuine {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies n bytes at offset into out. False when the range is not wholly inside the source or
    // the read fails; out is then unspecified.
    virtual bool read(uint64_t offset, size_t n, uint8_t* out) = 0;
};

// A caller's buffer; it must outlive the source.
class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    uint64_t size() const override { return mSize; }
    bool read(uint64_t offset, size_t n, uint8_t* out) override;

private:
    const uint8_t* mData;
    size_t mSize;
};

// A file opened for reading; ok() is false when it could not be opened or measured.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool ok() const { return mFile != nullptr; }
    uint64_t size() const override { return mSize; }
    bool read(uint64_t offset, size_t n, uint8_t* out) override;

private:
    std::FILE* mFile = nullptr;
    uint64_t mSize = 0;
};

// One page (or any block) copied out of a source. Accessors past the end give 0 and mark the
// page as overrun, so a parser that forgot a check still reads nothing outside the block.
class Page {
public:
    Page() = default;
    explicit Page(std::vector<uint8_t> bytes) : mBytes(std::move(bytes)) {}

    size_t size() const { return mBytes.size(); }
    const uint8_t* data() const { return mBytes.data(); }
    bool fits(size_t offset, size_t n) const
    {
        return offset <= mBytes.size() && n <= mBytes.size() - offset;
    }
    bool overrun() const { return mOverrun; }

    uint8_t u8(size_t offset) const;
    uint16_t u16(size_t offset) const;
    uint32_t u32(size_t offset) const;
    // A 32-bit value stored high word first, then low word.
    uint32_t ws32(size_t offset) const;
    // The 3-byte page number of a [hi][x][lo][mid] or [hi][lo][mid] field: hi<<16 | mid<<8 | lo.
    uint32_t page24(size_t hiOffset, size_t loOffset, size_t midOffset) const;
    // Copies n bytes at offset to the end of out; false (out unchanged) when they do not fit.
    bool copy(size_t offset, size_t n, std::vector<uint8_t>& out) const;

private:
    std::vector<uint8_t> mBytes;
    mutable bool mOverrun = false;
};

// Reads size bytes at offset into page; false when they are not all inside the source.
bool readBlock(ByteSource& source, uint64_t offset, size_t size, Page& page);

} // namespace engine::genuine
