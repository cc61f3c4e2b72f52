#pragma once
// A whole dictionary set read into plain records, and the tables it describes: each table with
// its fields (the extended type of FIELDEXT.DDF applied) and its keys (segments in order, each
// with the field it names). For tools that look at a dictionary as a whole rather than one
// file at a time.
#include "CodePage.h"
#include "Records.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

struct DictionarySet {
    std::vector<FileRecord> files;
    std::vector<FieldRecord> fields;
    std::vector<IndexRecord> indexes;
    std::vector<FieldExtRecord> extensions;
    bool hasIndexes = false;    // INDEX.DDF was there
    bool hasExtensions = false; // FIELDEXT.DDF was there
};

// Reads FILE.DDF, FIELD.DDF and, when present, INDEX.DDF and FIELDEXT.DDF from the current
// directory (the sets the window's Open DDFs takes; a file that is missing gives no records) through the
// dictionary files' own reading. Returns an empty string, or one line saying which file could not be read and
// why (the record manager's status in words).
std::string readDictionarySet(DictionarySet& set);

// readDictionarySet for the set in dir, which is the current directory only while it is read.
// Messages name the file with dir ("/data/sales/FIELD.DDF cannot be opened: ..."), or dir and why
// it cannot be entered.
std::string readDictionarySetIn(const std::filesystem::path& dir, DictionarySet& set);

struct FieldDef {
    FieldRecord record;
    std::string name;                // Xe$Name without its trailing blanks, as UTF-8 text
    std::optional<int> extendedType; // from FIELDEXT.DDF
    // The type the field's bytes hold: its extended type when FIELDEXT.DDF gives one.
    int typeCode() const { return extendedType ? *extendedType : record.dataType; }
};

struct KeySegmentDef {
    IndexRecord record;
    const FieldDef* field = nullptr; // null when Xi$Field names no field of the table
};

struct KeyDef {
    int number = 0;
    std::vector<KeySegmentDef> segments; // by Xi$Part
    bool duplicates() const;             // any segment carries the duplicates flag
};

struct TableDef {
    FileRecord record;
    std::string name;             // Xf$Name without trailing blanks, as UTF-8 text
    std::string location;         // Xf$Loc without trailing blanks, as UTF-8 text
    std::string storedLocation;   // Xf$Loc without trailing blanks, its bytes as stored
    std::vector<FieldDef> fields; // by offset, then id
    std::vector<KeyDef> keys;     // by number
};

// The tables of the set in FILE.DDF order, names and locations read in the given code page. A
// table's fields are those whose Xe$File is its id;
// key segments and extended types find their field among them by id. Pointers into a table's
// fields stay valid as long as the table is not copied (copies re-point them).
class Tables {
public:
    explicit Tables(const DictionarySet& set, const CodePage& page = CodePage::latin1());
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;

    const std::vector<TableDef>& all() const { return mTables; }
    // The first table of that name (UTF-8 text), ignoring the case of ASCII letters and trailing
    // blanks.
    const TableDef* find(std::string_view name) const;

private:
    std::vector<TableDef> mTables;
};

// A table's data file: its location taken against the dictionary's directory when relative. The
// stored bytes name the file; when no such file exists but one named by the location's text
// does (a copy whose names were converted), that one.
std::filesystem::path dataFilePath(const std::filesystem::path& dir, const TableDef& table);

// A stored name without its trailing blanks and NULs (text::withoutTrailingBlanks, as a string).
std::string trimmedName(std::string_view name);

// The words of the set bits of table flags ("Variable Length", ..., "VAT") and key flags
// ("Duplicates", ..., "CaseInsens"), lowest bit first; a bit without a word gives "bit N".
std::vector<std::string> fileFlagWords(unsigned flags);
std::vector<std::string> keyFlagWords(unsigned flags);

// Whether a location names one of the dictionary files themselves (FILE.DDF, FIELD.DDF,
// INDEX.DDF, FIELDEXT.DDF), whose self-description rows keep key flags of their own.
bool isDictionaryFileLocation(std::string_view location);

} // namespace dict
