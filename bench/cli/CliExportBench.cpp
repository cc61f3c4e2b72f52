// quillan-cli export of a 1,000,000-record table of ten fields of mixed types into SQLite, side by
// side with the same rows inserted into SQLite directly (same schema, index and settings), and
// the reading alone (record manager, physical order, decoding). The data file is made once per
// run, through TWinBtr. A second table of text-heavy records (four String fields of Cyrillic
// text stored in code page 866) is exported read as Latin-1 and as 866: the code page must not
// make the export slower.
// Run: build/bench/cli/cli_export_bench (a Release build for the figures). For timing whole
// processes (/usr/bin/time -v, hyperfine): `cli_export_bench --write-data DIR` leaves the dictionary and BIG.DAT in
// DIR, `cli_export_bench --direct-insert OUT.db` makes one direct insert of the same rows.
#include "BigTable.h"
#include "Binding.h"
#include "Commands.h"
#include "FieldValue.h"
#include "SampleDictionary.h"
#include "Status.h"
#include "WinBtr.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {
namespace fs = std::filesystem;

using bench::kBigRecordLength;
using bench::kBigRecords;

fs::path scratch()
{
    static const fs::path dir = bench::scratchDirectory("cli");
    return dir;
}

sample::DictionaryRows bigDictionary()
{
    sample::DictionaryRows rows = sample::selfDescription();
    rows.writeExtensions = true;
    dict::FileRecord f;
    f.id = 4;
    f.name = "BIG";
    f.loc = "BIG.DAT";
    rows.files.push_back(f);
    int16_t id = 18;
    for (const bench::BigField& x : bench::kBigFields)
        rows.fields.push_back({id++, 4, x.name, x.type, x.offset, x.size, x.dec, 0});
    rows.indexes.push_back({4, 18, 0, 0, 0x100});
    return rows;
}

struct Row {
    int32_t id;
    char name[21];
    char code[11];
    int16_t qty;
    double price;
    int64_t cents; // Amount
    int day, month, year;
    int hour, minute, second, hundredth;
    bool paid;
    uint32_t count;
};

Row rowOf(int i)
{
    Row r{};
    r.id = i + 1;
    std::snprintf(r.name, sizeof r.name, "Customer %d", i);
    std::snprintf(r.code, sizeof r.code, "C%07d", i % 9999999);
    r.qty = static_cast<int16_t>(i % 2000 - 1000);
    r.price = i * 0.25;
    r.cents = (i % 2 ? -1 : 1) * static_cast<int64_t>(i) * 7;
    r.day = 1 + i % 28;
    r.month = 1 + i % 12;
    r.year = 1990 + i % 40;
    r.hour = i % 24;
    r.minute = i % 60;
    r.second = (i / 60) % 60;
    r.hundredth = i % 100;
    r.paid = i % 3 == 0;
    r.count = static_cast<uint32_t>(i) * 3u;
    return r;
}

std::vector<uint8_t> recordOf(const Row& r)
{
    sample::RecordBytes b(kBigRecordLength);
    b.integer(0, 4, static_cast<uint32_t>(r.id)).text(4, 20, r.name).text(24, 10, r.code, '\0');
    b.integer(34, 2, static_cast<uint16_t>(r.qty)).real(36, r.price);
    // Amount: 11 digits and the sign nibble.
    std::vector<uint8_t> packed(6, 0);
    uint64_t v = static_cast<uint64_t>(r.cents < 0 ? -r.cents : r.cents);
    packed[5] = static_cast<uint8_t>(((v % 10) << 4) | (r.cents < 0 ? 0xD : 0xC));
    v /= 10;
    for (int i = 4; i >= 0; --i, v /= 100)
        packed[i] = static_cast<uint8_t>(((v / 10 % 10) << 4) | (v % 10));
    b.raw(44, packed);
    b.raw(50, {uint8_t(r.day), uint8_t(r.month), uint8_t(r.year), uint8_t(r.year >> 8)});
    b.raw(54, {uint8_t(r.hundredth), uint8_t(r.second), uint8_t(r.minute), uint8_t(r.hour)});
    b.integer(58, 1, r.paid).integer(59, 4, r.count);
    return b.bytes();
}

void writeData(const fs::path& d)
{
    {
        fs::create_directories(d);
        const sample::DictionaryRows rows = bigDictionary();
        sample::writeDictionary(d, rows);
        dict::DictionarySet set;
        set.files = rows.files;
        set.fields = rows.fields;
        set.indexes = rows.indexes;
        const dict::Tables tables(set);
        const dict::TableDef& big = *tables.find("BIG");
        if (sample::createDataFile(d / "BIG.DAT", big, {}))
            throw std::runtime_error("BIG.DAT not created");
        TWinBtr btr;
        btr.Open((d / "BIG.DAT").string(), "", 0);
        for (int i = 0; i < kBigRecords; ++i) {
            std::vector<uint8_t> rec = recordOf(rowOf(i));
            btr.UseBuffer(rec.data());
            if (btr.Insert())
                throw std::runtime_error("insert refused");
        }
        btr.Close();
    }
}

constexpr int kTextRecords = 300000;
constexpr int kTextFields = 4;
constexpr int kTextSize = 40;

// TEXTS: Id Integer 4 (key 0) and four String fields of 40 bytes, filled with CP866 words.
void writeTextData(const fs::path& d)
{
    fs::create_directories(d);
    sample::DictionaryRows rows = sample::selfDescription();
    dict::FileRecord f;
    f.id = 4;
    f.name = "TEXTS";
    f.loc = "TEXTS.DAT";
    rows.files.push_back(f);
    rows.fields.push_back({18, 4, "Id", 1, 0, 4, 0, 0});
    for (int k = 0; k < kTextFields; ++k)
        rows.fields.push_back({static_cast<int16_t>(19 + k), 4, "Text" + std::to_string(k), 0,
                               static_cast<int16_t>(4 + k * kTextSize), kTextSize, 0, 0});
    rows.indexes.push_back({4, 18, 0, 0, 0x100});
    sample::writeDictionary(d, rows);
    const dict::Tables tables(sample::setOf(rows));
    if (sample::createDataFile(d / "TEXTS.DAT", *tables.find("TEXTS"), {}))
        throw std::runtime_error("TEXTS.DAT not created");
    // "Статьи", "расходов", "Клиент", "ИЧП", "Москва" in CP866.
    const std::string words[] = {"\x91\xE2\xA0\xE2\xEC\xA8", "\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2",
                                 "\x8A\xAB\xA8\xA5\xAD\xE2", "\x88\x97\x8F", "\x8C\xAE\xE1\xAA\xA2\xA0"};
    TWinBtr btr;
    btr.Open((d / "TEXTS.DAT").string(), "", 0);
    for (int i = 0; i < kTextRecords; ++i) {
        sample::RecordBytes b(4 + kTextFields * kTextSize);
        b.integer(0, 4, static_cast<uint32_t>(i + 1));
        for (int k = 0; k < kTextFields; ++k) {
            std::string text;
            for (int w = 0; text.size() + 12 < kTextSize; ++w)
                text += words[(i + k + w) % 5] + " ";
            b.text(static_cast<std::size_t>(4 + k * kTextSize), kTextSize, text);
        }
        std::vector<uint8_t> rec = b.bytes();
        btr.UseBuffer(rec.data());
        if (btr.Insert())
            throw std::runtime_error("insert refused");
    }
    btr.Close();
}

const fs::path& textDir()
{
    static const fs::path dir = [] {
        writeTextData(scratch() / "texts");
        return scratch() / "texts";
    }();
    return dir;
}

// Argument 0: the texts read as Latin-1 (no --codepage); 1: read as 866.
void BM_CliExportTexts(benchmark::State& state)
{
    const fs::path dir = textDir();
    const fs::path out = scratch() / "texts.db";
    std::vector<std::string> args = {"quillan-cli", "export", dir.string(), "TEXTS", "--to", out.string()};
    if (state.range(0) == 1)
        args.insert(args.end(), {"--codepage", "866"});
    for (auto _ : state) {
        std::ostringstream o, e;
        cli::CliIo io{o, e};
        if (cli::runCli(args, io) != 0)
            state.SkipWithError(e.str().c_str());
    }
    state.SetLabel(state.range(0) == 1 ? "--codepage 866" : "Latin-1");
    state.SetItemsProcessed(state.iterations() * kTextRecords);
}

const fs::path& dictionaryDir()
{
    static const fs::path dir = [] {
        writeData(scratch() / "dict");
        return scratch() / "dict";
    }();
    return dir;
}

void BM_CliExportToSqlite(benchmark::State& state)
{
    const fs::path dir = dictionaryDir();
    const fs::path out = scratch() / "export.db";
    for (auto _ : state) {
        std::ostringstream o, e;
        cli::CliIo io{o, e};
        if (cli::runCli({"quillan-cli", "export", dir.string(), "BIG", "--to", out.string()}, io) != 0)
            state.SkipWithError(e.str().c_str());
    }
    state.SetItemsProcessed(state.iterations() * kBigRecords);
}

void directInsert(const fs::path& out)
{
    {
        fs::remove(out);
        sqlite3* db = nullptr;
        sqlite3_open(out.string().c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA page_size=65536; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA "
                     "locking_mode=EXCLUSIVE;"
                     "PRAGMA cache_size=-65536; BEGIN;"
                     "CREATE TABLE BIG (Id INTEGER, Name TEXT, Code TEXT, Qty INTEGER, Price REAL, "
                     "Amount NUMERIC(11,2), Day DATE, At TIME, Paid BOOLEAN, Count INTEGER)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO BIG VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
        char amount[32], day[16], at[16];
        for (int i = 0; i < kBigRecords; ++i) {
            const Row r = rowOf(i);
            std::snprintf(amount, sizeof amount, "%s%lld.%02lld", r.cents < 0 ? "-" : "",
                          static_cast<long long>(std::llabs(r.cents) / 100),
                          static_cast<long long>(std::llabs(r.cents) % 100));
            std::snprintf(day, sizeof day, "%04d-%02d-%02d", r.year, r.month, r.day);
            std::snprintf(at, sizeof at, "%02d:%02d:%02d.%02d", r.hour, r.minute, r.second, r.hundredth);
            sqlite3_bind_int64(st, 1, r.id);
            sqlite3_bind_text(st, 2, r.name, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, r.code, -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 4, r.qty);
            sqlite3_bind_double(st, 5, r.price);
            sqlite3_bind_text(st, 6, amount, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 7, day, -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 8, at, -1, SQLITE_STATIC);
            sqlite3_bind_int64(st, 9, r.paid);
            sqlite3_bind_int64(st, 10, r.count);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "CREATE UNIQUE INDEX BIG_key0 ON BIG (Id); COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}

void BM_SqliteDirectInsert(benchmark::State& state)
{
    const fs::path out = scratch() / "direct.db";
    fs::create_directories(scratch());
    for (auto _ : state)
        directInsert(out);
    state.SetItemsProcessed(state.iterations() * kBigRecords);
}

// The reading half of the export alone: Step First/Next through TWinBtr and every field decoded.
void BM_ReadAndDecodeOnly(benchmark::State& state)
{
    const fs::path dir = dictionaryDir();
    const int types[] = {1, 0, 11, 1, 2, 5, 3, 4, 7, 14};
    const int offsets[] = {0, 4, 24, 34, 36, 44, 50, 54, 58, 59};
    const int sizes[] = {4, 20, 10, 2, 8, 6, 4, 4, 1, 4};
    for (auto _ : state) {
        TWinBtr btr;
        btr.Open((dir / "BIG.DAT").string(), "", -2);
        dict::FieldValue v[10];
        int n = 0;
        const auto* rec = reinterpret_cast<const uint8_t*>(btr.Buffer);
        for (int st = btr.Execute(btr::OpStepFirst); st == 0; st = btr.Execute(btr::OpStepNext), ++n)
            for (int f = 0; f < 10; ++f)
                dict::decodeFieldValue(types[f], std::span<const uint8_t>(rec + offsets[f], sizes[f]), 2,
                                       v[f]);
        if (n != kBigRecords)
            state.SkipWithError("records missing");
    }
    state.SetItemsProcessed(state.iterations() * kBigRecords);
}

BENCHMARK(BM_CliExportToSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteDirectInsert)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadAndDecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CliExportTexts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    btrieve::setRecordManagerForTesting(&QuillanEngineCall);
    if (argc == 3 && std::string(argv[1]) == "--write-data") {
        writeData(argv[2]);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--direct-insert") {
        directInsert(argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    return 0;
}
