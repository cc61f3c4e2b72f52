// The Keys page at dictionary scale: 2,000 tables, 30,000 fields and 10,000 key segments,
// with the window shown on the offscreen platform and the embedded record manager.
// Targets: Open and Build of INDEX.DDF (name look-ups included) under 0.5 s each, and a key
// release on the entry row under 50 ms.
#include "DDFUnit.h"
#include "DictionaryGrid.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTables = 2000;
constexpr int kFieldsPerTable = 15;  // 30,000 fields
constexpr int kSegmentsPerTable = 5; // 10,000 segments

QString tableName(int t)
{
    return grid::padName(QStringLiteral("TABLE_%1").arg(t));
}

QString fieldName(int f)
{
    return grid::padName(QStringLiteral("FIELD_%1").arg(f));
}

void setRows(TVarGrid* g, const std::vector<QStringList>& rows)
{
    g->setRowCount(int(rows.size()) + 2);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < g->ColCount(); ++c)
            g->setCells(c, r + 1, rows[std::size_t(r)][c]);
    for (int c = 0; c < g->ColCount(); ++c)
        g->setCells(c, int(rows.size()) + 1, QString());
}

// One window over the large dictionary, INDEX.DDF built once from its key rows.
struct Dictionary {
    QTemporaryDir dir;
    std::unique_ptr<TMain> window;

    Dictionary()
    {
        QDir::setCurrent(dir.path());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
        qputenv("QUILLAN_REGISTRY_FILE", QFile::encodeName(dir.filePath(QStringLiteral("registry.reg"))));
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
        setRows(w.FileGrid, files);
        w.FileGrid->Tag = 1;
        setRows(w.FieldGrid, fields);
        w.FieldGrid->Tag = 1;
        setRows(w.KeyGrid, keys);
        w.KeyGrid->Tag = 1;
        w.PageControl->setCurrentWidget(w.TabKeys);
        w.show();
        QApplication::processEvents();
        w.BuildKeysDDFClick();
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
        w.OpenKeysDDFClick();
        QApplication::processEvents();
    }
    if (w.KeyGrid->RowCount() != kTables * kSegmentsPerTable + 2)
        state.SkipWithError("INDEX.DDF did not come back whole");
}
BENCHMARK(BM_OpenKeys)->Unit(benchmark::kMillisecond);

void BM_BuildKeys(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    for (auto _ : state) {
        w.BuildKeysDDFClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildKeys)->Unit(benchmark::kMillisecond);

// A key released on the entry row while a table name is typed, not yet complete.
void BM_KeyReleaseTyping(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    const int entry = w.KeyGrid->RowCount() - 1;
    w.KeyGrid->setRow(entry);
    for (auto _ : state) {
        w.KeyGrid->setCells(grid::kKeyFile, entry, QStringLiteral("TABLE_1999X"));
        w.KeyGridKeyUp(Qt::Key_X);
        QApplication::processEvents();
    }
    w.KeyGrid->setCells(grid::kKeyFile, entry, QString());
}
BENCHMARK(BM_KeyReleaseTyping)->Unit(benchmark::kMillisecond);

// The key release that completes a table name: the row is committed and the grid sorted.
void BM_KeyReleaseCommit(benchmark::State& state)
{
    TMain& w = *dictionary().window;
    for (auto _ : state) {
        state.PauseTiming();
        const int entry = w.KeyGrid->RowCount() - 1;
        w.KeyGrid->setRow(entry);
        w.KeyGrid->setCells(grid::kKeyField, entry, QStringLiteral("NEW"));
        w.KeyGrid->setCells(grid::kKeyFile, entry, QStringLiteral("table_1000"));
        state.ResumeTiming();
        w.KeyGridKeyUp(Qt::Key_0);
        QApplication::processEvents();
        state.PauseTiming();
        const int added = grid::findRowExact(w.KeyGrid, grid::kKeyField, QStringLiteral("NEW"));
        if (added < 1 || w.KeyGrid->RowCount() != kTables * kSegmentsPerTable + 3) {
            state.SkipWithError("the row was not committed");
            break;
        }
        w.KeyGrid->deleteRow(added);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeyReleaseCommit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUILLAN_RECORD_MANAGER", "embedded");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
