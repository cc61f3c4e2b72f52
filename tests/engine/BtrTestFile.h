#pragma once
// Helpers for tests that drive a record manager through its one call: Create buffers built
// from segment tables, the dictionary files' creation specifications, and BtrFile, one open
// file with its position block and buffers.
#include "BtrCall.h"
#include "Status.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace btrtest {

struct Segment {
    uint16_t position; // from 1
    uint16_t length;
    uint16_t flags;
    uint8_t type = 0; // extended type (used with flag 0x100)
    uint8_t nullValue = 0;
    uint8_t acsNumber = 0;
    uint8_t keyNumber = 0;
};

std::vector<uint8_t> upperAcs();

// A Create buffer: file spec, one spec per segment (keys counted from the segmented flags),
// then the given ACS blocks.
std::vector<uint8_t> createSpec(uint16_t recordLength, uint16_t pageSize,
                                const std::vector<Segment>& segments, uint16_t fileFlags = 0,
                                const std::vector<std::vector<uint8_t>>& acs = {});

// The creation specifications of FILE.DDF, FIELD.DDF, INDEX.DDF and FIELDEXT.DDF.
std::vector<uint8_t> fileDdfSpec();
std::vector<uint8_t> fieldDdfSpec();
std::vector<uint8_t> indexDdfSpec();
std::vector<uint8_t> fieldExtDdfSpec();

std::vector<uint8_t> le(int64_t value, size_t bytes);

class BtrFile {
public:
    explicit BtrFile(BtrCallFn fn) : mFn(fn) { std::memset(mPos, 0, sizeof mPos); }
    ~BtrFile()
    {
        if (mOpen)
            close();
    }
    BtrFile(const BtrFile&) = delete;
    BtrFile& operator=(const BtrFile&) = delete;

    int16_t create(const std::string& path, const std::vector<uint8_t>& spec, int8_t keyNumber = 0);
    int16_t open(const std::string& path, int8_t mode = 0);
    int16_t close();
    int16_t insert(const std::vector<uint8_t>& record, int8_t keyNumber = 0);
    int16_t update(const std::vector<uint8_t>& record, int8_t keyNumber = 0);
    int16_t remove(int8_t keyNumber = 0);
    // A retrieving operation; the record lands in record(), the key in key().
    int16_t get(uint16_t op, int8_t keyNumber, const std::vector<uint8_t>& keyValue = {});
    int16_t stat(std::vector<uint8_t>& out, uint32_t capacity = 1920, int8_t keyNumber = 0);
    int16_t getPosition(uint32_t& address);
    int16_t getDirect(uint32_t address, int8_t keyNumber);
    // Raw call with this file's position block.
    int16_t call(uint16_t op, void* data, uint32_t* length, void* key, uint8_t keyLength, int8_t keyNumber);

    const std::vector<uint8_t>& record() const { return mRecord; }
    std::vector<uint8_t> key(size_t length) const { return {mKey, mKey + length}; }
    uint8_t* positionBlock() { return mPos; }
    uint32_t capacity = 4096; // data buffer room offered to retrieving operations

private:
    BtrCallFn mFn;
    uint8_t mPos[btr::kPositionBlockSize];
    uint8_t mKey[btr::kKeyBufferSize] = {};
    uint8_t mClient[btr::kClientIdSize] = {};
    std::vector<uint8_t> mRecord;
    bool mOpen = false;
};

} // namespace btrtest
