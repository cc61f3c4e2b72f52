// check: the dictionary's consistency, and the dictionary against each table's data file where
// its location opens.
#include "CheckData.h"
#include "Commands.h"
#include "DataTypes.h"
#include "FieldValue.h"

#include <algorithm>
#include <map>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli check DIR [--json] [--data [--sample N]]

Checks the dictionary set in DIR for ids used twice, fields of tables that FILE.DDF does not
hold, fields that overlap or end beyond the data file's record length, two fields of a table
with one name, key segments naming missing fields or differing from the data file's key
specification, keys of the data file missing from INDEX.DDF, extended types on fields that do
not exist, and locations that cannot be opened. Data files are opened read-only.
With --data it also decodes the first N records (default 1000; 0 for all) of every table
whose data file opens, by its fields, and names the fields whose values do not all decode,
the bytes no field covers that vary between records, and fields that end before the record.
Exit status 0 when nothing is found, 1 when something is.
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
        checkTableIds();
        checkFieldIds();
        checkOrphans();
        for (const dict::TableDef& t : mDict.tables->all()) {
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
                return displayName(f.name);
        return {};
    }

    void checkTableIds()
    {
        std::map<int, std::vector<std::string>> byId;
        std::map<std::string, int> byName;
        for (const dict::TableDef& t : mDict.tables->all()) {
            byId[t.record.id].push_back(dict::latin1ToUtf8(t.name));
            std::string upper = t.name;
            for (char& c : upper)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
            if (++byName[upper] == 2)
                add(dict::latin1ToUtf8(t.name), {}, -1, "Two tables have this name.");
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
                                 displayName(f.name));
        }
        for (const auto& [id, names] : byId)
            if (names.size() > 1)
                add({}, {}, -1, "Field id " + std::to_string(id) + " is used twice: by " + list(names) + ".");
    }

    void checkOrphans()
    {
        for (const dict::FieldRecord& f : mDict.set.fields)
            if (!hasTable(f.file))
                add({}, displayName(f.name), -1,
                    "Field " + displayName(f.name) + " (id " + std::to_string(f.id) +
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
        const std::string tn = dict::latin1ToUtf8(t.name);
        const dict::FieldDef* reach = nullptr; // the field that reaches furthest so far
        for (const dict::FieldDef& f : t.fields) {
            const std::string fn = dict::latin1ToUtf8(f.name);
            if (f.record.size <= 0 || f.record.offset < 0)
                add(tn, fn, -1,
                    "The field has offset " + std::to_string(f.record.offset) + " and size " +
                        std::to_string(f.record.size) + ".");
            if (reach && f.record.offset < end(*reach))
                add(tn, fn, -1,
                    "The field (offset " + std::to_string(f.record.offset) + ", size " +
                        std::to_string(f.record.size) + ") overlaps field " +
                        dict::latin1ToUtf8(reach->name) + " (offset " + std::to_string(reach->record.offset) +
                        ", size " + std::to_string(reach->record.size) + ").");
            if (!reach || end(f) > end(*reach))
                reach = &f;
        }
        for (std::size_t i = 0; i < t.fields.size(); ++i)
            for (std::size_t k = i + 1; k < t.fields.size(); ++k)
                if (dict::sameName(t.fields[i].name, t.fields[k].name))
                    add(tn, dict::latin1ToUtf8(t.fields[k].name), -1,
                        "Two fields of the table have this name (ids " +
                            std::to_string(t.fields[i].record.id) + " and " +
                            std::to_string(t.fields[k].record.id) + ").");
    }

    static int end(const dict::FieldDef& f) { return f.record.offset + f.record.size; }

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
                        : " (" + displayName(other->name) + "), which belongs to another table.";
                add(dict::latin1ToUtf8(t.name), {}, k.number,
                    "Segment " + std::to_string(s.record.part) + " names field id " + std::to_string(id) +
                        where);
            }
    }

    void checkDataFile(const dict::TableDef& t)
    {
        if (t.location.empty())
            return;
        const std::string tn = dict::latin1ToUtf8(t.name);
        DataFileStat stat;
        if (int status = statDataFile(dataFilePath(mDict, t), stat)) {
            add(tn, {}, -1,
                "The location " + dict::latin1ToUtf8(t.location) +
                    " cannot be opened: " + statusWords(status) + ".");
            return;
        }
        for (const dict::FieldDef& f : t.fields)
            if (end(f) > stat.spec.recordLength)
                add(tn, dict::latin1ToUtf8(f.name), -1,
                    "The field ends at byte " + std::to_string(end(f)) +
                        ", beyond the data file's record length of " +
                        std::to_string(stat.spec.recordLength) + ".");
        // The tables that describe the dictionary files keep key flags of their own.
        const bool compareFlags = !dict::isDictionaryFileLocation(t.location);
        for (const dict::KeyDef& k : t.keys) {
            std::vector<const dict::KeySpec*> file;
            for (const DataFileStat::Segment& s : stat.segments)
                if (s.key == k.number)
                    file.push_back(&s.spec);
            if (file.empty()) {
                add(tn, {}, k.number, "The key is in INDEX.DDF but the data file has no such key.");
                continue;
            }
            if (file.size() != k.segments.size())
                add(tn, {}, k.number,
                    "The key has " + std::to_string(k.segments.size()) + " segments in INDEX.DDF and " +
                        std::to_string(file.size()) + " in the data file.");
            for (std::size_t i = 0; i < std::min(file.size(), k.segments.size()); ++i) {
                const dict::KeySegmentDef& s = k.segments[i];
                if (!s.field)
                    continue;
                const dict::KeySpec& f = *file[i];
                const int position = s.field->record.offset + 1, length = s.field->record.size;
                const unsigned flags = static_cast<uint16_t>(s.record.flags);
                std::string what;
                if (position != f.position)
                    what += "position " + std::to_string(position) + " in INDEX.DDF, " +
                            std::to_string(f.position) + " in the data file";
                if (length != f.length)
                    what += (what.empty() ? "" : "; ") + std::string("length ") + std::to_string(length) +
                            " in INDEX.DDF, " + std::to_string(f.length) + " in the data file";
                if (compareFlags && flags != f.flags)
                    what += (what.empty() ? "" : "; ") + std::string("flags ") + std::to_string(flags) +
                            " in INDEX.DDF, " + std::to_string(f.flags) + " in the data file";
                if (!what.empty())
                    add(tn, dict::latin1ToUtf8(s.field->name), k.number,
                        "Segment " + std::to_string(i) + " differs from the data file: " + what + ".");
            }
        }
        for (int key = 0; key < stat.keyCount; ++key)
            if (std::none_of(t.keys.begin(), t.keys.end(),
                             [&](const dict::KeyDef& k) { return k.number == key; }))
                add(tn, {}, key, "The data file has this key, but INDEX.DDF does not describe it.");
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

} // namespace

int runCheck(const std::vector<std::string>& argv, CliIo& io)
{
    const Args args = parseArgs(argv, {"--json", "--data"}, {"--sample"});
    if (args.help) {
        io.out << kHelp;
        return kExitOk;
    }
    if (args.positionals.size() != 1)
        throw CliError("check needs one directory (see quillan-cli check --help)");
    const LoadedDictionary d = loadDictionary(args.positionals[0]);
    std::vector<Finding> findings = Checker(d).run();
    std::vector<DataCheckFinding> dataFindings;
    const std::vector<DataTableReport> data =
        args.has("--data") ? checkData(d, sampleSize(args, kDefaultDataSample), dataFindings)
                           : std::vector<DataTableReport>{};
    for (DataCheckFinding& f : dataFindings)
        findings.push_back({std::move(f.table), std::move(f.field), -1, std::move(f.message)});
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
        if (args.has("--data"))
            writeDataJson(j, data);
        j.endObject();
    } else {
        for (const Finding& f : findings) {
            const std::string s = subject(f);
            io.out << (s.empty() ? "" : s + ": ") << f.message << '\n';
        }
        io.out << (findings.empty() ? std::string("No findings.")
                                    : std::to_string(findings.size()) +
                                          (findings.size() == 1 ? " finding." : " findings."))
               << '\n';
    }
    return findings.empty() ? kExitOk : kExitFindings;
}

} // namespace cli
