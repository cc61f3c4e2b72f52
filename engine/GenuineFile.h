#pragma once
// Reader of genuine files written by a real record manager (pre-6, 6.x/7.x, 8.x/9.x).
// The engine opens such files read-only through this interface: openGenuineFile parses the
// file control record only; readGenuineRecords reads the records (physical order) on demand.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

struct GenuineInfo {
    // What Stat returns: the 16-byte file spec, one 16-byte spec per key segment, then the ACS
    // blocks (265 bytes each). Record count, flags, positions already in API form.
    std::vector<uint8_t> stat;
    uint8_t version = 0;       // file version byte for Stat with key number -1 (0x60 = 6.0)
    uint16_t recordLength = 0; // fixed part (compressed files: the uncompressed length)
    uint16_t pageSize = 0;
    bool recordsReadable = false; // false: a layout not readable yet (records give readStatus)
    int16_t readStatus = 0;       // status for record operations when !recordsReadable
    std::string reason;           // with 4100: what of the layout cannot be read
};

// A page whose records could not all be read, in physical order: the physical page number (as
// the allocation table names it when it maps the page where none can be) and how many records
// came before it.
struct GenuineDamage {
    enum class Kind : uint32_t {
        Page = 0,
        // The pre-6 deleted-record chain broke on this page: of the records returned, value look
        // like deleted slots (past the break the chain no longer tells).
        ChainBroken = 1,
        // The file ends before its control record or page tables say: page is the first page it
        // does not wholly hold, value the pages they say it has. Always last.
        FileCut = 2,
    };
    uint64_t page = 0;
    size_t position = 0;
    Kind kind = Kind::Page;
    uint64_t value = 0;
};

// The records of one key in the order the file's own index pages give, as indexes into the
// records read (null keys left out); walked false when the key's index pages are absent or do
// not bear out (see engine/genuine/KeyOrder.h). Nothing here says the order is the key's: a
// reader of it checks that before trusting it.
struct GenuineKeyOrder {
    bool walked = false;
    std::vector<uint32_t> records;
    // When asked for: the key bytes the index pages hold for each of those records, a key's
    // length each.
    std::vector<uint8_t> keys;
};

// 0 and info filled when path is a genuine record-manager file this reader understands;
// 30 when it is not a record-manager file (its first bytes are no file control record of a known
// family); 4100 with info.reason when its control record is one but cannot be understood (a key
// outside the record or longer than 255 bytes, a key needing a collating sequence the file does
// not hold, an 8 or 16 KiB page file whose tables do not bear out the layout assumed for them);
// 2 on an I/O error. Never throws.
//
// Files whose records this reader cannot read still open, with recordsReadable false and
// readStatus 4100 and a reason (page compression, variable-allocation tables, 9.5 and later
// formats) or 2 (a pre-6 file marked as needing recovery).
int16_t openGenuineFile(const std::string& path, GenuineInfo& info);

// Reads every live record in physical order (whole records, variable parts included).
// 0 on success; 4101 (StatusRecordCountDiffers) with every record read when their number is not
// the control record's count; info.readStatus when !info.recordsReadable; 30 when the file no
// longer opens; 2 on an I/O error or a damaged file, records then empty. With damaged given,
// damaged pages are skipped instead: the records of every sound page come back with 0 and the
// skipped pages are listed (2 then only when the file as a whole cannot be read; see
// engine/genuine/Records.h). With keyOrders given and every record read, one order per key
// comes back too (none walked when pages were damaged).
int16_t readGenuineRecords(const std::string& path, const GenuineInfo& info,
                           std::vector<std::vector<uint8_t>>& records,
                           std::vector<GenuineDamage>* damaged = nullptr,
                           std::vector<GenuineKeyOrder>* keyOrders = nullptr);

// A fixed-length, uncompressed file (pre-6, 6.x or 8.x) read without its records: how many there are and
// each key's order from its index pages (with their key bytes); a record is read when asked for.
class GenuineIndex {
public:
    // Null when the file is not of that kind or not readable as a whole: an I/O error, a damaged
    // page, a file cut short, or not as many records as its control record counts.
    static std::unique_ptr<GenuineIndex> open(const std::string& path, const GenuineInfo& info);
    ~GenuineIndex();

    size_t records() const;
    std::vector<GenuineKeyOrder>& keyOrders();
    // Record `index` (physical order, from 0); false when it cannot be read now.
    bool read(size_t index, std::vector<uint8_t>& record);

private:
    struct State;
    explicit GenuineIndex(std::unique_ptr<State> state);
    std::unique_ptr<State> mState;
};

// True when the first bytes of a file (size of them) begin a file control record of a known
// family with a sane page size, whether or not the rest of the file can be understood: such a
// file is a real record manager's, perhaps damaged, and is never replaced.
bool looksLikeGenuineFile(const uint8_t* head, size_t size);

// The same two on a whole file image in memory.
int16_t openGenuineImage(const uint8_t* data, size_t size, GenuineInfo& info);
int16_t readGenuineImageRecords(const uint8_t* data, size_t size, const GenuineInfo& info,
                                std::vector<std::vector<uint8_t>>& records,
                                std::vector<GenuineDamage>* damaged = nullptr,
                                std::vector<GenuineKeyOrder>* keyOrders = nullptr);

} // namespace engine
