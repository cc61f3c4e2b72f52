#include "FileControl.h"

#include "Status.h"

#include <cstdlib>

namespace engine::genuine {

namespace {

constexpr size_t kMinPage = 512;
constexpr size_t kMaxPage = 16384;
constexpr size_t kSegmentSpecSize = 30;
constexpr size_t kPre6Segments = 0x110;
constexpr int kMaxSegments = 119;
constexpr size_t kMaxKeyLength = 255;

bool isFcrV6(const Page& p)
{
    return p.u8(0) == 'F' && p.u8(1) == 'C' && p.u8(2) == 0 && p.u8(3) == 0;
}

bool isFcrV8(const Page& p)
{
    return isFcrV6(p) && p.u8(4) == 'C' && p.u16(0x08) == 0;
}

bool sanePageSize(uint32_t size)
{
    return size >= kMinPage && size <= kMaxPage && size % kMinPage == 0;
}

// Version word: major in the high byte, minor in the high nibble of the low byte; often stored
// negated.
uint8_t versionByte(uint16_t word)
{
    const int value = std::abs(static_cast<int>(static_cast<int16_t>(word)));
    const int major = (value >> 8) & 0xFF;
    const int minor = (value & 0xFF) >> 4;
    return static_cast<uint8_t>((major > 15 ? 15 : major) << 4 | minor);
}

// Reads the copy of the FCR at offset when it is a whole, well-formed copy of the given family.
bool readCopy(ByteSource& source, uint64_t offset, Family family, uint32_t pageSize, Page& page)
{
    if (!readBlock(source, offset, pageSize, page))
        return false;
    if (page.u16(0x0A) != 0)
        return false;
    if (family == Family::V8)
        return isFcrV8(page) && page.u8(0x2B) * 256u == pageSize;
    return isFcrV6(page) && page.u16(0x08) == pageSize;
}

// Walks the segments of one key starting at offset; false when a spec leaves the page, a
// segment is impossible, too many segments, or the key is longer than a key can be.
bool readKey(const Page& fcr, size_t offset, FileControl& out, uint8_t key, size_t& next)
{
    const bool slotCounted = out.family != Family::Pre6;
    const size_t first = out.segments.size();
    size_t keyLength = 0;
    for (;;) {
        if (!fcr.fits(offset, kSegmentSpecSize) || out.segments.size() >= kMaxSegments)
            return false;
        SegmentSpec s;
        // Stat repeats the key's distinct-value count, kept with its first segment, on each.
        s.distinct = out.segments.size() == first ? fcr.ws32(offset + 0x04) : out.segments[first].distinct;
        s.flags = fcr.u16(offset + 0x08);
        uint16_t position = fcr.u16(offset + 0x14);
        if (slotCounted) {
            if (position < 2)
                return false;
            position -= 2;
        }
        s.position = static_cast<uint16_t>(position + 1);
        s.length = fcr.u16(offset + 0x16);
        s.extendedType = fcr.u8(offset + 0x1C);
        s.nullValue = fcr.u8(offset + 0x1D);
        s.key = key;
        if (s.length == 0 || s.position == 0)
            return false;
        if (out.recordLength != 0 && uint32_t(position) + s.length > out.recordLength)
            return false;
        keyLength += s.length;
        if (keyLength > kMaxKeyLength)
            return false;
        out.segments.push_back(s);
        offset += kSegmentSpecSize;
        if (!(s.flags & kKeySegmented))
            break;
    }
    next = offset;
    return true;
}

bool readSegments(const Page& fcr, FileControl& out)
{
    const uint16_t keys = out.keyCount;
    bool table = false;
    size_t tableOffset = 0;
    if (out.family != Family::Pre6 && keys != 0 && fcr.u8(0x76) == keys) {
        tableOffset = fcr.u16(0x78);
        table = tableOffset != 0 && fcr.fits(tableOffset, size_t(2) * keys);
    }
    size_t offset = kPre6Segments;
    for (uint16_t k = 0; k < keys; ++k) {
        if (table)
            offset = fcr.u16(tableOffset + size_t(2) * k);
        size_t next = 0;
        if (!readKey(fcr, offset, out, static_cast<uint8_t>(k), next))
            return false;
        offset = next;
    }
    return !fcr.overrun();
}

} // namespace

bool recogniseFamily(const Page& head, Family& family, uint32_t& pageSize)
{
    if (head.u32(0) == 0) {
        family = Family::Pre6;
        pageSize = head.u16(0x08);
    } else if (isFcrV6(head) && head.u16(0x08) != 0) {
        family = Family::V6;
        pageSize = head.u16(0x08);
    } else if (isFcrV8(head)) {
        family = Family::V8;
        pageSize = head.u8(0x2B) * 256u;
    } else {
        return false;
    }
    return sanePageSize(pageSize) && head.u16(0x0A) == 0 && !head.overrun();
}

bool FileControl::usesAcs() const
{
    for (const SegmentSpec& s : segments)
        if (s.flags & kKeyAcs)
            return true;
    return false;
}

int FileControl::linkedDuplicateKeys() const
{
    int n = 0;
    uint8_t lastKey = 0xFF;
    for (const SegmentSpec& s : segments) {
        if (s.key == lastKey)
            continue;
        lastKey = s.key;
        if ((s.flags & kKeyDuplicates) && !(s.flags & kKeyRepeatingDuplicates))
            ++n;
    }
    return n;
}

int16_t parseFileControl(ByteSource& source, FileControl& out)
{
    out = FileControl{};
    Page head;
    if (!readBlock(source, 0, kMinPage, head))
        return source.size() < kMinPage ? btr::StatusNotBtrieveFile : btr::StatusIoError;

    uint32_t pageSize = 0;
    if (!recogniseFamily(head, out.family, pageSize) || source.size() < pageSize)
        return btr::StatusNotBtrieveFile;
    out.pageSize = pageSize;
    out.pageCount = source.size() / pageSize;

    Page fcr;
    if (!readBlock(source, 0, pageSize, fcr))
        return btr::StatusIoError;
    if (out.family != Family::Pre6) {
        // The current copy is the one with the larger usage count; the first wins a tie.
        const uint64_t second = out.family == Family::V8 ? secondFcrOffsetV8(pageSize) : pageSize;
        Page other;
        if (readCopy(source, second, out.family, pageSize, other)) {
            const bool newer =
                out.family == Family::V8 ? other.u16(0x06) > fcr.u16(0x06) : other.u32(0x04) > fcr.u32(0x04);
            if (newer) {
                fcr = std::move(other);
                out.fcrOffset = second;
            }
        }
    }

    out.version = versionByte(fcr.u16(out.family == Family::Pre6 ? 0x06 : 0x4A));
    out.keyCount = fcr.u16(0x14);
    out.recordLength = fcr.u16(0x16);
    out.physicalLength = fcr.u16(0x18);
    out.recordCount = fcr.ws32(0x1A);
    out.variableMode = fcr.u8(0x38);
    out.fileFlags = fcr.u16(0x106);
    if (out.family == Family::Pre6) {
        out.deletedHead = fcr.ws32(0x10);
        out.inconsistent = fcr.u16(0x22) == 0xFFFF;
    } else {
        for (size_t i = 0; i < out.defaultAcsName.size(); ++i)
            out.defaultAcsName[i] = fcr.u8(0x3C + i);
    }
    if (out.keyCount > kMaxKeys || !readSegments(fcr, out))
        return btr::StatusNotBtrieveFile;
    return btr::StatusSuccess;
}

} // namespace engine::genuine
