#pragma once
// Reader of genuine files written by a real record manager (pre-6, 6.x/7.x, 8.x/9.x).
// The engine opens such files read-only through this interface: openGenuineFile parses the
// file control record only; readGenuineRecords reads the records (physical order) on demand.
#include <cstdint>
#include <string>
#include <vector>

namespace engine {

struct GenuineInfo {
    // What Stat returns: the 16-byte file spec, one 16-byte spec per key segment, then the ACS
    // blocks (265 bytes each). Record count, flags, positions already in API form.
    std::vector<uint8_t> stat;
    uint8_t version = 0;        // file version byte for Stat with key number -1 (0x60 = 6.0)
    uint16_t recordLength = 0;  // fixed part
    uint16_t pageSize = 0;
    bool recordsReadable = false; // false: compressed, VATs, 9.5+ ... (records give readStatus)
    int16_t readStatus = 0;       // status for record operations when !recordsReadable
};

// 0 and info filled when path is a genuine record-manager file this reader understands;
// 30 when it is not a record-manager file; 2 on an I/O error. Never throws.
int16_t openGenuineFile(const std::string& path, GenuineInfo& info);

// Reads every live record in physical order (whole records, variable parts included).
// 0 on success; a non-zero status (2, 30, or info.readStatus) when the records cannot be read.
int16_t readGenuineRecords(const std::string& path, const GenuineInfo& info,
                           std::vector<std::vector<uint8_t>>& records);

} // namespace engine
