#include "FileDefinition.h"

#include "LittleEndian.h"
#include "Status.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace engine {
namespace {

using le::putU32;

uint16_t u16(const uint8_t* p)
{
    return le::getU16(p);
}

// Segments a file of this page size may have in all.
int maxSegments(uint16_t pageSize)
{
    if (pageSize >= 16384)
        return 420;
    if (pageSize >= 8192)
        return 204;
    if (pageSize >= 4096)
        return 119;
    if (pageSize >= 2048)
        return 54;
    if (pageSize >= 1024)
        return 23;
    return 8;
}

bool isAcsSignature(uint8_t b)
{
    return b == 0xAC || b == 0xAD || b == 0xAE;
}

KeySegment segmentFrom(const std::array<uint8_t, kSegmentSpecSize>& spec)
{
    KeySegment s;
    s.position = u16(&spec[0]);
    s.length = u16(&spec[2]);
    s.flags = u16(&spec[4]);
    s.type = effectiveSegmentType(s.flags, spec[10]);
    s.nullValue = spec[11];
    return s;
}

// Reads the keys' segment specs from `offset`. False when the buffer ends first.
bool readSegments(const uint8_t* buffer, size_t length, size_t& offset, int keyCount, FileDefinition& out,
                  int segmentLimit, bool& tooMany)
{
    tooMany = false;
    int segments = 0;
    for (int k = 0; k < keyCount; ++k) {
        KeyDefinition key;
        key.number = k;
        uint32_t keyLength = 0;
        for (;;) {
            if (offset + kSegmentSpecSize > length)
                return false;
            if (++segments > segmentLimit) {
                tooMany = true;
                return true;
            }
            std::array<uint8_t, kSegmentSpecSize> spec;
            std::memcpy(spec.data(), buffer + offset, kSegmentSpecSize);
            offset += kSegmentSpecSize;
            out.segmentSpecs.push_back(spec);
            KeySegment s = segmentFrom(spec);
            if (key.segments.empty())
                key.flags = s.flags;
            // Saturates, so that a key whose segments add up past 16 bits is still too long.
            keyLength += s.length;
            key.length = static_cast<uint16_t>(std::min<uint32_t>(keyLength, 0xFFFF));
            key.segments.push_back(s);
            if (!(s.flags & keyflag::Segmented))
                break;
        }
        out.keys.push_back(std::move(key));
    }
    return true;
}

void readAcsBlocks(const uint8_t* buffer, size_t length, size_t& offset, FileDefinition& out)
{
    while (offset + kAcsBlockSize <= length && isAcsSignature(buffer[offset])) {
        out.acsBlocks.emplace_back(buffer + offset, buffer + offset + kAcsBlockSize);
        offset += kAcsBlockSize;
    }
}

Collation tableOf(const std::vector<uint8_t>& block)
{
    Collation c;
    std::memcpy(c.data(), block.data() + 9, 256);
    return c;
}

// Segment index of the first segment of every key, in segmentSpecs order.
size_t firstSpecOf(const FileDefinition& def, size_t keyIndex)
{
    size_t n = 0;
    for (size_t k = 0; k < keyIndex; ++k)
        n += def.keys[k].segments.size();
    return n;
}

} // namespace

int FileDefinition::keyIndex(int keyNumber) const
{
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].number == keyNumber)
            return static_cast<int>(i);
    return -1;
}

std::vector<uint8_t> FileDefinition::createImage() const
{
    std::vector<uint8_t> out(fileSpec.begin(), fileSpec.end());
    for (const auto& s : segmentSpecs)
        out.insert(out.end(), s.begin(), s.end());
    for (const auto& a : acsBlocks)
        out.insert(out.end(), a.begin(), a.end());
    return out;
}

int16_t parseCreateSpec(const uint8_t* buffer, size_t length, FileDefinition& out)
{
    out = FileDefinition{};
    if (!buffer || length < kFileSpecSize)
        return btr::StatusDataBufferTooShort;
    std::memcpy(out.fileSpec.data(), buffer, kFileSpecSize);
    out.recordLength = u16(buffer);
    out.pageSize = u16(buffer + 2);
    out.fileFlags = u16(buffer + 10);
    const int keyCount = u16(buffer + 4);

    if (out.pageSize < 512 || out.pageSize > 16384 || out.pageSize % 512 != 0)
        return btr::StatusPageSizeError;
    if (out.recordLength == 0 || out.recordLength > out.pageSize - 6)
        return btr::StatusInvalidRecordLength;
    if (keyCount > kMaxKeys)
        return btr::StatusNumberOfKeys;

    size_t offset = kFileSpecSize;
    bool tooMany = false;
    if (!readSegments(buffer, length, offset, keyCount, out, maxSegments(out.pageSize), tooMany))
        return btr::StatusDataBufferTooShort;
    if (tooMany)
        return btr::StatusNumberOfKeys;
    readAcsBlocks(buffer, length, offset, out);
    if (offset < length && buffer[offset] != 0)
        return btr::StatusInvalidAcs; // an ACS block with a bad signature or cut short

    std::set<int> numbers;
    size_t spec = 0;
    for (KeyDefinition& key : out.keys) {
        if (out.fileFlags & fileflag::KeyNumbersGiven)
            key.number = out.segmentSpecs[spec][14];
        if (key.number >= kMaxKeys || !numbers.insert(key.number).second)
            return btr::StatusNumberOfKeys;
        const uint16_t perKeyFlags = keyflag::Duplicates | keyflag::Modifiable | keyflag::NullAll |
                                     keyflag::NullAny | keyflag::RepeatingDuplicates;
        if ((key.flags & keyflag::NullAll) && (key.flags & keyflag::NullAny))
            return btr::StatusInconsistentKeyFlags;
        int acsNumber = -1;
        for (KeySegment& s : key.segments) {
            const auto& raw = out.segmentSpecs[spec++];
            if (s.position == 0 || int(s.position) + int(s.length) - 1 > int(out.recordLength))
                return btr::StatusInvalidKeyPosition;
            if (s.length == 0)
                return btr::StatusInvalidKeyLength;
            if (int16_t st = checkSegment(s))
                return st;
            if ((s.flags & perKeyFlags) != (key.flags & perKeyFlags))
                return btr::StatusInconsistentKeyFlags;
            if (!isStringType(s.type))
                continue;
            if (s.flags & keyflag::Acs) {
                const int number = raw[15];
                if (acsNumber >= 0 && acsNumber != number)
                    return btr::StatusInconsistentKeyFlags;
                acsNumber = number;
                if (number >= int(out.acsBlocks.size()) || out.acsBlocks[number][0] != 0xAC)
                    return btr::StatusInvalidAcs;
                s.collation = tableOf(out.acsBlocks[number]);
            } else if (s.flags & keyflag::CaseInsensitive) {
                s.collation = caseInsensitiveCollation();
            }
        }
        if (key.length > kMaxKeyLength)
            return btr::StatusInvalidKeyLength;
    }
    return btr::StatusSuccess;
}

bool parseStatImage(const uint8_t* buffer, size_t length, FileDefinition& out)
{
    out = FileDefinition{};
    if (!buffer || length < kFileSpecSize)
        return false;
    std::memcpy(out.fileSpec.data(), buffer, kFileSpecSize);
    out.recordLength = u16(buffer);
    out.pageSize = u16(buffer + 2);
    out.fileFlags = u16(buffer + 10);
    size_t offset = kFileSpecSize;
    bool tooMany = false;
    if (!readSegments(buffer, length, offset, buffer[4], out, 1 << 16, tooMany))
        return false;
    readAcsBlocks(buffer, length, offset, out);

    std::set<int> numbers;
    for (size_t k = 0; k < out.keys.size(); ++k)
        numbers.insert(out.segmentSpecs[firstSpecOf(out, k)][14]);
    const bool numbered = numbers.size() == out.keys.size();
    for (const KeyDefinition& key : out.keys)
        if (key.length > kMaxKeyLength)
            return false; // no key buffer holds it
    size_t spec = 0;
    for (size_t k = 0; k < out.keys.size(); ++k) {
        KeyDefinition& key = out.keys[k];
        key.number = numbered ? out.segmentSpecs[spec][14] : static_cast<int>(k);
        for (KeySegment& s : key.segments) {
            const auto& raw = out.segmentSpecs[spec++];
            if (s.length == 0 || checkSegment(s) != 0)
                s.type = TypeString;
            if (s.position == 0)
                s.position = 1;
            if (!isStringType(s.type))
                continue;
            if (s.flags & keyflag::Acs) {
                const int number = raw[15] < out.acsBlocks.size() ? raw[15] : 0;
                if (number < int(out.acsBlocks.size()) && out.acsBlocks[number][0] == 0xAC)
                    s.collation = tableOf(out.acsBlocks[number]);
            } else if (s.flags & keyflag::CaseInsensitive) {
                s.collation = caseInsensitiveCollation();
            }
        }
    }
    return true;
}

std::vector<uint8_t> statImage(const FileDefinition& def, uint32_t records,
                               const std::vector<uint32_t>& distinctPerKey, uint8_t version)
{
    std::vector<uint8_t> out = def.createImage();
    out[4] = static_cast<uint8_t>(def.keys.size());
    out[5] = version;
    putU32(&out[6], records);
    size_t offset = kFileSpecSize;
    for (size_t k = 0; k < def.keys.size(); ++k) {
        for (size_t s = 0; s < def.keys[k].segments.size(); ++s) {
            putU32(&out[offset + 6], k < distinctPerKey.size() ? distinctPerKey[k] : 0);
            out[offset + 14] = static_cast<uint8_t>(def.keys[k].number);
            offset += kSegmentSpecSize;
        }
    }
    return out;
}

int16_t deliverStat(const std::vector<uint8_t>& image, size_t specsLength, uint8_t* out, uint32_t capacity,
                    uint32_t& written)
{
    specsLength = std::min(specsLength, image.size());
    if (capacity < specsLength) {
        written = capacity;
        std::memcpy(out, image.data(), capacity);
        return btr::StatusDataBufferTooShort;
    }
    size_t n = specsLength;
    while (n + kAcsBlockSize <= image.size() && n + kAcsBlockSize <= capacity)
        n += kAcsBlockSize;
    std::memcpy(out, image.data(), n);
    written = static_cast<uint32_t>(n);
    return btr::StatusSuccess;
}

} // namespace engine
