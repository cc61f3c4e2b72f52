#include "FieldInference.h"

#include "FieldValue.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

namespace dict {
namespace {

enum TypeCode {
    kString = 0,
    kInteger = 1,
    kDate = 3,
    kTime = 4,
    kLString = 10,
    kZString = 11,
    kUnsigned = 14,
    kLongDate = 228,
};

// Below this many records a byte that never changes says little.
constexpr std::size_t kFullWeightRecords = 50;
// Share of records a rule may miss and still hold.
constexpr double kDateShare = 0.95;
// A drop of the padded share by this much from one byte to the next starts a new text field.
constexpr double kTextBoundaryDrop = 0.25;

bool isTextByte(uint8_t c)
{
    return c >= 0x20 && c != 0x7F;
}

bool isPad(uint8_t c)
{
    return c == 0 || c == ' ';
}

bool isWordByte(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

struct Column {
    uint32_t zero = 0;
    uint32_t space = 0;
    uint32_t text = 0; // text bytes, blank included
    uint32_t word = 0; // letters, digits and bytes above 0x7F
    std::bitset<256> seen;
    std::size_t distinct() const { return seen.count(); }
};

std::string byteRange(int from, int size)
{
    return size == 1 ? "Byte " + std::to_string(from)
                     : "Bytes " + std::to_string(from) + ".." + std::to_string(from + size - 1);
}

std::string percent(double share)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.0f%%", share * 100);
    return buf;
}

std::string hexByte(unsigned b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

class Inferrer {
public:
    explicit Inferrer(const InferenceInput& in)
        : mIn(in), mN(in.count), mLength(in.recordLength), mColumns(in.recordLength)
    {
        if (mIn.records.size() < mN * mLength)
            mN = mLength ? mIn.records.size() / mLength : 0;
        for (std::size_t r = 0; r < mN; ++r)
            for (std::size_t o = 0; o < mLength; ++o) {
                const uint8_t c = at(r, o);
                Column& col = mColumns[o];
                col.zero += c == 0;
                col.space += c == ' ';
                col.text += isTextByte(c);
                col.word += isWordByte(c);
                col.seen.set(c);
            }
        mWeight = mN >= kFullWeightRecords ? 1.0 : 0.5 + 0.5 * double(mN) / kFullWeightRecords;
    }

    std::vector<InferredField> run()
    {
        std::size_t o = 0;
        for (const KeySpan& k : keySpans()) {
            scan(o, k.start);
            keyField(k);
            o = k.end;
        }
        scan(o, mLength);
        mergeUnknown();
        return std::move(mOut);
    }

private:
    struct KeySpan {
        std::size_t start;
        std::size_t end;
        KeySpec spec;
    };

    uint8_t at(std::size_t r, std::size_t o) const { return mIn.records[r * mLength + o]; }
    double share(uint32_t k) const { return mN ? double(k) / double(mN) : 0; }
    double padShare(std::size_t o) const { return share(mColumns[o].zero + mColumns[o].space); }
    bool constant(std::size_t o) const { return mN >= 2 && mColumns[o].distinct() == 1; }
    // Share of records padded at o and at the byte before it.
    double padRunShare(std::size_t o) const
    {
        uint32_t k = 0;
        for (std::size_t r = 0; r < mN; ++r)
            k += isPad(at(r, o)) && isPad(at(r, o - 1));
        return share(k);
    }
    // Every record holds text or a NUL there.
    bool texty(std::size_t o) const { return mColumns[o].text + mColumns[o].zero == mN; }

    void add(std::size_t offset, std::size_t size, int type, double confidence, std::string reason,
             const char* stem)
    {
        InferredField f;
        f.offset = static_cast<int>(offset);
        f.size = static_cast<int>(size);
        f.typeCode = type;
        f.confidence = std::clamp(confidence, 0.0, 1.0);
        f.reason = std::move(reason);
        f.name = std::string(stem) + "_" + std::to_string(offset);
        mOut.push_back(std::move(f));
    }

    // Key segments inside the record, by position; a segment that overlaps one before it is
    // left out (segments of several keys often start at one field).
    std::vector<KeySpan> keySpans() const
    {
        std::vector<KeySpan> spans;
        for (const KeySpec& k : mIn.keySegments)
            if (k.position >= 1 && k.length >= 1 && k.position - 1 + std::size_t(k.length) <= mLength)
                spans.push_back({std::size_t(k.position - 1), std::size_t(k.position - 1) + k.length, k});
        std::stable_sort(spans.begin(), spans.end(), [](const KeySpan& a, const KeySpan& b) {
            return a.start != b.start ? a.start < b.start : a.end > b.end;
        });
        std::vector<KeySpan> kept;
        for (const KeySpan& s : spans)
            if (kept.empty() || s.start >= kept.back().end)
                kept.push_back(s);
        return kept;
    }

    double decodedShare(int type, std::size_t s, std::size_t size) const
    {
        if (mN == 0)
            return 0;
        uint32_t good = 0;
        FieldValue v;
        for (std::size_t r = 0; r < mN; ++r) {
            const auto o = decodeFieldValue(type, mIn.records.subspan(r * mLength + s, size), 0, v);
            good += o != DecodeOutcome::Undecodable;
        }
        return share(good);
    }

    void keyField(const KeySpan& k)
    {
        const std::size_t size = k.end - k.start;
        std::string range = byteRange(int(k.start), int(size));
        range[0] = 'b';
        std::string where = "A key segment of the data file covers " + range;
        if (k.spec.flags & KeyExtendedType) {
            const int type = k.spec.extendedType;
            const std::string_view name = typeNameOf(type);
            if (name.empty()) {
                add(k.start, size, kString, 0.3,
                    where + " with type code " + std::to_string(type) +
                        ", which the type catalogue does not know: kept as bytes.",
                    "Key");
                return;
            }
            if (mN == 0) {
                add(k.start, size, type, 0.5,
                    where + " with type " + std::string(name) + "; no record was read to check its values.",
                    "Key");
                return;
            }
            const double good = decodedShare(type, k.start, size);
            add(k.start, size, type, 0.55 + 0.4 * good,
                where + " with type " + std::string(name) + "; " +
                    percent(good) + " of the sampled values decode as that type.",
                "Key");
            return;
        }
        // An old-style key: binary (unsigned) or string; the bytes decide the kind of text.
        if ((k.spec.flags & KeyBinary) && (size == 2 || size == 4 || size == 8)) {
            add(k.start, size, kUnsigned, 0.85, where + " as an unsigned binary value.", "Key");
            return;
        }
        if (mN < 2) {
            add(k.start, size, kString, 0.6,
                where + " as a string; too few records were read to tell what kind of text.", "Key");
            return;
        }
        const std::size_t before = mOut.size();
        if (!tryText(k.start, k.end, true) || mOut.back().offset + mOut.back().size != int(k.end)) {
            mOut.resize(before);
            add(k.start, size, kString, 0.8, where + " as a string.", "Key");
            return;
        }
        mOut.back().confidence = std::min(1.0, mOut.back().confidence + 0.1);
        mOut.back().reason = where + " as a string; " + mOut.back().reason;
        mOut.back().name = "Key_" + std::to_string(k.start);
    }

    void scan(std::size_t s, std::size_t e)
    {
        while (s < e) {
            if (mN < 2) {
                add(s, e - s, kString, 0.05,
                    byteRange(int(s), int(e - s)) + ": too few records to tell what they hold.", "Unknown");
            } else {
                // A constant byte that could begin a word is tried as text before it is filler.
                const bool filler = constant(s) && !isWordByte(first(s));
                if (!(filler && tryFiller(s, e)) && !tryLString(s, e) && !tryDate(s, e) && !tryLongDate(s, e) &&
                    !tryTime(s, e) && !tryText(s, e, false) && !(constant(s) && tryFiller(s, e)) &&
                    !tryInteger(s, e))
                    add(s, 1, kString, 0.1, "", "Unknown");
            }
            s += static_cast<std::size_t>(mOut.back().size);
        }
    }

    uint8_t first(std::size_t o) const { return mN ? at(0, o) : 0; }

    bool tryFiller(std::size_t s, std::size_t e)
    {
        std::size_t t = s + 1;
        while (t < e && constant(t) && first(t) == first(s))
            ++t;
        add(s, t - s, kString, 0.85 * mWeight,
            byteRange(int(s), int(t - s)) + " hold " + hexByte(first(s)) + " in every sampled record: filler.",
            "Filler");
        return true;
    }

    // Text: every record holds text or NULs; a field ends where the share of padded records
    // drops sharply (the next field's values start there) or, in NUL-padded text, where a
    // record has text after a NUL.
    bool tryText(std::size_t s, std::size_t e, bool wholeSpan)
    {
        const Column& c0 = mColumns[s];
        if (!texty(s))
            return false;
        if (!wholeSpan && (share(c0.text - c0.space) < 0.5 || share(c0.word) < 0.3))
            return false;
        std::size_t t = s + 1;
        bool nulSeen = mColumns[s].zero > 0;
        while (t < e && texty(t)) {
            if (!wholeSpan) {
                // Trailing padding runs over several bytes; a blank between words does not.
                if (t >= s + 2 && padRunShare(t - 1) - padShare(t) >= kTextBoundaryDrop)
                    break;
                // NULs that never change after blank-padded text are filler, not padding.
                if (!nulSeen && constant(t) && first(t) == 0)
                    break;
                bool textAfterNul = false;
                for (std::size_t r = 0; r < mN && !textAfterNul; ++r)
                    textAfterNul = at(r, t - 1) == 0 && at(r, t) != 0;
                if (textAfterNul)
                    break;
            }
            nulSeen = nulSeen || mColumns[t].zero > 0;
            ++t;
        }
        if (wholeSpan && t != e)
            return false;
        // NUL-terminated when every record has a NUL and nothing but NULs after the first one.
        bool terminated = true;
        uint32_t blankPadded = 0;
        for (std::size_t r = 0; r < mN && terminated; ++r) {
            std::size_t k = s;
            while (k < t && at(r, k) != 0)
                ++k;
            terminated = k < t;
            for (; k < t && terminated; ++k)
                terminated = at(r, k) == 0;
            blankPadded += at(r, t - 1) == ' ';
        }
        const std::size_t size = t - s;
        const double words = share(c0.word);
        if (terminated) {
            add(s, size, kZString, (0.65 + 0.3 * words) * mWeight,
                byteRange(int(s), int(size)) + " hold text ended by a NUL and filled with NULs in every sampled record.",
                "Text");
        } else {
            add(s, size, kString, (0.6 + 0.3 * words) * mWeight,
                byteRange(int(s), int(size)) + " hold printable text in every sampled record" +
                    (blankPadded ? ", padded with blanks." : "."),
                "Text");
        }
        return true;
    }

    // A length byte, then that many bytes of text, then padding.
    bool tryLString(std::size_t s, std::size_t e)
    {
        std::size_t longest = 0, padded = 0, room = 0;
        std::bitset<256> lengths;
        for (std::size_t r = 0; r < mN; ++r) {
            const std::size_t n = at(r, s);
            if (s + 1 + n > e)
                return false;
            for (std::size_t k = s + 1; k <= s + n; ++k)
                if (!isTextByte(at(r, k)))
                    return false;
            lengths.set(n);
            longest = std::max(longest, n);
            if (s + 1 + n < e) {
                ++room;
                padded += isPad(at(r, s + 1 + n));
            }
        }
        if (lengths.count() < 2 || longest == 0 || (room && double(padded) < 0.8 * double(room)))
            return false;
        std::size_t t = s + 1 + longest;
        while (t < e && padShare(t) == 1.0)
            ++t;
        add(s, t - s, kLString, 0.85 * mWeight,
            byteRange(int(s), int(t - s)) + ": the first byte is the length (" +
                std::to_string(lengths.count()) + " lengths up to " + std::to_string(longest) +
                ") of the text that follows in every sampled record.",
            "Text");
        return true;
    }

    // Values of the type in nearly every record where the field is not zero, and more than one.
    bool plausibleShare(int type, std::size_t s, std::size_t size, int minYear, int maxYear, double& shareOut,
                        std::size_t& nonZero)
    {
        if (s + size > mLength)
            return false;
        FieldValue v;
        std::size_t good = 0;
        nonZero = 0;
        std::bitset<256> lows;
        for (std::size_t r = 0; r < mN; ++r) {
            const auto bytes = mIn.records.subspan(r * mLength + s, size);
            if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }))
                continue;
            ++nonZero;
            lows.set(bytes[0]);
            if (decodeFieldValue(type, bytes, 0, v) != DecodeOutcome::Value)
                continue;
            if (minYear) {
                const int year = std::stoi(v.text.substr(0, 4));
                if (year < minYear || year > maxYear)
                    continue;
            }
            ++good;
        }
        shareOut = nonZero ? double(good) / double(nonZero) : 0;
        return nonZero >= std::max<std::size_t>(2, mN / 2) && lows.count() >= 2 && shareOut >= kDateShare;
    }

    bool tryDate(std::size_t s, std::size_t e)
    {
        double good;
        std::size_t nonZero;
        if (s + 4 > e || !plausibleShare(kDate, s, 4, 1900, 2100, good, nonZero))
            return false;
        add(s, 4, kDate, (0.7 + 0.25 * good) * mWeight,
            byteRange(int(s), 4) + " read as day, month and a two-byte year give a date from 1900 to 2100 in " +
                percent(good) + " of the " + std::to_string(nonZero) + " sampled records where they are not zero.",
            "Date");
        return true;
    }

    bool tryLongDate(std::size_t s, std::size_t e)
    {
        double good;
        std::size_t nonZero;
        if (s + 4 > e || !plausibleShare(kLongDate, s, 4, 1900, 2100, good, nonZero))
            return false;
        add(s, 4, kLongDate, (0.7 + 0.25 * good) * mWeight,
            byteRange(int(s), 4) + " read as a 4-byte integer are dates YYYYMMDD from 1900 to 2100 in " +
                percent(good) + " of the sampled records where they are not zero.",
            "Date");
        return true;
    }

    bool tryTime(std::size_t s, std::size_t e)
    {
        double good;
        std::size_t nonZero;
        if (s + 4 > e || !plausibleShare(kTime, s, 4, 0, 0, good, nonZero))
            return false;
        int varying = 0;
        for (std::size_t k = s; k < s + 4; ++k)
            varying += !constant(k);
        if (varying < 3)
            return false;
        add(s, 4, kTime, (0.6 + 0.3 * good) * mWeight,
            byteRange(int(s), 4) + " read as hundredths, seconds, minutes and hours are times of day in " +
                percent(good) + " of the sampled records where they are not zero.",
            "Time");
        return true;
    }

    // Only 0x00 and 0xFF: the high byte of small values of either sign.
    bool signLike(std::size_t o) const
    {
        std::bitset<256> s = mColumns[o].seen;
        s.reset(0);
        s.reset(0xFF);
        return s.none();
    }

    // A little-endian integer starts at a byte that varies; the bytes above it vary less (or
    // hold only 0x00 and 0xFF), and the next field starts where the variation rises again.
    bool tryInteger(std::size_t s, std::size_t e)
    {
        if (constant(s))
            return false;
        std::size_t r = 1;
        while (s + r < e && r < 8) {
            const std::size_t c = s + r;
            if (constant(c))
                break;
            if (!signLike(c)) {
                const std::size_t prev = mColumns[c - 1].distinct(), here = mColumns[c].distinct();
                if (here > prev + std::max<std::size_t>(1, prev / 5))
                    break;
            }
            ++r;
        }
        // Constant 0x00 or 0xFF bytes above the varying ones belong to the integer when they end
        // exactly at an integer size.
        std::size_t k = r;
        while (s + k < e && k < 8 && constant(s + k) && (first(s + k) == 0 || first(s + k) == 0xFF))
            ++k;
        std::size_t size = r <= 1 ? 1 : r <= 2 ? 2 : r <= 4 ? 4 : 8; // the smallest that holds the varying bytes
        if (size > k)
            size = r >= 4 ? 4 : r >= 2 ? 2 : 1; // not enough quiet bytes above them: the largest inside
        else if (k == 2 || k == 4 || k == 8)
            size = std::max(size, k);
        if (size == 8 && r == 8 && mColumns[s + 7].distinct() >= mColumns[s].distinct() && !signLike(s + 7))
            size = 4; // eight bytes that vary alike are more likely two integers of four
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        FieldValue v;
        for (std::size_t r2 = 0; r2 < mN; ++r2)
            if (decodeFieldValue(kInteger, mIn.records.subspan(r2 * mLength + s, size), 0, v) ==
                DecodeOutcome::Value) {
                lo = std::min(lo, v.integer);
                hi = std::max(hi, v.integer);
            }
        const bool highQuiet = size == 1 || mColumns[s + size - 1].distinct() < mColumns[s].distinct() ||
                               signLike(s + size - 1);
        const double confidence = (size == 1 ? 0.45 : highQuiet ? 0.7 : 0.45) * mWeight;
        std::string reason = byteRange(int(s), int(size)) + " read as a little-endian integer range from " +
                             std::to_string(lo) + " to " + std::to_string(hi);
        if (size > 1)
            reason += highQuiet ? "; the low byte varies most and the high bytes less."
                                : "; the high byte varies as much as the low one, so the size is a guess.";
        else
            reason += ".";
        add(s, size, kInteger, confidence, reason, "Number");
        return true;
    }

    // Neighbouring bytes that no rule explains become one field.
    void mergeUnknown()
    {
        std::vector<InferredField> merged;
        for (InferredField& f : mOut) {
            if (!merged.empty() && f.reason.empty() && merged.back().reason.empty() &&
                merged.back().name.rfind("Unknown", 0) == 0 && f.name.rfind("Unknown", 0) == 0) {
                merged.back().size += f.size;
                continue;
            }
            merged.push_back(std::move(f));
        }
        for (InferredField& f : merged)
            if (f.reason.empty())
                f.reason = byteRange(f.offset, f.size) + " vary in a way no rule explains: kept as bytes.";
        mOut = std::move(merged);
    }

    const InferenceInput& mIn;
    std::size_t mN;
    std::size_t mLength;
    std::vector<Column> mColumns;
    double mWeight = 1;
    std::vector<InferredField> mOut;
};

} // namespace

std::vector<InferredField> inferFields(const InferenceInput& input)
{
    if (input.recordLength == 0)
        return {};
    return Inferrer(input).run();
}

InferredVariants inferVariants(const InferenceInput&)
{
    return {};
}

std::vector<InferredField> inferFields(const DataSample& sample)
{
    InferenceInput in;
    in.recordLength = sample.recordLength;
    in.count = sample.count;
    in.records = sample.bytes;
    for (const DataFileLayout::Segment& s : sample.layout.segments)
        in.keySegments.push_back(s.spec);
    return inferFields(in);
}

} // namespace dict
