// The embedded engine against plain SQLite doing the same work: FIELD.DDF records with its five
// keys inserted in one go, read back in key-0 order, and Stat. Run: build/bench/engine/engine_bench
#include "BtrCall.h"
#include "EngineFile.h"
#include "Status.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

fs::path scratchDir()
{
    return fs::temp_directory_path() / ("quillan-bench-" + std::to_string(::getpid()));
}

std::string scratch(const char* name)
{
    const fs::path dir = scratchDir();
    fs::create_directories(dir);
    return (dir / name).string();
}

void removeFile(const std::string& path)
{
    std::error_code ec;
    fs::remove(path, ec);
    fs::remove(path + "-journal", ec);
}

// FIELD.DDF: record layout and creation specification with the "UPPER" sequence. 100,000
// distinct ids do not fit Xe$Id's 16 bits: the wide layout makes it 32 bits (record 34 bytes,
// every later field 2 bytes further on) and keeps the five keys as they are.
std::vector<uint8_t> fieldDdfSpec(bool wide)
{
    const uint16_t shift = wide ? 2 : 0;
    struct Seg {
        uint16_t pos, len, flags;
        uint8_t type;
    };
    const Seg segs[] = {{1, 2, 0x104, 14}, {3, 2, 0x105, 14}, {5, 20, 0x123, 0},  {3, 2, 0x116, 14},
                        {5, 20, 0x122, 0}, {3, 2, 0x117, 14}, {26, 2, 0x117, 14}, {30, 1, 0x103, 0}};
    std::vector<uint8_t> createBuffer(16 + 16 * 8 + 265, 0);
    createBuffer[0] = static_cast<uint8_t>(32 + shift);
    createBuffer[3] = 0x10; // page size 4096
    createBuffer[4] = 5;
    for (int i = 0; i < 8; ++i) {
        uint8_t* s = &createBuffer[16 + 16 * i];
        s[0] = static_cast<uint8_t>(segs[i].pos + (i == 0 ? 0 : shift));
        s[2] = static_cast<uint8_t>(segs[i].len + (i == 0 ? shift : 0));
        s[4] = static_cast<uint8_t>(segs[i].flags);
        s[5] = static_cast<uint8_t>(segs[i].flags >> 8);
        s[10] = segs[i].type;
    }
    uint8_t* acs = &createBuffer[16 + 16 * 8];
    acs[0] = 0xAC;
    std::memcpy(acs + 1, "UPPER", 5);
    for (int b = 0; b < 256; ++b)
        acs[9 + b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - 32 : b);
    return createBuffer;
}

struct Field {
    uint32_t id;
    uint16_t file;
    char name[21];
    uint8_t type;
    uint16_t offset, size;
    uint8_t dec;
    uint16_t flag;
};

Field fieldNumber(int i)
{
    Field f{};
    f.id = static_cast<uint32_t>(i);
    f.file = static_cast<uint16_t>(1 + i % 997);
    std::snprintf(f.name, sizeof f.name, "%-20s", ("Field" + std::to_string(i * 7919 % 100003)).c_str());
    f.type = static_cast<uint8_t>(i % 19);
    f.offset = static_cast<uint16_t>(i % 4000);
    f.size = static_cast<uint16_t>(1 + i % 40);
    f.dec = static_cast<uint8_t>(i % 5);
    return f;
}

// Returns the record length.
uint32_t toRecord(const Field& f, uint8_t* r, bool wide)
{
    std::memcpy(r, &f.id, wide ? 4 : 2);
    r += wide ? 2 : 0;
    std::memcpy(r + 2, &f.file, 2);
    std::memcpy(r + 4, f.name, 20);
    r[24] = f.type;
    std::memcpy(r + 25, &f.offset, 2);
    std::memcpy(r + 27, &f.size, 2);
    r[29] = f.dec;
    std::memcpy(r + 30, &f.flag, 2);
    return wide ? 34 : 32;
}

using bench::EngineFile;

void engineBuild(const std::string& path, int count)
{
    const bool wide = count > 65535;
    removeFile(path);
    EngineFile f;
    std::vector<uint8_t> createBuffer = fieldDdfSpec(wide);
    std::memcpy(f.key, path.data(), path.size());
    f.call(btr::OpCreate, createBuffer.data(), static_cast<uint32_t>(createBuffer.size()));
    f.open(path);
    uint8_t record[34];
    for (int i = 1; i <= count; ++i) {
        const uint32_t length = toRecord(fieldNumber(i), record, wide);
        if (f.call(btr::OpInsert, record, length) != 0)
            std::abort();
    }
    f.call(btr::OpClose, nullptr, 0);
}

int engineReadAll(const std::string& path)
{
    EngineFile f;
    f.open(path);
    uint8_t record[34];
    int n = 0;
    for (int16_t st = f.call(btr::OpGetFirst, record, sizeof record); st == 0;
         st = f.call(btr::OpGetNext, record, sizeof record))
        ++n;
    f.call(btr::OpClose, nullptr, 0);
    return n;
}

void sqliteExec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
}

// The same table in plain SQLite: one column per field and one index per key.
void sqliteBuild(const std::string& path, int count)
{
    removeFile(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqliteExec(db, "PRAGMA cache_size = -65536;" // as the engine sets it
                   "BEGIN;"
                   "CREATE TABLE field(id INTEGER, file INTEGER, name TEXT, type INTEGER, offset INTEGER,"
                   " size INTEGER, dec INTEGER, flag INTEGER);"
                   "CREATE UNIQUE INDEX k0 ON field(id);"
                   "CREATE INDEX k1 ON field(file);"
                   "CREATE INDEX k2 ON field(name COLLATE NOCASE);"
                   "CREATE UNIQUE INDEX k3 ON field(file, name COLLATE NOCASE);"
                   "CREATE INDEX k4 ON field(file, offset, dec);");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO field VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &st, nullptr);
    for (int i = 1; i <= count; ++i) {
        const Field f = fieldNumber(i);
        sqlite3_bind_int(st, 1, f.id);
        sqlite3_bind_int(st, 2, f.file);
        sqlite3_bind_text(st, 3, f.name, 20, SQLITE_STATIC);
        sqlite3_bind_int(st, 4, f.type);
        sqlite3_bind_int(st, 5, f.offset);
        sqlite3_bind_int(st, 6, f.size);
        sqlite3_bind_int(st, 7, f.dec);
        sqlite3_bind_int(st, 8, f.flag);
        if (sqlite3_step(st) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqliteExec(db, "COMMIT");
    sqlite3_close(db);
}

int sqliteReadAll(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM field ORDER BY id", -1, &st, nullptr);
    uint8_t record[34];
    int n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        Field f{};
        f.id = static_cast<uint32_t>(sqlite3_column_int(st, 0));
        f.file = static_cast<uint16_t>(sqlite3_column_int(st, 1));
        std::memcpy(f.name, sqlite3_column_text(st, 2), 20);
        f.type = static_cast<uint8_t>(sqlite3_column_int(st, 3));
        f.offset = static_cast<uint16_t>(sqlite3_column_int(st, 4));
        f.size = static_cast<uint16_t>(sqlite3_column_int(st, 5));
        f.dec = static_cast<uint8_t>(sqlite3_column_int(st, 6));
        f.flag = static_cast<uint16_t>(sqlite3_column_int(st, 7));
        toRecord(f, record, true);
        benchmark::DoNotOptimize(record);
        ++n;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

void BM_EngineInsert(benchmark::State& state)
{
    const std::string path = scratch("engine-insert.ddf");
    for (auto _ : state)
        engineBuild(path, static_cast<int>(state.range(0)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SqliteInsert(benchmark::State& state)
{
    const std::string path = scratch("sqlite-insert.db");
    for (auto _ : state)
        sqliteBuild(path, static_cast<int>(state.range(0)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EngineReadKey0(benchmark::State& state)
{
    const std::string path = scratch("engine-read.ddf");
    engineBuild(path, static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (engineReadAll(path) != state.range(0))
            state.SkipWithError("wrong count");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SqliteReadKey0(benchmark::State& state)
{
    const std::string path = scratch("sqlite-read.db");
    sqliteBuild(path, static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (sqliteReadAll(path) != state.range(0))
            state.SkipWithError("wrong count");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EngineStat(benchmark::State& state)
{
    const std::string path = scratch("engine-stat.ddf");
    engineBuild(path, static_cast<int>(state.range(0)));
    EngineFile f;
    f.open(path);
    std::vector<uint8_t> buffer(1920);
    for (auto _ : state)
        benchmark::DoNotOptimize(f.call(btr::OpStat, buffer.data(), 1920));
    f.call(btr::OpClose, nullptr, 0);
}

// What Stat reports, from plain SQLite: the record count and the distinct values of each key.
void BM_SqliteStat(benchmark::State& state)
{
    const std::string path = scratch("sqlite-stat.db");
    sqliteBuild(path, static_cast<int>(state.range(0)));
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const char* queries[] = {"SELECT count(*) FROM field",
                             "SELECT count(id) FROM field",
                             "SELECT count(DISTINCT file) FROM field",
                             "SELECT count(DISTINCT name COLLATE NOCASE) FROM field",
                             "SELECT count(*) FROM field",
                             "SELECT count(*) FROM (SELECT DISTINCT file, offset, dec FROM field)"};
    std::vector<sqlite3_stmt*> statements;
    for (const char* q : queries) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, q, -1, &st, nullptr);
        statements.push_back(st);
    }
    for (auto _ : state) {
        for (sqlite3_stmt* st : statements) {
            sqlite3_step(st);
            benchmark::DoNotOptimize(sqlite3_column_int(st, 0));
            sqlite3_reset(st);
        }
    }
    for (sqlite3_stmt* st : statements)
        sqlite3_finalize(st);
    sqlite3_close(db);
}

// A 30,000-record FIELD.DDF created, filled, closed, opened and read back in key-0 order.
void BM_EngineFieldDdf30000BuildAndRead(benchmark::State& state)
{
    const std::string path = scratch("FIELD.DDF");
    for (auto _ : state) {
        engineBuild(path, 30000);
        if (engineReadAll(path) != 30000)
            state.SkipWithError("wrong count");
    }
}

} // namespace

BENCHMARK(BM_EngineInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteInsert)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EngineReadKey0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SqliteReadKey0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EngineStat)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SqliteStat)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EngineFieldDdf30000BuildAndRead)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(scratchDir(), ec); // some hundred megabytes of files
    return 0;
}
