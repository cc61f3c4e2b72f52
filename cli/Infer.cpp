// infer: a first draft of a table's fields from its data file.
#include "BuildReport.h"
#include "CheckData.h"
#include "Commands.h"
#include "DataRecords.h"
#include "FieldInference.h"
#include "FieldValue.h"

#include <cstdio>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli infer FILE [--json] [--table NAME] [--sample N]
       quillan-cli infer DIR --table NAME [--json] [--sample N]

Proposes the fields of a data file's records from the file's key specifications and byte
statistics over its first N records (default 10000; 0 reads them all): texts (String, ZString,
LString), little-endian integers, packed decimals, Pascal Reals, IEEE and Microsoft floats,
yes/no bytes, dates, times, constant filler and unknown bytes, each with a confidence from 0 to 1
and the reason. The fields cover the record exactly, one after another from offset 0 to the
record length. When a byte (or two) tells apart records of several layouts (the first byte, or
one a key covers after a number that leads every record), a draft for each follows ("variants"
in --json, empty otherwise). With a dictionary directory, NAME is the
table whose location is read. The file is opened read-only.
)";

constexpr std::size_t kDefaultSample = 10000;

std::size_t sampleOption(const Args& args, std::size_t fallback)
{
    const std::string* s = args.option("--sample");
    if (!s)
        return fallback;
    try {
        std::size_t used = 0;
        const long long n = std::stoll(*s, &used);
        if (used == s->size() && n >= 0)
            return static_cast<std::size_t>(n);
    } catch (const std::exception&) {
    }
    throw CliError("--sample needs a number of records (0 for all), not " + *s);
}

} // namespace

std::size_t sampleSize(const Args& args, std::size_t fallback)
{
    return sampleOption(args, fallback);
}

namespace {

void writeFieldsJson(JsonWriter& j, const std::vector<dict::InferredField>& fields)
{
    j.beginArray();
    for (const dict::InferredField& f : fields) {
        j.beginObject();
        j.key("name").value(f.name);
        j.key("offset").value(f.offset);
        j.key("size").value(f.size);
        j.key("type").value(dict::typeNameOf(f.typeCode));
        j.key("confidence").fraction(f.confidence);
        j.key("reason").value(f.reason);
        j.endObject();
    }
    j.endArray();
}

void writeFieldsText(std::ostream& out, const std::vector<dict::InferredField>& fields)
{
    char line[96];
    for (const dict::InferredField& f : fields) {
        std::snprintf(line, sizeof line, "%6d %5d  %-14s %-16s %4.2f  ", f.offset, f.size,
                      std::string(dict::typeNameOf(f.typeCode)).c_str(), f.name.c_str(), f.confidence);
        out << line << f.reason << '\n';
    }
}

std::string hexBytes(const std::string& bytes)
{
    std::string s;
    char buf[8];
    for (char c : bytes) {
        std::snprintf(buf, sizeof buf, "%s0x%02X", s.empty() ? "" : " ", static_cast<unsigned char>(c));
        s += buf;
    }
    return s;
}

int runInfer(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    const std::size_t limit = sampleOption(args, kDefaultSample);
    const std::string* table = args.option("--table");
    std::string path = args.positionals[0];
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        if (!table)
            throw CliError("infer needs --table NAME to read a table of the dictionary in " + path);
        const LoadedDictionary d = loadDictionary(path, in.page);
        const dict::TableDef* t = d.tables->find(*table);
        if (!t)
            throw CliError("the dictionary has no table " + *table);
        if (t->location.empty())
            throw CliError("the table " + *table + " has no location");
        path = dataFilePath(d, *t).string();
    }
    dict::DataSample sample;
    const int status = dict::readDataSample(path, limit, sample);
    if (status && sample.recordLength == 0)
        throw CliError(path + " cannot be opened: " + statusWords(status));
    if (status && sample.count == 0)
        throw CliError(path + " cannot be read: " + statusWords(status));
    // A read that stopped part way still gives a draft of what was read, but the command failed.
    const std::string stopped = status ? dict::readStoppedText(path, sample.count, status) : std::string();
    const std::vector<dict::InferredField> fields = dict::inferFields(sample);
    const dict::InferredVariants variants = dict::inferVariants(sample);
    if (args.has("--json")) {
        JsonWriter j(io.out);
        j.beginObject().key("file").value(path);
        if (table)
            j.key("table").value(*table);
        j.key("recordLength").value(static_cast<long long>(sample.recordLength));
        j.key("records").value(static_cast<long long>(sample.count));
        if (status)
            j.key("error").value(stopped);
        j.key("fields");
        writeFieldsJson(j, fields);
        j.key("variants").beginArray();
        for (const dict::InferredVariant& v : variants.variants) {
            j.beginObject();
            j.key("tagOffset").value(variants.offset);
            j.key("tagSize").value(variants.size);
            j.key("tag").value(in.page.decode(v.tag));
            j.key("records").value(static_cast<long long>(v.records.size()));
            j.key("reason").value(variants.reason);
            j.key("fields");
            writeFieldsJson(j, v.fields);
            j.endObject();
        }
        j.endArray().endObject();
    } else {
        io.out << path << (table ? " (" + *table + ")" : std::string()) << ": records of "
               << sample.recordLength << " bytes, " << sample.count
               << (sample.count == 1 ? " record" : " records") << " sampled.\n";
        writeFieldsText(io.out, fields);
        if (!variants.variants.empty())
            io.out << '\n' << variants.reason << '\n';
        for (const dict::InferredVariant& v : variants.variants) {
            const std::string at = std::to_string(variants.offset);
            io.out << "\nRecords with "
                   << (variants.size == 1 ? "byte " + at
                                          : "bytes " + at + ".." + std::to_string(variants.offset + 1))
                   << ' ' << hexBytes(v.tag) << " (" << v.records.size()
                   << (v.records.size() == 1 ? " record" : " records") << "):\n";
            writeFieldsText(io.out, v.fields);
        }
    }
    if (status) {
        io.err << "quillan-cli: " << stopped << '\n';
        return kExitError;
    }
    return kExitOk;
}

} // namespace

const Command kInferCommand{
    .name = "infer",
    .synopsis = "infer FILE [--json] [--table NAME] [--sample N]",
    .summary = "a first draft of the fields of a data file's records",
    .help = kHelp,
    .flags = {"--json"},
    .options = {"--table", "--sample"},
    .codePage = true,
    .leastPositionals = 1,
    .mostPositionals = 1,
    .needs = "one data file",
    .run = runInfer,
};

} // namespace cli
