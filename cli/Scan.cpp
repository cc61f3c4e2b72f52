// scan: the Pascal record scanner with the type mapping, as the Utils page runs it.
#include "Commands.h"
#include "FieldValue.h"
#include "PascalScanner.h"
#include "TypeMappingLine.h"

#include <cstring>
#include <filesystem>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli scan FILE [--mapping FILE] [--resolve] [--json]

Scans a Pascal source for record declarations with the record scanner of Quillan's Utils page
and prints the records in file order, each field with its name, Pascal type, Btrieve type,
offset and size, as the page's grid shows them:
  record NAME
    NAME|PASCAL TYPE|BTRIEVE TYPE|OFFSET|SIZE
The type mapping comes from --mapping (a Quillan.rec), else from Quillan.rec in the current
directory, else the defaults (no type used). --json prints
  {"records": [{"name": ..., "fields": [{"name": ..., "pascalType": ..., "btrieveType": ...,
  "offset": N, "size": N}]}], "error": null or the message}
A scan stopped by a bound that is not an integer prints the records found before it and the
message, and exits with status 1.
--resolve first reads the unit's const and type declarations, as the page's "Resolve
declarations" box does: bounds may be constant expressions and fields of types declared in the
unit get those types' sizes; comments of all three kinds are skipped. What stays unknown is
sized 0 and listed after its record:
    unresolved FIELD|NAME|REASON
and in the JSON of each record as "unresolved": [{"field": ..., "name": ..., "reason": ...}].
Records are then read as declared: records written inside fields are sized, and the fields of a
variant part ("case [tag:] Type of ...") overlap, each variant starting where the fixed part and
the tag end. A field of a variant names its case labels after its size (a nested variant after
its enclosing one: 2/B), and in the JSON as "variant": "2/B":
    NAME|PASCAL TYPE|BTRIEVE TYPE|OFFSET|SIZE|VARIANT
)";

constexpr const char* kMappingFile = "Quillan.rec";

std::string readOrFail(const std::string& path)
{
    std::string bytes;
    if (int error = dict::readWholeFile(path, bytes))
        throw CliError(path + ": " + std::strerror(error));
    return bytes;
}

int runScan(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    const std::string source = readOrFail(args.positionals[0]);
    std::vector<std::string> lines = dict::defaultTypeMapping();
    if (const std::string* mapping = args.option("--mapping")) {
        lines = dict::readTypeMapping(readOrFail(*mapping));
    } else {
        std::error_code ec;
        if (std::filesystem::exists(kMappingFile, ec))
            lines = dict::readTypeMapping(readOrFail(kMappingFile));
    }
    dict::ScanOptions options;
    options.resolve = args.has("--resolve");
    const dict::ScanResult result = dict::scanPascalRecords(source, dict::typeMapFromLines(lines), options);

    auto text = [](const std::string& latin1) { return dict::CodePage::latin1().decode(latin1); };
    if (args.has("--json")) {
        JsonWriter j(io.out);
        j.beginObject().key("records").beginArray();
        for (const dict::ScannedRecord& r : result.records) {
            j.beginObject().key("name").value(text(r.Name)).key("fields").beginArray();
            for (const dict::ScannedField& f : r.Fields) {
                j.beginObject();
                j.key("name").value(text(f.Name));
                j.key("pascalType").value(text(f.PascalType));
                j.key("btrieveType").value(text(f.BtrieveType));
                j.key("offset").value(f.Offset);
                j.key("size").value(f.Size);
                if (f.Variant >= 0)
                    j.key("variant").value(text(std::string(dict::variantName(r, f))));
                j.endObject();
            }
            j.endArray();
            if (options.resolve) {
                j.key("unresolved").beginArray();
                for (const dict::UnresolvedField& u : r.Unresolved) {
                    j.beginObject();
                    j.key("field").value(text(u.Field));
                    j.key("name").value(text(u.Name));
                    j.key("reason").value(u.Reason);
                    j.endObject();
                }
                j.endArray();
            }
            j.endObject();
        }
        j.endArray().key("error");
        if (result.error)
            j.value(text(*result.error));
        else
            j.null();
        j.endObject();
    } else {
        for (const dict::ScannedRecord& r : result.records) {
            io.out << "record " << text(r.Name) << '\n';
            for (const dict::ScannedField& f : r.Fields) {
                io.out << "  " << text(f.Name) << '|' << text(f.PascalType) << '|' << text(f.BtrieveType)
                       << '|' << f.Offset << '|' << f.Size;
                if (f.Variant >= 0)
                    io.out << '|' << text(std::string(dict::variantName(r, f)));
                io.out << '\n';
            }
            for (const dict::UnresolvedField& u : r.Unresolved)
                io.out << "  unresolved " << text(u.Field) << '|' << text(u.Name) << '|' << u.Reason << '\n';
        }
        if (result.error)
            io.out << "error " << text(*result.error) << '\n';
    }
    if (result.error) {
        io.err << "quillan-cli: the scan stopped: " << text(*result.error) << '\n';
        return kExitFindings;
    }
    return kExitOk;
}

} // namespace

const Command kScanCommand{
    .name = "scan",
    .synopsis = "scan FILE [--mapping FILE] [--json]",
    .summary = "the records of a Pascal source, as the Utils page\nfinds them",
    .help = kHelp,
    .flags = {"--json", "--resolve"},
    .options = {"--mapping"},
    .leastPositionals = 1,
    .mostPositionals = 1,
    .needs = "one Pascal source file",
    .finishesBuilds = false,
    .run = runScan,
};

} // namespace cli
