#pragma once
// The storage behind one open file. The dispatcher (Engine.cpp) keeps positions and applies
// the call's rules; a backend stores records, keeps every key path in key-image order and
// answers positioned look-ups. Two backends exist: native SQLite files (SqliteFile) and
// read-only genuine files held in memory (MemoryFile). Every call answers with a status named in
// Status.h (btr::Status...).
#include "FileDefinition.h"
#include "Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// A place on one key path: the key image and, for keys with duplicates, the insertion sequence
// that orders equal images. Paths order by (image, sequence).
struct KeyEntry {
    std::string image;
    int64_t sequence = 0;
};

// One record found by a look-up: its address, its bytes and its entry on the path searched.
struct FoundRecord {
    uint32_t address = 0;
    std::vector<uint8_t> data;
    KeyEntry entry;
    // A physical-order step landed on a damaged page instead of a record (StatusIoError): address is
    // its place in physical order, data its page number (4 bytes, little-endian), or for a place
    // that says more 12 bytes: page number, kind and value of GenuineDamage.
    bool skippedPage = false;
};

enum class KeySeek { First, Last, Equal, Greater, GreaterOrEqual, Less, LessOrEqual, After, Before };
enum class StepSeek { First, Last, After, Before };

// Key images of one record, one per key in definition order; nullopt for a null key.
using RecordImages = std::vector<std::optional<std::string>>;

class FileBackend {
public:
    virtual ~FileBackend() = default;

    virtual const FileDefinition& definition() const = 0;
    virtual bool writable() const = 0;

    // Stat image (see statImage) with the version byte when withVersion.
    virtual int16_t stat(bool withVersion, std::vector<uint8_t>& image) = 0;

    // Looks up on key path keyIndex. `image` is the searched key image (Equal .. LessOrEqual);
    // `from` the current entry (After, Before). StatusSuccess, StatusKeyNotFound (Equal finds
    // nothing), StatusEndOfFile or StatusIoError.
    virtual int16_t seekKey(size_t keyIndex, KeySeek how, const std::string& image, const KeyEntry& from,
                            FoundRecord& out) = 0;
    // Physical order. `from` is the current address (After, Before). StatusSuccess,
    // StatusEndOfFile or StatusIoError; StatusIoError with out.skippedPage when the step lands on
    // a damaged page it goes past (see FoundRecord).
    virtual int16_t step(StepSeek how, uint32_t from, FoundRecord& out) = 0;
    // The record at an address; StatusInvalidRecordAddress when there is none.
    virtual int16_t read(uint32_t address, FoundRecord& out) = 0;
    // With 4100 from a read: what of the file's layout cannot be read (empty when nothing is said).
    virtual std::string refusal() const { return {}; }
    // The sequence of a record on a duplicates key path (0 on keys without duplicates).
    virtual int16_t sequenceOf(uint32_t address, size_t keyIndex, int64_t& sequence) = 0;
    // The highest image on a key path; `found` false when the path is empty.
    virtual int16_t highestImage(size_t keyIndex, std::string& image, bool& found) = 0;

    // Writes; StatusAccessDenied on a read-only backend. Insert assigns the address and the
    // sequence of the new record on duplicates paths; StatusDuplicateKey when a key without
    // duplicates already holds the image.
    virtual int16_t insert(const std::vector<uint8_t>& record, const RecordImages& images, uint32_t& address,
                           int64_t& sequence) = 0;
    // Replaces a record; a duplicates path whose image changes gets a new sequence (the record
    // goes after its new equals). StatusDuplicateKey as for insert, StatusInvalidRecordAddress
    // when the address holds no record.
    virtual int16_t update(uint32_t address, const std::vector<uint8_t>& record,
                           const RecordImages& images) = 0;
    virtual int16_t remove(uint32_t address) = 0;

    // Called after every operation: commits pending writes when the bound on their number or
    // age is reached.
    virtual void maybeCommit() {}
    // Commits pending writes and releases the file. StatusSuccess or StatusIoError.
    virtual int16_t close() = 0;
};

} // namespace engine
