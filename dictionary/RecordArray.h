#pragma once
// The in-memory record array of one dictionary table: slot n holds record n of the file,
// laid out exactly as on disk. Open reads record k into slot k-1 and Build writes grid row r
// from slot r-1, so the array grows whenever a slot beyond its end is asked for; new slots
// start with the array's fill byte (blanks for the file table, zeros for the others).
//
// Slot pointers and spans stay valid until the array next grows or is reset.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dict {

class RecordArray {
public:
    RecordArray(std::size_t recordSize, std::size_t initialSlots, uint8_t fill);

    std::size_t recordSize() const { return mRecordSize; }
    std::size_t slotCount() const { return mBytes.size() / mRecordSize; }
    uint8_t fill() const { return mFill; }

    // Slot n, growing the array to at least n+1 slots first.
    std::span<uint8_t> slot(std::size_t n);
    // Slot n of the array as it stands; std::out_of_range when n >= slotCount().
    std::span<const uint8_t> slot(std::size_t n) const;

    // Back to the initial number of slots, every byte the fill byte.
    void reset();

private:
    std::size_t mRecordSize;
    std::size_t mInitialSlots;
    uint8_t mFill;
    std::vector<uint8_t> mBytes;
};

// The four arrays with their initial sizes and fills: file table 128 slots of blanks, field
// table 512, index table 256 and extension table 128 slots of zeros.
RecordArray makeFileTableArray();
RecordArray makeFieldTableArray();
RecordArray makeIndexTableArray();
RecordArray makeExtTableArray();

} // namespace dict
