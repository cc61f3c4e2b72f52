// The Pascal record scanner over a generated 20 MB unit holding 50,000 record declarations
// between ordinary code (comments, constants, routines), with a mapping that ticks the usual
// types. The target is a whole scan in under 0.2 s. Run: build/bench/dictionary/pascal_scanner_bench
#include "PascalScanner.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kRecords = 50'000;
constexpr std::size_t kSourceBytes = 20u << 20;

// Fields cycle through these declarations; each record holds 6 to 13 of them.
const char* const kFields[] = {
    "Id: Integer;",
    "Name: String[30];",
    "Code: array[1..8] of Char;",
    "Flags: Word;",
    "Amount: Currency;",
    "Born: TDate;",
    "X, Y: SmallInt;",
    "Ratio: Double;",
    "Active: Boolean;",
    "Tags: array[0..9] of Byte;",
    "Notes: string;",
    "Owner: TOwnerRef;",
    "Grid: array[1..4] of array[1..4] of LongInt;",
};

std::string generateSource()
{
    std::string source = "unit Generated;\n\n{ Generated for the scanner benchmark. }\n\ninterface\n\n";
    source.reserve(kSourceBytes + 4096);
    const std::size_t perRecord = kSourceBytes / kRecords;
    for (int r = 0; r < kRecords; ++r) {
        source += "type\n  (* record number " + std::to_string(r) + " *)\n  TRecord" + std::to_string(r) +
                  (r % 5 == 0 ? " = packed record\n" : " = record\n");
        const int fields = 6 + r % 8;
        for (int f = 0; f < fields; ++f) {
            source += "    F";
            source += std::to_string(f);
            source += kFields[(r + f) % std::size(kFields)];
            source += '\n';
        }
        source += "  end;\n\n";
        // Ordinary code up to this record's share of the 20 MB.
        while (source.size() < (r + 1) * perRecord) {
            source += "procedure Touch" + std::to_string(r) +
                      "(var Value: Integer);\nbegin\n  Value := Value + 1; { keep it simple }\nend;\n";
        }
    }
    source += "\nimplementation\n\nend.\n";
    return source;
}

dict::TypeMap benchMapping()
{
    std::vector<std::string> lines = dict::defaultTypeMapping();
    lines[0] = "1 0 1";   // Char
    lines[6] = "1 1 4";   // Integer
    lines[8] = "1 1 2";   // SmallInt
    lines[9] = "1 1 4";   // LongInt
    lines[10] = "1 14 1"; // Byte
    lines[11] = "1 14 2"; // Word
    lines[15] = "1 2 8";  // Double
    lines[17] = "1 40 8"; // Currency
    lines[19] = "1 0 1";  // String
    lines[23] = "1 7 1";  // Boolean
    lines[27] = "1 19 4"; // TDate
    return dict::typeMapFromLines(lines);
}

void scanWholeSource(benchmark::State& state)
{
    const std::string source = generateSource();
    const dict::TypeMap map = benchMapping();
    std::size_t records = 0;
    for (auto _ : state) {
        dict::ScanResult result = dict::scanPascalRecords(source, map);
        records = result.records.size();
        benchmark::DoNotOptimize(result);
    }
    if (records != kRecords)
        state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
    state.counters["MB"] = static_cast<double>(source.size()) / (1 << 20);
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(scanWholeSource)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same source resolving declarations (quillan-cli scan --resolve): the comments blanked, the
// const and type sections read, every field's type read as declared. Within 1.5 times the
// plain scan.
void scanWholeSourceResolving(benchmark::State& state)
{
    const std::string source = generateSource();
    const dict::TypeMap map = benchMapping();
    dict::ScanOptions options;
    options.resolve = true;
    std::size_t records = 0;
    std::size_t unresolved = 0;
    for (auto _ : state) {
        dict::ScanResult result = dict::scanPascalRecords(source, map, options);
        records = result.records.size();
        unresolved = 0;
        for (const dict::ScannedRecord& r : result.records)
            unresolved += r.Unresolved.size();
        benchmark::DoNotOptimize(result);
    }
    if (records != kRecords)
        state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
    state.counters["records"] = static_cast<double>(records);
    state.counters["unresolved"] = static_cast<double>(unresolved);
}
BENCHMARK(scanWholeSourceResolving)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void tokenizeOnly(benchmark::State& state)
{
    const std::string source = generateSource();
    for (auto _ : state)
        benchmark::DoNotOptimize(dict::tokenizePascal(source));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}
BENCHMARK(tokenizeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
