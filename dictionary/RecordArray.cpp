#include "RecordArray.h"

#include "Records.h"

#include <stdexcept>

namespace dict {

RecordArray::RecordArray(std::size_t recordSize, std::size_t initialSlots, uint8_t fill)
    : mRecordSize(recordSize), mInitialSlots(initialSlots), mFill(fill),
      mBytes(recordSize * initialSlots, fill)
{
}

std::span<uint8_t> RecordArray::slot(std::size_t n)
{
    if (n >= slotCount()) {
        // Grow geometrically so that reading a large file slot by slot stays linear.
        std::size_t slots = std::max(n + 1, slotCount() * 2);
        mBytes.resize(slots * mRecordSize, mFill);
    }
    return std::span<uint8_t>(mBytes).subspan(n * mRecordSize, mRecordSize);
}

std::span<const uint8_t> RecordArray::slot(std::size_t n) const
{
    if (n >= slotCount())
        throw std::out_of_range("record array slot beyond its end");
    return std::span<const uint8_t>(mBytes).subspan(n * mRecordSize, mRecordSize);
}

void RecordArray::reset()
{
    mBytes.assign(mRecordSize * mInitialSlots, mFill);
    mBytes.shrink_to_fit();
}

RecordArray makeFileTableArray()
{
    return RecordArray(FileRecord::kSize, 128, ' ');
}

RecordArray makeFieldTableArray()
{
    return RecordArray(FieldRecord::kSize, 512, 0);
}

RecordArray makeIndexTableArray()
{
    return RecordArray(IndexRecord::kSize, 256, 0);
}

RecordArray makeExtTableArray()
{
    return RecordArray(FieldExtRecord::kSize, 128, 0);
}

} // namespace dict
