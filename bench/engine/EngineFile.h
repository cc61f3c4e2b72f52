#pragma once
// One file open through the embedded engine's call, with its position block, key buffer and
// client id, for the engine benchmarks.
#include "BtrCall.h"
#include "Status.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace bench {

struct EngineFile {
    uint8_t pos[128] = {};
    uint8_t key[256] = {};
    uint8_t client[16] = {};
    int16_t call(uint16_t op, void* data, uint32_t length, int8_t keyNumber = 0)
    {
        return QuillanEngineCall(op, pos, data, &length, key, 255, keyNumber, client);
    }
    int16_t open(const std::string& path)
    {
        std::memset(key, 0, sizeof key);
        std::memcpy(key, path.data(), path.size());
        return call(btr::OpOpen, nullptr, 0);
    }
};

} // namespace bench
