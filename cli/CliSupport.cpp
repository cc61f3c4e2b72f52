#include "CliSupport.h"

#include "BuildReport.h"
#include "ByteOrder.h"
#include "FieldValue.h"
#include "KeyComparison.h"
#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>

namespace cli {
namespace fs = std::filesystem;

const std::string* Args::option(const std::string& name) const
{
    auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
}

Args parseArgs(const std::vector<std::string>& argv, const std::set<std::string>& flags,
               const std::set<std::string>& options)
{
    Args args;
    bool onlyPositionals = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (onlyPositionals || a.size() < 2 || a[0] != '-') {
            args.positionals.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositionals = true;
        } else if (a == "--help" || a == "-h") {
            args.help = true;
        } else if (flags.count(a)) {
            args.flags.insert(a);
        } else {
            const std::size_t eq = a.find('=');
            const std::string name = a.substr(0, eq);
            if (!options.count(name))
                throw CliError("unknown option " + name);
            if (eq != std::string::npos) {
                args.options[name] = a.substr(eq + 1);
            } else {
                if (i + 1 >= argv.size())
                    throw CliError("option " + name + " needs a value");
                args.options[name] = argv[++i];
            }
        }
    }
    return args;
}

bool singleByteAsciiPage(const dict::CodePage& page)
{
    // Control characters aside: IBM's pages place a few graphic characters there.
    std::string ascii;
    for (int c = 0x20; c < 0x7F; ++c)
        ascii += static_cast<char>(c);
    if (page.decode(ascii) != ascii)
        return false;
    const auto characters = [](const std::string& utf8) {
        return std::count_if(utf8.begin(), utf8.end(),
                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    };
    // Every byte above 0x7F is a character of its own, whatever follows it.
    for (int b = 0x80; b <= 0xFF; ++b)
        for (char next : {'A', '\x80', '\xA1', '\xE0'})
            if (characters(page.decode(std::string{static_cast<char>(b), next})) != 2)
                return false;
    return true;
}

dict::CodePage codePageOf(const Args& args)
{
    const std::string* name = args.option(kCodePageOption);
    if (!name)
        return dict::CodePage::latin1();
    if (auto page = dict::CodePage::named(*name)) {
        if (!singleByteAsciiPage(*page))
            throw CliError(
                "code page " + *name +
                " is not one the dictionary files can hold: names are single bytes whose first 128 are "
                "ASCII (437, 850, 852, 866, 1250, 1251, 1252, Latin-1, KOI8-R and the like)");
        return *page;
    }
    throw CliError("unknown code page " + *name + " (a number such as 866 or a name such as KOI8-R)");
}

std::string LoadedDictionary::text(std::string_view stored) const
{
    return page.decode(dict::trimmedName(stored));
}

LoadedDictionary loadDictionary(const std::string& dir, const dict::CodePage& page)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw CliError(dir + " is not a directory");
    LoadedDictionary d;
    d.dir = fs::absolute(dir, ec);
    d.page = page;
    if (std::string error = dict::readDictionarySetIn(d.dir, d.set); !error.empty()) {
        if (error.back() == '.')
            error.pop_back();
        throw CliError(error);
    }
    d.tables = std::make_unique<dict::Tables>(d.set, d.page);
    return d;
}

bool isSystemTable(const dict::TableDef& table)
{
    return dict::describesDictionary(table.name, table.location);
}

std::vector<const dict::TableDef*> chooseTables(const LoadedDictionary& d, const std::vector<std::string>& names,
                                                bool noSystem)
{
    std::vector<const dict::TableDef*> chosen;
    if (names.empty()) {
        for (const dict::TableDef& t : d.tables->all())
            if (!noSystem || !isSystemTable(t))
                chosen.push_back(&t);
        return chosen;
    }
    for (const std::string& name : names) {
        const dict::TableDef* t = d.tables->find(name);
        if (!t)
            throw CliError("the dictionary has no table " + name);
        chosen.push_back(t);
    }
    return chosen;
}

fs::path dataFilePath(const LoadedDictionary& d, const dict::TableDef& table)
{
    return dict::dataFilePath(d.dir, table);
}

bool skippedDamagedPage(const TWinBtr& btr, int status, uint32_t& page, DamageNote* note)
{
    const std::optional<DamageNote> place = dict::damagedPlace(
        status, btr.Buffer, btr.DataLength, static_cast<std::size_t>(std::max<int>(btr.BufferSize, 0)));
    if (!place)
        return false;
    page = place->page;
    if (note)
        *note = *place;
    return true;
}

int readPastDamage(const fs::path& path, uint64_t& records, std::vector<uint32_t>& damaged,
                   std::vector<DamageNote>* notes)
{
    dict::DamageReport report;
    const int status = dict::readPastDamage(path.string(), report);
    records = report.records;
    damaged = std::move(report.damagedPages);
    if (notes)
        *notes = std::move(report.places);
    return status;
}

std::string layoutRefusal(const TWinBtr& btr, int status)
{
    if (status != btr::StatusLayoutNotReadable || !btr.Buffer || btr.DataLength == 0 ||
        btr.DataLength > static_cast<uint32_t>(btr.BufferSize))
        return {};
    return std::string(btr.Buffer, btr.DataLength);
}

std::string damageNoteText(const DamageNote& note)
{
    return dict::damagedPlaceText(note);
}

std::string pageList(const std::vector<uint32_t>& pages)
{
    std::string s = pages.size() == 1 ? "page " : "pages ";
    for (std::size_t i = 0; i < pages.size(); ++i)
        s += (i == 0 ? "" : i + 1 == pages.size() ? " and " : ", ") + std::to_string(pages[i]);
    return s;
}

std::string statusWords(int status)
{
    return dict::statusText(status);
}

std::string paddedText(std::string_view utf8, std::size_t width)
{
    std::size_t characters = 0;
    for (char c : utf8)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    std::string s(utf8);
    if (characters < width)
        s.append(width - characters, ' ');
    return s;
}

std::string csvField(std::string_view text)
{
    if (!text.empty() && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string q = "\"";
    for (char c : text) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

std::string jsonEscape(std::string_view text)
{
    std::string s;
    s.reserve(text.size() + 2);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\r':
            s += "\\r";
            break;
        case '\t':
            s += "\\t";
            break;
        default:
            if (c < 0x20) {
                static constexpr char hex[] = "0123456789abcdef";
                s += "\\u00";
                s += hex[c >> 4];
                s += hex[c & 0xF];
            } else {
                s += ch;
            }
        }
    }
    return s;
}

JsonWriter::~JsonWriter() = default;

void JsonWriter::newline()
{
    mOut << '\n' << std::string(mLevels.size() * 2, ' ');
}

void JsonWriter::beforeValue()
{
    if (mAfterKey) {
        mAfterKey = false;
        return;
    }
    if (!mLevels.empty()) {
        if (!mLevels.back().empty)
            mOut << ',';
        mLevels.back().empty = false;
        newline();
    }
}

JsonWriter& JsonWriter::beginObject()
{
    beforeValue();
    mOut << '{';
    mLevels.push_back({true, true});
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    const bool empty = mLevels.back().empty;
    mLevels.pop_back();
    if (!empty)
        newline();
    mOut << '}';
    if (mLevels.empty())
        mOut << '\n';
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    beforeValue();
    mOut << '[';
    mLevels.push_back({false, true});
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    const bool empty = mLevels.back().empty;
    mLevels.pop_back();
    if (!empty)
        newline();
    mOut << ']';
    if (mLevels.empty())
        mOut << '\n';
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name)
{
    beforeValue();
    mOut << '"' << jsonEscape(name) << "\": ";
    mAfterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text)
{
    beforeValue();
    mOut << '"' << jsonEscape(text) << '"';
    return *this;
}

JsonWriter& JsonWriter::value(long long number)
{
    beforeValue();
    mOut << number;
    return *this;
}

JsonWriter& JsonWriter::fraction(double number)
{
    beforeValue();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3g", number);
    mOut << buf;
    return *this;
}

JsonWriter& JsonWriter::value(bool b)
{
    beforeValue();
    mOut << (b ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::null()
{
    beforeValue();
    mOut << "null";
    return *this;
}

JsonWriter& JsonWriter::strings(const std::vector<std::string>& texts)
{
    beforeValue();
    mOut << '[';
    for (std::size_t i = 0; i < texts.size(); ++i)
        mOut << (i ? ", " : "") << '"' << jsonEscape(texts[i]) << '"';
    mOut << ']';
    return *this;
}

} // namespace cli
