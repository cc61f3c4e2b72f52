#pragma once
// The one entry point of a Btrieve record manager, as the real libraries export it.
// The data length is a pointer to a 32-bit unsigned count; the key number is a signed byte.
#include <cstdint>

#if defined(_WIN32)
#define BTRCALL_CONV __stdcall
#else
#define BTRCALL_CONV
#endif

#if defined(_WIN32)
#define BTRCALL_EXPORT __declspec(dllexport)
#else
#define BTRCALL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

typedef int16_t(BTRCALL_CONV* BtrCallFn)(uint16_t operation, void* positionBlock, void* dataBuffer,
                                         uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                         int8_t keyNumber, void* clientId);

// The embedded record manager. Linked into Quillan and also built as the shared library
// libquillanbtrv, which exports it under the real name BTRCALLID.
int16_t BTRCALL_CONV QuillanEngineCall(uint16_t operation, void* positionBlock, void* dataBuffer,
                                       uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                       int8_t keyNumber, void* clientId);
}

namespace btr {
constexpr int kPositionBlockSize = 128;
constexpr int kClientIdSize = 16;
constexpr int kKeyBufferSize = 256;
constexpr int kStatBufferSize = 1920;
} // namespace btr
