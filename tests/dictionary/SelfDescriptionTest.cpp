#include "SelfDescription.h"
#include "Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dict;
using testbytes::Bytes;

namespace {

std::vector<uint8_t> bytesOf(std::span<const uint8_t> s)
{
    return {s.begin(), s.end()};
}

bool allBytesAre(std::span<const uint8_t> s, uint8_t b)
{
    return std::all_of(s.begin(), s.end(), [b](uint8_t x) { return x == b; });
}

TEST(SelfDescription, fileTableHoldsTheThreeDictionaryFilesBlankPadded)
{
    struct Row {
        unsigned id;
        const char* name;
        const char* loc;
    } rows[] = {{1, "X$FILE", "FILE.DDF"}, {2, "X$FIELD", "FIELD.DDF"}, {3, "X$INDEX", "INDEX.DDF"}};

    RecordArray array = makeFileTableArray();
    array.slot(300)[0] = 'x'; // a grown, dirtied array comes back to its first size
    rebuildFileTable(array);
    ASSERT_EQ(array.slotCount(), 128u);
    for (unsigned i = 0; i < 3; ++i) {
        Bytes b;
        b.u16(rows[i].id).text(rows[i].name, 20).text(rows[i].loc, 64).u8(16).fill(' ', 10);
        EXPECT_EQ(bytesOf(std::as_const(array).slot(i)), b.get()) << "slot " << i;
    }
    for (unsigned i = 3; i < 128; ++i)
        EXPECT_TRUE(allBytesAre(std::as_const(array).slot(i), ' ')) << "slot " << i;
}

TEST(SelfDescription, fieldTableHoldsSeventeenFieldsThenZeros)
{
    struct Row {
        unsigned id, file;
        const char* name;
        unsigned type, offset, size;
    } rows[] = {
        {1, 1, "Xf$Id", 1, 0, 2},     {2, 1, "Xf$Name", 0, 2, 20},     {3, 1, "Xf$Loc", 0, 22, 64},
        {4, 1, "Xf$Flags", 1, 86, 1}, {5, 2, "Xe$Id", 1, 0, 2},        {6, 2, "Xe$File", 1, 2, 2},
        {7, 2, "Xe$Name", 0, 4, 20},  {8, 2, "Xe$DataType", 1, 24, 1}, {9, 2, "Xe$Offset", 1, 25, 2},
        {10, 2, "Xe$Size", 1, 27, 2}, {11, 2, "Xe$Dec", 1, 29, 1},     {12, 2, "Xe$Flag", 1, 30, 2},
        {13, 3, "Xi$File", 1, 0, 2},  {14, 3, "Xi$Field", 1, 2, 2},    {15, 3, "Xi$Number", 1, 4, 2},
        {16, 3, "Xi$Part", 1, 6, 2},  {17, 3, "Xi$Flags", 1, 8, 2},
    };

    RecordArray array = makeFieldTableArray();
    std::fill(array.slot(20).begin(), array.slot(20).end(), 0xEE);
    rebuildFieldTable(array);
    ASSERT_EQ(array.slotCount(), 512u);
    for (unsigned i = 0; i < 17; ++i) {
        const Row& r = rows[i];
        Bytes b;
        b.u16(r.id).u16(r.file).text(r.name, 20).u8(r.type).u16(r.offset).u16(r.size).u8(0).u16(0);
        EXPECT_EQ(bytesOf(std::as_const(array).slot(i)), b.get()) << "slot " << i;
    }
    for (unsigned i = 17; i < 512; ++i)
        EXPECT_TRUE(allBytesAre(std::as_const(array).slot(i), 0)) << "slot " << i;
}

TEST(SelfDescription, indexTableHoldsFifteenSegmentsWithTheirOwnFlags)
{
    const unsigned rows[15][5] = {
        {1, 1, 0, 0, 4},  {1, 2, 1, 0, 34}, {2, 5, 0, 0, 4},    {2, 6, 1, 0, 5},    {2, 7, 2, 0, 35},
        {2, 6, 3, 0, 22}, {2, 7, 3, 1, 34}, {2, 6, 4, 0, 403},  {2, 9, 4, 1, 403},  {2, 11, 4, 2, 387},
        {3, 13, 0, 0, 5}, {3, 14, 1, 0, 5}, {3, 13, 2, 0, 402}, {3, 15, 2, 1, 402}, {3, 16, 2, 2, 386},
    };
    RecordArray array = makeIndexTableArray();
    rebuildIndexTable(array);
    ASSERT_EQ(array.slotCount(), 256u);
    for (unsigned i = 0; i < 15; ++i) {
        Bytes b;
        for (unsigned v : rows[i])
            b.u16(v);
        EXPECT_EQ(bytesOf(std::as_const(array).slot(i)), b.get()) << "slot " << i;
    }
    for (unsigned i = 15; i < 256; ++i)
        EXPECT_TRUE(allBytesAre(std::as_const(array).slot(i), 0)) << "slot " << i;
}

} // namespace
