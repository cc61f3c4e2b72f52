// The Keys page at dictionary scale: 2,000 tables, 30,000 fields and 10,000 key segments,
// with the window shown on the offscreen platform and the embedded record manager.
// Targets: Open and Build of INDEX.DDF (name look-ups included) under 0.5 s each, and a key
// release on the entry row under 50 ms.
#include "DDFUnit.h"
#include "DictionaryGrid.h"
#include "WindowBench.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Rows after the title row, then an empty entry row, as an Open leaves them.
void showRows(TVarGrid* grid, std::vector<QStringList> rows)
{
    rows.push_back(QStringList(grid->ColCount(), QString()));
    grid->replaceRowsFrom(1, std::move(rows));
    grid->setFixedRows(1);
}

constexpr int kTables = 2000;
constexpr int kFieldsPerTable = 15;  // 30,000 fields
constexpr int kSegmentsPerTable = 5; // 10,000 segments

using benchwindow::tableName;

QString fieldName(int f)
{
    return grid::padName(QStringLiteral("FIELD_%1").arg(f));
}

// One window over the large dictionary, INDEX.DDF built once from its key rows.
struct Dictionary {
    std::unique_ptr<TMain> window;

    Dictionary()
    {
        TMain::MessageHook = [](QMessageBox::Icon, const QString& text) {
            fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        };
        window = std::make_unique<TMain>();
        TMain& w = *window;
        std::vector<QStringList> files;
        std::vector<QStringList> fields;
        std::vector<QStringList> keys;
        int fieldId = 0;
        for (int t = 1; t <= kTables; ++t) {
            files.push_back({QString::number(t), tableName(t), QStringLiteral("T%1.BTR").arg(t), "0"});
            int offset = 0;
            for (int f = 0; f < kFieldsPerTable; ++f) {
                ++fieldId;
                fields.push_back({QString::number(fieldId), QString::number(t), fieldName(fieldId), "1",
                                  QString::number(offset), "4", "0", "0"});
                offset += 4;
                if (f < kSegmentsPerTable)
                    keys.push_back({tableName(t), fieldName(fieldId), QString::number(f / 3),
                                    QString::number(f % 3), f % 3 == 2 || f == 4 ? "2" : "18"});
            }
        }
        showRows(w.FileGrid, std::move(files));
        w.FileGrid->Tag = 1;
        showRows(w.FieldGrid, std::move(fields));
        w.FieldGrid->Tag = 1;
        showRows(w.keys().KeyGrid, std::move(keys));
        w.keys().KeyGrid->Tag = 1;
        w.PageControl->setCurrentWidget(&w.keys());
        w.show();
        QApplication::processEvents();
        w.keys().BuildKeysDDFClick();
    }
    ~Dictionary() { TMain::MessageHook = nullptr; }
};

Dictionary& dictionary()
{
    static Dictionary d;
    return d;
}

void BM_OpenKeys(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    for (auto _ : state) {
        w.keys().OpenKeysDDFClick();
        QApplication::processEvents();
    }
    if (w.keys().KeyGrid->RowCount() != kTables * kSegmentsPerTable + 2)
        state.SkipWithError("INDEX.DDF did not come back whole");
}
BENCHMARK(BM_OpenKeys)->Unit(benchmark::kMillisecond);

void BM_BuildKeys(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    for (auto _ : state) {
        w.keys().BuildKeysDDFClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildKeys)->Unit(benchmark::kMillisecond);

// A key released on the entry row while a table name is typed, not yet complete.
void BM_KeyReleaseTyping(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    const int entry = w.keys().KeyGrid->RowCount() - 1;
    w.keys().KeyGrid->setRow(entry);
    for (auto _ : state) {
        w.keys().KeyGrid->setCells(grid::kKeyFile, entry, QStringLiteral("TABLE_1999X"));
        w.keys().KeyGridKeyUp(Qt::Key_X);
        QApplication::processEvents();
    }
    w.keys().KeyGrid->setCells(grid::kKeyFile, entry, QString());
}
BENCHMARK(BM_KeyReleaseTyping)->Unit(benchmark::kMillisecond);

// The key release that completes a table name: the row is committed and the grid sorted.
void BM_KeyReleaseCommit(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    for (auto _ : state) {
        state.PauseTiming();
        const int entry = w.keys().KeyGrid->RowCount() - 1;
        w.keys().KeyGrid->setRow(entry);
        w.keys().KeyGrid->setCells(grid::kKeyField, entry, QStringLiteral("NEW"));
        w.keys().KeyGrid->setCells(grid::kKeyFile, entry, QStringLiteral("table_1000"));
        state.ResumeTiming();
        w.keys().KeyGridKeyUp(Qt::Key_0);
        QApplication::processEvents();
        state.PauseTiming();
        const int added = grid::findRowExact(w.keys().KeyGrid, grid::kKeyField, QStringLiteral("NEW"));
        if (added < 1 || w.keys().KeyGrid->RowCount() != kTables * kSegmentsPerTable + 3) {
            state.SkipWithError("the row was not committed");
            break;
        }
        w.keys().KeyGrid->deleteRow(added);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeyReleaseCommit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchwindow::runBenchmarks(argc, argv, [] { dictionary().window.reset(); });
}
