#include "WinBtr.h"

#include "LittleEndian.h"

#include "Binding.h"
#include "Status.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr uint8_t kKeyLength = 255;
constexpr int kRecordLengthOffset = 0;
constexpr int kIndexCountOffset = 4;
constexpr uint16_t kCloseScratchLength = 4;

TWinBtr* gCurrentObject = nullptr;

} // namespace

TWinBtr::TWinBtr(const void* clientId)
{
    if (clientId)
        std::memcpy(ClientId, clientId, sizeof ClientId);
}

TWinBtr::~TWinBtr()
{
    if (IsOpen)
        Close();
    FreeBuffer();
}

int16_t TWinBtr::call(uint16_t operation, void* dataBuffer, uint32_t& dataLength, void* keyBuffer,
                      int8_t keyNumber)
{
    return btrieve::recordManager()(operation, PositionBlock, dataBuffer, &dataLength, keyBuffer, kKeyLength,
                                    keyNumber, ClientId);
}

uint16_t TWinBtr::statWord(int offset) const
{
    return le::getU16(StatBuffer + offset);
}

int16_t TWinBtr::Open(const std::string& fileName, const std::string& ownerName, int8_t mode)
{
    if (IsOpen && Close() != btr::StatusSuccess)
        return Status;

    // The record manager may read or write a whole key buffer (the key length is 255), so the name
    // goes in a NUL-padded area of at least that size, whatever its own length.
    std::vector<char> name(std::max<size_t>(fileName.size() + 1, btr::kKeyBufferSize), '\0');
    std::memcpy(name.data(), fileName.data(), fileName.size());
    std::vector<char> owner(ownerName.begin(), ownerName.end());
    owner.push_back('\0');
    uint32_t ownerLength = ownerName.empty() ? 0 : static_cast<uint32_t>(ownerName.size() + 1);

    Status = call(btr::OpOpen, owner.data(), ownerLength, name.data(), mode);
    if (Status == btr::StatusSuccess) {
        IsOpen = true;
        KeyNumber = DefaultKeyNumber;
        int length = 0;
        if (RecordLength(length) == btr::StatusSuccess) {
            SetBufferSize(length);
            if (Status != btr::StatusSuccess) {
                // Without a data buffer the object cannot use the file: hand it back rather than
                // leave it open where no Close can reach it.
                const int16_t failure = Status;
                uint8_t scratch[kCloseScratchLength] = {};
                uint32_t scratchLength = kCloseScratchLength;
                call(btr::OpClose, scratch, scratchLength, KeyBuffer, KeyNumber);
                IsOpen = false;
                std::memset(StatBuffer, 0, sizeof StatBuffer);
                Status = failure;
                return Status;
            }
            IsOpen = true;
            NoIndex = IndexCount() == 0;
        }
    }
    return Status;
}

int16_t TWinBtr::Close()
{
    if (!IsOpen) {
        Status = btr::StatusFileNotOpen;
        return Status;
    }
    uint8_t scratch[kCloseScratchLength] = {};
    if (ExecuteWith(btr::OpClose, scratch, kCloseScratchLength) == btr::StatusSuccess) {
        IsOpen = false;
        FreeBuffer();
        std::memset(StatBuffer, 0, sizeof StatBuffer);
    }
    return Status;
}

int16_t TWinBtr::Execute(uint16_t operation)
{
    const uint32_t size = BufferSize > 0 ? static_cast<uint32_t>(BufferSize) : 0;
    uint32_t length = size;
    Status = call(operation, DataPointer, length, KeyBuffer, KeyNumber);
    DataLength = length;
    if (Status == btr::StatusSuccess && DataPointer && length < size)
        std::memset(static_cast<char*>(DataPointer) + length, 0, size - length);
    DataPointer = Buffer;
    return Status;
}

int16_t TWinBtr::ExecuteWith(uint16_t operation, void* area, uint16_t length)
{
    uint32_t dataLength = length;
    Status = call(operation, area, dataLength, KeyBuffer, KeyNumber);
    return Status;
}

int16_t TWinBtr::ExecuteWith(uint16_t operation, void* area, uint32_t& length)
{
    Status = call(operation, area, length, KeyBuffer, KeyNumber);
    return Status;
}

int16_t TWinBtr::GetFirst()
{
    return Execute(NoIndex ? btr::OpStepFirst : btr::OpGetFirst);
}

int16_t TWinBtr::GetNext()
{
    return Execute(NoIndex ? btr::OpStepNext : btr::OpGetNext);
}

int16_t TWinBtr::Insert()
{
    return Execute(btr::OpInsert);
}

int16_t TWinBtr::Stat()
{
    ExecuteWith(btr::OpStat, StatBuffer, sizeof StatBuffer);
    if (Status == btr::StatusDataBufferTooShort)
        Status = btr::StatusSuccess;
    else if (Status != btr::StatusSuccess)
        std::memset(StatBuffer, 0, sizeof StatBuffer);
    return Status;
}

int16_t TWinBtr::StatInto(void* area)
{
    Stat();
    if (area)
        std::memcpy(area, StatBuffer, sizeof StatBuffer);
    return Status;
}

int16_t TWinBtr::RecordLength(int& length)
{
    if (!IsOpen) {
        length = 0;
        return Status;
    }
    if (statWord(kRecordLengthOffset) == 0)
        Stat();
    length = statWord(kRecordLengthOffset);
    return Status;
}

int TWinBtr::IndexCount()
{
    if (!IsOpen)
        return 0;
    Stat();
    return Status == btr::StatusSuccess ? statWord(kIndexCountOffset) : 0;
}

void TWinBtr::SetBufferSize(int size)
{
    Status = btr::StatusSuccess;
    if (size == BufferSize)
        return;
    FreeBuffer();
    if (size < 0 || size > std::numeric_limits<int16_t>::max()) {
        Status = btr::StatusDataBufferTooShort;
        return;
    }
    if (size == 0)
        return;
    Buffer = new (std::nothrow) char[size]();
    if (!Buffer) {
        Status = btr::StatusDataBufferTooShort;
        return;
    }
    BufferSize = static_cast<int16_t>(size);
    DataPointer = Buffer;
}

void TWinBtr::FreeBuffer()
{
    delete[] Buffer;
    Buffer = nullptr;
    DataPointer = nullptr;
    BufferSize = 0;
}

void TWinBtr::UseBuffer(void* area)
{
    if (area)
        DataPointer = area;
}

void TWinBtr::ClearKey(int n)
{
    if (n > 0 && n <= static_cast<int>(sizeof KeyBuffer))
        std::memset(KeyBuffer, 0, static_cast<size_t>(n));
}

SharedWinBtr::SharedWinBtr() : mObject(new TWinBtr()), mPrevious(gCurrentObject)
{
    gCurrentObject = mObject;
}

SharedWinBtr::~SharedWinBtr()
{
    gCurrentObject = mPrevious;
    delete mObject;
}

TWinBtr* SharedWinBtr::current()
{
    return gCurrentObject;
}
