#pragma once
// File names as the record manager sees them: the name in a key buffer and the look-up that
// ignores letter case when the name does not exist as written.
#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// The file name in a key buffer: its bytes up to the first blank or NUL, at most keyLength
// bytes (255 when keyLength is 0). Empty when the buffer is missing or starts with a blank.
std::string nameFromKeyBuffer(const void* keyBuffer, uint8_t keyLength);

// The existing file a name stands for: the name itself when it exists, else the entry of its
// directory whose name differs from it only in the case of ASCII letters (the first such entry
// in byte order when there are several). nullopt when there is none.
std::optional<std::string> findExistingFile(const std::string& name);

} // namespace engine
