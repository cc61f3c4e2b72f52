#include "InferenceCorpus.h"

#include "DataTypes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>

namespace corpus {
namespace {

using enum dict::TypeCode;

// How the program that wrote the file treated the record buffer between records.
enum class Buffer {
    Zeroed,  // FillChar(Rec, SizeOf(Rec), 0) before each record
    Blanked, // BASIC's LSET and COBOL's MOVE SPACES: blanks before each record
    Reused,  // one global record, fields assigned over what the last record left
};

enum class Style { TurboPascal, Basic, Cobol, C };

const char* const kSurnames[] = {"Smith",    "Miller", "Schmidt", "Jones",    "O'Brien",   "Nguyen",
                                 "Kowalski", "Rossi",  "Dubois",  "van Dijk", "Andersson", "Brown",
                                 "Taylor",   "Wilson", "Meyer",   "Fischer",  "Garcia",    "Martin",
                                 "Clarke",   "Walker", "Young",   "King",     "Wright"};
const char* const kGiven[] = {"John",  "Mary", "Peter", "Anna", "James", "Eva",   "Hans", "Maria", "Paul",
                              "Susan", "Karl", "Jean",  "Tom",  "Linda", "Frank", "Ruth", "Alan",  "Joan"};
const char* const kCities[] = {"London",   "Hamburg",    "Leeds",    "Springfield", "Rotterdam",
                               "Lyon",     "Cork",       "Graz",     "Malmo",       "Bristol",
                               "New York", "Des Moines", "St. Paul", "Krakow"};
const char* const kStreets[] = {"High Street", "Main St.",   "Bahnhofstr.", "Church Road", "Park Avenue",
                                "Mill Lane",   "Station Rd", "Elm Street",  "Kingsway",    "Market Sq."};
const char* const kProducts[] = {"Widget",          "Bolt M8x40",  "Paper A4 80g", "Toner cartridge",
                                 "Floppy 3.5\" DD", "Desk lamp",   "Cable 2m",     "Ribbon",
                                 "Stapler",         "Binder clip", "Diskette box", "Printer stand",
                                 "Mouse pad",       "Keyboard",    "Monitor 14\""};
const char* const kWords[] = {"please", "call", "back",   "before",  "order",   "delivered",
                              "late",   "paid", "cash",   "invoice", "see",     "letter",
                              "of",     "the",  "urgent", "new",     "address", "closed"};
const char* const kMenus[] = {"Customers", "Reports",    "Print labels", "End of month", "Backup",
                              "Setup",     "Stock list", "Invoices",     "Exit"};
const char* const kFiles[] = {"C:\\WP51\\LETTER.DOC", "A:\\BACKUP.ZIP", "REPORT.TXT",
                              "C:\\DATA\\CUST.DAT",   "LPT1",           "C:\\TEMP\\OUT.PRN",
                              "INVOICE.FRM"};

class Rng {
public:
    explicit Rng(uint32_t seed) : mGen(seed) {}
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mGen); }
    double uniform() { return std::uniform_real_distribution<double>(0, 1)(mGen); }
    bool chance(double p) { return uniform() < p; }
    template <std::size_t N> const char* pick(const char* const (&list)[N])
    {
        return list[between(0, int(N) - 1)];
    }
    // Mostly small, now and then large: counts, quantities, amounts.
    double skewed(double max) { return max * std::pow(uniform(), 3.0); }

private:
    std::mt19937 mGen;
};

// What a text field holds.
enum class Content {
    PersonName,
    Company,
    Street,
    City,
    Phone,
    Product,
    Note,
    Code,
    FileName,
    Menu,
    UserName,
    Zip
};

std::string makeText(Content c, Rng& rng)
{
    switch (c) {
    case Content::PersonName:
        return std::string(rng.pick(kSurnames)) + ", " + rng.pick(kGiven);
    case Content::Company:
        return std::string(rng.pick(kSurnames)) + (rng.chance(0.5) ? " & Sons Ltd" : " GmbH");
    case Content::Street:
        return std::to_string(rng.between(1, 299)) + " " + rng.pick(kStreets);
    case Content::City:
        return rng.pick(kCities);
    case Content::Phone: {
        char buf[32];
        if (rng.chance(0.5))
            std::snprintf(buf, sizeof buf, "0%d %d %04d", rng.between(100, 999), rng.between(200, 999),
                          rng.between(0, 9999));
        else
            std::snprintf(buf, sizeof buf, "(%d) %d-%04d", rng.between(200, 999), rng.between(200, 999),
                          rng.between(0, 9999));
        return buf;
    }
    case Content::Product:
        return rng.pick(kProducts);
    case Content::Note: {
        std::string s;
        const int n = rng.between(1, 9);
        for (int i = 0; i < n; ++i)
            s += (i ? " " : "") + std::string(rng.pick(kWords));
        s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
        return s;
    }
    case Content::Code: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%c%c-%d", 'A' + rng.between(0, 25), 'A' + rng.between(0, 5),
                      rng.between(10, 99999));
        return buf;
    }
    case Content::FileName:
        return rng.pick(kFiles);
    case Content::Menu:
        return rng.pick(kMenus);
    case Content::UserName: {
        std::string s = rng.pick(kGiven);
        for (char& ch : s)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return s;
    }
    case Content::Zip:
        return std::to_string(rng.between(10000, 99999));
    }
    return {};
}

enum class Kind {
    Id,       // sequential, with gaps
    Ref,      // a number of another table's record
    Count,    // small values
    Amount,   // money in cents, sometimes negative
    Word,     // codes over a wide range
    LString,  // Pascal string[n]: a length byte, the text, then whatever the buffer held
    Blank,    // array of char padded with blanks
    Zero,     // array of char padded with NULs, full when the text fills it
    ZString,  // C string: the text, a NUL, then whatever the buffer held
    NumText,  // digits as text, right-aligned (COBOL display, BASIC STR$)
    DateText, // "YYYYMMDD" or "DD.MM.YY"
    Real48,
    Double,
    Single,
    MbfSingle, // BASIC's MKS$
    Packed,    // COBOL COMP-3 / Btrieve Decimal
    Date4,     // day, month, two-byte year
    DosDate,   // DOS packed 2-byte date
    LongDate,  // YYYYMMDD as a 4-byte integer
    Time,      // hundredths, seconds, minutes, hours
    Logical,   // 0 or 1
    YesNo,     // 'Y', 'N' or blank
    Flags,     // a byte of bits
    Filler,    // reserved bytes nothing writes
    Tag,       // the kind of record: a letter or a small number
};

struct Gen {
    Kind kind;
    int size;
    int type;
    Content content = Content::Note;
    double fill = 1;  // share of records that hold a value
    int base = 0;     // Id: first value; Filler: the byte; Tag: the tag values' base
    int step = 1;     // Id
    double range = 0; // Count, Amount, Real: the largest value
    int decimals = 0; // Real48, Packed
    bool negative = false;
    bool key = false;
    bool wordTag = false; // Tag: a letter (String) or a number
};

void putInt(uint8_t* p, int size, int64_t v)
{
    for (int i = 0; i < size; ++i)
        p[i] = static_cast<uint8_t>(uint64_t(v) >> (8 * i));
}

// Turbo Pascal's 6-byte Real: exponent byte (bias 129, 0 for zero), 39 bits of mantissa below
// an implied leading 1, the sign in the top bit of the last byte.
void putReal48(uint8_t* p, double v)
{
    std::memset(p, 0, 6);
    if (v == 0)
        return;
    int e = 0;
    double m = std::frexp(std::fabs(v), &e); // v = m * 2^e, m in [0.5, 1)
    const uint64_t mant =
        static_cast<uint64_t>(std::llround((m * 2 - 1) * double(1ull << 39))) & ((1ull << 39) - 1);
    p[0] = static_cast<uint8_t>(e + 128);
    for (int i = 0; i < 5; ++i)
        p[1 + i] = static_cast<uint8_t>(mant >> (8 * i));
    if (v < 0)
        p[5] |= 0x80;
}

// Microsoft Binary Format single: exponent byte last (bias 129), sign in the top bit of the
// third byte.
void putMbf(uint8_t* p, float v)
{
    std::memset(p, 0, 4);
    if (v == 0)
        return;
    uint32_t ieee;
    std::memcpy(&ieee, &v, 4);
    const uint32_t sign = ieee >> 31, exp = (ieee >> 23) & 0xFF, mant = ieee & 0x7FFFFF;
    p[0] = static_cast<uint8_t>(mant);
    p[1] = static_cast<uint8_t>(mant >> 8);
    p[2] = static_cast<uint8_t>(((mant >> 16) & 0x7F) | (sign << 7));
    p[3] = static_cast<uint8_t>(exp + 2);
}

void putPacked(uint8_t* p, int size, int64_t v)
{
    const bool neg = v < 0;
    uint64_t u = neg ? uint64_t(-v) : uint64_t(v);
    const int digits = size * 2 - 1;
    std::string d(digits, '0');
    for (int i = digits - 1; i >= 0 && u; --i, u /= 10)
        d[i] = static_cast<char>('0' + u % 10);
    for (int i = 0; i < size; ++i) {
        const int hi = d[2 * i] - '0';
        const int lo = 2 * i + 1 < digits ? d[2 * i + 1] - '0' : (neg ? 0xD : 0xC);
        p[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
}

struct Day {
    int y, m, d;
};

Day randomDay(Rng& rng, int fromYear, int toYear)
{
    return {rng.between(fromYear, toYear), rng.between(1, 12), rng.between(1, 28)};
}

// Writes one field of one record into the buffer. prev: what the buffer held there.
void write(const Gen& g, uint8_t* p, long long recordNo, Rng& rng)
{
    const bool has = g.fill >= 1 || rng.chance(g.fill);
    auto text = [&] { return has ? makeText(g.content, rng) : std::string(); };
    switch (g.kind) {
    case Kind::Id:
        putInt(p, g.size, g.base + recordNo * g.step + (g.step > 1 ? rng.between(0, g.step - 1) : 0));
        break;
    case Kind::Ref:
        putInt(p, g.size, has ? rng.between(1, int(g.range)) : 0);
        break;
    case Kind::Count:
        putInt(p, g.size, has ? int64_t(rng.skewed(g.range)) : 0);
        break;
    case Kind::Amount: {
        int64_t v = has ? int64_t(rng.skewed(g.range)) : 0;
        if (g.negative && rng.chance(0.2))
            v = -v;
        putInt(p, g.size, v);
        break;
    }
    case Kind::Word:
        putInt(p, g.size, has ? rng.between(0, int(g.range)) : 0);
        break;
    case Kind::LString: {
        std::string s = text().substr(0, g.size - 1);
        p[0] = static_cast<uint8_t>(s.size());
        std::memcpy(p + 1, s.data(), s.size());
        break;
    }
    case Kind::Blank: {
        std::string s = text().substr(0, g.size);
        std::memset(p, ' ', g.size);
        std::memcpy(p, s.data(), s.size());
        break;
    }
    case Kind::Zero: {
        std::string s = text().substr(0, g.size);
        std::memset(p, 0, g.size);
        std::memcpy(p, s.data(), s.size());
        break;
    }
    case Kind::ZString: {
        std::string s = text().substr(0, g.size - 1);
        std::memcpy(p, s.data(), s.size());
        p[s.size()] = 0;
        break;
    }
    case Kind::NumText: {
        std::string s = has ? std::to_string(int64_t(rng.skewed(g.range))) : "";
        s = s.substr(0, g.size);
        std::memset(p, g.base ? '0' : ' ', g.size);
        std::memcpy(p + g.size - s.size(), s.data(), s.size());
        break;
    }
    case Kind::DateText: {
        char buf[16] = "        ";
        if (has) {
            const Day d = randomDay(rng, 1985, 2003);
            if (g.base)
                std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.y, d.m, d.d);
            else
                std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", d.d, d.m, d.y % 100);
        }
        std::memcpy(p, buf, 8);
        break;
    }
    case Kind::Real48:
        putReal48(p,
                  has ? std::round(rng.skewed(g.range) * std::pow(10, g.decimals)) / std::pow(10, g.decimals)
                      : 0.0);
        break;
    case Kind::Double: {
        const double v = has ? std::round(rng.skewed(g.range) * 100) / 100 : 0.0;
        std::memcpy(p, &v, 8);
        break;
    }
    case Kind::Single: {
        const float v = has ? float(std::round(rng.skewed(g.range) * 100) / 100) : 0.0f;
        std::memcpy(p, &v, 4);
        break;
    }
    case Kind::MbfSingle:
        putMbf(p, has ? float(std::round(rng.skewed(g.range) * 100) / 100) : 0.0f);
        break;
    case Kind::Packed: {
        int64_t v = has ? int64_t(rng.skewed(g.range)) : 0;
        if (g.negative && rng.chance(0.15))
            v = -v;
        putPacked(p, g.size, v);
        break;
    }
    case Kind::Date4: {
        std::memset(p, 0, 4);
        if (has) {
            const Day d = randomDay(rng, 1980, 2005);
            p[0] = uint8_t(d.d);
            p[1] = uint8_t(d.m);
            putInt(p + 2, 2, d.y);
        }
        break;
    }
    case Kind::DosDate: {
        const Day d = randomDay(rng, 1985, 2005);
        putInt(p, 2, has ? (d.y - 1980) << 9 | d.m << 5 | d.d : 0);
        break;
    }
    case Kind::LongDate: {
        const Day d = randomDay(rng, 1980, 2005);
        putInt(p, 4, has ? d.y * 10000 + d.m * 100 + d.d : 0);
        break;
    }
    case Kind::Time:
        if (has) {
            p[0] = uint8_t(rng.between(0, 99));
            p[1] = uint8_t(rng.between(0, 59));
            p[2] = uint8_t(rng.between(0, 59));
            p[3] = uint8_t(rng.between(7, 19));
        } else {
            std::memset(p, 0, 4);
        }
        break;
    case Kind::Logical:
        p[0] = has && rng.chance(0.4) ? 1 : 0;
        break;
    case Kind::YesNo:
        p[0] = has ? (rng.chance(0.3) ? 'Y' : 'N') : ' ';
        break;
    case Kind::Flags:
        p[0] = static_cast<uint8_t>(rng.between(0, 255) & int(g.range));
        break;
    case Kind::Filler:
        break;
    case Kind::Tag:
        break;
    }
}

struct Schema {
    Style style;
    Buffer buffer;
    std::vector<Gen> head;               // common to every kind (the tag first when kinds > 1)
    std::vector<std::vector<Gen>> kinds; // the rest, per kind
    std::vector<double> kindShare;
};

// A text field of the style: Pascal length-prefixed, BASIC/COBOL blank-padded, C NUL-terminated.
Gen textField(Style style, Content c, int size, double fill, Rng& rng)
{
    switch (style) {
    case Style::TurboPascal:
        return {Kind::LString, size + 1, kLString, c, fill};
    case Style::Basic:
    case Style::Cobol:
        return {Kind::Blank, size, kString, c, fill};
    case Style::C:
        if (rng.chance(0.25))
            return {Kind::Zero, size, kString, c, fill};
        return {Kind::ZString, size + 1, kZString, c, fill};
    }
    return {};
}

Gen intField(Style style, Kind kind, Rng& rng, double range)
{
    int size = range < 200 && style == Style::TurboPascal && rng.chance(0.5) ? 1 : range < 30000 ? 2 : 4;
    if (style == Style::C && size == 2 && rng.chance(0.5))
        size = 4;
    const int type = rng.chance(0.3) ? kUnsigned : kInteger;
    Gen g{kind, size, type};
    g.range = range;
    return g;
}

// Fields of one body: drawn from what the style's programs held.
std::vector<Gen> body(Style style, int fields, Rng& rng)
{
    std::vector<Gen> out;
    static const Content kTextContents[] = {Content::PersonName, Content::Company, Content::Street,
                                            Content::City,       Content::Phone,   Content::Product,
                                            Content::Note,       Content::Code,    Content::Zip};
    for (int i = 0; i < fields; ++i) {
        const int pick = rng.between(0, 15);
        const double fill = rng.chance(0.7)   ? 1.0
                            : rng.chance(0.5) ? 0.02 + rng.uniform() * 0.15
                                              : rng.uniform();
        if (pick <= 4) {
            Content c = kTextContents[rng.between(0, int(std::size(kTextContents)) - 1)];
            if (fill < 0.2 && rng.chance(0.5))
                c = rng.chance(0.5) ? Content::FileName : rng.chance(0.5) ? Content::Menu : Content::UserName;
            const int size = c == Content::Zip ? 5 + rng.between(0, 5) : rng.between(6, 60);
            out.push_back(textField(style, c, size, fill, rng));
        } else if (pick == 5) {
            out.push_back(intField(style, Kind::Count, rng, rng.chance(0.5) ? 20 : 5000));
        } else if (pick == 6) {
            Gen g = intField(style, Kind::Amount, rng, rng.chance(0.5) ? 1e6 : 3e4);
            g.negative = rng.chance(0.4);
            g.fill = fill;
            if (g.negative)
                g.type = kInteger;
            out.push_back(g);
        } else if (pick == 7) {
            Gen g = intField(style, Kind::Ref, rng, rng.between(3, 40000));
            g.fill = fill;
            out.push_back(g);
        } else if (pick == 8) { // a number with decimals
            Gen g;
            switch (style) {
            case Style::TurboPascal:
                g = {Kind::Real48, 6, kDelphiReal};
                break;
            case Style::Basic:
                g = rng.chance(0.5) ? Gen{Kind::MbfSingle, 4, kBFloat}
                                    : Gen{Kind::NumText, rng.between(6, 12), kNumeric};
                break;
            case Style::Cobol:
                g = {Kind::Packed, rng.between(4, 8), rng.chance(0.5) ? kDecimal : kMoney};
                g.negative = rng.chance(0.5);
                break;
            case Style::C:
                g = rng.chance(0.6) ? Gen{Kind::Double, 8, kFloat} : Gen{Kind::Single, 4, kFloat};
                break;
            }
            g.range = rng.chance(0.5) ? 1000 : 1e6;
            g.decimals = 2;
            g.fill = fill;
            if (g.kind == Kind::Packed)
                g.range = std::min(g.range * 100, std::pow(10.0, 2 * g.size - 1) - 1);
            out.push_back(g);
        } else if (pick == 9) { // a date
            Gen g;
            const int d = rng.between(0, 3);
            if (style == Style::Cobol || (style == Style::Basic && d < 2))
                g = {Kind::DateText, 8, kString};
            else
                g = d == 0   ? Gen{Kind::Date4, 4, kDate}
                    : d == 1 ? Gen{Kind::DosDate, 2, kUnsigned}
                    : d == 2 ? Gen{Kind::LongDate, 4, kLongDate}
                             : Gen{Kind::DateText, 8, kString};
            g.base = rng.chance(0.5);
            g.fill = fill < 0.3 ? fill : std::max(0.6, fill);
            out.push_back(g);
        } else if (pick == 10) {
            out.push_back(style == Style::TurboPascal || style == Style::C ? Gen{Kind::Logical, 1, kLogical}
                                                                           : Gen{Kind::YesNo, 1, kString});
        } else if (pick == 11) {
            Gen g{Kind::Flags, 1, kUnsigned};
            g.range = rng.chance(0.5) ? 0x0F : 0xFF;
            out.push_back(g);
        } else if (pick == 12) {
            out.push_back(style == Style::Cobol ? Gen{Kind::NumText, rng.between(3, 9), kNumeric}
                                                : Gen{Kind::Time, 4, kTime});
            out.back().range = 99999;
            out.back().base = rng.chance(0.5);
        } else if (pick == 13) {
            Gen g{Kind::Word, 2, kUnsigned};
            g.range = 65535;
            g.fill = fill;
            out.push_back(g);
        } else if (pick == 14) {
            Gen g{Kind::Filler, rng.between(1, 40), kString};
            g.base = rng.chance(0.8) ? 0 : rng.chance(0.5) ? ' ' : 0xFF;
            out.push_back(g);
        } else {
            out.push_back(textField(style, Content::Note, rng.between(20, 80), fill, rng));
        }
    }
    return out;
}

// tagAfterId: the record's kind follows the number that leads every record (an account or
// order number, then the kind of transaction), instead of leading the record.
Schema makeSchema(Rng& rng, Style style, int kinds, bool tagAfterId)
{
    Schema s;
    s.style = style;
    s.buffer = style == Style::Basic || style == Style::Cobol ? Buffer::Blanked
               : rng.chance(0.6)                              ? Buffer::Zeroed
                                                              : Buffer::Reused;
    if (kinds > 1) {
        Gen tag{Kind::Tag, 1, rng.chance(0.6) ? kString : kUnsigned};
        tag.wordTag = tag.type == kString;
        tag.base = tag.wordTag ? 'A' + rng.between(0, 10) : rng.between(0, 1);
        tag.key = true;
        s.head.push_back(tag);
    }
    Gen id = intField(style, Kind::Id, rng, 1e6);
    id.size = rng.chance(0.7) ? 4 : 2;
    id.base = rng.between(1, 1000);
    id.step = rng.chance(0.7) ? 1 : rng.between(2, 9);
    id.key = true;
    id.type = rng.chance(0.3) ? kAutoincrement : id.type;
    s.head.insert(tagAfterId ? s.head.begin() : s.head.end(), id);
    for (int k = 0; k < kinds; ++k) {
        s.kinds.push_back(body(style, rng.between(kinds > 1 ? 3 : 5, kinds > 1 ? 10 : 22), rng));
        s.kindShare.push_back(0.2 + rng.uniform());
    }
    // A name-like text often carries the second key.
    for (Gen& g : s.kinds[0])
        if ((g.kind == Kind::LString || g.kind == Kind::Blank || g.kind == Kind::ZString) && g.fill >= 1 &&
            rng.chance(0.6)) {
            g.key = true;
            break;
        }
    return s;
}

CorpusFile generate(const std::string& name, uint32_t draw, Style style, int kinds, std::size_t count,
                    bool tagAfterId)
{
    Rng rng(draw);
    Schema s = makeSchema(rng, style, kinds, tagAfterId);
    CorpusFile f;
    f.name = name;
    f.count = count;
    // Offsets: the head, then each kind's body; the record is as long as the longest kind.
    std::vector<std::vector<std::pair<int, const Gen*>>> placed(s.kinds.size());
    int headSize = 0;
    std::vector<TrueField> head;
    for (const Gen& g : s.head) {
        head.push_back({headSize, g.size, g.type, g.kind == Kind::Filler, g.key});
        headSize += g.size;
    }
    std::size_t longest = 0;
    for (std::size_t k = 0; k < s.kinds.size(); ++k) {
        int o = headSize;
        std::vector<TrueField> layout = head;
        for (const Gen& g : s.kinds[k]) {
            placed[k].push_back({o, &g});
            layout.push_back({o, g.size, g.type, g.kind == Kind::Filler, g.key && k == 0});
            o += g.size;
        }
        longest = std::max<std::size_t>(longest, o);
        f.kinds.push_back(std::move(layout));
    }
    f.recordLength = longest;
    for (std::vector<TrueField>& layout : f.kinds) {
        const int end = layout.back().offset + layout.back().size;
        if (end < int(longest))
            layout.push_back({end, int(longest) - end, kString, true, false});
    }
    // Key segments: the tag and id as one key, a name as another.
    int position = 0;
    const int keyNumber = 0;
    for (std::size_t i = 0; i < s.head.size(); ++i) {
        dict::KeySpec k;
        k.position = uint16_t(position + 1);
        k.length = uint16_t(s.head[i].size);
        const bool extended = style != Style::Cobol && rng.chance(0.6);
        k.flags =
            uint16_t((i + 1 < s.head.size() ? dict::KeySegmented : 0) |
                     (extended ? dict::KeyExtendedType : (s.head[i].type == kString ? 0 : dict::KeyBinary)));
        k.extendedType = uint8_t(extended ? s.head[i].type : 0);
        k.keyNumber = keyNumber;
        f.keys.push_back(k);
        position += s.head[i].size;
    }
    for (const auto& [offset, g] : placed[0])
        if (g->key) {
            dict::KeySpec k;
            k.position = uint16_t(offset + 1);
            k.length = uint16_t(g->size);
            const bool extended = rng.chance(0.5);
            k.flags = uint16_t(dict::KeyDuplicates | (extended ? dict::KeyExtendedType : 0));
            k.extendedType = uint8_t(extended ? g->type : 0);
            k.keyNumber = 1;
            f.keys.push_back(k);
        }

    // The records, written as the program would: one buffer, cleared or not before each.
    std::vector<uint8_t> buffer(longest, s.buffer == Buffer::Blanked ? ' ' : 0);
    double total = 0;
    for (double share : s.kindShare)
        total += share;
    f.bytes.resize(count * longest);
    f.kindOf.resize(count);
    for (std::size_t r = 0; r < count; ++r) {
        int kind = 0;
        for (double x = rng.uniform() * total; kind + 1 < int(s.kindShare.size()) && x >= s.kindShare[kind];
             ++kind)
            x -= s.kindShare[kind];
        f.kindOf[r] = kind;
        if (s.buffer != Buffer::Reused)
            std::fill(buffer.begin(), buffer.end(), s.buffer == Buffer::Blanked ? ' ' : 0);
        int o = 0;
        for (const Gen& g : s.head) {
            if (g.kind == Kind::Tag)
                buffer[o] = static_cast<uint8_t>(g.base + kind);
            else
                write(g, buffer.data() + o, static_cast<long long>(r), rng);
            o += g.size;
        }
        for (const auto& [offset, g] : placed[kind]) {
            if (g->kind == Kind::Filler)
                std::memset(buffer.data() + offset, g->base, g->size);
            else
                write(*g, buffer.data() + offset, static_cast<long long>(r), rng);
        }
        std::copy(buffer.begin(), buffer.end(), f.bytes.begin() + std::ptrdiff_t(r * longest));
    }
    return f;
}

} // namespace

std::vector<CorpusFile> makeCorpus(uint32_t seed)
{
    struct Plan {
        const char* name;
        Style style;
        int kinds;
        std::size_t count;
        bool tagAfterId = false;
    };
    const Plan plans[] = {
        {"tp_customers", Style::TurboPascal, 1, 2'000},
        {"tp_stock", Style::TurboPascal, 1, 100'000},
        {"tp_setup", Style::TurboPascal, 1, 10},
        {"tp_ledger", Style::TurboPascal, 1, 400},
        {"tp_orders_mixed", Style::TurboPascal, 3, 5'000},
        {"basic_members", Style::Basic, 1, 800},
        {"basic_invoices", Style::Basic, 1, 30},
        {"basic_mixed", Style::Basic, 2, 3'000},
        {"cobol_accounts", Style::Cobol, 1, 20'000},
        {"cobol_journal", Style::Cobol, 1, 150},
        {"cobol_mixed", Style::Cobol, 2, 12'000},
        {"c_log", Style::C, 1, 50'000},
        {"c_users", Style::C, 1, 60},
        {"c_mixed", Style::C, 3, 1'500},
        {"cobol_trans_tagged", Style::Cobol, 3, 8'000, true},
        {"tp_moves_tagged", Style::TurboPascal, 2, 600, true},
    };
    std::vector<CorpusFile> files;
    for (const Plan& p : plans)
        files.push_back(generate(p.name, seed += 7919, p.style, p.kinds, p.count, p.tagAfterId));
    return files;
}

bool sameType(const TrueField& truth, int typeCode, const std::string& proposedName)
{
    const auto integer = [](int t) { return t == kInteger || t == kUnsigned || t == kAutoincrement; };
    if (truth.filler)
        return proposedName.rfind("Filler", 0) == 0 || proposedName.rfind("Unknown", 0) == 0;
    if (typeCode == truth.typeCode)
        return true;
    if (integer(truth.typeCode) && integer(typeCode))
        return true;
    if ((truth.typeCode == kDecimal || truth.typeCode == kMoney) &&
        (typeCode == kDecimal || typeCode == kMoney))
        return true;
    if (truth.size == 1 && (truth.typeCode == kLogical || integer(truth.typeCode)) &&
        (typeCode == kLogical || integer(typeCode)))
        return true;
    // Digits as text read as text are read right.
    return truth.typeCode == kNumeric && typeCode == kString;
}

} // namespace corpus
