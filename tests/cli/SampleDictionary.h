#pragma once
// Dictionary sets written the way the window's Build writes them (writeDictionaryFile), and data
// files created and filled through TWinBtr, for the quillan-cli tests and benchmark.
//
// The sales dictionary: the self-description plus CUSTOMER, ORDERS (a two-segment key, and an
// Integer field that FIELDEXT.DDF makes a LongDate) and ITEMS.
#include "DictionarySet.h"
#include "Records.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sample {

struct DictionaryRows {
    std::vector<dict::FileRecord> files;
    std::vector<dict::FieldRecord> fields;
    std::vector<dict::IndexRecord> indexes;
    std::vector<dict::FieldExtRecord> extensions;
    bool writeExtensions = true;
    // FILE.DDF and FIELD.DDF created with keys that allow duplicates, as another program might
    // have written them, so that ids and names can repeat.
    bool allowDuplicates = false;
};

// The self-description alone (no FIELDEXT.DDF).
DictionaryRows selfDescription();
// The self-description and the three sales tables.
DictionaryRows salesDictionary();

// The rows as a dictionary set, as reading the written files gives it.
dict::DictionarySet setOf(const DictionaryRows& rows);

// The self-description and the customer table of GeneratedTable.h (id 4, location
// CUSTOMER.DAT, a key on Id), the field named `shifted` one byte to the right.
DictionaryRows customerDictionary(const std::string& shifted = {});

// Writes the four dictionary files into dir through writeDictionaryFile (FILE.DDF and FIELD.DDF
// through TWinBtr when they allow duplicates).
void writeDictionary(const std::filesystem::path& dir, const DictionaryRows& rows);

// Creates the data file of a table from its dictionary definition (as the window's Create
// does: one key specification per segment, the field's type as extended type) and inserts the
// records. Returns the first non-zero status.
int createDataFile(const std::filesystem::path& path, const dict::TableDef& table,
                   const std::vector<std::vector<uint8_t>>& records);

// The records of the sales tables CUSTOMER, ORDERS and ITEMS: every decoded type, a date that
// does not exist, Latin-1 text, text with a separator and quotes.
std::vector<std::vector<uint8_t>> salesRecords(const std::string& table);
// Creates and fills the data files of the three sales tables in dir, as rows describe them;
// std::runtime_error when the record manager refuses.
void fillSalesData(const std::filesystem::path& dir, const DictionaryRows& rows);

// A record of the given length built field by field.
class RecordBytes {
public:
    explicit RecordBytes(std::size_t length) : mBytes(length, 0) {}
    RecordBytes& integer(std::size_t offset, std::size_t size, uint64_t value);
    RecordBytes& text(std::size_t offset, std::size_t size, const std::string& value, char pad = ' ');
    RecordBytes& raw(std::size_t offset, const std::vector<uint8_t>& bytes);
    RecordBytes& real(std::size_t offset, double value); // IEEE 8 bytes
    RecordBytes& real4(std::size_t offset, float value); // IEEE 4 bytes
    const std::vector<uint8_t>& bytes() const { return mBytes; }

private:
    std::vector<uint8_t> mBytes;
};

} // namespace sample
