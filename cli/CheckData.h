#pragma once
// check --data: each table's records decoded by its fields, over a sample.
#include "CliSupport.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

struct DataFieldTally {
    std::string name; // UTF-8
    int offset = 0;
    int size = 0;
    std::string type;          // catalogue name, or the code in digits
    uint64_t undecodable = 0;  // values that do not decode (the field outside the record counts all)
};

struct DataTableReport {
    std::string table; // UTF-8
    std::size_t recordLength = 0;
    std::size_t records = 0; // sampled
    std::vector<DataFieldTally> fields;
    struct Range {
        int offset;
        int size;
    };
    std::vector<Range> uncoveredVarying; // bytes no field covers that are not constant
};

struct DataCheckFinding {
    std::string table;
    std::string field;
    std::string message; // a sentence
};

// Decodes up to `sample` records (0: all) of every table whose data file opens; tables whose
// file cannot be opened are left to the dictionary check.
std::vector<DataTableReport> checkData(const LoadedDictionary& d, std::size_t sample,
                                       std::vector<DataCheckFinding>& findings);

void writeDataJson(JsonWriter& j, const std::vector<DataTableReport>& reports);

// --sample N (a number of records; 0 for all), or the fallback.
std::size_t sampleSize(const Args& args, std::size_t fallback);

constexpr std::size_t kDefaultDataSample = 1000;

} // namespace cli
