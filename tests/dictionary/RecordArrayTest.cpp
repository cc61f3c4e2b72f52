#include "RecordArray.h"
#include "Records.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace dict;

namespace {

TEST(RecordArray, startsWithTheSizesAndFillsOfTheFourTables)
{
    struct Case {
        RecordArray array;
        std::size_t recordSize, slots;
        uint8_t fill;
    } cases[] = {
        {makeFileTableArray(), 97, 128, ' '},
        {makeFieldTableArray(), 32, 512, 0},
        {makeIndexTableArray(), 10, 256, 0},
        {makeExtTableArray(), 6, 128, 0},
    };
    for (Case& c : cases) {
        EXPECT_EQ(c.array.recordSize(), c.recordSize);
        EXPECT_EQ(c.array.slotCount(), c.slots);
        auto last = std::as_const(c.array).slot(c.slots - 1);
        EXPECT_EQ(last.size(), c.recordSize);
        for (uint8_t b : last)
            EXPECT_EQ(b, c.fill);
    }
}

TEST(RecordArray, growsPastItsFirstSizeKeepingEverySlot)
{
    RecordArray array = makeFileTableArray();
    for (std::size_t n = 0; n < 1000; ++n) {
        FileRecord r;
        r.id = static_cast<int16_t>(n);
        r.encode(array.slot(n));
    }
    EXPECT_GE(array.slotCount(), 1000u);
    for (std::size_t n = 0; n < 1000; ++n)
        EXPECT_EQ(FileRecord::decode(std::as_const(array).slot(n)).id, static_cast<int16_t>(n));
    // A slot that nobody wrote starts as the fill, here blanks.
    auto untouched = array.slot(5000);
    EXPECT_EQ(untouched[0], ' ');
    EXPECT_EQ(untouched[96], ' ');
}

TEST(RecordArray, readingBeyondTheEndIsRefusedNotRead)
{
    const RecordArray array = makeExtTableArray();
    EXPECT_THROW(array.slot(128), std::out_of_range);
}

TEST(RecordArray, resetReturnsToTheFirstSizeAndFill)
{
    RecordArray array = makeIndexTableArray();
    array.slot(0)[0] = 7;
    array.slot(999)[9] = 7;
    array.reset();
    EXPECT_EQ(array.slotCount(), 256u);
    EXPECT_EQ(std::as_const(array).slot(0)[0], 0);
}

} // namespace
