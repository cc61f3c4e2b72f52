// SQL through the module quillan over a 1,000,000-record table of ten mixed fields, as native
// files and as genuine 6.x ones, each once with its records in no order of the key (Arg 0 native,
// 1 genuine) and once inserted roughly in key order, as applications fill files (2 native, 3
// genuine): a point lookup by key, a count(*) scan beside export's reading and decoding of the
// same file, a key range of 1% of the rows (BETWEEN) beside a full scan that filters on a column
// of no key and beside the record manager's own reads of that range, the first key read of a
// fresh connection on a genuine file beside later ones, and on the native files the range read
// straight from SQLite in key order beside its positions read from the index and its records
// then fetched in position order.
// Run: build/bench/query/query_bench (a Release build for the figures); the files are made once
// per run in a scratch directory and removed at the end.
#include "GeneratedFiles.h"

#include "BigTable.h"
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

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

namespace {
namespace fs = std::filesystem;

constexpr int kRecords = bench::kBigRecords;
constexpr int kRecordLength = bench::kBigRecordLength;

fs::path scratch()
{
    static const fs::path dir = bench::scratchDirectory("query");
    return dir;
}

querytest::GenTable bigTable(int16_t id, const std::string& name, const std::string& location)
{
    querytest::GenTable t;
    t.id = id;
    t.name = name;
    t.location = location;
    t.recordLength = kRecordLength;
    for (const bench::BigField& f : bench::kBigFields)
        t.fields.push_back({f.name, f.type, f.offset, f.size, f.dec});
    t.keys = {{{0, 0}}};
    return t;
}

// Every id once: scrambled against the physical order (i * 7919 mod N), or roughly in key order
// (ascending, each run of 64 records shuffled).
std::vector<std::vector<uint8_t>> bigRecords(bool keyOrder)
{
    std::mt19937 rng(42);
    std::vector<uint32_t> ids(kRecords);
    for (int i = 0; i < kRecords; ++i)
        ids[static_cast<std::size_t>(i)] =
            keyOrder ? static_cast<uint32_t>(i) : static_cast<uint32_t>((int64_t{i} * 7919) % kRecords);
    if (keyOrder)
        for (std::size_t i = 0; i < ids.size(); i += 64)
            std::shuffle(ids.begin() + static_cast<std::ptrdiff_t>(i),
                         ids.begin() + static_cast<std::ptrdiff_t>(std::min(ids.size(), i + 64)), rng);
    std::vector<std::vector<uint8_t>> records;
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        std::vector<uint8_t> r(kRecordLength, ' ');
        const auto put = [&](int at, int size, uint64_t v) {
            for (int b = 0; b < size; ++b)
                r[static_cast<std::size_t>(at + b)] = static_cast<uint8_t>(v >> (8 * b));
        };
        put(0, 4, ids[static_cast<std::size_t>(i)]);
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

// The tables by benchmark argument: (table, data file).
constexpr const char* kTables[][2] = {
    {"BIG", "BIG.DAT"}, {"GBIG", "GENUINE.DAT"}, {"OBIG", "ORDERED.DAT"}, {"GOBIG", "GORDERED.DAT"}};

// The dictionary and the four files, made once.
const fs::path& database()
{
    static const fs::path dir = [] {
        const fs::path d = scratch();
        fs::create_directories(d);
        std::vector<querytest::GenTable> tables;
        for (int i = 0; i < 4; ++i)
            tables.push_back(bigTable(static_cast<int16_t>(4 + i), kTables[i][0], kTables[i][1]));
        querytest::writeGeneratedDictionary(d, tables);
        for (const bool keyOrder : {false, true}) {
            const auto records = bigRecords(keyOrder);
            const int native = keyOrder ? 2 : 0;
            querytest::createNativeFile(d / kTables[native][1], tables[native], records);
            querytest::createGenuineFile(d / kTables[native + 1][1], tables[native + 1], records, false);
        }
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
    return kTables[state.range(0)][0];
}

void label(benchmark::State& state)
{
    state.SetLabel(std::string(state.range(0) % 2 ? "genuine" : "native") +
                   (state.range(0) >= 2 ? ", key order" : ""));
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
    label(state);
}
BENCHMARK(BM_PointLookup)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

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
    label(state);
}
BENCHMARK(BM_CountScan)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
    label(state);
}
BENCHMARK(BM_ExportReadingAndDecoding)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
    label(state);
}
BENCHMARK(BM_SelectEveryValue)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
    label(state);
}
BENCHMARK(BM_Between1Percent)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
    label(state);
}
BENCHMARK(BM_KeyRangeReadsAlone)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// A native file's 1% range read by SQLite alone, as the record manager reads it (each index entry
// then its row, in key order: Arg 0) and as it could be read when the rows' order does not matter
// (the rows' ids from the index alone, then the rows by id in ascending order: Arg 1); sum(Qty) of
// the rows. Argument 2 and 3: the same on the file inserted roughly in key order.
void BM_NativeRangeRowOrder(benchmark::State& state)
{
    const bool byId = state.range(0) % 2;
    const char* file = kTables[state.range(0) >= 2 ? 2 : 0][1];
    sqlite3* db = nullptr;
    sqlite3_open_v2((database() / file).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size = -65536; PRAGMA mmap_size = 1073741824; BEGIN", nullptr, nullptr,
                 nullptr);
    const auto prepare = [&](const char* sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        return st;
    };
    // Every id is there once: the 500,000th key image is that of Id 500000.
    sqlite3_stmt* bound =
        prepare("SELECT k0 FROM records WHERE k0 IS NOT NULL ORDER BY k0 LIMIT 1 OFFSET ?1");
    std::string lo, hi;
    for (auto [offset, out] : {std::pair{500000, &lo}, std::pair{509999, &hi}}) {
        sqlite3_bind_int(bound, 1, offset);
        if (sqlite3_step(bound) == SQLITE_ROW)
            out->assign(static_cast<const char*>(sqlite3_column_blob(bound, 0)),
                        static_cast<std::size_t>(sqlite3_column_bytes(bound, 0)));
        sqlite3_reset(bound);
    }
    sqlite3_finalize(bound);
    sqlite3_stmt* inKeyOrder = prepare(
        "SELECT id, data, k0, 0 FROM records WHERE k0 IS NOT NULL AND k0 >= ?1 AND k0 <= ?2 ORDER BY k0");
    sqlite3_stmt* ids =
        prepare("SELECT id FROM records WHERE k0 IS NOT NULL AND k0 >= ?1 AND k0 <= ?2 ORDER BY k0");
    sqlite3_stmt* byAddress = prepare("SELECT id, data FROM records WHERE id = ?1");
    std::vector<uint8_t> record;
    std::vector<int64_t> positions;
    const auto take = [&](sqlite3_stmt* st, int64_t& sum) {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, 1));
        record.assign(p, p + sqlite3_column_bytes(st, 1));
        sum += static_cast<int16_t>(record[34] | record[35] << 8);
    };
    for (auto _ : state) {
        int64_t sum = 0, rows = 0;
        sqlite3_stmt* range = byId ? ids : inKeyOrder;
        sqlite3_bind_blob(range, 1, lo.data(), static_cast<int>(lo.size()), SQLITE_STATIC);
        sqlite3_bind_blob(range, 2, hi.data(), static_cast<int>(hi.size()), SQLITE_STATIC);
        positions.clear();
        while (sqlite3_step(range) == SQLITE_ROW) {
            if (byId) {
                positions.push_back(sqlite3_column_int64(range, 0));
            } else {
                take(range, sum);
                ++rows;
            }
        }
        sqlite3_reset(range);
        std::sort(positions.begin(), positions.end());
        for (const int64_t id : positions) {
            sqlite3_bind_int64(byAddress, 1, id);
            if (sqlite3_step(byAddress) == SQLITE_ROW) {
                take(byAddress, sum);
                ++rows;
            }
            sqlite3_reset(byAddress);
        }
        if (rows != 10000)
            state.SkipWithError("not 1% of the rows");
        benchmark::DoNotOptimize(sum);
    }
    for (sqlite3_stmt* st : {inKeyOrder, ids, byAddress})
        sqlite3_finalize(st);
    sqlite3_close(db);
    state.SetLabel(std::string(byId ? "ids from the index, rows by id" : "rows in key order") +
                   (state.range(0) >= 2 ? ", key order file" : ""));
}
BENCHMARK(BM_NativeRangeRowOrder)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
    label(state);
}
BENCHMARK(BM_FullScanFilter)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

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
