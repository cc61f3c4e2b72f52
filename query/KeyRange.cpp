#include "KeyRange.h"

#include "DataTypes.h"
#include "Status.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace query {
namespace {

using enum dict::TypeCode;

int segmentType(const dict::KeySpec& s)
{
    if (s.flags & btr::keyflag::ExtendedType)
        return s.extendedType;
    return s.flags & btr::keyflag::Binary ? kUnsigned : kString;
}

std::optional<SegmentKind> kindOf(int segmentType, int fieldType, int size)
{
    const bool integerSize = size == 1 || size == 2 || size == 4 || size == 8;
    if ((segmentType == kInteger || segmentType == kAutoincrement) &&
        (fieldType == kInteger || fieldType == kAutoincrement) && integerSize)
        return SegmentKind::Signed;
    if (segmentType == kUnsigned && fieldType == kUnsigned && integerSize && size < 8)
        return SegmentKind::Unsigned;
    if (segmentType == kString && fieldType == kString)
        return SegmentKind::Text;
    return std::nullopt;
}

int64_t readInteger(const uint8_t* p, int length, bool isSigned)
{
    uint64_t v = 0;
    for (int i = length - 1; i >= 0; --i)
        v = v << 8 | p[i];
    if (isSigned && length < 8 && (v >> (8 * length - 1)) & 1)
        v |= ~uint64_t{0} << (8 * length);
    return static_cast<int64_t>(v);
}

void writeInteger(std::string& out, int64_t value, int length)
{
    const auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < length; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}

uint8_t folded(uint8_t c, bool caseInsensitive)
{
    return caseInsensitive && c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c;
}

} // namespace

std::size_t ServedKey::length() const
{
    std::size_t n = 0;
    for (const ServedSegment& s : segments)
        n += static_cast<std::size_t>(s.length);
    return n;
}

std::vector<ServedKey> servedKeys(const dict::DataFileLayout& layout, const dict::TablePlan& table)
{
    std::vector<ServedKey> keys;
    const bool numbersGiven = layout.spec.flags & btr::fileflag::KeyNumbersGiven;
    for (int k = 0; k < layout.keyCount; ++k) {
        ServedKey key;
        bool serves = true, any = false;
        for (const dict::DataFileLayout::Segment& s : layout.segments) {
            if (s.key != k)
                continue;
            any = true;
            key.number = numbersGiven ? s.spec.keyNumber : k;
            key.unique = !(s.spec.flags & btr::keyflag::Duplicates);
            constexpr uint16_t kRefused = btr::keyflag::Acs | btr::keyflag::NullAll | btr::keyflag::NullAny;
            if (s.spec.flags & kRefused) {
                serves = false;
                break;
            }
            const int offset = s.spec.position - 1;
            auto column =
                std::find_if(table.columns.begin(), table.columns.end(), [&](const dict::ColumnPlan& c) {
                    return c.field->record.offset == offset && c.field->record.size == s.spec.length;
                });
            const auto kind = column == table.columns.end()
                                  ? std::nullopt
                                  : kindOf(segmentType(s.spec), column->field->typeCode(), s.spec.length);
            if (!kind) {
                serves = false;
                break;
            }
            ServedSegment seg;
            seg.column = static_cast<int>(column - table.columns.begin());
            seg.offset = offset;
            seg.length = s.spec.length;
            seg.kind = *kind;
            seg.descending = s.spec.flags & btr::keyflag::Descending;
            seg.caseInsensitive =
                *kind == SegmentKind::Text && (s.spec.flags & btr::keyflag::CaseInsensitive);
            key.segments.push_back(seg);
        }
        if (serves && any && key.length() <= 255)
            keys.push_back(std::move(key));
    }
    return keys;
}

SegmentBounds fullBounds(const ServedSegment& s)
{
    SegmentBounds b;
    const int bits = 8 * s.length;
    if (s.kind == SegmentKind::Signed) {
        b.lo = bits == 64 ? std::numeric_limits<int64_t>::min() : -(int64_t{1} << (bits - 1));
        b.hi = bits == 64 ? std::numeric_limits<int64_t>::max() : (int64_t{1} << (bits - 1)) - 1;
    } else if (s.kind == SegmentKind::Unsigned) {
        b.lo = 0;
        b.hi = (int64_t{1} << bits) - 1;
    } else {
        b.loBytes.assign(static_cast<std::size_t>(s.length), '\0');
        b.hiBytes.assign(static_cast<std::size_t>(s.length), '\xFF');
    }
    return b;
}

void narrowInteger(SegmentBounds& b, Bound op, bool isInteger, int64_t integer, double real)
{
    // The least and greatest integers the bound allows, as long doubles so that no step overflows.
    long double lo = -1e30L, hi = 1e30L;
    const long double v = isInteger ? static_cast<long double>(integer) : static_cast<long double>(real);
    if (!isInteger && std::isnan(real))
        return;
    switch (op) {
    case Bound::Equal:
        if (std::floor(v) != v) {
            b.empty = true;
            return;
        }
        lo = hi = v;
        break;
    case Bound::Greater:
        lo = std::floor(v) + 1;
        break;
    case Bound::GreaterOrEqual:
        lo = std::ceil(v);
        break;
    case Bound::Less:
        hi = std::ceil(v) - 1;
        break;
    case Bound::LessOrEqual:
        hi = std::floor(v);
        break;
    }
    const long double newLo = std::max(lo, static_cast<long double>(b.lo));
    const long double newHi = std::min(hi, static_cast<long double>(b.hi));
    if (newLo > newHi) {
        b.empty = true;
        return;
    }
    b.lo = static_cast<int64_t>(newLo);
    b.hi = static_cast<int64_t>(newHi);
}

void narrowText(SegmentBounds& b, const ServedSegment& s, const std::string& bytes)
{
    const auto length = static_cast<std::size_t>(s.length);
    if (bytes.size() > length)
        return;
    std::string lo = bytes, hi = bytes;
    lo.resize(length, '\0');
    hi.resize(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
        lo[i] = static_cast<char>(folded(static_cast<uint8_t>(lo[i]), s.caseInsensitive));
        hi[i] = static_cast<char>(folded(static_cast<uint8_t>(hi[i]), s.caseInsensitive));
    }
    b.loBytes = std::max(b.loBytes, lo);
    b.hiBytes = std::min(b.hiBytes, hi);
    if (b.loBytes > b.hiBytes)
        b.empty = true;
}

void keyImages(const ServedKey& key, const std::vector<SegmentBounds>& bounds, std::string& first,
               std::string& last)
{
    first.clear();
    last.clear();
    for (std::size_t i = 0; i < key.segments.size(); ++i) {
        const ServedSegment& s = key.segments[i];
        const SegmentBounds& b = bounds[i];
        std::string lo, hi;
        if (s.kind == SegmentKind::Text) {
            lo = b.loBytes;
            hi = b.hiBytes;
        } else {
            writeInteger(lo, b.lo, s.length);
            writeInteger(hi, b.hi, s.length);
        }
        first += s.descending ? hi : lo;
        last += s.descending ? lo : hi;
    }
}

std::string keyOf(const ServedKey& key, const uint8_t* record)
{
    std::string image;
    image.reserve(key.length());
    for (const ServedSegment& s : key.segments)
        image.append(reinterpret_cast<const char*>(record + s.offset), static_cast<std::size_t>(s.length));
    return image;
}

int compareKeys(const ServedKey& key, const std::string& a, const std::string& b)
{
    std::size_t at = 0;
    for (const ServedSegment& s : key.segments) {
        const auto* pa = reinterpret_cast<const uint8_t*>(a.data() + at);
        const auto* pb = reinterpret_cast<const uint8_t*>(b.data() + at);
        int c = 0;
        if (s.kind == SegmentKind::Text) {
            for (int i = 0; i < s.length && c == 0; ++i) {
                const uint8_t x = folded(pa[i], s.caseInsensitive), y = folded(pb[i], s.caseInsensitive);
                c = x < y ? -1 : x > y ? 1 : 0;
            }
        } else {
            const int64_t x = readInteger(pa, s.length, s.kind == SegmentKind::Signed);
            const int64_t y = readInteger(pb, s.length, s.kind == SegmentKind::Signed);
            c = x < y ? -1 : x > y ? 1 : 0;
        }
        if (c)
            return s.descending ? -c : c;
        at += static_cast<std::size_t>(s.length);
    }
    return 0;
}

} // namespace query
