#pragma once
// TWinBtr, the Btrieve file object: one Btrieve file seen through the record manager. It owns the
// file's position block, a key buffer, a data buffer sized to the file's record length and a copy
// of the file's statistics, and it is the only caller of the record manager (btrieve::recordManager()).
//
// Every operation that calls the record manager stores the status in Status and returns it.
// Invariants: Buffer is null exactly when BufferSize is 0; DataPointer equals Buffer except
// between a UseBuffer and the next Execute; StatBuffer is all zero whenever no file is open.
#include "BtrCall.h"

#include <cstdint>
#include <string>

class TWinBtr {
public:
    static constexpr int8_t DefaultKeyNumber = 0;

    // All fields start zero; ClientId is a copy of the 16 bytes at clientId, or zeros for null.
    explicit TWinBtr(const void* clientId = nullptr);
    // Closes an open file, then frees the data buffer.
    ~TWinBtr();
    TWinBtr(const TWinBtr&) = delete;
    TWinBtr& operator=(const TWinBtr&) = delete;

    int16_t Status = 0;
    // The data length the record manager returned to the last Execute.
    uint32_t DataLength = 0;
    int16_t BufferSize = 0;
    char* Buffer = nullptr;
    void* DataPointer = nullptr;
    bool IsOpen = false;
    char KeyBuffer[btr::kKeyBufferSize] = {};
    uint8_t PositionBlock[btr::kPositionBlockSize] = {};
    uint8_t StatBuffer[btr::kStatBufferSize] = {};
    int8_t KeyNumber = DefaultKeyNumber;
    bool NoIndex = false;
    uint8_t ClientId[btr::kClientIdSize] = {};

    // Opens fileName (any length; KeyBuffer is left as it was) in the given mode, closing an open
    // file first. On success sizes the data buffer to the record length and sets NoIndex; a Stat
    // that fails leaves the object open and returns its status. When the open file cannot be
    // closed first, returns that status and keeps the open file. When the data buffer cannot be
    // had, the new file is closed again and 22 is returned.
    int16_t Open(const std::string& fileName, const std::string& ownerName, int8_t mode);
    // 3 without a call when no file is open; a failed close leaves the object open.
    int16_t Close();
    // One call on DataPointer with BufferSize as the data length. A successful read shorter than
    // BufferSize is completed with zeros up to BufferSize. DataPointer returns to Buffer afterwards.
    int16_t Execute(uint16_t operation);
    // One call on the caller's area and length; DataPointer is neither used nor changed.
    int16_t ExecuteWith(uint16_t operation, void* area, uint16_t length);
    // The same, giving back in `length` the data length the record manager answered with.
    int16_t ExecuteWith(uint16_t operation, void* area, uint32_t& length);
    // Get First/Get Next on KeyNumber, or Step First/Step Next when the file has no index.
    int16_t GetFirst();
    int16_t GetNext();
    int16_t Insert();
    // Reads the statistics into StatBuffer; 22 (statistics longer than the area) counts as
    // success, any other failure leaves StatBuffer all zero.
    int16_t Stat();
    // Stat, then all 1920 bytes of StatBuffer into area, whatever the status.
    int16_t StatInto(void* area);
    // The record length from StatBuffer (Stat first when it holds none); 0 when no file is open.
    // Returns Status, unchanged when no Stat ran.
    int16_t RecordLength(int& length);
    // The number of indexes from a fresh Stat; 0 when no file is open or the Stat failed.
    int IndexCount();
    // Status 0. Keeps the buffer and its contents when size equals BufferSize; otherwise a new
    // zeroed buffer of size bytes (none for 0). Sizes outside 0..32767 or a failed allocation
    // leave no buffer and status 22.
    void SetBufferSize(int size);
    void FreeBuffer();
    // The next Execute reads from or writes into area; null changes nothing.
    void UseBuffer(void* area);
    // Zeroes the first n bytes of KeyBuffer when 0 < n <= 256; other n do nothing.
    void ClearKey(int n);
    int16_t StatusOf() const { return Status; }
    bool IsOk() const { return Status == 0; }

private:
    // The one place where a call reaches the record manager; its data length is 32 bits wide.
    int16_t call(uint16_t operation, void* dataBuffer, uint32_t& dataLength, void* keyBuffer,
                 int8_t keyNumber);
    uint16_t statWord(int offset) const;
};

// The shared Btrieve file object: constructing a SharedWinBtr creates a TWinBtr and makes it the
// one process-wide object (current()); destroying it releases the object, which closes its file.
// Holders nest: a holder made while another is alive shadows it until it is destroyed.
class SharedWinBtr {
public:
    SharedWinBtr();
    ~SharedWinBtr();
    SharedWinBtr(const SharedWinBtr&) = delete;
    SharedWinBtr& operator=(const SharedWinBtr&) = delete;

    TWinBtr* operator->() const { return mObject; }
    TWinBtr& operator*() const { return *mObject; }
    TWinBtr* get() const { return mObject; }

    // The object of the innermost live holder, or null.
    static TWinBtr* current();

private:
    TWinBtr* mObject;
    TWinBtr* mPrevious;
};
