#include "Records.h"

#include "ByteOrder.h"

#include <stdexcept>

namespace dict {
namespace {

template <std::size_t N, typename Span> auto requireSize(Span bytes)
{
    if (bytes.size() < N)
        throw std::length_error("record area shorter than its layout");
    return bytes.data();
}

} // namespace

FileRecord FileRecord::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    FileRecord r;
    r.id = getI16(p);
    r.name = getText(p + 2, kNameWidth);
    r.loc = getText(p + 22, kLocWidth);
    r.flags = p[86];
    for (std::size_t i = 0; i < kReservedWidth; ++i)
        r.reserved[i] = p[87 + i];
    return r;
}

void FileRecord::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, static_cast<uint16_t>(id));
    putText(p + 2, kNameWidth, name);
    putText(p + 22, kLocWidth, loc);
    p[86] = flags;
    for (std::size_t i = 0; i < kReservedWidth; ++i)
        p[87 + i] = reserved[i];
}

FieldRecord FieldRecord::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    FieldRecord r;
    r.id = getI16(p);
    r.file = getI16(p + 2);
    r.name = getText(p + 4, kNameWidth);
    r.dataType = p[24];
    r.offset = getI16(p + 25);
    r.size = getI16(p + 27);
    r.dec = p[29];
    r.flag = getI16(p + 30);
    return r;
}

void FieldRecord::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, static_cast<uint16_t>(id));
    putU16(p + 2, static_cast<uint16_t>(file));
    putText(p + 4, kNameWidth, name);
    p[24] = dataType;
    putU16(p + 25, static_cast<uint16_t>(offset));
    putU16(p + 27, static_cast<uint16_t>(size));
    p[29] = dec;
    putU16(p + 30, static_cast<uint16_t>(flag));
}

IndexRecord IndexRecord::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    return {getI16(p), getI16(p + 2), getI16(p + 4), getI16(p + 6), getI16(p + 8)};
}

void IndexRecord::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, static_cast<uint16_t>(file));
    putU16(p + 2, static_cast<uint16_t>(field));
    putU16(p + 4, static_cast<uint16_t>(number));
    putU16(p + 6, static_cast<uint16_t>(part));
    putU16(p + 8, static_cast<uint16_t>(flags));
}

FieldExtRecord FieldExtRecord::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    return {getI16(p), getI16(p + 2), getI16(p + 4)};
}

void FieldExtRecord::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, static_cast<uint16_t>(file));
    putU16(p + 2, static_cast<uint16_t>(id));
    putU16(p + 4, static_cast<uint16_t>(dataType));
}

FileSpec FileSpec::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    FileSpec s;
    s.recordLength = getI16(p);
    s.pageSize = getI16(p + 2);
    s.indexCount = getI16(p + 4);
    s.recordCount = getI32(p + 6);
    s.flags = getI16(p + 10);
    s.duplicatePointers = p[12];
    s.reserved = p[13];
    s.pages = getI16(p + 14);
    return s;
}

void FileSpec::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, static_cast<uint16_t>(recordLength));
    putU16(p + 2, static_cast<uint16_t>(pageSize));
    putU16(p + 4, static_cast<uint16_t>(indexCount));
    putU32(p + 6, static_cast<uint32_t>(recordCount));
    putU16(p + 10, static_cast<uint16_t>(flags));
    p[12] = duplicatePointers;
    p[13] = reserved;
    putU16(p + 14, static_cast<uint16_t>(pages));
}

KeySpec KeySpec::decode(std::span<const uint8_t> bytes)
{
    const uint8_t* p = requireSize<kSize>(bytes);
    KeySpec k;
    k.position = getU16(p);
    k.length = getU16(p + 2);
    k.flags = getU16(p + 4);
    k.notUsed = getU32(p + 6);
    k.extendedType = p[10];
    k.nullValue = p[11];
    k.reserved = getU16(p + 12);
    k.keyNumber = p[14];
    k.sequenceNumber = p[15];
    return k;
}

void KeySpec::encode(std::span<uint8_t> bytes) const
{
    uint8_t* p = requireSize<kSize>(bytes);
    putU16(p, position);
    putU16(p + 2, length);
    putU16(p + 4, flags);
    putU32(p + 6, notUsed);
    p[10] = extendedType;
    p[11] = nullValue;
    putU16(p + 12, reserved);
    p[14] = keyNumber;
    p[15] = sequenceNumber;
}

} // namespace dict
