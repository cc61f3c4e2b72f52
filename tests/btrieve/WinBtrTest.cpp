#include "WinBtr.h"

#include "FakeRecordManager.h"
#include "Status.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

constexpr uint8_t kFill = 0xAA;

class WinBtrTest : public ::testing::Test {
protected:
    FakeRecordManager rm;
};

bool allZero(const uint8_t* bytes, size_t n)
{
    return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == 0; });
}

TEST_F(WinBtrTest, openCallsOpenThenTwoStatsAndSizesTheBufferToTheRecordLength)
{
    rm.describeFile(100, 2);
    TWinBtr btr;
    std::strcpy(btr.KeyBuffer, "KEEP");
    ASSERT_EQ(btr.Open("FILE.DDF", "", 0), 0);

    EXPECT_THAT(rm.operations(), ElementsAre(btr::OpOpen, btr::OpStat, btr::OpStat));
    const RecordedCall& open = rm.calls[0];
    EXPECT_EQ(open.keyText, "FILE.DDF");
    EXPECT_NE(open.keyBuffer, static_cast<void*>(btr.KeyBuffer));
    EXPECT_EQ(open.lengthIn, 0u);
    EXPECT_EQ(open.keyLength, 255);
    EXPECT_EQ(open.keyNumber, 0);
    EXPECT_THAT(open.clientId, Each(0));
    for (size_t i = 1; i < rm.calls.size(); ++i) {
        EXPECT_EQ(rm.calls[i].dataBuffer, static_cast<void*>(btr.StatBuffer));
        EXPECT_EQ(rm.calls[i].lengthIn, 1920u);
    }
    EXPECT_STREQ(btr.KeyBuffer, "KEEP");
    EXPECT_TRUE(btr.IsOpen);
    EXPECT_EQ(btr.BufferSize, 100);
    EXPECT_NE(btr.Buffer, nullptr);
    EXPECT_EQ(btr.DataPointer, static_cast<void*>(btr.Buffer));
    EXPECT_FALSE(btr.NoIndex);
}

TEST_F(WinBtrTest, openPassesTheOwnerNameWithItsTerminatorAndTheModeAsKeyNumber)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    btr.KeyNumber = 3;
    ASSERT_EQ(btr.Open("DATA.BTR", "secret", -2), 0);
    EXPECT_EQ(rm.calls[0].lengthIn, 7u);
    EXPECT_EQ(rm.calls[0].dataIn, std::string("secret\0", 7));
    EXPECT_EQ(rm.calls[0].keyNumber, -2);
    EXPECT_EQ(btr.KeyNumber, TWinBtr::DefaultKeyNumber);
}

TEST_F(WinBtrTest, fileNamesLongerThanTheKeyBufferReachTheRecordManagerWhole)
{
    rm.describeFile(10, 1);
    const std::string name = std::string(200, 'd') + "/" + std::string(150, 'f') + ".DAT";
    TWinBtr btr;
    ASSERT_EQ(btr.Open(name, "", 0), 0);
    EXPECT_EQ(rm.calls[0].keyText, name);
    EXPECT_TRUE(allZero(reinterpret_cast<const uint8_t*>(btr.KeyBuffer), sizeof btr.KeyBuffer));
}

struct ReadingCase {
    uint16_t indexes;
    uint16_t first;
    uint16_t next;
};

class ReadingOperations : public WinBtrTest, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(ReadingOperations, filesWithoutIndexAreReadWithStepOperations)
{
    rm.describeFile(20, GetParam().indexes);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    EXPECT_EQ(btr.NoIndex, GetParam().indexes == 0);
    rm.calls.clear();
    btr.GetFirst();
    btr.GetNext();
    EXPECT_THAT(rm.operations(), ElementsAre(GetParam().first, GetParam().next));
    for (const RecordedCall& c : rm.calls) {
        EXPECT_EQ(c.keyNumber, 0);
        EXPECT_EQ(c.lengthIn, 20u);
    }
}

INSTANTIATE_TEST_SUITE_P(WinBtr, ReadingOperations,
                         ::testing::Values(ReadingCase{0, btr::OpStepFirst, btr::OpStepNext},
                                           ReadingCase{1, btr::OpGetFirst, btr::OpGetNext},
                                           ReadingCase{3, btr::OpGetFirst, btr::OpGetNext}));

TEST_F(WinBtrTest, openOfAMissingFileReturnsItsStatusAndAllocatesNothing)
{
    rm.script(btr::OpOpen, {btr::StatusFileNotFound});
    TWinBtr btr;
    EXPECT_EQ(btr.Open("NONE.DDF", "", 0), btr::StatusFileNotFound);
    EXPECT_FALSE(btr.IsOpen);
    EXPECT_EQ(btr.BufferSize, 0);
    EXPECT_EQ(btr.Buffer, nullptr);
    EXPECT_THAT(rm.operations(), ElementsAre(btr::OpOpen));
}

TEST_F(WinBtrTest, openWhoseStatFailsStaysOpenAndDestructionClosesIt)
{
    rm.script(btr::OpStat, {btr::StatusIoError});
    {
        TWinBtr btr;
        EXPECT_EQ(btr.Open("F", "", 0), btr::StatusIoError);
        EXPECT_TRUE(btr.IsOpen);
        EXPECT_EQ(btr.BufferSize, 0);
    }
    EXPECT_THAT(rm.operations(), ElementsAre(btr::OpOpen, btr::OpStat, btr::OpClose));
}

TEST_F(WinBtrTest, openWhileOpenClosesTheOldFileFirst)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    btr.Open("A", "", 0);
    btr.Open("B", "", 0);
    EXPECT_THAT(rm.operations(), ElementsAre(btr::OpOpen, btr::OpStat, btr::OpStat, btr::OpClose, btr::OpOpen,
                                             btr::OpStat, btr::OpStat));
    EXPECT_EQ(rm.calls[4].keyText, "B");
}

TEST_F(WinBtrTest, openKeepsAnOpenFileItCannotClose)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    btr.Open("A", "", 0);
    rm.script(btr::OpClose, {btr::StatusIoError});
    EXPECT_EQ(btr.Open("B", "", 0), btr::StatusIoError);
    EXPECT_EQ(rm.calls.back().operation, btr::OpClose);
    EXPECT_TRUE(btr.IsOpen);
    EXPECT_EQ(btr.BufferSize, 10);
}

TEST_F(WinBtrTest, openHandsTheFileBackWhenNoDataBufferCanBeHad)
{
    rm.describeFile(40000, 1);
    {
        TWinBtr btr;
        EXPECT_EQ(btr.Open("HUGE", "", 0), btr::StatusDataBufferTooShort);
        EXPECT_FALSE(btr.IsOpen);
        EXPECT_EQ(btr.Buffer, nullptr);
        EXPECT_TRUE(allZero(btr.StatBuffer, sizeof btr.StatBuffer));
    }
    EXPECT_THAT(rm.operations(), ElementsAre(btr::OpOpen, btr::OpStat, btr::OpClose));
}

struct ShortReadCase {
    const char* name;
    int16_t status;
    std::vector<uint8_t> delivered;
    std::vector<uint8_t> expected; // the first 10 bytes of the receiving area (BufferSize is 8)
};

class ShortRecords : public WinBtrTest, public ::testing::WithParamInterface<ShortReadCase> {};

TEST_P(ShortRecords, successfulReadsEndInZerosUpToBufferSize)
{
    rm.describeFile(8, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    std::vector<uint8_t> area(10, kFill);
    rm.script(btr::OpGetFirst, {GetParam().status, GetParam().delivered});
    btr.UseBuffer(area.data());
    EXPECT_EQ(btr.GetFirst(), GetParam().status);
    EXPECT_EQ(area, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    WinBtr, ShortRecords,
    ::testing::Values(
        ShortReadCase{"short", 0, {1, 2, 3}, {1, 2, 3, 0, 0, 0, 0, 0, kFill, kFill}},
        ShortReadCase{"full", 0, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8, kFill, kFill}},
        ShortReadCase{"empty", 0, {}, {kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill}},
        ShortReadCase{
            "endOfFile", 9, {7}, {7, kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill}},
        ShortReadCase{
            "tooShort", 22, {1, 2}, {1, 2, kFill, kFill, kFill, kFill, kFill, kFill, kFill, kFill}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WinBtrTest, readingLoopFillsOneSlotPerRecord)
{
    rm.describeFile(4, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    rm.script(btr::OpGetFirst, {0, {'a', 'b', 'c', 'd'}});
    rm.script(btr::OpGetNext, {0, {'e'}});
    rm.script(btr::OpGetNext, {btr::StatusEndOfFile, {}, 0});
    char slots[3][4];
    std::memset(slots, '#', sizeof slots);
    int n = 0;
    btr.KeyNumber = 0;
    btr.UseBuffer(slots[n]);
    btr.GetFirst();
    while (btr.StatusOf() == 0) {
        ++n;
        btr.UseBuffer(slots[n]);
        btr.GetNext();
    }
    EXPECT_EQ(n, 2);
    EXPECT_EQ(std::string(slots[0], 4), "abcd");
    EXPECT_EQ(std::string(slots[1], 4), std::string("e\0\0\0", 4));
    EXPECT_EQ(std::string(slots[2], 4), "####");
}

TEST_F(WinBtrTest, useBufferHoldsForOneExecuteOnly)
{
    rm.describeFile(8, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    char area[8] = {};
    char spec[16] = {};
    btr.UseBuffer(area);
    btr.UseBuffer(nullptr);
    btr.ExecuteWith(btr::OpCreate, spec, sizeof spec);
    btr.Insert();
    btr.Insert();
    const auto n = rm.calls.size();
    EXPECT_EQ(rm.calls[n - 3].dataBuffer, static_cast<void*>(spec));
    EXPECT_EQ(rm.calls[n - 3].lengthIn, 16u);
    EXPECT_EQ(rm.calls[n - 2].dataBuffer, static_cast<void*>(area));
    EXPECT_EQ(rm.calls[n - 1].dataBuffer, static_cast<void*>(btr.Buffer));
    EXPECT_EQ(btr.DataPointer, static_cast<void*>(btr.Buffer));
}

TEST_F(WinBtrTest, everyCallCarriesTheKeyBufferKeyNumberAndClientId)
{
    const uint8_t client[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    TWinBtr btr(client);
    btr.ClearKey(255);
    std::strcpy(btr.KeyBuffer, "NEW.DAT");
    btr.KeyNumber = -1;
    char spec[32] = {};
    btr.ExecuteWith(btr::OpCreate, spec, sizeof spec);
    ASSERT_EQ(rm.calls.size(), 1u);
    EXPECT_EQ(rm.calls[0].keyBuffer, static_cast<void*>(btr.KeyBuffer));
    EXPECT_EQ(rm.calls[0].keyText, "NEW.DAT");
    EXPECT_EQ(rm.calls[0].keyLength, 255);
    EXPECT_EQ(rm.calls[0].keyNumber, -1);
    EXPECT_EQ(std::memcmp(rm.calls[0].clientId.data(), client, 16), 0);
}

TEST_F(WinBtrTest, statusTooShortFromStatCountsAsSuccess)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    rm.script(btr::OpStat, FakeRecordManager::stat(123, 1, btr::StatusDataBufferTooShort));
    EXPECT_EQ(btr.Stat(), 0);
    EXPECT_TRUE(btr.IsOk());
    EXPECT_EQ(btr.StatBuffer[0], 123);
}

TEST_F(WinBtrTest, failedStatLeavesNoStatisticsBehind)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    rm.script(btr::OpStat, {btr::StatusIoError, {9, 9, 9, 9}});
    EXPECT_EQ(btr.Stat(), btr::StatusIoError);
    EXPECT_TRUE(allZero(btr.StatBuffer, sizeof btr.StatBuffer));
    EXPECT_EQ(btr.IndexCount(), 1);
    rm.script(btr::OpStat, {btr::StatusIoError});
    EXPECT_EQ(btr.IndexCount(), 0);
}

TEST_F(WinBtrTest, statIntoAfterAFailedStatDeliversZerosAndTheStatus)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    std::vector<uint8_t> area(2000, kFill);
    EXPECT_EQ(btr.StatInto(area.data()), 0);
    EXPECT_EQ(area[0], 10);
    EXPECT_EQ(area[1920], kFill);

    std::fill(area.begin(), area.end(), kFill);
    rm.script(btr::OpStat, {btr::StatusAccessDenied, {1, 2, 3}});
    EXPECT_EQ(btr.StatInto(area.data()), btr::StatusAccessDenied);
    EXPECT_EQ(btr.StatusOf(), btr::StatusAccessDenied);
    EXPECT_TRUE(allZero(area.data(), 1920));
    EXPECT_EQ(area[1920], kFill);
}

TEST_F(WinBtrTest, recordLengthComesFromTheCachedStatisticsWhileOpen)
{
    rm.describeFile(77, 1);
    TWinBtr btr;
    int length = -1;
    btr.Status = btr::StatusKeyNotFound;
    EXPECT_EQ(btr.RecordLength(length), btr::StatusKeyNotFound);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(btr.IndexCount(), 0);
    EXPECT_TRUE(rm.calls.empty());

    ASSERT_EQ(btr.Open("F", "", 0), 0);
    const auto calls = rm.calls.size();
    EXPECT_EQ(btr.RecordLength(length), 0);
    EXPECT_EQ(length, 77);
    EXPECT_EQ(rm.calls.size(), calls);
}

TEST_F(WinBtrTest, closingTwiceReportsNotOpenWithoutACall)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    EXPECT_EQ(btr.Close(), 0);
    EXPECT_EQ(rm.calls.back().operation, btr::OpClose);
    EXPECT_EQ(rm.calls.back().lengthIn, 4u);
    EXPECT_FALSE(btr.IsOpen);
    EXPECT_EQ(btr.Buffer, nullptr);
    EXPECT_EQ(btr.BufferSize, 0);
    EXPECT_TRUE(allZero(btr.StatBuffer, sizeof btr.StatBuffer));
    const auto calls = rm.calls.size();
    EXPECT_EQ(btr.Close(), btr::StatusFileNotOpen);
    EXPECT_EQ(rm.calls.size(), calls);
}

TEST_F(WinBtrTest, failedCloseLeavesTheObjectOpen)
{
    rm.describeFile(10, 1);
    TWinBtr btr;
    ASSERT_EQ(btr.Open("F", "", 0), 0);
    rm.script(btr::OpClose, {btr::StatusIoError});
    EXPECT_EQ(btr.Close(), btr::StatusIoError);
    EXPECT_TRUE(btr.IsOpen);
    EXPECT_EQ(btr.BufferSize, 10);
    EXPECT_EQ(btr.StatBuffer[0], 10);
    EXPECT_EQ(btr.Close(), 0);
    EXPECT_FALSE(btr.IsOpen);
}

TEST(WinBtrBuffer, settingTheCurrentSizeKeepsTheBufferAndItsContents)
{
    TWinBtr btr;
    btr.SetBufferSize(10);
    char* buffer = btr.Buffer;
    std::memcpy(buffer, "0123456789", 10);
    btr.Status = btr::StatusEndOfFile;
    btr.SetBufferSize(10);
    EXPECT_EQ(btr.Status, 0);
    EXPECT_EQ(btr.Buffer, buffer);
    EXPECT_EQ(std::string(btr.Buffer, 10), "0123456789");

    btr.SetBufferSize(12);
    EXPECT_EQ(btr.BufferSize, 12);
    EXPECT_EQ(btr.DataPointer, static_cast<void*>(btr.Buffer));
    EXPECT_EQ(std::string(btr.Buffer, 12), std::string(12, '\0'));

    btr.SetBufferSize(0);
    EXPECT_EQ(btr.Status, 0);
    EXPECT_EQ(btr.Buffer, nullptr);
    EXPECT_EQ(btr.DataPointer, nullptr);
}

class UnusableBufferSizes : public ::testing::TestWithParam<int> {};

TEST_P(UnusableBufferSizes, giveStatus22AndNoBuffer)
{
    TWinBtr btr;
    btr.SetBufferSize(16);
    btr.SetBufferSize(GetParam());
    EXPECT_EQ(btr.Status, btr::StatusDataBufferTooShort);
    EXPECT_EQ(btr.Buffer, nullptr);
    EXPECT_EQ(btr.DataPointer, nullptr);
    EXPECT_EQ(btr.BufferSize, 0);
}

INSTANTIATE_TEST_SUITE_P(WinBtrBuffer, UnusableBufferSizes, ::testing::Values(-1, 32768, 70000));

struct ClearKeyCase {
    int n;
    int zeroed;
};

class ClearKeyBounds : public ::testing::TestWithParam<ClearKeyCase> {};

TEST_P(ClearKeyBounds, zeroesOnlyWithinTheKeyBuffer)
{
    TWinBtr btr;
    std::memset(btr.KeyBuffer, 'k', sizeof btr.KeyBuffer);
    btr.PositionBlock[0] = 0x5A; // the field after KeyBuffer
    btr.ClearKey(GetParam().n);
    const int zeroed = static_cast<int>(std::count(btr.KeyBuffer, btr.KeyBuffer + 256, '\0'));
    EXPECT_EQ(zeroed, GetParam().zeroed);
    EXPECT_TRUE(std::all_of(btr.KeyBuffer, btr.KeyBuffer + zeroed, [](char c) { return c == 0; }));
    EXPECT_EQ(btr.PositionBlock[0], 0x5A);
}

INSTANTIATE_TEST_SUITE_P(WinBtr, ClearKeyBounds,
                         ::testing::Values(ClearKeyCase{0, 0}, ClearKeyCase{-1, 0}, ClearKeyCase{1, 1},
                                           ClearKeyCase{255, 255}, ClearKeyCase{256, 256},
                                           ClearKeyCase{257, 0}, ClearKeyCase{300, 0}));

TEST_F(WinBtrTest, sharedObjectExistsWhileHeldAndItsReleaseClosesTheFile)
{
    rm.describeFile(10, 1);
    EXPECT_EQ(SharedWinBtr::current(), nullptr);
    {
        SharedWinBtr shared;
        EXPECT_EQ(SharedWinBtr::current(), shared.get());
        EXPECT_THAT(shared->ClientId, Each(0));
        ASSERT_EQ(shared->Open("F", "", 0), 0);
        {
            SharedWinBtr inner;
            EXPECT_EQ(SharedWinBtr::current(), inner.get());
        }
        EXPECT_EQ(SharedWinBtr::current(), shared.get());
        EXPECT_TRUE((*shared).IsOpen);
    }
    EXPECT_EQ(SharedWinBtr::current(), nullptr);
    EXPECT_EQ(rm.calls.back().operation, btr::OpClose);
}

} // namespace
