#pragma once
// What every quillan-cli command shares: exit statuses, the error that ends a command with a
// one-line message, argument parsing, loading a dictionary set from a directory, reading a data
// file's statistics through the record manager, and a small JSON writer that keeps the order
// in which members are written.
#include "DictionarySet.h"
#include "Records.h"

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

// A dictionary set read from a directory, and the tables it describes.
struct LoadedDictionary {
    std::filesystem::path dir; // absolute
    dict::DictionarySet set;
    std::unique_ptr<dict::Tables> tables;
};

// Reads the dictionary set in dir; CliError when dir is not a directory or a file cannot be read.
LoadedDictionary loadDictionary(const std::string& dir);

// A table's data file: its location taken against the dictionary's directory when relative.
std::filesystem::path dataFilePath(const LoadedDictionary& d, const dict::TableDef& table);

// What Stat says about a data file: its file specification and key segments, keys in order.
struct DataFileStat {
    dict::FileSpec spec;
    int keyCount = 0;
    struct Segment {
        int key;
        int part;
        dict::KeySpec spec;
    };
    std::vector<Segment> segments;
};

// Opens the file read-only, reads its statistics and closes it; returns the record manager's
// status (0 on success).
int statDataFile(const std::filesystem::path& path, DataFileStat& out);

// The message "status N (meaning)".
std::string statusWords(int status);

// Latin-1 text as UTF-8, trailing blanks dropped.
std::string displayName(std::string_view latin1);

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

} // namespace cli
