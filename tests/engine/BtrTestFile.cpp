#include "BtrTestFile.h"

namespace btrtest {

std::vector<uint8_t> upperAcs()
{
    std::vector<uint8_t> acs(265, 0);
    acs[0] = 0xAC;
    std::memcpy(&acs[1], "UPPER", 5);
    for (int b = 0; b < 256; ++b)
        acs[9 + b] = static_cast<uint8_t>((b >= 'a' && b <= 'z') ? b - 32 : b);
    return acs;
}

std::vector<uint8_t> le(int64_t value, size_t bytes)
{
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
    return out;
}

std::vector<uint8_t> createSpec(uint16_t recordLength, uint16_t pageSize,
                                const std::vector<Segment>& segments, uint16_t fileFlags,
                                const std::vector<std::vector<uint8_t>>& acs)
{
    std::vector<uint8_t> out(16, 0);
    int keys = 0;
    for (const Segment& s : segments)
        if (!(s.flags & 0x10))
            ++keys;
    auto put16 = [&out](size_t at, uint16_t v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(0, recordLength);
    put16(2, pageSize);
    put16(4, static_cast<uint16_t>(keys));
    put16(10, fileFlags);
    for (const Segment& s : segments) {
        const size_t at = out.size();
        out.resize(at + 16, 0);
        put16(at, s.position);
        put16(at + 2, s.length);
        put16(at + 4, s.flags);
        out[at + 10] = s.type;
        out[at + 11] = s.nullValue;
        out[at + 14] = s.keyNumber;
        out[at + 15] = s.acsNumber;
    }
    for (const auto& a : acs)
        out.insert(out.end(), a.begin(), a.end());
    return out;
}

std::vector<uint8_t> fileDdfSpec()
{
    return createSpec(97, 4096, {{1, 2, 0x104, 14}, {3, 20, 0x122, 0}}, 0, {upperAcs()});
}

std::vector<uint8_t> fieldDdfSpec()
{
    return createSpec(32, 4096,
                      {{1, 2, 0x104, 14},
                       {3, 2, 0x105, 14},
                       {5, 20, 0x123, 0},
                       {3, 2, 0x116, 14},
                       {5, 20, 0x122, 0},
                       {3, 2, 0x117, 14},
                       {26, 2, 0x117, 14},
                       {30, 1, 0x103, 0}},
                      0, {upperAcs()});
}

std::vector<uint8_t> indexDdfSpec()
{
    return createSpec(
        10, 4096,
        {{1, 2, 0x105, 14}, {3, 2, 0x105, 14}, {1, 2, 0x115, 14}, {5, 2, 0x115, 14}, {7, 2, 0x105, 14}});
}

std::vector<uint8_t> fieldExtDdfSpec()
{
    return createSpec(6, 4096, {{1, 2, 0x114, 14}, {3, 2, 0x104, 14}});
}

int16_t BtrFile::call(uint16_t op, void* data, uint32_t* length, void* key, uint8_t keyLength,
                      int8_t keyNumber)
{
    return mFn(op, mPos, data, length, key, keyLength, keyNumber, mClient);
}

int16_t BtrFile::create(const std::string& path, const std::vector<uint8_t>& spec, int8_t keyNumber)
{
    std::vector<uint8_t> buffer(spec);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    uint8_t name[256] = {};
    std::memcpy(name, path.data(), path.size());
    uint8_t pos[btr::kPositionBlockSize] = {};
    return mFn(btr::OpCreate, pos, buffer.data(), &length, name, 255, keyNumber, mClient);
}

int16_t BtrFile::open(const std::string& path, int8_t mode)
{
    uint8_t name[256] = {};
    std::memcpy(name, path.data(), path.size());
    uint32_t length = 0;
    const int16_t st = mFn(btr::OpOpen, mPos, nullptr, &length, name, 255, mode, mClient);
    mOpen = st == 0;
    return st;
}

int16_t BtrFile::close()
{
    uint8_t scratch[4] = {};
    uint32_t length = 4;
    const int16_t st = call(btr::OpClose, scratch, &length, mKey, 255, 0);
    if (st == 0)
        mOpen = false;
    return st;
}

int16_t BtrFile::insert(const std::vector<uint8_t>& record, int8_t keyNumber)
{
    mRecord = record;
    uint32_t length = static_cast<uint32_t>(mRecord.size());
    return call(btr::OpInsert, mRecord.data(), &length, mKey, 255, keyNumber);
}

int16_t BtrFile::update(const std::vector<uint8_t>& record, int8_t keyNumber)
{
    mRecord = record;
    uint32_t length = static_cast<uint32_t>(mRecord.size());
    return call(btr::OpUpdate, mRecord.data(), &length, mKey, 255, keyNumber);
}

int16_t BtrFile::remove(int8_t keyNumber)
{
    uint32_t length = 0;
    return call(btr::OpDelete, nullptr, &length, mKey, 255, keyNumber);
}

int16_t BtrFile::get(uint16_t op, int8_t keyNumber, const std::vector<uint8_t>& keyValue)
{
    if (!keyValue.empty())
        std::memcpy(mKey, keyValue.data(), keyValue.size());
    mRecord.assign(capacity, 0);
    uint32_t length = capacity;
    const int16_t st = call(op, mRecord.data(), &length, mKey, 255, keyNumber);
    mRecord.resize(st == 0 || st == btr::StatusDataBufferTooShort ? length : 0);
    return st;
}

int16_t BtrFile::stat(std::vector<uint8_t>& out, uint32_t capacity, int8_t keyNumber)
{
    out.assign(capacity, 0);
    uint32_t length = capacity;
    const int16_t st = call(btr::OpStat, out.data(), &length, mKey, 255, keyNumber);
    out.resize(length <= capacity ? length : capacity);
    return st;
}

int16_t BtrFile::getPosition(uint32_t& address)
{
    uint8_t buffer[8] = {};
    uint32_t length = sizeof buffer;
    const int16_t st = call(btr::OpGetPosition, buffer, &length, mKey, 255, 0);
    std::memcpy(&address, buffer, 4);
    return st;
}

int16_t BtrFile::getDirect(uint32_t address, int8_t keyNumber)
{
    mRecord.assign(capacity, 0);
    std::memcpy(mRecord.data(), &address, 4);
    uint32_t length = capacity;
    const int16_t st = call(btr::OpGetDirect, mRecord.data(), &length, mKey, 255, keyNumber);
    mRecord.resize(st == 0 ? length : 0);
    return st;
}

} // namespace btrtest
