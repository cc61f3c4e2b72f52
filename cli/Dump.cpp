// dump: the dictionary set as text or JSON, tables in FILE.DDF order, fields by offset, keys by
// number.
#include "Commands.h"
#include "FieldValue.h"

#include <iomanip>
#include <ostream>
#include <sstream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli dump DIR [--json] [--codepage CP]

Prints the dictionary set in DIR (FILE.DDF, FIELD.DDF, INDEX.DDF and FIELDEXT.DDF): each table
with its location and flags, its fields (id, name, type, offset, size, decimals, flags,
extended type) and its keys (segments with field name, position, length and flags in words).
--json prints one JSON document in a stable order, suitable for version control and jq.
)";

std::string joined(const std::vector<std::string>& words)
{
    std::string s;
    for (const std::string& w : words)
        s += (s.empty() ? "" : ", ") + w;
    return s;
}

std::string typeLabel(int code)
{
    const std::string_view name = dict::typeNameOf(code);
    return name.empty() ? std::to_string(code) : std::string(name);
}

// Key segment position and length as the data file's key specification would hold them.
int segmentPosition(const dict::KeySegmentDef& s)
{
    return s.field ? s.field->record.offset + 1 : 0;
}

void dumpText(const dict::Tables& tables, std::ostream& out)
{
    bool first = true;
    for (const dict::TableDef& t : tables.all()) {
        if (!first)
            out << '\n';
        first = false;
        const unsigned flags = t.record.flags;
        out << "table " << t.name << " (id " << t.record.id << ")\n";
        out << "  location: " << t.location << '\n';
        out << "  flags: " << flags;
        if (flags)
            out << " (" << joined(dict::fileFlagWords(flags)) << ')';
        out << '\n';
        out << "  fields:\n";
        if (t.fields.empty())
            out << "    (none)\n";
        else
            out << "    " << std::left << std::setw(6) << "id" << std::setw(21) << "name" << std::setw(15)
                << "type" << std::right << std::setw(7) << "offset" << std::setw(6) << "size" << std::setw(5)
                << "dec" << std::setw(7) << "flags"
                << "  extended\n";
        for (const dict::FieldDef& f : t.fields) {
            out << "    " << std::left << std::setw(6) << f.record.id << paddedText(f.name, 21)
                << std::setw(15) << typeLabel(f.record.dataType) << std::right << std::setw(7)
                << f.record.offset << std::setw(6) << f.record.size << std::setw(5) << int(f.record.dec)
                << std::setw(7) << f.record.flag;
            if (f.extendedType)
                out << "  " << typeLabel(*f.extendedType);
            out << '\n';
        }
        out << "  keys:\n";
        if (t.keys.empty())
            out << "    (none)\n";
        for (const dict::KeyDef& k : t.keys) {
            out << "    key " << k.number << (k.duplicates() ? " (duplicates)" : " (unique)") << '\n';
            for (const dict::KeySegmentDef& s : k.segments) {
                const unsigned kf = static_cast<uint16_t>(s.record.flags);
                out << "      " << s.record.part << ": "
                    << (s.field ? s.field->name
                                : "field id " + std::to_string(s.record.field) + " (missing)");
                if (s.field)
                    out << ", position " << segmentPosition(s) << ", length " << s.field->record.size;
                out << ", flags " << kf;
                if (kf)
                    out << " (" << joined(dict::keyFlagWords(kf)) << ')';
                out << '\n';
            }
        }
    }
}

void dumpJson(const dict::Tables& tables, std::ostream& out)
{
    JsonWriter j(out);
    j.beginObject().key("tables").beginArray();
    for (const dict::TableDef& t : tables.all()) {
        j.beginObject();
        j.key("id").value(t.record.id);
        j.key("name").value(t.name);
        j.key("location").value(t.location);
        j.key("flags").value(int(t.record.flags));
        j.key("flagWords").strings(dict::fileFlagWords(t.record.flags));
        j.key("fields").beginArray();
        for (const dict::FieldDef& f : t.fields) {
            j.beginObject();
            j.key("id").value(f.record.id);
            j.key("name").value(f.name);
            j.key("type").value(typeLabel(f.record.dataType));
            j.key("typeCode").value(int(f.record.dataType));
            j.key("offset").value(f.record.offset);
            j.key("size").value(f.record.size);
            j.key("decimals").value(int(f.record.dec));
            j.key("flags").value(f.record.flag);
            j.key("extendedType");
            if (f.extendedType)
                j.value(typeLabel(*f.extendedType));
            else
                j.null();
            j.endObject();
        }
        j.endArray();
        j.key("keys").beginArray();
        for (const dict::KeyDef& k : t.keys) {
            j.beginObject();
            j.key("number").value(k.number);
            j.key("unique").value(!k.duplicates());
            j.key("segments").beginArray();
            for (const dict::KeySegmentDef& s : k.segments) {
                const unsigned kf = static_cast<uint16_t>(s.record.flags);
                j.beginObject();
                j.key("part").value(s.record.part);
                j.key("field");
                if (s.field)
                    j.value(s.field->name);
                else
                    j.null();
                j.key("fieldId").value(s.record.field);
                j.key("position").value(segmentPosition(s));
                j.key("length").value(s.field ? s.field->record.size : 0);
                j.key("flags").value(int(kf));
                j.key("flagWords").strings(dict::keyFlagWords(kf));
                j.endObject();
            }
            j.endArray();
            j.endObject();
        }
        j.endArray();
        j.endObject();
    }
    j.endArray().endObject();
}

int runDump(const Invocation& in)
{
    const LoadedDictionary& d = in.dictionary();
    if (in.args.has("--json"))
        dumpJson(*d.tables, in.io.out);
    else
        dumpText(*d.tables, in.io.out);
    return kExitOk;
}

} // namespace

const Command kDumpCommand{
    .name = "dump",
    .synopsis = "dump DIR [--json]",
    .summary = "the dictionary set in DIR as text or JSON",
    .help = kHelp,
    .flags = {"--json"},
    .codePage = true,
    .leastPositionals = 1,
    .mostPositionals = 1,
    .needs = "one directory",
    .dictionaries = 1,
    .run = runDump,
};

} // namespace cli
