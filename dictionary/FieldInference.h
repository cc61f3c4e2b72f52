#pragma once
// A first draft of a table's fields from its data: the key specifications the data file reports
// and byte statistics over a sample of its records. The draft always covers the record exactly:
// fields one after another from offset 0 to the record length, without gaps or overlaps; bytes
// nothing explains become fields too. docs/inference.md says what each rule looks for.
#include "DataRecords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dict {

struct InferredField {
    int offset = 0;
    int size = 0;
    int typeCode = 0;        // a code of the type catalogue
    double confidence = 0;   // 0..1
    std::string reason;      // a sentence
    std::string name;        // a proposed field name ("Text_4", "Filler_40")
};

struct InferenceInput {
    std::size_t recordLength = 0;
    std::size_t count = 0;                // records in `records`
    std::span<const uint8_t> records;     // count * recordLength bytes
    std::vector<KeySpec> keySegments;     // from Stat, any order
    // Bytes from here to the end are not written by records of this layout: they hold what the
    // records before them left (0: every byte may be a field).
    std::size_t leftoverFrom = 0;
    // For each record, the record read just before it in the file (count * recordLength bytes);
    // empty when `records` are consecutive records of the file.
    std::span<const uint8_t> previous;
};

std::vector<InferredField> inferFields(const InferenceInput& input);

// The draft for a sample read from a data file.
std::vector<InferredField> inferFields(const DataSample& sample);

// Records of several layouts in one file, told apart by a tag (a type byte or prefix) that leads
// the record or follows a number that does: one draft per value of the tag.
struct InferredVariant {
    std::string tag;                  // the tag's bytes
    std::vector<std::size_t> records; // the sampled records that carry it, by index
    std::vector<InferredField> fields;
};

struct InferredVariants {
    int offset = 0; // where the tag is in the record
    int size = 0;
    std::string reason;                    // why the records were split
    std::vector<InferredVariant> variants; // empty when the records share one layout
};

InferredVariants inferVariants(const InferenceInput& input);
InferredVariants inferVariants(const DataSample& sample);

} // namespace dict
