#include "Records.h"
#include "Bytes.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace dict;
using testbytes::Bytes;

namespace {

// Encodes into an area one byte longer than the record, filled with a guard value, so that a
// write past the record's end shows.
template <typename Record> std::vector<uint8_t> encodeGuarded(const Record& r)
{
    std::vector<uint8_t> area(Record::kSize + 1, 0xA5);
    r.encode(area);
    EXPECT_EQ(area.back(), 0xA5) << "encode wrote past the record";
    area.pop_back();
    return area;
}

TEST(FileRecordLayout, fieldsSitAtTheirOffsetsAndTextsArePaddedOrCut)
{
    FileRecord r;
    r.id = -2;
    r.name = "CUSTOMER";
    r.loc = std::string(70, 'L');
    r.flags = 0xFF;
    r.reserved = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Bytes b;
    b.u16(0xFFFE).text("CUSTOMER", 20).text(std::string(64, 'L'), 64).u8(0xFF);
    for (unsigned i = 1; i <= 10; ++i)
        b.u8(i);
    EXPECT_EQ(encodeGuarded(r), b.get());
}

TEST(FileRecordLayout, decodeKeepsTrailingBlanksAndEveryLatin1Byte)
{
    Bytes b;
    b.u16(0x8000).text(std::string("Caf\xE9\0x", 6), 20).text("C:\\DATA\\X.BTR", 64).u8(200).fill(' ', 10);
    FileRecord r = FileRecord::decode(b.get());
    EXPECT_EQ(r.id, -32768);
    EXPECT_EQ(r.name.size(), 20u);
    EXPECT_EQ(r.name, std::string("Caf\xE9\0x", 6) + std::string(14, ' '));
    EXPECT_EQ(r.loc.size(), 64u);
    EXPECT_EQ(r.flags, 200);
    EXPECT_EQ(encodeGuarded(r), b.get());
}

TEST(FieldRecordLayout, roundTripsThroughItsBytes)
{
    Bytes b;
    b.u16(513).u16(0xFFFF).text("Amount", 20).u8(255).u16(0x7FFF).u16(8).u8(2).u16(0x8001);
    FieldRecord r = FieldRecord::decode(b.get());
    EXPECT_EQ(r.id, 513);
    EXPECT_EQ(r.file, -1);
    EXPECT_EQ(r.name, "Amount" + std::string(14, ' '));
    EXPECT_EQ(r.dataType, 255);
    EXPECT_EQ(r.offset, 32767);
    EXPECT_EQ(r.size, 8);
    EXPECT_EQ(r.dec, 2);
    EXPECT_EQ(r.flag, -32767);
    EXPECT_EQ(encodeGuarded(r), b.get());
}

TEST(IndexAndExtRecordLayouts, areSigned16BitIntegersInOrder)
{
    Bytes ib;
    ib.u16(1).u16(2).u16(3).u16(4).u16(0xFFFF);
    IndexRecord i = IndexRecord::decode(ib.get());
    EXPECT_EQ(i, (IndexRecord{1, 2, 3, 4, -1}));
    EXPECT_EQ(encodeGuarded(i), ib.get());

    Bytes xb;
    xb.u16(7).u16(300).u16(253);
    FieldExtRecord x = FieldExtRecord::decode(xb.get());
    EXPECT_EQ(x, (FieldExtRecord{7, 300, 253}));
    EXPECT_EQ(encodeGuarded(x), xb.get());
}

TEST(SpecificationLayouts, fileAndKeySpecificationsRoundTrip)
{
    Bytes fb;
    fb.u16(100).u16(4096).u16(2).u32(0x12345678).u16(0x0803).u8(4).u8(9).u16(0xFFFF);
    FileSpec f = FileSpec::decode(fb.get());
    EXPECT_EQ(f.recordLength, 100);
    EXPECT_EQ(f.pageSize, 4096);
    EXPECT_EQ(f.indexCount, 2);
    EXPECT_EQ(f.recordCount, 0x12345678);
    EXPECT_EQ(f.flags, 0x0803);
    EXPECT_EQ(f.duplicatePointers, 4);
    EXPECT_EQ(f.reserved, 9);
    EXPECT_EQ(f.pages, -1);
    EXPECT_EQ(encodeGuarded(f), fb.get());

    Bytes kb;
    kb.u16(26).u16(2).u16(0x117).u32(0xDEADBEEF).u8(14).u8(0x20).u16(0x0102).u8(4).u8(1);
    KeySpec k = KeySpec::decode(kb.get());
    EXPECT_EQ(k.position, 26);
    EXPECT_EQ(k.length, 2);
    EXPECT_EQ(k.flags, 0x117);
    EXPECT_EQ(k.notUsed, 0xDEADBEEFu);
    EXPECT_EQ(k.extendedType, 14);
    EXPECT_EQ(k.nullValue, 0x20);
    EXPECT_EQ(k.reserved, 0x0102);
    EXPECT_EQ(k.keyNumber, 4);
    EXPECT_EQ(k.sequenceNumber, 1);
    EXPECT_EQ(encodeGuarded(k), kb.get());
}

TEST(RecordLayouts, anAreaShorterThanTheRecordIsRefused)
{
    std::vector<uint8_t> shortArea(96);
    EXPECT_THROW(FileRecord::decode(shortArea), std::length_error);
    EXPECT_THROW(FileRecord{}.encode(shortArea), std::length_error);
    std::vector<uint8_t> five(5);
    EXPECT_THROW(FieldExtRecord::decode(five), std::length_error);
    EXPECT_THROW(KeySpec::decode(std::vector<uint8_t>(15)), std::length_error);
}

} // namespace
