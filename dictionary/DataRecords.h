#pragma once
// Reading a table's data file record by record, read-only, through its own Btrieve file object:
// the layout that Stat reports (record length, keys and their segments) and the records in
// physical order, with record addresses to come back to a record later. Nothing here writes or
// locks a record.
#include "Records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TWinBtr;

namespace dict {

// What Stat says about a data file: its file specification and key segments, keys in order.
// The one reader of a statistics buffer: the Files page's Add, the Keys page, the Data page and
// quillan-cli all decode through it. The key count is the byte at offset 4 (spec.indexCount
// holds it too): the byte after it carries the file version when Stat is asked for it.
struct DataFileLayout {
    FileSpec spec;
    int keyCount = 0;
    struct Segment {
        int key;  // from 0
        int part; // from 0 within its key
        KeySpec spec;
    };
    std::vector<Segment> segments;
};

// Reads the layout from a statistics buffer of `size` bytes. A buffer shorter than a file
// specification gives an empty layout; segments that would run past its end are left out.
DataFileLayout decodeDataFileLayout(const uint8_t* stat, std::size_t size);

// Opens the file read-only, reads its layout and closes it; returns the record manager's
// status (0 on success).
int statDataFile(const std::string& path, DataFileLayout& out);

class DataFileReader {
public:
    DataFileReader();
    ~DataFileReader(); // closes the file
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    // Opens the file read-only and reads its statistics; the record manager's status (0 on success).
    int open(const std::string& path);
    // Opens the file read-only without its statistics, which on a large file take long (they
    // count every record and key value): the record length is that of the first record, and
    // layout() is empty until readLayout(). A file without records is opened with them.
    int openQuickly(const std::string& path);
    // The statistics, once; the record manager's status.
    int readLayout();
    bool hasLayout() const { return mHasLayout; }
    void close();
    bool isOpen() const;

    const DataFileLayout& layout() const { return mLayout; }
    // The fixed record length: record() always holds that many bytes.
    std::size_t recordLength() const { return mLength; }

    // Physical order: the first record, the next one. 9 at the end.
    int first();
    int next();
    // The address of the current record, and the record at an address (physical position there).
    int position(uint32_t& address);
    int direct(uint32_t address);
    // The current record's fixed part.
    std::span<const uint8_t> record() const;

private:
    std::unique_ptr<TWinBtr> mBtr;
    int openRaw(const std::string& path);

    DataFileLayout mLayout;
    bool mHasLayout = false;
    std::size_t mLength = 0;
};

// Up to `limit` records (0: all) from the start of the file in physical order, one after another
// in `bytes`, each recordLength long.
struct DataSample {
    DataFileLayout layout;
    std::size_t recordLength = 0;
    std::size_t count = 0;
    std::vector<uint8_t> bytes;
    std::span<const uint8_t> record(std::size_t i) const
    {
        return std::span<const uint8_t>(bytes).subspan(i * recordLength, recordLength);
    }
};

// The status of the Open, or of a read that stopped before the end (0 otherwise).
int readDataSample(const std::string& path, std::size_t limit, DataSample& out);

} // namespace dict
