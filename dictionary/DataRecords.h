#pragma once
// Reading a table's data file record by record, read-only, through its own Btrieve file object:
// the layout that Stat reports (record length, keys and their segments) and the records in
// physical order, with record addresses to come back to a record later. Nothing here writes or
// locks a record.
#include "Records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

// A place in physical order where the record manager went past a damaged page of a genuine
// file: a Step answered 2 with the page's number in the data buffer (a data length of 4), or with
// what the place says beyond it (12: page, kind and value, each 32-bit little-endian). See
// docs/record-manager.md.
struct DamagedPlace {
    enum Kind : uint32_t {
        None = 0, // the page cannot be read; nothing more is said
        ChainBroken =
            1,       // the deleted-record chain breaks here; value: records read that could be deleted ones
        FileCut = 2, // the file ends at this page; value: the pages its control record says it has
    };
    uint32_t page = 0;
    uint32_t kind = None;
    uint32_t value = 0;

    bool operator==(const DamagedPlace&) const = default;
};

// The place a Step's answer names: status 2 with a data length of 4 or 12 within a data buffer of
// `capacity` bytes. nullopt for any other answer.
std::optional<DamagedPlace> damagedPlace(int status, const void* data, uint32_t dataLength,
                                         std::size_t capacity);

// The sentence for a place: "page 7 is damaged", "the deleted-record chain breaks on page 3: 2 of
// the records read could be deleted ones", "the file is shorter than its control record says: it
// ends at page 7, where it should have 9 pages".
std::string damagedPlaceText(const DamagedPlace& place);

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

    // Physical order: the first record, the next one. 9 at the end. On a genuine file with damaged
    // pages, 2 where one lies (place() says which); the next call goes on after it.
    int first();
    int next();
    // The damaged place the last first() or next() landed on; nullopt when it gave a record or
    // any other answer.
    std::optional<DamagedPlace> place() const;
    // The address of the current record, and the record at an address (physical position there).
    int position(uint32_t& address);
    int direct(uint32_t address);
    // The current record's fixed part.
    std::span<const uint8_t> record() const;

private:
    std::unique_ptr<TWinBtr> mBtr;
    int openRaw(const std::string& path);
    int step(uint16_t operation);
    void sizeBuffer(std::size_t length);

    int mStepStatus = 0; // of the last first() or next()

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

// A whole data file read in physical order past its damaged places.
struct DamageReport {
    uint64_t records = 0;
    std::vector<uint32_t> damagedPages; // the pages gone past, each once, a file's cut end not among them
    std::vector<DamagedPlace> places;   // the places that said more than their page, in order
};
// Reads to the end; returns 9 when it was reached, else the status that stopped the reading (the
// open's when the file does not open). The same place twice in a row ends the reading.
int readPastDamage(const std::string& path, DamageReport& out);

} // namespace dict
