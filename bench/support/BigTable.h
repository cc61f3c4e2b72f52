#pragma once
// The table the export and query benchmarks read: 1,000,000 records of 63 bytes, ten fields of
// mixed types, key 0 on Id. The data files are made once per run in a scratch directory of the
// process, which the benchmark removes at its end.
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace bench {

constexpr int kBigRecords = 1000000;
constexpr int kBigRecordLength = 63;

struct BigField {
    const char* name;
    uint8_t type;
    int16_t offset;
    int16_t size;
    uint8_t dec;
};

// Id Integer 4 (key 0), Name String 20, Code ZString 10, Qty Integer 2, Price Float 8, Amount
// Decimal 6.2, Day Date, At Time, Paid Logical 1, Count Unsigned 4.
inline constexpr BigField kBigFields[] = {
    {"Id", 1, 0, 4, 0},     {"Name", 0, 4, 20, 0},   {"Code", 11, 24, 10, 0}, {"Qty", 1, 34, 2, 0},
    {"Price", 2, 36, 8, 0}, {"Amount", 5, 44, 6, 2}, {"Day", 3, 50, 4, 0},    {"At", 4, 54, 4, 0},
    {"Paid", 7, 58, 1, 0},  {"Count", 14, 59, 4, 0}};

// The process's scratch directory for a benchmark: <temp>/quillan-<name>-bench-<pid>.
inline std::filesystem::path scratchDirectory(const std::string& name)
{
    return std::filesystem::temp_directory_path() /
           ("quillan-" + name + "-bench-" + std::to_string(::getpid()));
}

} // namespace bench
