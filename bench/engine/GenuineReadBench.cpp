// Reading every record of a genuine 8.x file of 4096-byte pages (1,000,000 records of 32 bytes
// over nine page allocation tables, written by the tests' builder) in physical order and in the
// order of each key, beside the same records in a native file. Each iteration opens the file, so
// the genuine runs include reading it whole. Run: build/bench/engine/genuine_read_bench [RECORDS]
#include "BtrCall.h"
#include "EngineFile.h"
#include "GenuineBuilder.h"
#include "Status.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

int gRecords = 1000000;

struct Files {
    std::string genuine, native;
};

std::vector<uint8_t> record(int i)
{
    std::vector<uint8_t> r(32, ' ');
    genuinetest::put32(r, 0, static_cast<uint32_t>(i));
    char name[32];
    std::snprintf(name, sizeof name, "Name %06d", (i * 7919) % 50000);
    std::memcpy(r.data() + 4, name, std::strlen(name));
    genuinetest::put32(r, 24, static_cast<uint32_t>(i % 977));
    return r;
}

using bench::EngineFile;

// Key 0: the unique INTEGER id; key 1: the name, with duplicates.
const Files& files()
{
    static const Files made = [] {
        const fs::path dir = fs::temp_directory_path() / ("quillan-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        Files f{(dir / "GENUINE.BTR").string(), (dir / "NATIVE.BTR").string()};

        genuinetest::FileDef def;
        def.pageSize = 4096;
        def.recordLength = 32;
        def.keys = {{{{0, 4, 0x100, 1}}, static_cast<uint32_t>(gRecords)}, {{{4, 20, 0x103, 0}}, 50000}};
        def.slots.reserve(static_cast<size_t>(gRecords));
        for (int i = 0; i < gRecords; ++i)
            def.slots.push_back(record(i));
        genuinetest::writeFile(f.genuine, genuinetest::build8x(def));

        std::vector<uint8_t> spec(16 + 2 * 16, 0);
        spec[0] = 32;
        spec[3] = 0x10; // 4096-byte pages
        spec[4] = 2;
        const uint8_t segments[2][4] = {{1, 4, 0x02, 1}, {5, 20, 0x03, 0}};
        for (int s = 0; s < 2; ++s) {
            uint8_t* at = &spec[16 + 16 * s];
            at[0] = segments[s][0];
            at[2] = segments[s][1];
            at[4] = segments[s][2];
            at[5] = 0x01; // extended type
            at[10] = segments[s][3];
        }
        EngineFile n;
        std::memcpy(n.key, f.native.data(), f.native.size());
        if (n.call(btr::OpCreate, spec.data(), static_cast<uint32_t>(spec.size())) != 0 ||
            n.open(f.native) != 0)
            std::abort();
        for (int i = 0; i < gRecords; ++i) {
            std::vector<uint8_t> r = record(i);
            if (n.call(btr::OpInsert, r.data(), 32) != 0)
                std::abort();
        }
        n.call(btr::OpClose, nullptr, 0);
        return f;
    }();
    return made;
}

// Reads every record from first to next; the count read.
int readAll(const std::string& path, uint16_t first, uint16_t next, int8_t key)
{
    EngineFile f;
    if (f.open(path) != 0)
        return -1;
    uint8_t buffer[32];
    int n = 0;
    for (int16_t st = f.call(first, buffer, sizeof buffer, key); st == 0;
         st = f.call(next, buffer, sizeof buffer, key))
        ++n;
    f.call(btr::OpClose, nullptr, 0);
    return n;
}

void run(benchmark::State& state, bool genuine, uint16_t first, uint16_t next, int key)
{
    const std::string& path = genuine ? files().genuine : files().native;
    for (auto _ : state)
        if (readAll(path, first, next, static_cast<int8_t>(key)) != gRecords)
            state.SkipWithError("wrong count");
    state.SetItemsProcessed(state.iterations() * gRecords);
}

BENCHMARK_CAPTURE(run, GenuinePhysical, true, btr::OpStepFirst, btr::OpStepNext, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, NativePhysical, false, btr::OpStepFirst, btr::OpStepNext, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, GenuineKey0, true, btr::OpGetFirst, btr::OpGetNext, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, NativeKey0, false, btr::OpGetFirst, btr::OpGetNext, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, GenuineKey1, true, btr::OpGetFirst, btr::OpGetNext, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, NativeKey1, false, btr::OpGetFirst, btr::OpGetNext, 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc > 1)
        gRecords = std::atoi(argv[1]);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ec;
    fs::remove_all(fs::path(files().genuine).parent_path(), ec);
    benchmark::Shutdown();
    return 0;
}
