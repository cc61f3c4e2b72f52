#pragma once
// What every quillan-cli command shares: exit statuses, the error that ends a command with a
// one-line message, argument parsing, loading a dictionary set from a directory, reading a data
// file in physical order past damaged pages, and a small JSON writer that keeps the order
// in which members are written.
#include "CodePage.h"
#include "DataRecords.h"
#include "DictionarySet.h"
#include "Records.h"
#include "WinBtr.h"

#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFindings = 1; // findings, differences, values that could not be decoded
constexpr int kExitError = 2;    // usage or I/O error

// Ends a command with exit status 2 and the message as the one line on stderr.
class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CliIo {
    std::ostream& out;
    std::ostream& err;
};

// Arguments of one command: positionals in order, flags (--json) and options with a value
// (--to FILE or --to=FILE). Anything not declared is a usage error.
struct Args {
    std::vector<std::string> positionals;
    std::set<std::string> flags;
    std::map<std::string, std::string> options;
    bool help = false;

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    const std::string* option(const std::string& name) const;
};

Args parseArgs(const std::vector<std::string>& argv, const std::set<std::string>& flags,
               const std::set<std::string>& options);

// The option that names the code page of the database's names and texts.
inline const std::string kCodePageOption = "--codepage";
inline constexpr const char* kCodePageHelp =
    "--codepage CP reads names and texts in code page CP: a number (437, 850, 852, 866, 1250,\n"
    "1251, 1252) or a name the conversion library knows (KOI8-R) of a single-byte page whose\n"
    "printable ASCII is ASCII (UTF-8 or UTF-16 are refused); Latin-1 when not given.\n";

// Whether the page reads bytes 0x20..0x7E as ASCII and every byte above as one character: the
// pages dictionary names can be written in.
bool singleByteAsciiPage(const dict::CodePage& page);

// The code page --codepage names, Latin-1 without it; CliError when there is no such page or it
// is not a single-byte ASCII page.
dict::CodePage codePageOf(const Args& args);

// A dictionary set read from a directory, and the tables it describes.
struct LoadedDictionary {
    std::filesystem::path dir; // absolute
    dict::CodePage page;
    dict::DictionarySet set;
    std::unique_ptr<dict::Tables> tables;

    // Stored bytes as UTF-8 text in the set's code page, trailing blanks dropped.
    std::string text(std::string_view stored) const;
};

// Reads the dictionary set in dir, names read in page; CliError when dir is not a directory or
// a file cannot be read.
LoadedDictionary loadDictionary(const std::string& dir,
                                const dict::CodePage& page = dict::CodePage::latin1());

// The tables named (each found ignoring letter case; CliError for a name the dictionary does not
// hold), in the order named; every table of the dictionary when none is named, the X$ tables
// that describe the dictionary files left out when noSystem.
std::vector<const dict::TableDef*> chooseTables(const LoadedDictionary& d, const std::vector<std::string>& names,
                                                bool noSystem);

// A table of the dictionary's own files: named X$... or located at a dictionary file.
bool isSystemTable(const dict::TableDef& table);

// A table's data file (dict::dataFilePath).
std::filesystem::path dataFilePath(const LoadedDictionary& d, const dict::TableDef& table);

// What the place of a damaged page says beyond its number.
using DamageNote = dict::DamagedPlace;

// A physical-order read that the record manager answered with 2 and a 4-byte page number (or 12
// bytes: page number, kind and value of a DamageNote): the embedded engine's way of saying it
// went past a damaged page of a genuine file (see docs/record-manager.md). page is that page's
// number; note, when given, gets what the place says.
bool skippedDamagedPage(const TWinBtr& btr, int status, uint32_t& page, DamageNote* note = nullptr);

// With status 4100 (a genuine file's layout the embedded engine cannot read), what of the layout
// the record manager named in the data buffer; empty otherwise.
std::string layoutRefusal(const TWinBtr& btr, int status);

// Reads a data file in physical order to its end, going past damaged pages. records: the records
// read; damaged: the pages skipped (a file's cut end not among them); notes: what places said
// beyond a page number. Returns 9 when the end was reached, else the status that stopped it (the
// open's when it does not open).
int readPastDamage(const std::filesystem::path& path, uint64_t& records, std::vector<uint32_t>& damaged,
                   std::vector<DamageNote>* notes = nullptr);

// The sentence for a note: "the deleted-record chain breaks on page 3: 2 of the records read could
// be deleted ones", "the file ends at page 7, though its control record says it has 9".
std::string damageNoteText(const DamageNote& note);

// "page 7", "pages 3, 7 and 9".
std::string pageList(const std::vector<uint32_t>& pages);

// The message "status N (meaning)".
std::string statusWords(int status);

// UTF-8 text followed by blanks up to width characters (not bytes); longer text as it is.
std::string paddedText(std::string_view utf8, std::size_t width);

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : mOut(out) {}
    ~JsonWriter();

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text); // UTF-8
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(long long number);
    JsonWriter& value(int number) { return value(static_cast<long long>(number)); }
    JsonWriter& value(bool b);
    JsonWriter& fraction(double number); // three significant digits
    JsonWriter& null();
    JsonWriter& strings(const std::vector<std::string>& texts); // an array on one line

private:
    void beforeValue();
    void newline();
    std::ostream& mOut;
    struct Level {
        bool object;
        bool empty;
    };
    std::vector<Level> mLevels;
    bool mAfterKey = false;
};

std::string jsonEscape(std::string_view text);

// A text as a CSV field: quoted when it holds a separator, a quote or a line break, and when
// empty, so that an empty text stays apart from NULL (an empty field).
std::string csvField(std::string_view text);

} // namespace cli
