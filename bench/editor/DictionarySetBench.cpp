// Open DDFs and Build DDFs on a large dictionary set: 2,000 tables, 30,000 fields, two key
// segments on every table and an extended type on every tenth field, the window shown on the
// offscreen platform, the embedded record manager writing into a scratch directory.
// Targets: Open DDFs under 0.4 s (0.1 s per file), Build DDFs under 1.2 s (0.3 s per file).
#include "DDFUnit.h"
#include "WindowBench.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTables = 2000;
constexpr int kFields = 30000;

struct LargeSet {
    std::unique_ptr<TMain> window;

    LargeSet()
    {
        window = benchwindow::windowWithTables(
            4, kTables, [](int id) { return QStringLiteral("DATA\\T%1.BTR").arg(id); });
        TMain& w = *window;
        // Every table's fields are named alike (Id, Date, Code...), as in real dictionaries.
        const QStringList names = {"Id", "Date", "Code", "Name", "Qty", "Price", "Note", "Status", "Amount",
                                   "Filler", "Ref", "Kind", "Text", "Flag", "Extra"};
        std::vector<QStringList> fields;
        std::vector<QStringList> keys;
        std::vector<QStringList> exts;
        for (int id = 18; id <= kFields; ++id) {
            const int table = 4 + (id - 18) % (kTables - 3);
            const int nth = (id - 18) / (kTables - 3);
            const QString name = grid::padName(names[nth % names.size()] + (nth >= names.size() ? "2" : ""));
            fields.push_back({QString::number(id), QString::number(table), name, QString::number(id % 19),
                              QString::number(nth * 4), QStringLiteral("4"), QStringLiteral("0"),
                              QStringLiteral("0")});
            if (nth < 2)
                keys.push_back({benchwindow::tableName(table), name, QStringLiteral("0"), QString::number(nth),
                                QString::number(nth == 0 ? 16 : 0)});
            if (id % 10 == 0)
                exts.push_back({benchwindow::tableName(table), name, QStringLiteral("30")});
        }
        fields.push_back(QStringList(8, QString()));
        w.FieldGrid->replaceRowsFrom(18, std::move(fields));
        keys.push_back(QStringList(5, QString()));
        w.keys().KeyGrid->replaceRowsFrom(16, std::move(keys));
        exts.push_back(QStringList(3, QString()));
        w.extFields().ExtGrid->replaceRowsFrom(1, std::move(exts));
        w.BuildFileClick();
        w.resize(w.size());
        w.show();
        w.OpenFileClick();
        QApplication::processEvents();
    }
};

std::unique_ptr<LargeSet> gSet;

TMain& window()
{
    if (!gSet)
        gSet = std::make_unique<LargeSet>();
    return *gSet->window;
}

void BM_OpenDdfs(benchmark::State& state)
{
    TMain& w = window();
    for (auto _ : state) {
        w.OpenFileClick();
        QApplication::processEvents();
    }
    state.counters["fields"] = w.FieldGrid->RowCount() - 2;
    state.counters["keys"] = w.keys().KeyGrid->RowCount() - 2;
    state.counters["exts"] = w.extFields().ExtGrid->RowCount() - 2;
}
BENCHMARK(BM_OpenDdfs)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same Open DDFs as the user's click it is: the edit history keeps it as a step (every row
// of the four pages copied into its state).
void BM_OpenDdfsAsStep(benchmark::State& state)
{
    TMain& w = window();
    for (auto _ : state) {
        emit w.OpenFile->clicked();
        QApplication::processEvents();
    }
    state.counters["steps"] = w.history().stack().count();
}
BENCHMARK(BM_OpenDdfsAsStep)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BuildDdfs(benchmark::State& state)
{
    TMain& w = window();
    for (auto _ : state) {
        w.BuildFileClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildDdfs)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return benchwindow::runBenchmarks(argc, argv, [] { gSet.reset(); });
}
