#pragma once
// What a view of a data file's records needs without reading the file whole: a cache of the
// records read so far in blocks (the addresses of the blocks kept, their bytes only for the
// blocks used last), and the columns a record splits into for a set of fields: one per field,
// one per range of bytes no field covers, with fields that overlap marked.
#include "CodePage.h"
#include "DataRecords.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace dict {

class RecordCache {
public:
    // blockRecords records per block; at most cachedBlocks blocks keep their bytes.
    explicit RecordCache(std::size_t blockRecords = 256, std::size_t cachedBlocks = 64);

    // Opens the file read-only; the record manager's status. Nothing is read yet. Quickly: without
    // the statistics (see DataFileReader::openQuickly) until readLayout().
    int open(const std::string& path, bool quickly = false);
    int readLayout() { return mReader.readLayout(); }
    bool hasLayout() const { return mReader.hasLayout(); }
    void close();
    bool isOpen() const { return mReader.isOpen(); }
    const DataFileLayout& layout() const { return mReader.layout(); }
    std::size_t recordLength() const { return mReader.recordLength(); }

    // Records read so far; rows 0 .. loaded() - 1 can be asked for.
    std::size_t loaded() const { return mLoaded; }
    bool atEnd() const { return mAtEnd; }
    // The status that ended the reading: 9 at the end of the file, else what stopped it.
    int endStatus() const { return mEndStatus; }

    // Reads up to n more records in physical order; the number read.
    std::size_t fetch(std::size_t n);
    // Record `row` (< loaded()); its block is read again when it left the cache. Empty when
    // the record manager cannot give it back. Valid until the next call.
    std::span<const uint8_t> record(std::size_t row);

    std::size_t cachedBlocks() const { return mCache.size() + 1; }

private:
    struct Block {
        std::vector<uint8_t> bytes;
        std::list<std::size_t>::iterator use;
    };
    const std::vector<uint8_t>* block(std::size_t index);
    void sealTail();

    DataFileReader mReader;
    std::size_t mBlockRecords;
    std::size_t mCachedBlocks;
    std::size_t mLoaded = 0;
    bool mAtEnd = false;
    int mEndStatus = 0;
    std::vector<uint32_t> mBlockAddress;   // address of each block's first record
    std::vector<uint8_t> mTail;            // the block being filled
    std::unordered_map<std::size_t, Block> mCache;
    std::list<std::size_t> mUse;           // most recently used first
    uint32_t mLastAddress = 0;             // of the last record fetched
    bool mMoved = false;                   // the position is not after the last record fetched
};

// A field as a view decodes it.
struct ViewField {
    std::string name; // UTF-8
    int offset = 0;
    int size = 0;
    int typeCode = 0;
    int decimals = 0;
};

struct ViewColumn {
    enum class Kind { Field, Uncovered };
    Kind kind = Kind::Field;
    int field = -1;         // index into the fields, for Kind::Field
    int offset = 0;
    int size = 0;
    bool overlaps = false;  // shares bytes with another field
    bool outside = false;   // reaches beyond the record, or has no bytes
};

// Columns in record order: the fields by offset (then as given), with a column for every range
// of bytes inside recordLength that no field covers.
std::vector<ViewColumn> viewColumns(const std::vector<ViewField>& fields, std::size_t recordLength);

// The text of a column for a record and whether its value decodes (fields by
// decodeFieldValueStrictly; uncovered bytes as hexadecimal, always decoding). A value that does
// not decode shows its bytes in hexadecimal.
struct ColumnValue {
    std::string text;
    bool decodes = true;
    bool empty = false; // the type's "no value"
};
// Texts are read in page.
ColumnValue columnValue(const ViewColumn& column, const std::vector<ViewField>& fields,
                        std::span<const uint8_t> record, const CodePage& page = CodePage::latin1());

} // namespace dict
