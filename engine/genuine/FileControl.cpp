#include "FileControl.h"

#include "Status.h"

#include <cstdlib>

namespace engine::genuine {

namespace {

constexpr size_t kMinPage = 512;
constexpr size_t kMaxPage = 16384;
constexpr size_t kSegmentSpecSize = 30;
constexpr size_t kSegmentStrideV8 = 36; // the 30-byte spec and 6 bytes more
constexpr uint16_t kWord0ABitIgnored = 0x4000;
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

// The word at 0x0A is 0 in every file, but for bit 14 that 6.x and later files may carry.
bool saneWord0A(const Page& p, Family family)
{
    const uint16_t ignored = family == Family::Pre6 ? 0 : kWord0ABitIgnored;
    return (p.u16(0x0A) & ~ignored) == 0;
}

// Reads the copy of the FCR at offset when it is a whole, well-formed copy of the given family.
bool readCopy(ByteSource& source, uint64_t offset, Family family, uint32_t pageSize, Page& page)
{
    if (!readBlock(source, offset, fcrSpan(family, pageSize), page))
        return false;
    if (!saneWord0A(page, family))
        return false;
    if (family == Family::V8)
        return isFcrV8(page) && page.u8(0x2B) * 256u == pageSize;
    return isFcrV6(page) && page.u16(0x08) == pageSize;
}

// Walks the segments of one key starting at offset; false when a spec leaves the FCR, a segment
// is empty, too many segments, or the key is longer than a key can be. Positions are left as
// stored (0-based, counted from the slot start in 6.x and later files).
bool readKey(const Page& fcr, size_t offset, FileControl& out, uint8_t key, size_t& next)
{
    const size_t stride = out.family == Family::V8 ? kSegmentStrideV8 : kSegmentSpecSize;
    const size_t first = out.segments.size();
    size_t keyLength = 0;
    for (;;) {
        if (!fcr.fits(offset, stride) || out.segments.size() >= kMaxSegments)
            return false;
        SegmentSpec s;
        // Stat repeats the key's distinct-value count, kept with its first segment, on each.
        s.distinct = out.segments.size() == first ? fcr.ws32(offset + 0x04) : out.segments[first].distinct;
        s.flags = fcr.u16(offset + 0x08);
        s.position = fcr.u16(offset + 0x14);
        s.length = fcr.u16(offset + 0x16);
        s.extendedType = fcr.u8(offset + 0x1C);
        s.nullValue = fcr.u8(offset + 0x1D);
        s.key = key;
        if (out.segments.size() == first)
            s.root = indexPagePointer(fcr, offset, out.family, key);
        if (s.length == 0)
            return false;
        keyLength += s.length;
        if (keyLength > kMaxKeyLength)
            return false;
        out.segments.push_back(s);
        offset += stride;
        if (!(s.flags & kKeySegmented))
            break;
    }
    next = offset;
    return true;
}

// The key segment specs: pre-6 one after another at 0x110; 6.x through the key attribute table
// at 0x78 when its entry count at 0x76 matches, else as pre-6; 8.x through the table at 0x7A.
bool readSegments(const Page& fcr, FileControl& out)
{
    const uint16_t keys = out.keyCount;
    bool table = false;
    size_t tableOffset = 0;
    if (out.family == Family::V8 && keys != 0) {
        tableOffset = fcr.u16(0x7A);
        if (!fcr.fits(tableOffset, size_t(2) * keys))
            return false;
        table = true;
    } else if (out.family == Family::V6 && keys != 0 && fcr.u8(0x76) == keys) {
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

// 8.x slots may keep 8 bytes of system data between the usage count and the record. Where the
// file flags are kept at 0x190, flag 0x200 without 0x1000 says so; otherwise the slot is 8 bytes
// longer than its usage count, record, duplicate-chain and variable pointers need.
bool hasSystemData(const FileControl& fcr, bool flagsAt190)
{
    if (fcr.family != Family::V8 || fcr.recordLength == 0)
        return false;
    if (flagsAt190)
        return (fcr.fileFlags & kFlagSystemData) && !(fcr.fileFlags & kFlagNoSystemData);
    const size_t needed = 2 + size_t(fcr.recordLength) + 8 * size_t(fcr.linkedDuplicateKeys()) +
                          fcr.variablePointerAfterFixedPart();
    return fcr.physicalLength == needed + kSystemDataSize;
}

// Turns stored key positions into the caller's (1-based, from the record start): the slot's
// usage count and system data before the record are not the caller's. False when a key starts
// before the record or ends after it.
bool toCallerPositions(FileControl& fcr)
{
    // Key positions of compressed files (even one whose uncompressed length is missing) count from
    // the record start.
    const size_t before = (fcr.fileFlags & kFlagCompression) ? 0 : fcr.recordOffsetInSlot();
    for (SegmentSpec& s : fcr.segments) {
        if (s.position < before)
            return false;
        const size_t position = s.position - before;
        if (position >= 0xFFFF || (fcr.recordLength != 0 && position + s.length > fcr.recordLength))
            return false;
        s.position = static_cast<uint16_t>(position + 1);
    }
    return true;
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
    return sanePageSize(pageSize) && saneWord0A(head, family) && !head.overrun();
}

uint32_t indexPagePointer(const Page& page, size_t offset, Family family, uint8_t key)
{
    if (page.u32(offset) == 0xFFFFFFFF)
        return kNoIndexPage;
    switch (family) {
    case Family::Pre6:
        return page.ws32(offset);
    case Family::V6:
        return page.u8(offset + 1) == 0x80 + key ? page.page24(offset, offset + 2, offset + 3) : kNoIndexPage;
    case Family::V8:
        break;
    }
    return page.u32(offset);
}

bool FileControl::usesAcs() const
{
    for (const SegmentSpec& s : segments)
        if (s.flags & kKeyAcs)
            return true;
    return false;
}

size_t FileControl::slotHead() const
{
    // The pointer to the record's image and the bytes after it: 01 (pre-6), 01 nn 00 (6.x),
    // 01 01 00 then system data (8.x).
    if (compressed)
        return family == Family::Pre6 ? 5 : family == Family::V6 ? 7 : 9 + (systemData ? kSystemDataSize : 0);
    // The pointer to the variable part follows the fixed part: 4 bytes before 6.0, 6 in 8.x.
    return recordOffsetInSlot() + recordLength + variablePointerAfterFixedPart();
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

int16_t parseFileControl(ByteSource& source, FileControl& out, std::string& why)
{
    out = FileControl{};
    why.clear();
    Page head;
    if (!readBlock(source, 0, kMinPage, head))
        return source.size() < kMinPage ? btr::StatusNotBtrieveFile : btr::StatusIoError;

    uint32_t pageSize = 0;
    if (!recogniseFamily(head, out.family, pageSize))
        return btr::StatusNotBtrieveFile;
    const size_t span = fcrSpan(out.family, pageSize);
    if (source.size() < span)
        return btr::StatusNotBtrieveFile;
    out.pageSize = pageSize;
    out.pageCount = source.size() / pageSize;

    Page fcr;
    if (!readBlock(source, 0, span, fcr))
        return btr::StatusIoError;
    if (out.family != Family::Pre6) {
        // The current copy is the one with the larger usage count; the first wins a tie.
        const uint64_t second = out.family == Family::V8 ? copySpanV8(pageSize) : pageSize;
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
    out.keyCount = fcr.u16(out.family == Family::V8 ? 0x76 : 0x14);
    out.recordLength = fcr.u16(0x16);
    out.physicalLength = fcr.u16(0x18);
    out.recordCount = fcr.ws32(0x1A);
    out.variableMode = fcr.u8(0x38);
    out.fcrPageCount = fcr.ws32(0x26);
    out.fileFlags = fcr.u16(0x106);
    // 8.x keeps the flags at 0x190 and 0xFFFF at 0x106; 0x38 tells fixed from variable.
    const bool flagsAt190 = out.family == Family::V8 && out.fileFlags == 0xFFFF;
    if (flagsAt190)
        out.fileFlags = static_cast<uint16_t>(
            fcr.u16(0x190) | (out.variableMode == 0 ? 0 : out.variableMode == 0xFD ? 0x3 : kFlagVariable));
    // Compressed records: the FCR's record length is 0 and the uncompressed length (of the fixed
    // part in a variable-length file) is kept apart: at 0x10E before 8.x, at 0x192 in 8.x.
    if ((out.fileFlags & kFlagCompression) && out.recordLength == 0) {
        const uint16_t length = fcr.u16(out.family == Family::V8 ? 0x192 : 0x10E);
        if (length != 0) {
            out.recordLength = length;
            out.compressed = true;
        }
    }
    if (out.family == Family::Pre6) {
        out.deletedHead = fcr.ws32(0x10);
        out.inconsistent = fcr.u16(0x22) == 0xFFFF;
    }
    for (size_t i = 0; i < out.defaultAcsName.size(); ++i)
        out.defaultAcsName[i] = fcr.u8(0x3C + i);
    // From here on the control record is one: what cannot be understood is refused as a layout
    // this reader cannot read, never as a file of another kind.
    if (out.keyCount > kMaxKeys) {
        why = "the control record counts " + std::to_string(out.keyCount) + " keys";
        return btr::StatusLayoutNotReadable;
    }
    if (!readSegments(fcr, out)) {
        why = "the key segment specifications cannot be read from the control record";
        return btr::StatusLayoutNotReadable;
    }
    out.systemData = hasSystemData(out, flagsAt190);
    if (!toCallerPositions(out)) {
        why = "a key lies outside the record";
        return btr::StatusLayoutNotReadable;
    }
    return btr::StatusSuccess;
}

} // namespace engine::genuine
