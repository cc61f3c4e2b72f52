#pragma once
// Tables of generated databases: a dictionary written as the window's Build writes it and each
// table's data file made with exactly the keys asked for (descending, case-insensitive, ACS and
// null-value segments included), as a native file through the record manager or as a genuine
// 8.x file byte by byte.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace querytest {

struct GenField {
    std::string name;
    uint8_t type = 0;
    int offset = 0;
    int size = 0;
    int dec = 0;
};

struct GenSegment {
    int field = 0; // index into the table's fields
    int flags = 0; // key flags; the extended-type and segmented flags are added
    uint8_t nullValue = 0;
};

struct GenTable {
    int16_t id = 0;
    std::string name;
    std::string location;
    int recordLength = 0;
    std::vector<GenField> fields;
    std::vector<std::vector<GenSegment>> keys;
};

// The self-description and the tables, into dir's dictionary files.
void writeGeneratedDictionary(const std::filesystem::path& dir, const std::vector<GenTable>& tables);

// The table's data file at path, holding the records (in that order); std::runtime_error when the
// record manager refuses.
void createNativeFile(const std::filesystem::path& path, const GenTable& table,
                      const std::vector<std::vector<uint8_t>>& records);
// A genuine file of the 6.x family (4096-byte pages) or the 8.x one (1024-byte pages).
void createGenuineFile(const std::filesystem::path& path, const GenTable& table,
                       const std::vector<std::vector<uint8_t>>& records, bool family8);

} // namespace querytest
