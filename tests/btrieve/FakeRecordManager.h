#pragma once
// A scripted stand-in for the record manager: installed as the binding's call for its lifetime,
// it records every call and answers each operation from a queue of scripted replies, then from
// a standing reply for that operation, else with status 0 and no data.
#include "Binding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct RecordedCall {
    uint16_t operation = 0;
    void* dataBuffer = nullptr;
    uint32_t lengthIn = 0;
    std::string dataIn; // the first lengthIn bytes of the data buffer
    void* keyBuffer = nullptr;
    std::string keyText; // the key buffer up to its first NUL
    uint8_t keyLength = 0;
    int8_t keyNumber = 0;
    std::array<uint8_t, 16> clientId{};
};

struct Reply {
    Reply(int16_t status = 0, std::vector<uint8_t> data = {}, std::optional<uint32_t> length = {})
        : status(status), data(std::move(data)), length(length)
    {
    }
    int16_t status;
    std::vector<uint8_t> data;      // copied into the data buffer (at most the length given)
    std::optional<uint32_t> length; // the data length handed back; data.size() when data is given
};

class FakeRecordManager {
public:
    FakeRecordManager()
    {
        sInstance = this;
        btrieve::setRecordManagerForTesting(&call);
    }
    ~FakeRecordManager()
    {
        btrieve::setRecordManagerForTesting(nullptr);
        sInstance = nullptr;
    }

    void script(uint16_t operation, Reply reply) { mScripted[operation].push_back(std::move(reply)); }
    void standing(uint16_t operation, Reply reply) { mStanding[operation] = std::move(reply); }

    // Statistics of a file with the given record length and number of indexes.
    static Reply stat(uint16_t recordLength, uint16_t indexes, int16_t status = 0)
    {
        Reply reply;
        reply.status = status;
        reply.data.assign(16 + 16 * indexes, 0);
        reply.data[0] = recordLength & 0xFF;
        reply.data[1] = recordLength >> 8;
        reply.data[2] = 0x00;
        reply.data[3] = 0x10; // page size 4096
        reply.data[4] = indexes & 0xFF;
        reply.data[5] = indexes >> 8;
        return reply;
    }

    // Every later Stat describes such a file.
    void describeFile(uint16_t recordLength, uint16_t indexes) { standing(15, stat(recordLength, indexes)); }

    std::vector<RecordedCall> calls;

    std::vector<uint16_t> operations() const
    {
        std::vector<uint16_t> ops;
        for (const RecordedCall& c : calls)
            ops.push_back(c.operation);
        return ops;
    }

private:
    static int16_t BTRCALL_CONV call(uint16_t operation, void* positionBlock, void* dataBuffer,
                                     uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                     int8_t keyNumber, void* clientId)
    {
        (void)positionBlock;
        FakeRecordManager& self = *sInstance;
        RecordedCall rec;
        rec.operation = operation;
        rec.dataBuffer = dataBuffer;
        rec.lengthIn = *dataLength;
        if (dataBuffer)
            rec.dataIn.assign(static_cast<const char*>(dataBuffer), *dataLength);
        rec.keyBuffer = keyBuffer;
        rec.keyText = static_cast<const char*>(keyBuffer);
        rec.keyLength = keyLength;
        rec.keyNumber = keyNumber;
        std::memcpy(rec.clientId.data(), clientId, 16);
        self.calls.push_back(rec);

        Reply reply;
        auto queued = self.mScripted.find(operation);
        if (queued != self.mScripted.end() && !queued->second.empty()) {
            reply = queued->second.front();
            queued->second.pop_front();
        } else if (auto found = self.mStanding.find(operation); found != self.mStanding.end()) {
            reply = found->second;
        }
        if (!reply.data.empty() && dataBuffer)
            std::memcpy(dataBuffer, reply.data.data(), std::min<size_t>(reply.data.size(), *dataLength));
        if (reply.length)
            *dataLength = *reply.length;
        else if (!reply.data.empty())
            *dataLength = static_cast<uint32_t>(std::min<size_t>(reply.data.size(), *dataLength));
        return reply.status;
    }

    std::map<uint16_t, std::deque<Reply>> mScripted;
    std::map<uint16_t, Reply> mStanding;
    static inline FakeRecordManager* sInstance = nullptr;
};
