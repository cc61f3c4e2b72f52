// check: the dictionary's consistency, and the dictionary against each table's data file where
// its location opens.
#include "CheckData.h"
#include "Commands.h"
#include "DataTypes.h"
#include "FieldValue.h"
#include "KeyComparison.h"
#include "Status.h"
#include "Text.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli check DIR [--json] [--data [--sample N]] [--codepage CP]

Checks the dictionary set in DIR for ids used twice, fields of tables that FILE.DDF does not
hold, fields with no size or a size their type does not take, type codes the type catalogue
does not know, control characters in table and field names, fields that overlap or end beyond
the data file's record length, two fields of a table with one name, key segments naming
missing fields or differing from the data file's key specification, keys of the data file
missing from INDEX.DDF, extended types on fields that do not exist, locations that cannot be
opened, and damaged pages of data files (read in physical order). When INDEX.DDF numbers keys
from 1 instead of 0, one finding says so and its key N is compared with the data file's key
N-1. Data files are opened read-only.
With --data it also decodes the first N records (default 1000; 0 for all) of every table
whose data file opens, by its fields, and names the fields whose values do not all decode,
the bytes no field covers that vary between records, and fields that end before the record.
Exit status 0 when nothing is found, 1 when something is. When stored names hold bytes above
0x7F, a note says under which of the usual code pages they read as letters of one script.
)";

struct Finding {
    std::string table; // UTF-8, empty when the finding concerns no one table
    std::string field;
    int key = -1;
    std::string message; // a sentence
};

class Checker {
public:
    Checker(const LoadedDictionary& d) : mDict(d) {}

    std::vector<Finding> run()
        {
        checkKeyNumbering();
        checkTableIds();
        checkFieldIds();
        checkOrphans();
        for (const dict::TableDef& t : mDict.tables->all()) {
            checkNames(t);
            checkTypes(t);
            checkLayout(t);
            checkKeySegments(t);
            checkDataFile(t);
        }
        checkExtensions();
        return std::move(mFindings);
    }

private:
    void add(std::string table, std::string field, int key, std::string message)
    {
        mFindings.push_back({std::move(table), std::move(field), key, std::move(message)});
    }

    std::string tableName(int16_t id) const
    {
        for (const dict::FileRecord& f : mDict.set.files)
            if (f.id == id)
                return mDict.text(f.name);
        return {};
    }

    void checkTableIds()
    {
        std::map<int, std::vector<std::string>> byId;
        std::map<std::string, int> byName;
        for (const dict::TableDef& t : mDict.tables->all()) {
            byId[t.record.id].push_back(t.name);
            std::string upper = t.name;
            for (char& c : upper)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
            if (++byName[upper] == 2)
                add(t.name, {}, -1, "Two tables have this name.");
        }
        for (const auto& [id, names] : byId)
            if (names.size() > 1)
                add(names[0], {}, -1,
                    "Table id " + std::to_string(id) + " is used twice: by " + list(names) + ".");
    }

    void checkFieldIds()
    {
        std::map<int, std::vector<std::string>> byId;
        for (const dict::FieldRecord& f : mDict.set.fields) {
            std::string owner = tableName(f.file);
            byId[f.id].push_back((owner.empty() ? "table id " + std::to_string(f.file) : owner) + "." +
                                 mDict.text(f.name));
        }
        for (const auto& [id, names] : byId)
            if (names.size() > 1)
                add({}, {}, -1, "Field id " + std::to_string(id) + " is used twice: by " + list(names) + ".");
    }

    void checkOrphans()
    {
        for (const dict::FieldRecord& f : mDict.set.fields)
            if (!hasTable(f.file))
                add({}, mDict.text(f.name), -1,
                    "Field " + mDict.text(f.name) + " (id " + std::to_string(f.id) +
                        ") belongs to table id " + std::to_string(f.file) +
                        ", which FILE.DDF does not hold.");
        for (const dict::IndexRecord& i : mDict.set.indexes)
            if (!hasTable(i.file))
                add({}, {}, i.number,
                    "INDEX.DDF describes key " + std::to_string(i.number) + " segment " +
                        std::to_string(i.part) + " of table id " + std::to_string(i.file) +
                        ", which FILE.DDF does not hold.");
    }

    bool hasTable(int16_t id) const
    {
        return std::any_of(mDict.set.files.begin(), mDict.set.files.end(),
                           [&](const dict::FileRecord& f) { return f.id == id; });
    }

    void checkLayout(const dict::TableDef& t)
    {
        const std::string tn = t.name;
        const dict::FieldDef* reach = nullptr; // the field that reaches furthest so far
        for (const dict::FieldDef& f : t.fields) {
            const std::string fn = f.name;
            if (f.record.size == 0)
                add(tn, fn, -1,
                    "The field has size 0: it takes no byte of the record (offset " +
                        std::to_string(f.record.offset) + "), so it holds no value.");
            else if (f.record.size < 0)
                add(tn, fn, -1, "The field has the negative size " + std::to_string(f.record.size) + ".");
            if (f.record.offset < 0)
                add(tn, fn, -1,
                    "The field starts at offset " + std::to_string(f.record.offset) +
                        ", before the start of the record.");
            if (reach && f.record.offset < end(*reach))
                add(tn, fn, -1,
                    "The field (offset " + std::to_string(f.record.offset) + ", size " +
                        std::to_string(f.record.size) + ") overlaps field " + reach->name + " (offset " +
                        std::to_string(reach->record.offset) + ", size " +
                        std::to_string(reach->record.size) + ").");
            if (!reach || end(f) > end(*reach))
                reach = &f;
        }
        for (std::size_t i = 0; i < t.fields.size(); ++i)
            for (std::size_t k = i + 1; k < t.fields.size(); ++k)
                if (text::equalIgnoringAsciiCase(t.fields[i].name, t.fields[k].name))
                    add(tn, t.fields[k].name, -1,
                        "Two fields of the table have this name (ids " +
                            std::to_string(t.fields[i].record.id) + " and " +
                            std::to_string(t.fields[k].record.id) + ").");
    }

    static int end(const dict::FieldDef& f) { return f.record.offset + f.record.size; }

    // Some programs number a table's keys in INDEX.DDF from 1; the data file counts from 0.
    void checkKeyNumbering()
    {
        std::vector<int> numbers;
        for (const dict::TableDef& t : mDict.tables->all())
            if (!isSystemTable(t))
                for (const dict::KeyDef& k : t.keys)
                    numbers.push_back(k.number);
        if (!dict::keysNumberedFromOne(numbers))
            return;
        mKeysFromOne = true;
        add({}, {}, -1,
            "INDEX.DDF numbers the keys of the tables from 1, not from 0: each key N is compared with the "
            "data file's key N-1.");
    }

    // The data file's number of the dictionary's key.
    int fileKeyNumber(const dict::TableDef& t, int number) const
    {
        return dict::dataFileKeyNumber(number, mKeysFromOne, hasKeyZero(t));
    }
    bool keysFromOne(const dict::TableDef& t) const { return mKeysFromOne && !hasKeyZero(t); }
    static bool hasKeyZero(const dict::TableDef& t)
    {
        return std::any_of(t.keys.begin(), t.keys.end(), [](const dict::KeyDef& k) { return k.number == 0; });
    }

    static bool hasControlCharacter(std::string_view name)
    {
        return std::any_of(name.begin(), name.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c < 0x20 || c == 0x7F;
        });
    }

    // Stored bytes as a finding shows them: control characters as \xNN, trailing blanks dropped.
    static std::string visibleBytes(std::string_view bytes)
    {
        std::string s;
        for (char ch : text::withoutTrailingBlanks(bytes)) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F) {
                static constexpr char hex[] = "0123456789ABCDEF";
                s += "\\x";
                s += hex[c >> 4];
                s += hex[c & 0xF];
            } else {
                s += ch;
            }
        }
        return s;
    }

    // A stored name ends at its first NUL (a C string written over older bytes); the bytes after
    // it that are not NUL or blank are left out of the name everywhere and reported here.
    void checkName(std::string_view stored, const std::string& table, const std::string& field)
    {
        const std::size_t nul = stored.find('\0');
        const std::string_view body = stored.substr(0, nul);
        const char* what = field.empty() ? "The table's name" : "The field's name";
        std::string shown = field.empty() ? table : field;
        if (hasControlCharacter(body)) {
            shown = visibleBytes(body);
            add(field.empty() ? shown : table, field.empty() ? "" : shown, -1,
                std::string(what) + " holds a control character.");
        }
        if (nul == std::string_view::npos)
            return;
        const std::string_view rest = stored.substr(nul);
        if (std::any_of(rest.begin(), rest.end(), [](char c) { return c != '\0' && c != ' '; }))
            add(table, field, -1,
                std::string(what) + " ends at a NUL byte; the bytes after it are left out of the name: " +
                    visibleBytes(rest) + ".");
    }

    void checkNames(const dict::TableDef& t)
    {
        checkName(t.record.name, t.name, {});
        for (const dict::FieldDef& f : t.fields)
            checkName(f.record.name, t.name, f.name);
    }

    void checkTypes(const dict::TableDef& t)
    {
        const std::string tn = t.name;
        for (const dict::FieldDef& f : t.fields) {
            const std::string fn = f.name;
            const int code = f.typeCode();
            if (!dict::isKnownTypeCode(code)) {
                add(tn, fn, -1, "The field's type code " + std::to_string(code) + " is no type the catalogue knows.");
                continue;
            }
            if (f.record.size <= 0 || dict::sizeSuitsType(code, f.record.size))
                continue;
            add(tn, fn, -1,
                "A field of type " + std::string(dict::typeNameOf(code)) + " cannot have size " +
                    std::to_string(f.record.size) + "; the type takes " +
                    std::string(dict::allowedSizesText(code)) + " bytes.");
        }
    }

    void checkKeySegments(const dict::TableDef& t)
    {
        for (const dict::KeyDef& k : t.keys)
            for (const dict::KeySegmentDef& s : k.segments) {
                if (s.field)
                    continue;
                const int16_t id = s.record.field;
                auto other = std::find_if(mDict.set.fields.begin(), mDict.set.fields.end(),
                                          [&](const dict::FieldRecord& f) { return f.id == id; });
                std::string where =
                    other == mDict.set.fields.end()
                        ? ", which does not exist."
                        : " (" + mDict.text(other->name) + "), which belongs to another table.";
                add(t.name, {}, k.number,
                    "Segment " + std::to_string(&s - k.segments.data()) + " names field id " +
                        std::to_string(id) + where);
            }
    }

    void checkDataFile(const dict::TableDef& t)
    {
        if (t.location.empty())
            return;
        const std::string tn = t.name;
        dict::DataFileLayout stat;
        if (int status = dict::statDataFile(dataFilePath(mDict, t).string(), stat)) {
            add(tn, {}, -1, "The location " + t.location + " cannot be opened: " + statusWords(status) + ".");
            return;
        }
        checkDamage(t);
        for (const dict::FieldDef& f : t.fields)
            if (end(f) > stat.spec.recordLength)
                add(tn, f.name, -1,
                    "The field ends at byte " + std::to_string(end(f)) +
                        ", beyond the data file's record length of " +
                        std::to_string(stat.spec.recordLength) + ".");
        // The tables that describe the dictionary files keep key flags of their own.
        const bool compareFlags = !dict::isDictionaryFileLocation(t.location);
        for (const dict::KeyDef& k : t.keys) {
            std::vector<std::optional<dict::DescribedSegment>> described;
            for (const dict::KeySegmentDef& s : k.segments)
                described.push_back(s.field ? std::optional(dict::DescribedSegment{
                                                  s.field->record.offset + 1, s.field->record.size,
                                                  static_cast<uint16_t>(s.record.flags)})
                                            : std::nullopt);
            for (const dict::KeyDifference& d :
                 dict::compareKeyWithDataFile(described, stat, fileKeyNumber(t, k.number), compareFlags))
                add(tn, d.segment >= 0 ? k.segments[std::size_t(d.segment)].field->name : std::string(),
                    k.number, d.message);
        }
        for (int key = 0; key < stat.keyCount; ++key)
            if (std::none_of(t.keys.begin(), t.keys.end(),
                             [&](const dict::KeyDef& k) { return fileKeyNumber(t, k.number) == key; }))
                add(tn, {}, keysFromOne(t) ? key + 1 : key,
                    keysFromOne(t) ? "The data file has this key (its key " + std::to_string(key) +
                                         "), but INDEX.DDF does not describe it."
                                   : std::string("The data file has this key, but INDEX.DDF does not describe it."));
    }

    // Damaged pages of a genuine data file, found by reading it in physical order.
    void checkDamage(const dict::TableDef& t)
    {
        uint64_t records = 0;
        std::vector<uint32_t> damaged;
        std::vector<DamageNote> notes;
        const int status = readPastDamage(dataFilePath(mDict, t), records, damaged, &notes);
        if (!damaged.empty())
            add(t.name, {}, -1,
                "The data file's " + pageList(damaged) + (damaged.size() == 1 ? " is" : " are") +
                    " damaged: " + std::to_string(records) + (records == 1 ? " record" : " records") +
                    " could be read past " + (damaged.size() == 1 ? "it." : "them."));
        for (const DamageNote& note : notes) {
            std::string text = damageNoteText(note);
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
            add(t.name, {}, -1, text + ".");
        }
        if (status == btr::StatusRecordCountDiffers)
            add(t.name, {}, -1,
                "The data file holds " + std::to_string(records) + (records == 1 ? " record" : " records") +
                    ", not as many as its control record counts.");
    }

    void checkExtensions()
    {
        for (const dict::FieldExtRecord& x : mDict.set.extensions) {
            const bool exists =
                std::any_of(mDict.set.fields.begin(), mDict.set.fields.end(),
                            [&](const dict::FieldRecord& f) { return f.id == x.id && f.file == x.file; });
            const std::string tn = tableName(x.file);
            const std::string_view type = dict::typeNameOf(x.dataType);
            const std::string typeText = type.empty()
                                             ? std::to_string(x.dataType)
                                             : std::string(type) + " (" + std::to_string(x.dataType) + ")";
            if (!exists)
                add(tn, {}, -1,
                    "FIELDEXT.DDF gives extended type " + typeText + " to field id " + std::to_string(x.id) +
                        " of table id " + std::to_string(x.file) + ", which does not exist.");
            else if (dict::codeToExtendedPosition(x.dataType) < 0)
                add(tn, {}, -1,
                    "FIELDEXT.DDF gives field id " + std::to_string(x.id) + " the code " +
                        std::to_string(x.dataType) + ", which is no extended type.");
        }
    }

    static std::string list(const std::vector<std::string>& names)
    {
        std::string s;
        for (std::size_t i = 0; i < names.size(); ++i)
            s += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
        return s;
    }

    const LoadedDictionary& mDict;
    std::vector<Finding> mFindings;
    bool mKeysFromOne = false;
};

std::string subject(const Finding& f)
{
    std::string s = f.table;
    if (!f.field.empty())
        s += (s.empty() ? "" : ".") + f.field;
    if (f.key >= 0)
        s += (s.empty() ? "key " : " key ") + std::to_string(f.key);
    return s;
}

int runCheck(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    if (args.option("--sample") && !args.has("--data"))
        throw CliError("check takes --sample only with --data (see quillan-cli check --help)");
    const LoadedDictionary& d = in.dictionary();
    std::vector<Finding> findings = Checker(d).run();
    std::vector<DataCheckFinding> dataFindings;
    const std::vector<DataTableReport> data =
        args.has("--data") ? checkData(d, sampleSize(args, kDefaultDataSample), dataFindings)
                           : std::vector<DataTableReport>{};
    for (DataCheckFinding& f : dataFindings)
        findings.push_back({std::move(f.table), std::move(f.field), -1, std::move(f.message)});
    std::vector<std::string> storedNames;
    for (const dict::FileRecord& f : d.set.files)
        storedNames.push_back(f.name);
    for (const dict::FieldRecord& f : d.set.fields)
        storedNames.push_back(f.name);
    const std::string suggestion = dict::suggestionText(dict::readingsOfNames(storedNames), d.page);
    if (args.has("--json")) {
        JsonWriter j(io.out);
        j.beginObject().key("findings").beginArray();
        for (const Finding& f : findings) {
            j.beginObject();
            j.key("table");
            f.table.empty() ? j.null() : j.value(f.table);
            j.key("field");
            f.field.empty() ? j.null() : j.value(f.field);
            j.key("key");
            f.key < 0 ? j.null() : j.value(f.key);
            j.key("message").value(f.message);
            j.endObject();
        }
        j.endArray();
        j.key("codePageSuggestion");
        suggestion.empty() ? j.null() : j.value(suggestion);
        if (args.has("--data"))
            writeDataJson(j, data);
        j.endObject();
    } else {
        for (const Finding& f : findings) {
            const std::string s = subject(f);
            io.out << (s.empty() ? "" : s + ": ") << f.message << '\n';
        }
        if (!suggestion.empty())
            io.out << "Code page: " << suggestion << " (--codepage).\n";
        io.out << (findings.empty() ? std::string("No findings.")
                                    : std::to_string(findings.size()) +
                                          (findings.size() == 1 ? " finding." : " findings."))
               << '\n';
    }
    return findings.empty() ? kExitOk : kExitFindings;
}

} // namespace

const Command kCheckCommand{
    .name = "check",
    .synopsis = "check DIR [--json] [--data [--sample N]]",
    .summary = "the dictionary's consistency and its data files;\nwith --data, records decoded by the fields",
    .help = kHelp,
    .flags = {"--json", "--data"},
    .options = {"--sample"},
    .codePage = true,
    .leastPositionals = 1,
    .mostPositionals = 1,
    .needs = "one directory",
    .dictionaries = 1,
    .run = runCheck,
};

} // namespace cli
