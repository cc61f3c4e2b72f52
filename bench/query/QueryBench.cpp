// SQL through the module quillan over a 1,000,000-record table of ten mixed fields, as a native
// file and as a genuine 6.x one: a point lookup by key, a count(*) scan beside export's reading and
// decoding of the same file, a key range of 1% of the rows (BETWEEN) beside a full scan that
// filters on a column of no key and beside the record manager's own reads of that range, and for
// the genuine file the first key read of a fresh connection (the reader sorts the file's records
// once) beside later ones.
// Run: build/bench/query/query_bench (a Release build for the figures); the files are made once
// per run in a scratch directory and removed at the end.
#include "GeneratedFiles.h"

#include "Binding.h"
#include "BtrCall.h"
#include "DataRecords.h"
#include "DictionarySet.h"
#include "Quillan.h"
#include "SqlSchema.h"
#include "Status.h"
#include "WinBtr.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

constexpr int kRecords = 1000000;
constexpr int kRecordLength = 63;

fs::path scratch()
{
    static const fs::path dir =
        fs::temp_directory_path() / ("quillan-query-bench-" + std::to_string(::getpid()));
    return dir;
}

// Id Integer 4 (key 0), Name String 20, Code ZString 10, Qty Integer 2, Price Float 8, Amount
// Decimal 6.2, Day Date, At Time, Paid Logical 1, Count Unsigned 4.
querytest::GenTable bigTable(const std::string& location)
{
    querytest::GenTable t;
    t.id = 4;
    t.name = "BIG";
    t.location = location;
    t.recordLength = kRecordLength;
    t.fields = {{"Id", 1, 0, 4},     {"Name", 0, 4, 20},      {"Code", 11, 24, 10}, {"Qty", 1, 34, 2},
                {"Price", 2, 36, 8}, {"Amount", 5, 44, 6, 2}, {"Day", 3, 50, 4},    {"At", 4, 54, 4},
                {"Paid", 7, 58, 1},  {"Count", 14, 59, 4}};
    t.keys = {{{0, 0}}};
    return t;
}

std::vector<std::vector<uint8_t>> bigRecords()
{
    std::mt19937 rng(42);
    std::vector<std::vector<uint8_t>> records;
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        std::vector<uint8_t> r(kRecordLength, ' ');
        const auto put = [&](int at, int size, uint64_t v) {
            for (int b = 0; b < size; ++b)
                r[static_cast<std::size_t>(at + b)] = static_cast<uint8_t>(v >> (8 * b));
        };
        put(0, 4, static_cast<uint32_t>((int64_t{i} * 7919) % kRecords)); // every id once, not in order
        const std::string name = "Customer " + std::to_string(rng() % 100000);
        std::copy(name.begin(), name.end(), r.begin() + 4);
        std::fill(r.begin() + 24, r.begin() + 34, 0);
        r[24] = 'C';
        put(34, 2, rng() % 1000);
        const double price = (rng() % 100000) / 100.0;
        std::memcpy(r.data() + 36, &price, 8);
        const uint8_t amount[6] = {0, 0, 0x12, 0x34, 0x56, 0x7C};
        std::copy(amount, amount + 6, r.begin() + 44);
        put(50, 4, 1u | 6u << 8 | 2020u << 16);
        put(54, 4, 0u | 30u << 8 | 12u << 16 | 9u << 24);
        put(58, 1, rng() % 2);
        put(59, 4, rng());
        records.push_back(std::move(r));
    }
    return records;
}

// The dictionary and both files, made once.
const fs::path& database()
{
    static const fs::path dir = [] {
        const fs::path d = scratch();
        fs::create_directories(d);
        const querytest::GenTable native = bigTable("BIG.DAT"), genuine = bigTable("GENUINE.DAT");
        querytest::GenTable second = genuine;
        second.id = 5;
        second.name = "GBIG";
        querytest::writeGeneratedDictionary(d, {native, second});
        const auto records = bigRecords();
        querytest::createNativeFile(d / "BIG.DAT", native, records);
        querytest::createGenuineFile(d / "GENUINE.DAT", genuine, records, false);
        return d;
    }();
    return dir;
}

struct Connection {
    sqlite3* db = nullptr;
    Connection()
    {
        sqlite3_open(":memory:", &db);
        query::registerQuillan(db);
        sqlite3_exec(db, ("SELECT quillan_attach('" + database().string() + "')").c_str(), nullptr, nullptr,
                     nullptr);
    }
    ~Connection() { sqlite3_close(db); }
};

// One statement, stepped to its end; the first column of the last row.
int64_t run(sqlite3*, sqlite3_stmt* st)
{
    int64_t last = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        last = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    return last;
}

const char* tableOf(const benchmark::State& state)
{
    return state.range(0) ? "GBIG" : "BIG";
}

void BM_PointLookup(benchmark::State& state)
{
    Connection c;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db, ("SELECT * FROM " + std::string(tableOf(state)) + " WHERE Id = ?").c_str(), -1,
                       &st, nullptr);
    std::mt19937 rng(7);
    sqlite3_bind_int(st, 1, 1);
    run(c.db, st); // the file opened (and, genuine, its records sorted) before the timing
    for (auto _ : state) {
        sqlite3_bind_int(st, 1, static_cast<int>(rng() % kRecords));
        benchmark::DoNotOptimize(run(c.db, st));
    }
    sqlite3_finalize(st);
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_PointLookup)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A fresh connection's first key read on the genuine file, beside its second one, and another's
// first query a 1% key range.
void BM_GenuineFirstAndSecondKeyRead(benchmark::State& state)
{
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        {
            Connection c;
            sqlite3_prepare_v2(c.db, "SELECT * FROM GBIG WHERE Id = 123456", -1, &st, nullptr);
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(run(c.db, st));
            const auto first = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(run(c.db, st));
            const auto second = std::chrono::steady_clock::now();
            sqlite3_finalize(st);
            state.counters["first_ms"] = std::chrono::duration<double, std::milli>(first - start).count();
            state.counters["second_us"] = std::chrono::duration<double, std::micro>(second - first).count();
        }
        // A fresh connection, the file closed since, whose first query is the 1% range.
        Connection r;
        sqlite3_prepare_v2(r.db, "SELECT count(*), sum(Qty) FROM GBIG WHERE Id BETWEEN 500000 AND 509999", -1,
                           &st, nullptr);
        const auto rangeStart = std::chrono::steady_clock::now();
        if (run(r.db, st) != 10000)
            state.SkipWithError("not 1% of the rows");
        state.counters["first_range_ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - rangeStart).count();
        sqlite3_finalize(st);
    }
}

BENCHMARK(BM_GenuineFirstAndSecondKeyRead)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_CountScan(benchmark::State& state)
{
    Connection c;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db, ("SELECT count(*) FROM " + std::string(tableOf(state))).c_str(), -1, &st,
                       nullptr);
    for (auto _ : state)
        if (run(c.db, st) != kRecords)
            state.SkipWithError("count(*) is not the number of records");
    sqlite3_finalize(st);
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_CountScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What export does before it writes: every record in physical order, every field decoded.
void BM_ExportReadingAndDecoding(benchmark::State& state)
{
    dict::DictionarySet set;
    dict::readDictionarySetIn(database(), set);
    const dict::Tables tables(set);
    const dict::TableDef* table = tables.find(tableOf(state));
    const std::vector<dict::TablePlan> plans = dict::planTables({table});
    const std::string path = dict::dataFilePath(database(), *table).string();
    for (auto _ : state) {
        TWinBtr btr;
        btr.Open(path, "", btr::OpenReadOnly);
        const dict::ColumnDecoder decoder(plans[0], static_cast<std::size_t>(btr.BufferSize),
                                          dict::CodePage::latin1());
        std::vector<dict::FieldValue> values(decoder.columns());
        int64_t n = 0;
        for (int st = btr.Execute(btr::OpStepFirst); st == 0; st = btr.Execute(btr::OpStepNext), ++n)
            for (std::size_t i = 0; i < decoder.columns(); ++i)
                decoder.decode(i, reinterpret_cast<const uint8_t*>(btr.Buffer), values[i]);
        if (n != kRecords)
            state.SkipWithError("not every record was read");
    }
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_ExportReadingAndDecoding)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// SELECT * of every row: the scan and the decoding of every column into SQLite values.
void BM_SelectEveryValue(benchmark::State& state)
{
    Connection c;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db, ("SELECT * FROM " + std::string(tableOf(state))).c_str(), -1, &st, nullptr);
    for (auto _ : state) {
        int64_t rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                benchmark::DoNotOptimize(sqlite3_column_type(st, i));
            ++rows;
        }
        sqlite3_reset(st);
        if (rows != kRecords)
            state.SkipWithError("not every row came");
    }
    sqlite3_finalize(st);
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_SelectEveryValue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 1% of the rows through key 0, beside a full scan that filters on a column of no key.
void BM_Between1Percent(benchmark::State& state)
{
    Connection c;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db,
                       ("SELECT count(*), sum(Qty) FROM " + std::string(tableOf(state)) +
                        " WHERE Id BETWEEN 500000 AND 509999")
                           .c_str(),
                       -1, &st, nullptr);
    run(c.db, st);
    for (auto _ : state)
        if (run(c.db, st) != 10000)
            state.SkipWithError("not 1% of the rows");
    sqlite3_finalize(st);
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_Between1Percent)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The record manager's own part of that range: Get Greater or Equal and Get Next through TWinBtr.
void BM_KeyRangeReadsAlone(benchmark::State& state)
{
    dict::DictionarySet set;
    dict::readDictionarySetIn(database(), set);
    const dict::Tables tables(set);
    const std::string path = dict::dataFilePath(database(), *tables.find(tableOf(state))).string();
    TWinBtr btr;
    btr.Open(path, "", btr::OpenReadOnly);
    btr.Execute(btr::OpGetFirst); // a genuine file's records sorted before the timing
    for (auto _ : state) {
        const int32_t first = 500000;
        std::memcpy(btr.KeyBuffer, &first, sizeof first);
        btr.KeyNumber = 0;
        int n = 0;
        for (int st = btr.Execute(btr::OpGetGreaterOrEqual); st == 0 && n < 10000;
             st = btr.Execute(btr::OpGetNext))
            ++n;
        if (n != 10000)
            state.SkipWithError("not 1% of the records");
    }
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_KeyRangeReadsAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FullScanFilter(benchmark::State& state)
{
    Connection c;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        c.db, ("SELECT count(*), sum(Qty) FROM " + std::string(tableOf(state)) + " WHERE Qty < 10").c_str(),
        -1, &st, nullptr);
    run(c.db, st);
    for (auto _ : state)
        benchmark::DoNotOptimize(run(c.db, st));
    sqlite3_finalize(st);
    state.SetLabel(state.range(0) ? "genuine" : "native");
}
BENCHMARK(BM_FullScanFilter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    btrieve::setRecordManagerForTesting(&QuillanEngineCall);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    return 0;
}
