#include "CodePage.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <unordered_map>

namespace dict {

// Unassigned bytes are kept as U+F700 + byte.
constexpr char32_t kKeptByteBase = 0xF700;

struct CodePage::Data {
    std::string id;
    std::string title;   // "Cyrillic (DOS)"; empty outside the usual pages
    std::string icuName; // the name the converter opens with
    bool singleByte = true;
    bool byteComplete = true;
    bool asciiSame = true; // bytes below 0x80 are their ASCII characters
    // Single-byte pages: each byte's UTF-8 (length in the last element) and the way back.
    std::array<std::array<char, 4>, 256> decodeTable{};
    std::array<int16_t, 128> encodeAscii{}; // -1: no byte
    std::unordered_map<char32_t, uint8_t> encodeOther;
};

namespace {

struct UsualPage {
    const char* id;
    const char* icuName;
    const char* title;
};

constexpr std::array<UsualPage, 8> kUsual = {{
    {"437", "ibm-437", "United States (DOS)"},
    {"850", "ibm-850", "Western European (DOS)"},
    {"852", "ibm-852", "Central European (DOS)"},
    {"866", "ibm-866", "Cyrillic (DOS)"},
    {"1250", "windows-1250", "Central European (Windows)"},
    {"1251", "windows-1251", "Cyrillic (Windows)"},
    {"1252", "windows-1252", "Western European (Windows)"},
    {"Latin-1", "ISO-8859-1", "ISO 8859-1"},
}};

struct Converter {
    UConverter* c = nullptr;
    explicit Converter(const std::string& name)
    {
        UErrorCode e = U_ZERO_ERROR;
        c = ucnv_open(name.c_str(), &e);
        if (U_FAILURE(e))
            c = nullptr;
    }
    ~Converter()
    {
        if (c)
            ucnv_close(c);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
};

void appendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next code point of UTF-8 text at i (advanced past it); nullopt for an invalid sequence.
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    const int n = b0 >= 0xF0 && b0 < 0xF5 ? 3 : b0 >= 0xE0 ? (b0 < 0xF0 ? 2 : -1) : b0 >= 0xC2 ? 1 : -1;
    if (n < 0 || i + static_cast<std::size_t>(n) >= s.size())
        return std::nullopt;
    char32_t c = b0 & (0x3F >> n);
    for (int k = 1; k <= n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    i += static_cast<std::size_t>(n) + 1;
    return c;
}

std::u16string toUtf16(std::string_view utf8, char32_t* invalid)
{
    std::u16string s;
    s.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> c = nextCodePoint(utf8, i);
        if (!c) {
            *invalid = 0xFFFD;
            return {};
        }
        if (*c >= 0x10000) {
            s += static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10));
            s += static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF));
        } else {
            s += static_cast<char16_t>(*c);
        }
    }
    return s;
}

// Reads the single-byte table of a converter. Only characters that encode back to their own
// byte count as the byte's; every other byte is kept.
void readTables(UConverter* c, CodePage::Data& d)
{
    UErrorCode e = U_ZERO_ERROR;
    ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    d.encodeAscii.fill(-1);
    std::array<char32_t, 256> chars{};
    for (int b = 0; b < 256; ++b) {
        const char in = static_cast<char>(b);
        UChar out[4];
        e = U_ZERO_ERROR;
        ucnv_resetToUnicode(c);
        const int32_t n = ucnv_toUChars(c, out, 4, &in, 1, &e);
        char32_t ch = kKeptByteBase + static_cast<char32_t>(b);
        if (U_SUCCESS(e) && n == 1 && !(out[0] >= 0xD800 && out[0] <= 0xDFFF)) {
            char back[8];
            e = U_ZERO_ERROR;
            ucnv_resetFromUnicode(c);
            if (ucnv_fromUChars(c, back, sizeof back, out, 1, &e) == 1 && U_SUCCESS(e) && back[0] == in)
                ch = out[0];
        }
        chars[static_cast<std::size_t>(b)] = ch;
        if (ch >= kKeptByteBase && ch < kKeptByteBase + 256)
            d.byteComplete = false;
    }
    for (int b = 0; b < 256; ++b) {
        const char32_t ch = chars[static_cast<std::size_t>(b)];
        std::string utf8;
        appendUtf8(ch, utf8);
        auto& slot = d.decodeTable[static_cast<std::size_t>(b)];
        std::copy(utf8.begin(), utf8.end(), slot.begin());
        slot[3] = static_cast<char>(utf8.size());
        if (b < 128 && ch != static_cast<char32_t>(b))
            d.asciiSame = false;
        if (ch < 128)
            d.encodeAscii[ch] = static_cast<int16_t>(b);
        else
            d.encodeOther.emplace(ch, static_cast<uint8_t>(b));
    }
}

// ICU callbacks of the multi-byte path: a byte sequence the page cannot read is kept byte by
// byte as U+F700 + byte; such a character encodes back to its byte, any other character the
// page cannot hold stops the conversion and is remembered in the context.
void keepBytesToU(const void*, UConverterToUnicodeArgs* args, const char* units, int32_t length,
                  UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    *err = U_ZERO_ERROR;
    for (int32_t i = 0; i < length && U_SUCCESS(*err); ++i) {
        const UChar kept = static_cast<UChar>(kKeptByteBase + static_cast<unsigned char>(units[i]));
        ucnv_cbToUWriteUChars(args, &kept, 1, 0, err);
    }
}

void keepBytesFromU(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32 cp,
                    UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    if (cp >= static_cast<UChar32>(kKeptByteBase) && cp < static_cast<UChar32>(kKeptByteBase + 256)) {
        *err = U_ZERO_ERROR;
        const char byte = static_cast<char>(cp - static_cast<UChar32>(kKeptByteBase));
        ucnv_cbFromUWriteBytes(args, &byte, 1, 0, err);
        return;
    }
    *static_cast<char32_t*>(const_cast<void*>(context)) = static_cast<char32_t>(cp);
}

std::shared_ptr<const CodePage::Data> makeData(std::string id, std::string title, std::string icuName)
{
    Converter conv(icuName);
    if (!conv.c)
        return nullptr;
    auto d = std::make_shared<CodePage::Data>();
    d->id = std::move(id);
    d->title = std::move(title);
    d->icuName = std::move(icuName);
    d->singleByte = ucnv_getMaxCharSize(conv.c) == 1;
    if (d->singleByte)
        readTables(conv.c, *d);
    else
        d->byteComplete = false;
    return d;
}

// ICU's canonical name of a converter name; empty when ICU has no such converter.
std::string canonicalName(const std::string& name)
{
    Converter conv(name);
    if (!conv.c)
        return {};
    UErrorCode e = U_ZERO_ERROR;
    const char* n = ucnv_getName(conv.c, &e);
    return U_SUCCESS(e) && n ? n : "";
}

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

const std::vector<CodePage>& usualCodePages()
{
    static const std::vector<CodePage> pages = [] {
        std::vector<CodePage> v;
        for (const UsualPage& u : kUsual)
            if (auto p = CodePage::named(u.id))
                v.push_back(*p);
        return v;
    }();
    return pages;
}

CodePage::CodePage() : CodePage(latin1()) {}

const CodePage& CodePage::latin1()
{
    static const CodePage page(makeData(kUsual.back().id, kUsual.back().title, kUsual.back().icuName));
    return page;
}

std::optional<CodePage> CodePage::named(std::string_view nameOrNumber)
{
    std::string given(nameOrNumber);
    while (!given.empty() && given.back() == ' ')
        given.pop_back();
    while (!given.empty() && given.front() == ' ')
        given.erase(0, 1);
    if (given.empty())
        return std::nullopt;
    std::string lower = given;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower == "latin-1" || lower == "latin1")
        given = "ISO-8859-1";

    // Names ICU might know for the text given: a number is tried as "cp", "ibm-" and
    // "windows-" page, in that order.
    std::vector<std::string> candidates;
    const bool number = std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) {
        const int n = std::stoi(given.size() > 6 ? std::string("0") : given);
        if (n >= 1250 && n <= 1258)
            candidates.push_back("windows-" + given);
        candidates.push_back("cp" + given);
        candidates.push_back("ibm-" + given);
    } else {
        candidates.push_back(given);
    }
    std::string canonical, icuName;
    for (const std::string& c : candidates)
        if (canonical = canonicalName(c); !canonical.empty()) {
            icuName = c;
            break;
        }
    if (canonical.empty())
        return std::nullopt;

    static std::map<std::string, std::shared_ptr<const Data>> known; // by canonical name
    std::lock_guard lock(registryMutex());
    if (auto it = known.find(canonical); it != known.end())
        return CodePage(it->second);
    std::string id = given, title;
    for (const UsualPage& u : kUsual)
        if (canonicalName(u.icuName) == canonical) {
            id = u.id;
            title = u.title;
        }
    auto data = makeData(id, title, icuName);
    if (!data)
        return std::nullopt;
    known.emplace(canonical, data);
    return CodePage(std::move(data));
}

const std::string& CodePage::id() const
{
    return mData->id;
}

std::string CodePage::label() const
{
    return mData->title.empty() ? mData->id : mData->id + " " + mData->title;
}

bool CodePage::byteComplete() const
{
    return mData->byteComplete;
}

std::string CodePage::decode(std::string_view bytes) const
{
    std::string s;
    decodeAppend(bytes, s);
    return s;
}

void CodePage::decodeAppend(std::string_view bytes, std::string& utf8) const
{
    const Data& d = *mData;
    if (d.singleByte) {
        std::size_t ascii = 0;
        if (d.asciiSame)
            while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
                ++ascii;
        if (ascii == bytes.size()) {
            utf8.append(bytes);
            return;
        }
        utf8.reserve(utf8.size() + bytes.size() * 2);
        utf8.append(bytes.substr(0, ascii));
        for (char ch : bytes.substr(ascii)) {
            const auto& slot = d.decodeTable[static_cast<unsigned char>(ch)];
            utf8.append(slot.data(), static_cast<std::size_t>(slot[3]));
        }
        return;
    }
    Converter conv(d.icuName);
    UErrorCode e = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.c, keepBytesToU, nullptr, nullptr, nullptr, &e);
    std::u16string wide(bytes.size() * 2 + 4, u'\0');
    e = U_ZERO_ERROR;
    const int32_t n =
        ucnv_toUChars(conv.c, reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &e);
    for (int32_t i = 0; i < n; ++i) {
        char32_t c = wide[static_cast<std::size_t>(i)];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[static_cast<std::size_t>(i + 1)] - 0xDC00);
            ++i;
        }
        appendUtf8(c, utf8);
    }
}

bool CodePage::encode(std::string_view utf8, std::string& bytes, char32_t* refused) const
{
    char32_t ignored = 0;
    if (!refused)
        refused = &ignored;
    const Data& d = *mData;
    bytes.clear();
    if (d.singleByte) {
        bytes.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size();) {
            const std::optional<char32_t> c = nextCodePoint(utf8, i);
            if (!c) {
                *refused = 0xFFFD;
                return false;
            }
            if (*c < 128 && d.encodeAscii[*c] >= 0) {
                bytes += static_cast<char>(d.encodeAscii[*c]);
                continue;
            }
            auto it = d.encodeOther.find(*c);
            if (it == d.encodeOther.end()) {
                *refused = *c;
                return false;
            }
            bytes += static_cast<char>(it->second);
        }
        return true;
    }
    const std::u16string wide = toUtf16(utf8, refused);
    if (wide.empty())
        return utf8.empty();
    Converter conv(d.icuName);
    UErrorCode e = U_ZERO_ERROR;
    *refused = 0;
    ucnv_setFromUCallBack(conv.c, keepBytesFromU, refused, nullptr, nullptr, &e);
    bytes.resize(wide.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(conv.c)) + 8);
    e = U_ZERO_ERROR;
    const int32_t n =
        ucnv_fromUChars(conv.c, bytes.data(), static_cast<int32_t>(bytes.size()),
                        reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()), &e);
    if (U_FAILURE(e)) {
        if (*refused == 0)
            *refused = 0xFFFD;
        return false;
    }
    bytes.resize(static_cast<std::size_t>(n));
    return true;
}

std::vector<std::string> knownCodePageNames()
{
    std::vector<std::string> names;
    const int32_t n = ucnv_countAvailable();
    for (int32_t i = 0; i < n; ++i)
        if (const char* name = ucnv_getAvailableName(i))
            names.emplace_back(name);
    return names;
}

std::string describeCharacter(char32_t c)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string s = "U+";
    const int digits = c > 0xFFFF ? 6 : 4;
    for (int k = digits - 1; k >= 0; --k)
        s += hex[(c >> (4 * k)) & 0xF];
    if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !(c >= 0xD800 && c <= 0xDFFF) &&
        c <= 0x10FFFF) {
        s += " '";
        appendUtf8(c, s);
        s += "'";
    }
    return s;
}

std::vector<NameReading> readingsOfNames(const std::vector<std::string>& storedNames)
{
    std::vector<const std::string*> high;
    for (const std::string& n : storedNames)
        if (std::any_of(n.begin(), n.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            high.push_back(&n);
    std::vector<std::pair<int, NameReading>> found;
    if (high.empty())
        return {};
    for (const CodePage& page : usualCodePages()) {
        UScriptCode script = USCRIPT_INVALID_CODE;
        int oddCapitals = 0, asciiLetters = 0, otherLetters = 0, mixed = 0;
        bool letters = true;
        for (const std::string* name : high) {
            const std::string text = page.decode(*name);
            bool previousSmall = false;
            int previousKind = 0; // 1 an ASCII letter, 2 another letter
            for (std::size_t i = 0; i < text.size() && letters;) {
                const auto c = static_cast<UChar32>(*nextCodePoint(text, i));
                int kind = 0;
                if (c >= 0x80) {
                    UErrorCode e = U_ZERO_ERROR;
                    const UScriptCode s = uscript_getScript(c, &e);
                    letters = u_isalpha(c) && U_SUCCESS(e) && (script == USCRIPT_INVALID_CODE || s == script);
                    script = s;
                    ++otherLetters;
                    kind = 2;
                } else if (u_isalpha(c)) {
                    ++asciiLetters;
                    kind = 1;
                }
                if (kind && previousKind && kind != previousKind)
                    ++mixed;
                if (u_isupper(c) && previousSmall)
                    ++oddCapitals;
                previousSmall = u_islower(c);
                previousKind = kind;
            }
            if (!letters)
                break;
        }
        if (!letters || script == USCRIPT_INVALID_CODE)
            continue;
        // Names in a Latin script are mostly ASCII letters with a few others; names whose
        // letters are mostly beyond ASCII read as Latin only by accident of the table. In any
        // other script a word does not mix its letters with ASCII ones.
        const int unlikely =
            oddCapitals + (script == USCRIPT_LATIN ? std::max(0, otherLetters - asciiLetters) : mixed);
        found.push_back({unlikely, NameReading{page, uscript_getName(script), unlikely}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<NameReading> readings;
    for (auto& f : found)
        readings.push_back(std::move(f.second));
    return readings;
}

std::string suggestionText(const std::vector<NameReading>& readings, const CodePage& inUse)
{
    if (readings.empty())
        return {};
    const int best = readings.front().unlikely;
    std::string s;
    for (std::size_t i = 0, shown = 0; i < readings.size() && readings[i].unlikely == best; ++i) {
        if (readings[i].page == inUse)
            return {};
        if (shown++ < 3)
            s += (s.empty() ? "names read as " : "; as ") + readings[i].script + " under " +
                 readings[i].page.id();
    }
    return s;
}

} // namespace dict
