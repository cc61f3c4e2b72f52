#pragma once
// A table's data file through the shared Btrieve file object: reading its statistics (for the
// Files page's Add; DataRecords.h decodes them) and creating it empty from a Create buffer. Each call
// constructs the shared object, works through it and releases it before returning, which closes the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace dict {

// Bytes of the statistics buffer: the file specification, then one key specification per
// segment; the rest as the record manager returns it.
constexpr std::size_t kStatBufferSize = 1920;
// The longest file name the key buffer carries to Create (its last byte is the NUL).
constexpr std::size_t kLongestCreateName = 254;

// Opens the file (empty owner name, mode 0) and copies its statistics into `stat`, which holds
// at least kStatBufferSize bytes. Returns the status of the Open, else that of the Stat (0 on
// success; "data buffer too short" counts as success).
int readDataFileStat(const std::string& path, std::span<uint8_t> stat);

// Creates the file, replacing one of that name, from the Create buffer's bytes. A name longer
// than kLongestCreateName is refused with "invalid file name" without a call. Returns the
// record manager's status.
int createDataFile(const std::string& path, std::span<const uint8_t> createBuffer);

// The file that a Create of `location` would replace, when one exists: the file the record
// manager creates for the location (the whole name when its folder exists, else the part
// before its first blank), or an entry whose name differs from that only in the case of the
// letters a to z. nullopt when there is none.
std::optional<std::string> existingDataFile(const std::string& location);

} // namespace dict
