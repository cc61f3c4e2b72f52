#include "StatImage.h"

#include <algorithm>
#include <cstring>

namespace engine::genuine {

namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    put16(out, at, static_cast<uint16_t>(v));
    put16(out, at + 2, static_cast<uint16_t>(v >> 16));
}

bool isAcsSignature(uint8_t b)
{
    return b == 0xAC || b == 0xAD || b == 0xAE;
}

void addBlock(const Page& page, size_t at, std::vector<AcsBlock>& blocks)
{
    AcsBlock block;
    if (!isAcsSignature(page.u8(at)) || !page.copy(at, kAcsBlockSize, block))
        return;
    if (std::find(blocks.begin(), blocks.end(), block) == blocks.end())
        blocks.push_back(std::move(block));
}

} // namespace

std::vector<AcsBlock> collectAcsBlocks(ByteSource& source, const FileControl& fcr, const PageMap& map)
{
    std::vector<AcsBlock> blocks;
    Page page;
    if (fcr.family == Family::Pre6) {
        static const uint8_t kHeader[] = {0, 0, 1, 0, 0, 0, 0xAC};
        if (fcr.pageCount > 1 && readBlock(source, fcr.pageSize, fcr.pageSize, page) &&
            std::memcmp(page.data(), kHeader, sizeof kHeader) == 0)
            addBlock(page, 6, blocks);
        return blocks;
    }
    const bool v8 = fcr.family == Family::V8;
    for (size_t logical = 1; logical <= map.count(); ++logical) {
        const PageMap::Entry& e = map.entry(logical);
        if (e.type != PageAcs || !readBlock(source, e.physical * fcr.pageSize, fcr.pageSize, page))
            continue;
        if (v8 ? page.u16(4) == PageAcs : page.u8(1) == PageAcs)
            addBlock(page, v8 ? 8 : 6, blocks);
    }
    std::stable_partition(blocks.begin(), blocks.end(), [&](const AcsBlock& b) {
        return std::equal(fcr.defaultAcsName.begin(), fcr.defaultAcsName.end(), b.begin() + 1);
    });
    return blocks;
}

std::vector<uint8_t> buildStatImage(const FileControl& fcr, const std::vector<AcsBlock>& acs)
{
    std::vector<uint8_t> out(16 + 16 * fcr.segments.size(), 0);
    put16(out, 0, fcr.recordLength);
    put16(out, 2, static_cast<uint16_t>(fcr.pageSize));
    out[4] = static_cast<uint8_t>(fcr.keyCount);
    put32(out, 6, fcr.recordCount);
    put16(out, 10, fcr.fileFlags);
    size_t at = 16;
    for (const SegmentSpec& s : fcr.segments) {
        put16(out, at, s.position);
        put16(out, at + 2, s.length);
        put16(out, at + 4, s.flags);
        put32(out, at + 6, s.distinct);
        out[at + 10] = s.extendedType;
        out[at + 11] = s.nullValue;
        out[at + 14] = s.key;
        out[at + 15] = 0; // every ACS segment uses the file's default sequence, block 0
        at += 16;
    }
    for (const AcsBlock& b : acs)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

} // namespace engine::genuine
