#include "FieldInference.h"

#include "DataTypes.h"
#include "FieldValue.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <set>

namespace dict {
namespace {

// Below this many records a byte that never changes says little.
constexpr std::size_t kFullWeightRecords = 50;
// A low byte of at most this many values under a byte that varies is no integer's low byte.
constexpr std::size_t kFewLowValues = 32;
// Share of records a rule may miss and still hold.
constexpr double kDateShare = 0.95;

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
        const std::size_t end = mIn.leftoverFrom && mIn.leftoverFrom < mLength ? mIn.leftoverFrom : mLength;
        for (const KeySpan& k : keySpans()) {
            if (k.end > end)
                break;
            scan(o, k.start);
            keyField(k);
            o = k.end;
        }
        scan(o, end);
        if (end < mLength)
            add(end, mLength - end, kString, 0.7 * mWeight,
                byteRange(int(end), int(mLength - end)) +
                    " hold what the records before left there: records of this layout do not write them.",
                "Filler");
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
            } else if (constant(s)) {
                // A constant length byte before text of that length is a string of fixed length;
                // a constant ASCII letter or digit may begin text; anything else is filler (0xFF
                // in every record is what a program that filled its reserved bytes wrote).
                if (!tryLString(s, e) && !tryPacked(s, e) && !tryBlankPaddedNumber(s, e) &&
                    !(isWordByte(first(s)) && first(s) < 0x80 && tryText(s, e, false)))
                    tryFiller(s, e);
            } else if (!tryLString(s, e) && !tryPacked(s, e) && !tryReal48(s, e) && !tryDouble(s, e) &&
                       !tryDate(s, e) && !tryLongDate(s, e) && !tryTime(s, e) && !trySingle(s, e) &&
                       !tryKeptCString(s, e) && !tryText(s, e, false) && !tryLogical(s, e) &&
                       !tryDosDate(s, e) && !tryInteger(s, e)) {
                add(s, 1, kString, 0.1, "", "Unknown");
            }
            s = static_cast<std::size_t>(mOut.back().offset + mOut.back().size);
        }
    }

    uint8_t first(std::size_t o) const { return mN ? at(0, o) : 0; }

    // Consecutive bytes that each hold one value in every record, whatever the values.
    bool tryFiller(std::size_t s, std::size_t e)
    {
        std::size_t t = s + 1;
        bool same = true;
        while (t < e && constant(t)) {
            same = same && first(t) == first(s);
            ++t;
        }
        const std::string what = same ? hexByte(first(s)) : "the same bytes";
        add(s, t - s, kString, 0.85 * mWeight,
            byteRange(int(s), int(t - s)) + " hold " + what + " in every sampled record: filler.", "Filler");
        return true;
    }

    std::size_t nonPad(std::size_t o) const { return mN - mColumns[o].zero - mColumns[o].space; }

    // Text: every record holds text or NULs, and where a record holds anything but padding the
    // first byte is mostly a letter or digit. The field is judged by the records where it is
    // not empty, so text most records leave empty is text too.
    bool tryText(std::size_t s, std::size_t e, bool wholeSpan)
    {
        const Column& c0 = mColumns[s];
        if (!texty(s))
            return false;
        const std::size_t filled = nonPad(s);
        if (!wholeSpan && filled == 0)
            return false;
        std::size_t t = s + 1;
        bool nulSeen = mColumns[s].zero > 0;
        while (t < e && texty(t)) {
            if (!wholeSpan && textStartsAt(t, s, e, nulSeen))
                break;
            nulSeen = nulSeen || mColumns[t].zero > 0;
            ++t;
        }
        if (wholeSpan && t != e)
            return false;
        const std::size_t textEnd = t;
        if (!wholeSpan)
            t = rightAlignedNumberFrom(s, t);
        const std::size_t numberAt = t;
        // Text of one or two bytes is taken only where most records that hold something there
        // begin with a letter or digit; longer text only where most values that begin there
        // are longer than one character (a small number looks like one).
        if (!wholeSpan && t < s + 3 && double(c0.word) < 0.5 * double(filled))
            return false;
        // Where most values would be one character long, a one-character code (Y/N, a status
        // letter) before other text: set in most records, a letter or digit in nearly all of
        // them, few values, and in most no text right before it (else it is the tail of
        // longer text).
        if (!wholeSpan && t > s + 1 && yesNoBeforeText(s))
            t = s + 1;
        else if (!wholeSpan && t > s + 1 && 2 * nonPadAfter(s) < filled) {
            if (2 * filled < mN || double(c0.word) < 0.9 * double(filled) || c0.distinct() > 16 ||
                (s > 0 && 2 * nonPadAfter(s - 1) >= filled))
                return false;
            t = s + 1;
        }
        if (!wholeSpan && fewValuesNotAscii(s, t))
            return false;
        // A C string: every record has its NUL inside the field (bytes after it are left over),
        // and the text before it is not padded with blanks.
        bool terminated = true;
        uint32_t blankPadded = 0, blankBeforeNul = 0;
        for (std::size_t r = 0; r < mN && terminated; ++r) {
            std::size_t k = s;
            while (k < t && at(r, k) != 0)
                ++k;
            terminated = k < t;
            const bool blankEnd = k > s && k < t && at(r, k - 1) == ' ';
            blankBeforeNul += blankEnd;
            blankPadded += at(r, t - 1) == ' ' || blankEnd;
        }
        terminated = terminated && 2 * blankBeforeNul < mN;
        if (terminated && !wholeSpan && t == textEnd)
            t = leftoverEnd(t, e);
        const std::size_t size = t - s;
        const double words = filled ? double(c0.word) / double(filled) : 0;
        const std::string empty = 200 * (mN - filled) >= mN
                                      ? "; " + percent(1 - share(uint32_t(filled))) + " of them are empty"
                                      : std::string();
        if (terminated) {
            add(s, size, kZString, (0.65 + 0.3 * words) * mWeight,
                byteRange(int(s), int(size)) + " hold text ended by a NUL in every sampled record" + empty +
                    ".",
                "Text");
        } else {
            add(s, size, kString, (0.6 + 0.3 * words) * mWeight,
                byteRange(int(s), int(size)) + " hold printable text in every sampled record" +
                    (blankPadded ? ", padded with blanks" : "") + empty + ".",
                "Text");
        }
        if (t == numberAt && numberAt < textEnd)
            add(numberAt, textEnd - numberAt, kString, (0.6 + 0.2 * words) * mWeight,
                byteRange(int(numberAt), int(textEnd - numberAt)) +
                    " hold digits aligned to the right after the text before them: a number or date as text.",
                "Text");
        return true;
    }

    // Fewer than five records hold something in [s, t), and one of them a byte that is no
    // printable ASCII: most bytes of a number are text bytes, so a number that few records set
    // reads as text that few records fill; the texts of so few records tell too little to be
    // taken for text unless they are plain.
    bool fewValuesNotAscii(std::size_t s, std::size_t t) const
    {
        constexpr std::size_t kFewValues = 5;
        std::size_t held = 0;
        bool plain = true;
        for (std::size_t r = 0; r < mN && held < kFewValues; ++r) {
            bool any = false;
            for (std::size_t o = s; o < t; ++o) {
                const uint8_t c = at(r, o);
                any = any || !isPad(c);
                plain = plain && (isPad(c) || c < 0x7F);
            }
            held += any;
        }
        return held < kFewValues && !plain;
    }

    // Blanks in every record, then digits aligned to the right: a display number whose values
    // never reach its first columns, not filler before text.
    bool tryBlankPaddedNumber(std::size_t s, std::size_t e)
    {
        std::size_t c = s;
        while (c < e && constant(c) && first(c) == ' ')
            ++c;
        if (c == s || c == e)
            return false;
        std::size_t d = c;
        while (d < e && numericColumn(d) && (d == c || nonPad(d) >= nonPad(d - 1)) && nonPad(d) > 0) {
            bool aligned = true;
            for (std::size_t r = 0; r < mN && aligned && d > c; ++r)
                aligned = isPad(at(r, d - 1)) || !isPad(at(r, d));
            if (!aligned)
                break;
            ++d;
        }
        if (d < c + 2 || (d < e && numericColumn(d) && nonPad(d) > 0))
            return false;
        add(s, d - s, kString, 0.6 * mWeight,
            byteRange(int(s), int(d - s)) +
                " hold digits aligned to the right after blanks in every sampled record: "
                "a number or date as text.",
            "Text");
        return true;
    }

    // Only digits, points or padding in every record.
    bool numericColumn(std::size_t o) const
    {
        for (std::size_t r = 0; r < mN; ++r) {
            const uint8_t c = at(r, o);
            if (!isPad(c) && !(c >= '0' && c <= '9') && c != '.' && c != ',')
                return false;
        }
        return true;
    }

    // Where digits aligned to the right (a COBOL display number, BASIC's STR$, a date as text)
    // end the text [s, t): every record holds only digits, points or padding over its last
    // columns, a record holding a digit at a column holds one at every column after it (so
    // the columns fill up towards the end, where left-aligned text thins out), and the column
    // before them holds something else in some records. t when there are no such columns.
    std::size_t rightAlignedNumberFrom(std::size_t s, std::size_t t) const
    {
        if (t < s + 3 || nonPad(t - 1) == 0 || !numericColumn(t - 1))
            return t;
        std::size_t u = t - 1;
        while (u > s + 1 && numericColumn(u - 1) && nonPad(u - 1) <= nonPad(u))
            --u;
        // No display number is wider than 18 digits (COBOL's limit; BASIC's STR$ of a double
        // gives 17 characters): where the columns no value reaches would make it wider, they are
        // the tail of the text before, and the number begins where its digits do.
        constexpr std::size_t kWidestNumber = 18;
        if (t - u > kWidestNumber) {
            while (nonPad(u) == 0)
                ++u;
            return t - u >= 2 && nonPad(u - 1) == 0 ? u : t;
        }
        if (t - u < 2 || numericColumn(u - 1))
            return t;
        // Where the text before runs right up to the digits, it ends in a letter (a Y/N code
        // before an amount), not in a digit or a sign of the same text ("(212) 555-1234").
        uint32_t joined = 0, letters = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            for (std::size_t o = u; o + 1 < t; ++o)
                if (!isPad(at(r, o)) && isPad(at(r, o + 1)))
                    return t;
            const uint8_t before = at(r, u - 1);
            if (!isPad(before) && !isPad(at(r, u))) {
                ++joined;
                letters += isWordByte(before) && !(before >= '0' && before <= '9');
            }
        }
        return letters >= 0.9 * joined ? u : t;
    }

    // The byte at o of the record read before record r.
    uint8_t before(std::size_t r, std::size_t o) const
    {
        if (mIn.previous.size() >= mN * mLength)
            return mIn.previous[r * mLength + o];
        return at(r ? r - 1 : r, o);
    }

    // Where the bytes after texts that end before t (C strings, length-prefixed strings) stop
    // being what the buffer held: a program that does not clear its record leaves there what
    // an older value, or another kind of record, wrote (in 99% of the records a NUL or the byte
    // the record before holds). The bytes the field's own values never reached are the field's
    // all the same; NULs, blanks or bytes above 0x7F that never change at its end are filler
    // (printable bytes that never change are what the first records' longer values left).
    std::size_t leftoverEnd(std::size_t t, std::size_t e) const
    {
        constexpr std::size_t kLeastRecords = 20;
        if (mN < kLeastRecords)
            return t;
        std::size_t end = t;
        for (std::size_t x = t; x < e; ++x) {
            std::size_t kept = 0;
            for (std::size_t r = 0; r < mN; ++r)
                kept += at(r, x) == 0 || at(r, x) == before(r, x);
            if (100 * kept < 99 * mN)
                break;
            if (!constant(x) || (first(x) > ' ' && first(x) < 0x7F))
                end = x + 1;
        }
        return end;
    }

    // A yes/no letter (Y/N, J/N, T/F, blank when unknown) with both letters seen, before text of
    // more values: a one-character code, not the first letter of that text.
    bool yesNoBeforeText(std::size_t o) const
    {
        if (o + 1 >= mLength || !texty(o + 1))
            return false;
        std::bitset<256> letters = mColumns[o].seen, next = mColumns[o + 1].seen;
        letters.reset(' ');
        next.reset(' ');
        next.reset(0);
        constexpr std::array<std::pair<char, char>, 3> kPairs{{{'Y', 'N'}, {'J', 'N'}, {'T', 'F'}}};
        const bool yesNo = letters.count() == 2 && std::any_of(kPairs.begin(), kPairs.end(), [&](auto p) {
                               return letters.test(uint8_t(p.first)) && letters.test(uint8_t(p.second));
                           });
        return yesNo && next.count() > 2;
    }

    // A C string in a buffer the program never clears, where records of other layouts left
    // bytes that are no text after the NUL (so the text rule stops at the first of them): in
    // every record text, not padded with blanks, then a NUL; text in three records or more;
    // and over the whole field, in 99% of the records, each byte after the record's NUL a NUL
    // or the byte the record read before it holds. The field reaches as far as leftoverEnd
    // says past the longest text. Only where some byte inside the texts is not text in every
    // record: elsewhere the text rule decides.
    bool tryKeptCString(std::size_t s, std::size_t e)
    {
        constexpr std::size_t kLeastRecords = 20;
        if (mN < kLeastRecords || !texty(s))
            return false;
        std::vector<std::size_t> nul(mN);
        std::size_t longest = s, withText = 0, blankEnds = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            std::size_t k = s;
            while (k < e && at(r, k) != 0 && isTextByte(at(r, k)))
                ++k;
            if (k == e || at(r, k) != 0)
                return false;
            nul[r] = k;
            longest = std::max(longest, k);
            withText += k > s;
            blankEnds += k > s && at(r, k - 1) == ' ';
        }
        if (withText < 3 || 2 * blankEnds >= withText)
            return false;
        bool cut = false;
        for (std::size_t x = s + 1; x <= longest; ++x) {
            cut = cut || !texty(x);
            std::size_t kept = 0;
            for (std::size_t r = 0; r < mN; ++r)
                kept += x <= nul[r] || at(r, x) == 0 || at(r, x) == before(r, x);
            if (100 * kept < 99 * mN)
                return false;
        }
        if (!cut)
            return false;
        const std::size_t t = leftoverEnd(longest + 1, e);
        add(s, t - s, kZString, 0.7 * mWeight,
            byteRange(int(s), int(t - s)) +
                " hold text ended by a NUL in every sampled record; after the NUL they hold what the "
                "record before held.",
            "Text");
        return true;
    }

    // Records holding something at o and o+1.
    std::size_t nonPadAfter(std::size_t o) const
    {
        std::size_t n = 0;
        for (std::size_t r = 0; r < mN; ++r)
            n += !isPad(at(r, o)) && !isPad(at(r, o + 1));
        return n;
    }

    // Whether text begins at c after bytes that are not text: three bytes or more of text or
    // NUL in every record, the first of them an ASCII letter or digit in nearly every record
    // that holds something there (a date as text after a binary number; the 0xFF of negative
    // numbers and random bytes of a few records are no such start).
    bool textBeginsAt(std::size_t c, std::size_t e) const
    {
        if (c + 3 > e || texty(c - 1) || nonPad(c) == 0 || !texty(c) || !texty(c + 1) || !texty(c + 2))
            return false;
        std::size_t alnum = 0;
        for (std::size_t r = 0; r < mN; ++r)
            alnum += isWordByte(at(r, c)) && at(r, c) < 0x80;
        return 10 * alnum >= 9 * nonPad(c);
    }

    // Whether a rule for a typed value (a length-prefixed text, a packed decimal, a float, a
    // date, a time) holds at s.
    bool typedValueAt(std::size_t s, std::size_t e, bool dosDate = true)
    {
        const std::size_t before = mOut.size();
        const bool found = tryLString(s, e) || tryPacked(s, e) || tryReal48(s, e) || tryDouble(s, e) ||
                           tryDate(s, e) || tryLongDate(s, e) || tryTime(s, e) || trySingle(s, e) ||
                           (dosDate && tryDosDate(s, e));
        mOut.resize(before);
        return found;
    }

    // Whether text that began at s ends before t: the next field's values start at t.
    bool textStartsAt(std::size_t t, std::size_t s, std::size_t e, bool nulSeen) const
    {
        // Blank-padded text followed by NULs that never change: filler after the text; but the
        // NUL that ends the record belongs to the text before it.
        if (!nulSeen && constant(t) && first(t) == 0 && !(t + 1 == e && e == mLength))
            return true;
        // Text padded with NULs followed by blanks that never change: filler after the text.
        if (constant(t) && first(t) == ' ' && mColumns[t - 1].zero > 0)
            return true;
        // Text that a record holds where the record before it holds the same byte is what the
        // buffer kept, not a value the record wrote: with enough records it is left out of the
        // count of text after a NUL. A byte above 0x7F in every record is filler (0xFF), not
        // what a text left.
        constexpr std::size_t kLeastRecords = 20;
        const bool fresh = mN >= kLeastRecords && !(constant(t) && first(t) >= 0x80);
        uint32_t afterNul = 0, afterPadRun = 0, text = 0, written = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            if (isPad(at(r, t)))
                continue;
            ++text;
            afterPadRun += t >= s + 2 && isPad(at(r, t - 1)) && isPad(at(r, t - 2));
            if (!fresh || at(r, t) != before(r, t)) {
                ++written;
                afterNul += at(r, t - 1) == 0;
            }
        }
        if (text == 0)
            return false;
        // Text right after a NUL in most records that wrote text there: a new value begins (in
        // a C string, bytes after the NUL are what an older, longer value left). Not right
        // after the field's first byte: there it is an empty C string over an older value.
        if (t > s + 1 && afterNul > 0 && 2 * afterNul >= written)
            return true;
        // Text that reaches to t in nearly every record (95%), then text at t in a quarter of
        // those or fewer: values cut at the field's size, then a field most records leave
        // empty (one text of mostly one length would thin out after it as sharply, but seldom
        // fills every record to that length).
        if (t >= s + 2 && text >= 3 && 100 * nonPad(t - 1) >= 95 * mN && 4 * text <= nonPad(t - 1))
            return true;
        // Digits running into other text with no blank between, in most records: a number
        // (a date, a code) ends and the next field begins.
        if (t >= s + 2 && digitsEndAt(t))
            return true;
        if (t >= s + 2 && capitalsBeginAt(t))
            return true;
        // Text after two or more bytes of padding in most records that hold text there, and no
        // more records holding text at the next byte: values are left-aligned, so the next
        // field's values start here (digits aligned right fill up towards the end instead).
        return 2 * afterPadRun >= text && (t + 1 >= e || nonPad(t + 1) <= nonPad(t));
    }

    // A capital letter, of three values or more, in nearly every record (95%) that holds
    // something at t, in 20 records and a tenth of the records or more, after a small letter
    // in a third of those that hold something at t-1 or more, or after a blank in every record
    // behind a byte that varies: names, titles and codes begin with a capital, so the values
    // of a field begin at t, right behind the values of a text cut at its field's size
    // ("Wright, J" "Taylor, Tom"). Inside one text no column holds capitals in nearly every
    // record after small letters. With 20 records or more a byte equal to the record before's
    // counts as empty: what the buffer kept of an older value is no value.
    bool capitalsBeginAt(std::size_t t) const
    {
        constexpr std::size_t kLeastRecords = 20;
        const auto upper = [](uint8_t c) { return c >= 'A' && c <= 'Z'; };
        const auto lower = [](uint8_t c) { return c >= 'a' && c <= 'z'; };
        uint32_t here = 0, capitals = 0, before = 0, small = 0;
        std::bitset<256> letters;
        for (std::size_t r = 0; r < mN; ++r) {
            const uint8_t a = at(r, t - 1), b = at(r, t);
            if (!isPad(b) && (mN < kLeastRecords || b != this->before(r, t))) {
                ++here;
                capitals += upper(b);
                letters.set(b);
            }
            if (!isPad(a)) {
                ++before;
                small += lower(a);
            }
        }
        const bool blankColumn = t >= 2 && constant(t - 1) && first(t - 1) == ' ' && !constant(t - 2);
        return here >= 20 && 10 * here >= mN && letters.count() >= 3 && 100 * capitals >= 95 * here &&
               ((3 * small >= before && before > 0) || blankColumn);
    }

    // Digits in nearly every record that holds something at t-1, letters in nearly every one
    // that holds something at t, and three or more, and 30%, of the records holding something
    // at t holding something at t-1 too: no blank between, as in "12 High Street" (a number or
    // date as text is often left empty while the text after it is not).
    bool digitsEndAt(std::size_t t) const
    {
        uint32_t before = 0, beforeDigits = 0, here = 0, hereLetters = 0, joined = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            const uint8_t a = at(r, t - 1), b = at(r, t);
            if (!isPad(a)) {
                ++before;
                beforeDigits += a >= '0' && a <= '9';
            }
            if (!isPad(b)) {
                ++here;
                hereLetters += isWordByte(b) && !(b >= '0' && b <= '9');
                joined += !isPad(a);
            }
        }
        return here > 0 && before > 0 && beforeDigits >= 0.9 * before && hereLetters >= 0.9 * here &&
               joined >= 3 && joined >= 0.3 * here;
    }

    // A length byte, then that many bytes of text whose last is no blank (texts are kept
    // trimmed; blank-padded text that starts with a letter or digit fails there), then whatever
    // the buffer held. A value of the longest length may end in a blank: a text longer than the
    // declared size is cut there, wherever its words end. Only some cuts fall after a word, so
    // where a third or more of the values of that length end in a blank, those blanks are
    // padding and count too.
    bool tryLString(std::size_t s, std::size_t e)
    {
        std::size_t longest = 0, filled = 0;
        std::vector<uint32_t> blankEnds(256, 0), ofLength(256, 0);
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
            if (n) {
                ++filled;
                ++ofLength[n];
                blankEnds[n] += at(r, s + n) == ' ';
            }
        }
        const bool cut = 3 * blankEnds[longest] < ofLength[longest];
        const std::size_t shorter = cut ? filled - ofLength[longest] : filled;
        const std::size_t blankEnd =
            std::accumulate(blankEnds.begin(), blankEnds.begin() + std::ptrdiff_t(longest) + !cut, 0u);
        const bool fixed = lengths.count() == 1 && longest > 0 && longest < 0x20;
        // A small number before text looks like a short length: lengths up to 2 are not enough.
        if (filled == 0 || (!fixed && (lengths.count() < 2 || longest < 3)) || 20 * blankEnd > shorter ||
            (fixed && 20 * blankEnds[longest] > filled))
            return false;
        std::size_t t = s + 1 + longest;
        while (t < e && padShare(t) == 1.0)
            ++t;
        t = leftoverEnd(t, e);
        add(s, t - s, kLString, 0.85 * mWeight,
            byteRange(int(s), int(t - s)) + ": the first byte is the length (" +
                (fixed ? "always " + std::to_string(longest)
                       : std::to_string(lengths.count()) + " lengths up to " + std::to_string(longest)) +
                ") of the text that follows in every sampled record.",
            "Text");
        return true;
    }

    // A packed decimal: two digits a byte, the last half-byte the sign (C or F positive, D
    // negative), at the same byte in nearly every record that is not all zero.
    bool tryPacked(std::size_t s, std::size_t e)
    {
        constexpr std::size_t kLongest = 10;
        std::vector<std::size_t> ends(std::min(e - s, kLongest) + 1, 0);
        std::size_t nonZero = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            bool zero = true;
            for (std::size_t k = s; k < e && k < s + kLongest; ++k) {
                const uint8_t b = at(r, k);
                zero = zero && b == 0;
                if ((b >> 4) > 9)
                    break;
                if ((b & 0xF) > 9) {
                    const unsigned sign = b & 0xF;
                    if (sign == 0xC || sign == 0xD || sign == 0xF)
                        ++ends[k - s + 1];
                    break;
                }
            }
            nonZero += !zero;
        }
        std::size_t size = 0;
        for (std::size_t n = 2; n < ends.size(); ++n)
            if (ends[n] > ends[size])
                size = n;
        if (size < 2 || nonZero < 2 || double(ends[size]) < 0.95 * double(nonZero))
            return false;
        // Two distinct values, and not mostly printable: text whose letters' halves read as
        // digits ("Custo": 43 75 73 74 6F) ends in a sign often enough.
        std::set<std::string> values;
        std::size_t printable = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            const uint8_t* p = &mIn.records[r * mLength + s];
            if (values.size() < 2)
                values.insert(std::string(reinterpret_cast<const char*>(p), size));
            printable += std::all_of(p, p + size, [](uint8_t b) { return b >= 0x20 && b < 0x7F; });
        }
        if (values.size() < 2 || 2 * printable >= mN)
            return false;
        // Bytes that never change are leading zeros (or a last digit 0 before the sign).
        for (std::size_t k = s; k < s + size; ++k)
            if (constant(k) && first(k) != 0 && !(k + 1 == s + size && (first(k) >> 4) == 0))
                return false;
        add(s, size, kDecimal, 0.8 * mWeight,
            byteRange(int(s), int(size)) +
                " hold two decimal digits a byte and a sign in the last half-byte in " +
                percent(double(ends[size]) / double(nonZero)) +
                " of the sampled records where they are not zero: a packed decimal.",
            "Amount");
        return true;
    }

    // Whether a floating-point reading gives plausible amounts: neither tiny nor huge, with at
    // most four decimals in nearly every record where the bytes are not zero, some of them with
    // decimals, and more than one value. precision: the bits of the mantissa; a value is round
    // when the rounding error of the type explains what separates it from a whole number of
    // hundredths (or tenths, thousandths...), and only while that error is well below one.
    template <typename Decode>
    bool roundValues(std::size_t s, std::size_t size, int precision, Decode decode, double& shareOut) const
    {
        const double relative = std::ldexp(1.0, 2 - precision), largest = std::ldexp(1.0, precision - 4);
        std::size_t nonZero = 0, good = 0, fractional = 0, undecided = 0;
        std::set<double> values;
        for (std::size_t r = 0; r < mN; ++r) {
            const uint8_t* p = &mIn.records[r * mLength + s];
            if (std::all_of(p, p + size, [](uint8_t b) { return b == 0; }))
                continue;
            ++nonZero;
            const double v = decode(p);
            const double a = std::fabs(v);
            if (!std::isfinite(v) || a < 1e-3 || a > 1e13)
                continue;
            if (100 * a >= largest) {
                ++undecided; // too large for the type to keep cents: the reading cannot tell
                continue;
            }
            for (double scale = 1; scale <= 1e4; scale *= 10) {
                const double x = v * scale;
                if (std::fabs(x) < largest &&
                    std::fabs(x - std::round(x)) <= std::max(1e-9, relative * std::fabs(x))) {
                    ++good;
                    fractional += scale > 1;
                    if (values.size() < 2)
                        values.insert(v);
                    break;
                }
            }
        }
        const std::size_t decided = nonZero - undecided;
        shareOut = decided ? double(good) / double(decided) : 0;
        return decided >= 3 && 10 * decided >= nonZero && values.size() >= 2 && fractional > 0 &&
               shareOut >= kDateShare;
    }

    bool addFloat(std::size_t s, std::size_t size, int type, double good, const char* what)
    {
        add(s, size, type, (0.6 + 0.3 * good) * mWeight,
            byteRange(int(s), int(size)) + " read as " + what +
                " are amounts with at most four decimals in " + percent(good) +
                " of the sampled records where they are not zero.",
            "Amount");
        return true;
    }

    // size bytes that read as amounts of the type, decoded by decode with precision bits of
    // mantissa.
    template <typename Decode>
    bool tryAmount(std::size_t s, std::size_t e, std::size_t size, int precision, Decode decode, int type,
                   const char* what)
    {
        double good;
        if (s + size > e || !roundValues(s, size, precision, decode, good))
            return false;
        return addFloat(s, size, type, good, what);
    }

    // Turbo Pascal's 6-byte Real.
    bool tryReal48(std::size_t s, std::size_t e)
    {
        return tryAmount(s, e, 6, 40, real48, kDelphiReal, "6-byte Pascal Reals");
    }

    bool tryDouble(std::size_t s, std::size_t e)
    {
        const auto decode = [](const uint8_t* p) {
            double v;
            std::memcpy(&v, p, 8);
            return v;
        };
        return tryAmount(s, e, 8, 53, decode, kFloat, "8-byte IEEE floats");
    }

    // A 4-byte IEEE float, or Microsoft's binary format of that size (BASIC's MKS$). Amounts with
    // decimals fill the low bits of the mantissa: two low bytes of only 0x00 and 0xFF are the top
    // of an integer before, under text that reads as an exponent.
    bool trySingle(std::size_t s, std::size_t e)
    {
        const auto ieee = [](const uint8_t* p) {
            float v;
            std::memcpy(&v, p, 4);
            return double(v);
        };
        if (s + 4 > e || (signLike(s) && signLike(s + 1)))
            return false;
        return tryAmount(s, e, 4, 24, ieee, kFloat, "4-byte IEEE floats") ||
               tryAmount(s, e, 4, 24, mbfSingle, kBFloat, "4-byte Microsoft binary floats");
    }

    // An exponent byte (bias 129, 0 for zero), 39 bits of mantissa below an implied 1, the sign
    // in the top bit of the last byte.
    static double real48(const uint8_t* p)
    {
        if (p[0] == 0)
            return 0;
        uint64_t mantissa = 0;
        for (int i = 0; i < 5; ++i)
            mantissa |= uint64_t(p[1 + i]) << (8 * i);
        mantissa &= (uint64_t(1) << 39) - 1;
        const double v = std::ldexp(1.0 + double(mantissa) / double(uint64_t(1) << 39), p[0] - 129);
        return p[5] & 0x80 ? -v : v;
    }

    // Three bytes of mantissa with the sign on top of the third, then the exponent (bias 129).
    static double mbfSingle(const uint8_t* p)
    {
        if (p[3] == 0)
            return 0;
        const uint32_t mantissa = uint32_t(p[2] & 0x7F) << 16 | uint32_t(p[1]) << 8 | p[0];
        const double v = std::ldexp(1.0 + double(mantissa) / double(1 << 23), p[3] - 129);
        return p[2] & 0x80 ? -v : v;
    }

    // One byte that holds only 0 and 1.
    bool tryLogical(std::size_t s, std::size_t)
    {
        const std::bitset<256>& seen = mColumns[s].seen;
        if (!seen.test(0) || !seen.test(1) || seen.count() != 2)
            return false;
        add(s, 1, kLogical, 0.6 * mWeight, byteRange(int(s), 1) + " hold only 0 and 1: a yes/no value.",
            "Flag");
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
        return nonZero >= 2 && lows.count() >= 2 && shareOut >= kDateShare;
    }

    // Four bytes of a date type that read as dates from 1900 to 2100. reading: how the bytes
    // are read, as the reason says it.
    bool tryDateOf(std::size_t s, std::size_t e, int type, const char* reading)
    {
        double good;
        std::size_t nonZero;
        if (s + 4 > e || !plausibleShare(type, s, 4, 1900, 2100, good, nonZero))
            return false;
        add(s, 4, type, (0.7 + 0.25 * good) * mWeight,
            byteRange(int(s), 4) + " read as " + reading + " from 1900 to 2100 in " + percent(good) +
                " of the " + std::to_string(nonZero) + " sampled records where they are not zero.",
            "Date");
        return true;
    }

    bool tryDate(std::size_t s, std::size_t e)
    {
        return tryDateOf(s, e, kDate, "day, month and a two-byte year give a date");
    }

    bool tryLongDate(std::size_t s, std::size_t e)
    {
        return tryDateOf(s, e, kLongDate, "a 4-byte integer are dates YYYYMMDD");
    }

    // A DOS date: day in bits 0-4, month in 5-8, years since 1980 in 9-15 (a file's date as the
    // FAT keeps it, and what many DOS programs stored). In 95% of the records where the two
    // bytes are not zero, and days and months of three values or more: narrow counts and codes
    // repeat few.
    bool tryDosDate(std::size_t s, std::size_t e)
    {
        if (s + 2 > e)
            return false;
        std::size_t nonZero = 0, good = 0;
        std::bitset<32> days;
        std::bitset<16> months;
        for (std::size_t r = 0; r < mN; ++r) {
            const unsigned v = at(r, s) | unsigned(at(r, s + 1)) << 8;
            if (v == 0)
                continue;
            ++nonZero;
            const unsigned day = v & 31, month = v >> 5 & 15;
            if (day >= 1 && month >= 1 && month <= 12 && (v >> 9) <= 60) {
                ++good;
                days.set(day);
                months.set(month);
            }
        }
        if (nonZero < 3 || double(good) < kDateShare * double(nonZero) || days.count() < 3 ||
            months.count() < 3)
            return false;
        add(s, 2, kUnsigned, 0.6 * mWeight,
            byteRange(int(s), 2) +
                " read as a DOS date (day, month and years since 1980 in bits) give dates from "
                "1980 to 2040 in " +
                percent(double(good) / double(nonZero)) + " of the sampled records where they are not zero.",
            "Date");
        return true;
    }

    bool tryTime(std::size_t s, std::size_t e)
    {
        double good;
        std::size_t nonZero;
        if (s + 4 > e || !plausibleShare(kTime, s, 4, 0, 0, good, nonZero))
            return false;
        // Seconds, minutes and hours all vary (hundredths may be kept 0): small numbers side by
        // side whose third byte never changes are in range, but no time keeps its minutes.
        if (constant(s + 1) || constant(s + 2) || constant(s + 3))
            return false;
        // Digits and blanks read as hundredths, seconds and minutes are in range too: text
        // holds them in most records, a time's three bytes are 0x20 or above in few.
        std::size_t printable = 0;
        for (std::size_t r = 0; r < mN; ++r)
            printable += isTextByte(at(r, s)) && isTextByte(at(r, s + 1)) && isTextByte(at(r, s + 2));
        if (2 * printable >= mN)
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

    // Whether the four bytes at s, read as an unsigned integer, do not fall from one record to
    // the next in 90% of the records: numbers given out in turn, times of writing.
    bool mostlyRising(std::size_t s) const
    {
        const auto value = [this, s](std::size_t r) {
            return uint32_t(at(r, s)) | uint32_t(at(r, s + 1)) << 8 | uint32_t(at(r, s + 2)) << 16 |
                   uint32_t(at(r, s + 3)) << 24;
        };
        std::size_t rising = 0;
        for (std::size_t r = 1; r < mN; ++r)
            rising += value(r) >= value(r - 1);
        return 10 * rising >= 9 * (mN - 1);
    }

    // How many of a byte's 256 values n records spread evenly over it would show.
    static double spreadOver(std::size_t n) { return 256.0 * (1.0 - std::exp(-double(n) / 256.0)); }

    // A byte of most of its 256 values, then a byte of bits: values 0 to 1, 3, 7 or 15, each
    // held by half as many records as the commonest or more, the top one by 64 records or more,
    // where the first byte still reaches its top quarter in 15% of the records or more. Read
    // as one number the values would spread evenly up to exactly 511, 1023, 2047 or 4095; a
    // byte beside a yes/no value or a few bits of flags is far likelier (a number up to a few
    // hundred, read with its top high byte, keeps its low byte below what it reaches with 0).
    bool bitsBesideByte(std::size_t s) const
    {
        if (mColumns[s].distinct() < 128)
            return false;
        const std::bitset<256>& seen = mColumns[s + 1].seen;
        const std::size_t top = seen.count() - 1;
        if (top == 0 || top > 15 || (top & (top + 1)) != 0)
            return false;
        for (std::size_t v = 0; v <= top; ++v)
            if (!seen.test(v))
                return false;
        std::array<std::size_t, 16> held{};
        std::size_t high = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            ++held[at(r, s + 1)];
            high += at(r, s + 1) == top && at(r, s) >= 0xC0;
        }
        const std::size_t most = *std::max_element(held.begin(), held.begin() + std::ptrdiff_t(top) + 1);
        const std::size_t least = *std::min_element(held.begin(), held.begin() + std::ptrdiff_t(top) + 1);
        return 2 * least >= most && held[top] >= 2 * kFewLowValues && 100 * high >= 15 * held[top];
    }

    // Whether the four bytes at s are a word of any value before a small count: the low word
    // spreads over most of its values (the low byte 64 values or more, the second 60% as many)
    // alike whether the upper word is zero or not (the shares of low words below 0x4000 within
    // 0.1 of each other, with 32 records or more each way; in one number of mostly small
    // values, like an amount, the low word is small where the upper word is zero and spread
    // where it is not), the upper word is 0 in twice as many records as it is 1 (counts are
    // mostly small; a number given out evenly past 65,535 holds each upper value alike), and
    // the four bytes do not rise record after record.
    bool wordBeforeSmallCount(std::size_t s) const
    {
        constexpr std::size_t kLeastEach = 32;
        if (mColumns[s].distinct() < 64 || 5 * mColumns[s + 1].distinct() < 3 * mColumns[s].distinct() ||
            constant(s + 2) || mColumns[s + 3].seen.test(0xFF) || mostlyRising(s))
            return false;
        std::size_t zeroUpper = 0, oneUpper = 0, lowInZero = 0, lowInOther = 0;
        for (std::size_t r = 0; r < mN; ++r) {
            const unsigned upper = at(r, s + 2) | unsigned(at(r, s + 3)) << 8;
            const bool low = at(r, s + 1) < 0x40;
            zeroUpper += upper == 0;
            oneUpper += upper == 1;
            (upper == 0 ? lowInZero : lowInOther) += low;
        }
        const std::size_t other = mN - zeroUpper;
        if (zeroUpper < kLeastEach || other < kLeastEach || zeroUpper < 2 * oneUpper)
            return false;
        const double a = double(lowInZero) / double(zeroUpper), b = double(lowInOther) / double(other);
        return std::fabs(a - b) < 0.1;
    }

    // Whether the two bytes at c, read as DOS dates, lie in 1980 and 1981 only (the high byte
    // holds 0 to 1 or 0 to 3) with a byte that is zero in every record after them: the middle
    // bytes of an integer spread evenly whose range ends a little past 65,535 or 196,607 (item
    // numbers of five digits), whose second byte then reads as a day and a month from January to July and its
    // third as the month's top bit. Few real dates lie in the first two years of the DOS calendar.
    bool epochOnlyBelowZero(std::size_t c, std::size_t e) const
    {
        if (c + 3 > e || !constant(c + 2) || first(c + 2) != 0)
            return false;
        const std::bitset<256>& high = mColumns[c + 1].seen;
        return (high >> 4).none();
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
                // Values that reach past a byte take most of its 256 values; a byte of a few
                // values under one that is not zero in many records ends a small field (two
                // bytes of flags side by side, a count up to 5,000 before a count up to 20).
                const std::size_t reaching = mN - mColumns[c].zero;
                if (reaching >= 2 * kFewLowValues &&
                    (prev <= kFewLowValues || double(prev) < 0.5 * spreadOver(reaching)))
                    break;
                if (r == 1 && bitsBesideByte(s))
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
        else if (k == 2 || k == 4)
            size = std::max(size, k);
        else if (k == 8 && r <= 2)
            size = 2; // quiet bytes running on past any integer size are filler after it
        // A low byte of most of its 256 values that never carries into the quiet bytes after it,
        // where they run on past two: a byte of its own (flags, a code) before filler.
        if (r == 1 && k > 2 && mColumns[s].distinct() >= 128)
            size = 1;
        // Varying bytes that run one to three past an integer size and end in a byte of signs:
        // a signed integer of 2 or 4 bytes ends at that byte, so the bytes before it are fields
        // of their own (a byte of flags before a signed amount).
        if ((r == 3 || (r > 4 && r < 8)) && signLike(s + r - 1) && !signLike(s))
            size = r == 3 || r == 5 ? 1 : 2;
        if (size == 8 && r == 8 && mColumns[s + 7].distinct() >= mColumns[s].distinct() && !signLike(s + 7))
            size = 4; // eight bytes that vary alike are more likely two integers of four
        // Four bytes that vary alike, where the four after the first two read as an integer
        // whose top byte is quiet or holds signs: a word of any value before that integer (a
        // number spread evenly over four bytes is rarer than two fields side by side).
        const auto distinctAt = [this](std::size_t o) { return mColumns[o].distinct(); };
        if (size == 4 && s + 6 <= e && !signLike(s + 3) && 5 * distinctAt(s + 3) >= 3 * distinctAt(s) &&
            5 * distinctAt(s + 1) >= 3 * distinctAt(s) && !constant(s + 5) &&
            (signLike(s + 5) || 2 * distinctAt(s + 5) < distinctAt(s + 2)))
            size = 2;
        // A typed value or text starting inside ends the integer before it.
        for (std::size_t c = s + 1; c < s + size; ++c)
            if (!constant(c) && (textBeginsAt(c, e) || typedValueAt(c, e, !epochOnlyBelowZero(c, e)))) {
                size = c - s >= 4 ? 4 : c - s >= 2 ? 2 : 1;
                break;
            }
        // Four bytes that each vary nearly as much as the low one (60%), the top one not holding
        // signs: two words of any value side by side (a 4-byte number whose values spread evenly
        // over its whole range is rarer than two such words).
        if (size == 4 && !signLike(s + 3) && 5 * distinctAt(s + 1) >= 3 * distinctAt(s) &&
            5 * distinctAt(s + 2) >= 3 * distinctAt(s) &&
            (5 * distinctAt(s + 3) >= 3 * distinctAt(s) || (distinctAt(s) >= 64 && !mostlyRising(s))))
            size = 2;
        if (size == 4 && wordBeforeSmallCount(s))
            size = 2;
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

namespace {

// Per group of records and byte position: the share of records holding a NUL or blank there,
// the share holding text, and the share holding the byte the record read before it holds
// (a program writing records from one buffer leaves the bytes a layout does not write as the
// last record left them).
struct GroupProfile {
    std::vector<double> pad, text, carried;
    std::size_t following = 0; // records of the group that follow another record
};

GroupProfile profileOf(const InferenceInput& in, const std::vector<std::size_t>& records)
{
    const std::size_t length = in.recordLength;
    GroupProfile p{std::vector<double>(length), std::vector<double>(length), std::vector<double>(length)};
    for (std::size_t r : records) {
        p.following += r > 0;
        for (std::size_t o = 0; o < length; ++o) {
            const uint8_t c = in.records[r * length + o];
            p.pad[o] += isPad(c);
            p.text[o] += isTextByte(c) && c != ' ';
            p.carried[o] += r > 0 && c == in.records[(r - 1) * length + o];
        }
    }
    for (std::size_t o = 0; o < length; ++o) {
        p.pad[o] /= double(records.size());
        p.text[o] /= double(records.size());
        p.carried[o] = p.following ? p.carried[o] / double(p.following) : 0;
    }
    return p;
}

// Bytes where two groups differ as fields of different kinds do: one mostly padding or text
// where the other mostly is not, or one writing bytes that the other leaves as they were.
std::size_t differingBytes(const GroupProfile& a, const GroupProfile& b, std::size_t from, std::size_t to)
{
    constexpr double kApart = 0.6;
    std::size_t n = 0;
    for (std::size_t o = from; o < to; ++o)
        n += std::fabs(a.pad[o] - b.pad[o]) >= kApart || std::fabs(a.text[o] - b.text[o]) >= kApart ||
             std::fabs(a.carried[o] - b.carried[o]) >= kApart;
    return n;
}

// Where the bytes that records of a group never write begin: from there to the end, nearly
// every record holds what the record before it held. A key segment is written by every
// record, so the bytes start after the last one.
std::size_t leftoverFrom(const InferenceInput& in, const std::vector<KeySpec>& segments,
                         const GroupProfile& p, const std::vector<std::size_t>& records)
{
    constexpr double kCarried = 0.998;
    constexpr std::size_t kLeastFollowing = 20;
    const std::size_t length = in.recordLength;
    if (p.following < kLeastFollowing)
        return 0;
    std::size_t t = length;
    while (t > 0 && p.carried[t - 1] >= kCarried)
        --t;
    for (const KeySpec& k : segments)
        if (k.position >= 1)
            t = std::max<std::size_t>(t, k.position - 1 + k.length);
    if (t >= length || t < 2)
        return 0;
    // Some of the bytes vary in a tenth of the records or more: what other layouts' values
    // left, not the rarely reached end of this layout's last text.
    for (std::size_t o = t; o < length; ++o) {
        std::array<uint32_t, 256> counts{};
        for (std::size_t r : records)
            ++counts[in.records[r * length + o]];
        if (10 * (records.size() - *std::max_element(counts.begin(), counts.end())) >= records.size())
            return t;
    }
    return 0;
}

// Kinds of value a key segment and a proposed field may share: integers, text, or the type itself.
int familyOf(int type)
{
    if (type == kInteger || type == kUnsigned || type == kAutoincrement)
        return -1;
    if (type == kString || type == kLString || type == kZString || type == kNumeric)
        return -2;
    return type;
}

int familyOf(const KeySpec& k)
{
    if (k.flags & KeyExtendedType)
        return familyOf(int(k.extendedType));
    return familyOf(k.flags & KeyBinary ? kInteger : kString);
}

// The key segments each group's draft starts from. The data file applies every segment to every
// record, but where a segment lies over bytes that differ in kind from one group to another, it
// was declared for the fields of some layouts only. It stays in the drafts of the groups whose
// own bytes make one field of it; when none do, of those whose bytes begin there a value of the
// segment's kind; when none do either, of every group.
std::vector<std::vector<KeySpec>> segmentsPerGroup(const InferenceInput& in,
                                                   const std::vector<GroupProfile>& profiles,
                                                   std::vector<InferenceInput> subs)
{
    const std::size_t groups = profiles.size();
    std::vector<std::vector<KeySpec>> out(groups);
    std::vector<KeySpec> disputed;
    for (const KeySpec& k : in.keySegments) {
        const std::size_t from = k.position >= 1 ? k.position - 1u : 0, to = from + k.length;
        bool differ = false;
        for (std::size_t a = 0; a < groups && !differ && k.position >= 1 && to <= in.recordLength; ++a)
            for (std::size_t b = a + 1; b < groups && !differ; ++b)
                differ = differingBytes(profiles[a], profiles[b], from, to) > 0;
        (differ ? disputed : out[0]).push_back(k);
    }
    for (std::size_t g = 1; g < groups; ++g)
        out[g] = out[0];
    if (disputed.empty())
        return out;
    // Whether each group's draft without the disputed segments makes one field of them, or
    // begins there a value of their kind.
    std::vector<std::vector<bool>> whole(groups, std::vector<bool>(disputed.size())), kind = whole;
    for (std::size_t g = 0; g < groups; ++g) {
        subs[g].keySegments = out[g];
        const std::vector<InferredField> fields = inferFields(subs[g]);
        for (std::size_t d = 0; d < disputed.size(); ++d) {
            const int from = disputed[d].position - 1, to = from + disputed[d].length;
            bool split = false, sameKind = false;
            for (const InferredField& f : fields) {
                split = split || (f.offset > from && f.offset < to);
                sameKind = sameKind || (f.offset == from && familyOf(f.typeCode) == familyOf(disputed[d]));
            }
            whole[g][d] = !split;
            kind[g][d] = sameKind;
        }
    }
    // A segment of a declared type stays out of the groups whose values mostly do not decode
    // as that type, where some group's do (a Pascal string's length byte over another layout's
    // text).
    std::vector<std::vector<bool>> decodes(groups, std::vector<bool>(disputed.size(), true));
    for (std::size_t d = 0; d < disputed.size(); ++d) {
        if (!(disputed[d].flags & KeyExtendedType) || typeNameOf(disputed[d].extendedType).empty())
            continue;
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t from = std::size_t(disputed[d].position - 1), size = disputed[d].length;
            std::size_t good = 0;
            FieldValue v;
            for (std::size_t r = 0; r < subs[g].count; ++r)
                good += decodeFieldValue(int(disputed[d].extendedType),
                                         subs[g].records.subspan(r * in.recordLength + from, size), 0,
                                         v) != DecodeOutcome::Undecodable;
            decodes[g][d] = 10 * good >= 9 * subs[g].count;
        }
        if (std::none_of(decodes.begin(), decodes.end(), [d](const auto& f) { return bool(f[d]); }))
            for (auto& f : decodes)
                f[d] = true;
        for (std::size_t g = 0; g < groups; ++g) {
            whole[g][d] = whole[g][d] && decodes[g][d];
            kind[g][d] = kind[g][d] && decodes[g][d];
        }
    }
    const auto any = [](const std::vector<std::vector<bool>>& of, std::size_t d) {
        return std::any_of(of.begin(), of.end(), [d](const auto& f) { return bool(f[d]); });
    };
    for (std::size_t d = 0; d < disputed.size(); ++d) {
        const std::vector<std::vector<bool>>* owners = any(whole, d)  ? &whole
                                                       : any(kind, d) ? &kind
                                                                      : &decodes;
        for (std::size_t g = 0; g < groups; ++g)
            if ((*owners)[g][d])
                out[g].push_back(disputed[d]);
    }
    return out;
}

std::string tagText(const std::string& tag)
{
    std::string s;
    bool printable = std::all_of(tag.begin(), tag.end(), [](char c) { return isTextByte(uint8_t(c)); });
    if (printable)
        return "\"" + tag + "\"";
    for (char c : tag)
        s += (s.empty() ? "" : " ") + hexByte(uint8_t(c));
    return s;
}

using TagGroups = std::vector<std::pair<std::string, std::vector<std::size_t>>>;

// The records grouped by a tag at o (with the byte after it when it follows from it: a
// two-letter prefix such as "CU"/"OR"), when they split into groups of different layouts.
bool groupsByTagAt(const InferenceInput& in, std::size_t n, std::size_t o, std::size_t& tagSize,
                   TagGroups& kept, std::vector<GroupProfile>& profiles)
{
    constexpr std::size_t kLeastGroup = 5, kMostGroups = 8;
    const std::size_t length = in.recordLength;
    auto byteAt = [&](std::size_t r, std::size_t k) { return in.records[r * length + k]; };
    std::map<uint8_t, std::set<uint8_t>> seconds;
    for (std::size_t r = 0; r < n && seconds.size() <= kMostGroups; ++r)
        seconds[byteAt(r, o)].insert(byteAt(r, o + 1));
    if (seconds.size() < 2 || seconds.size() > kMostGroups)
        return false;
    // Past the first byte a tag is a byte a key segment covers (programs read the records of
    // one kind in order by a key that holds it), and no yes/no byte (0/1, Y/N, J/N, T/F, blank
    // for unknown), however the fields after it are filled: letters of a text, a flag, are not.
    if (o > 0) {
        if (std::none_of(in.keySegments.begin(), in.keySegments.end(), [o](const KeySpec& k) {
                return k.position >= 1 && o >= k.position - 1u && o < k.position - 1u + k.length;
            }))
            return false;
        std::set<uint8_t> values;
        for (const auto& v : seconds)
            if (v.first != 0 && v.first != ' ')
                values.insert(v.first);
        for (const std::set<uint8_t>& yesNo : {std::set<uint8_t>{1}, std::set<uint8_t>{'Y', 'N'},
                                               std::set<uint8_t>{'J', 'N'}, std::set<uint8_t>{'T', 'F'}})
            if (std::includes(yesNo.begin(), yesNo.end(), values.begin(), values.end()))
                return false;
    }
    const bool prefix =
        std::all_of(seconds.begin(), seconds.end(), [](const auto& v) { return v.second.size() == 1; }) &&
        std::set<uint8_t>{seconds.begin()->second.begin(), seconds.begin()->second.end()} !=
            std::set<uint8_t>{seconds.rbegin()->second.begin(), seconds.rbegin()->second.end()};
    tagSize = prefix ? 2 : 1;
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t r = 0; r < n; ++r)
        groups[std::string(reinterpret_cast<const char*>(&in.records[r * length + o]), tagSize)].push_back(r);
    const std::size_t least = std::max<std::size_t>(kLeastGroup, n / 50);
    std::size_t rare = 0;
    kept.clear();
    for (auto& [tag, records] : groups) {
        if (records.size() < least)
            rare += records.size();
        else
            kept.emplace_back(tag, std::move(records));
    }
    // Records of tags too rare to judge must be few, else the byte is data, not a tag.
    if (kept.size() < 2 || rare * 20 > n)
        return false;
    profiles.clear();
    for (const auto& g : kept)
        profiles.push_back(profileOf(in, g.second));
    // Some two groups must differ in layout over a part of the record, not only in a value: one
    // byte in twenty for a leading tag, one in eight for a tag further in (a flag whose records
    // fill some other field more often is no tag).
    const std::size_t enough = std::max<std::size_t>(2, (length - tagSize) / (o == 0 ? 20 : 8));
    for (std::size_t a = 0; a < profiles.size(); ++a)
        for (std::size_t b = a + 1; b < profiles.size(); ++b)
            if (differingBytes(profiles[a], profiles[b], 0, o) +
                    differingBytes(profiles[a], profiles[b], o + tagSize, length) >=
                enough)
                return true;
    return false;
}

} // namespace

InferredVariants inferVariants(const InferenceInput& in)
{
    // Enough records for groups that say something, and a record with more than the tag. The
    // tag is looked for from the first byte on, up to the 32nd (after a number or code that
    // leads every record).
    constexpr std::size_t kLeastRecords = 20, kFarthestTag = 32;
    InferredVariants out;
    const std::size_t length = in.recordLength;
    std::size_t n = in.count;
    if (length && in.records.size() < n * length)
        n = in.records.size() / length;
    if (n < kLeastRecords || length < 4)
        return out;
    std::size_t tagAt = 0, tagSize = 1;
    TagGroups kept;
    std::vector<GroupProfile> profiles;
    while (tagAt + 1 < length && tagAt < kFarthestTag &&
           !groupsByTagAt(in, n, tagAt, tagSize, kept, profiles))
        ++tagAt;
    if (tagAt + 1 >= length || tagAt >= kFarthestTag)
        return out;
    out.offset = int(tagAt);
    out.size = int(tagSize);
    std::string list;
    std::vector<std::vector<uint8_t>> bytes(kept.size()), previous(kept.size());
    std::vector<InferenceInput> subs(kept.size());
    const auto recordAt = [&](std::size_t r) { return in.records.begin() + std::ptrdiff_t(r * length); };
    for (std::size_t g = 0; g < kept.size(); ++g) {
        const auto& [tag, records] = kept[g];
        bytes[g].reserve(records.size() * length);
        previous[g].reserve(records.size() * length);
        for (std::size_t r : records) {
            bytes[g].insert(bytes[g].end(), recordAt(r), recordAt(r + 1));
            previous[g].insert(previous[g].end(), recordAt(r ? r - 1 : r), recordAt(r ? r : r + 1));
        }
        subs[g].recordLength = length;
        subs[g].count = records.size();
        subs[g].records = bytes[g];
        subs[g].previous = previous[g];
        list += (list.empty() ? "" : ", ") + tagText(tag) + " (" + std::to_string(records.size()) + ")";
    }
    const std::vector<std::vector<KeySpec>> segments = segmentsPerGroup(in, profiles, subs);
    for (std::size_t g = 0; g < kept.size(); ++g) {
        InferredVariant v;
        v.tag = kept[g].first;
        v.records = kept[g].second;
        subs[g].keySegments = segments[g];
        subs[g].leftoverFrom = leftoverFrom(in, segments[g], profiles[g], v.records);
        v.fields = inferFields(subs[g]);
        out.variants.push_back(std::move(v));
    }
    out.reason = byteRange(int(tagAt), int(tagSize)) + (tagSize == 1 ? " tells" : " tell") + " apart records of " +
                 std::to_string(kept.size()) + " layouts: " + list + " sampled records; the bytes after " +
                 (tagSize == 1 ? "it" : "them") + " differ in kind from one group to the other.";
    return out;
}

namespace {

InferenceInput inputOf(const DataSample& sample)
{
    InferenceInput in;
    in.recordLength = sample.recordLength;
    in.count = sample.count;
    in.records = sample.bytes;
    for (const DataFileLayout::Segment& s : sample.layout.segments)
        in.keySegments.push_back(s.spec);
    return in;
}

} // namespace

std::vector<InferredField> inferFields(const DataSample& sample)
{
    return inferFields(inputOf(sample));
}

InferredVariants inferVariants(const DataSample& sample)
{
    return inferVariants(inputOf(sample));
}

} // namespace dict
