// The Fields page at the scale of a large dictionary: 2,000 tables and 30,000 fields, the window
// shown on the offscreen platform, the embedded record manager writing into a scratch directory.
// Targets: Open and Build under 0.5 s; a Table Filter change and a key release under 50 ms.
#include "DDFUnit.h"
#include "WindowBench.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTables = 2000;
constexpr int kFields = 30000;

// The window over a dictionary set of kTables tables with kFields / kTables fields each, built
// once into the scratch directory and opened.
struct LargeDictionary {
    std::unique_ptr<TMain> window;

    LargeDictionary()
    {
        window = benchwindow::windowWithTables(
            4, kTables, [](int id) { return QStringLiteral("DATA\\T%1.BTR").arg(id); });
        TMain& w = *window;
        std::vector<QStringList> fields;
        for (int id = 18; id <= kFields; ++id) {
            const int table = 4 + (id - 18) % (kTables - 3);
            fields.push_back({QString::number(id), QString::number(table),
                              QStringLiteral("FIELD_%1").arg(id).leftJustified(20), QString::number(id % 19),
                              QString::number(id % 400), QString::number(1 + id % 30),
                              QString::number(id % 4), QString::number(id % 7)});
        }
        fields.push_back(QStringList(8, QString()));
        w.FieldGrid->replaceRowsFrom(18, std::move(fields));
        w.BuildFileClick();
        w.resize(w.size());
        w.show();
        w.PageControl->setCurrentWidget(w.TabFields);
        w.OpenFileClick();
        QApplication::processEvents();
    }
    TMain& w() { return *window; }
};

// Made on first use; released in main while the application still exists.
std::unique_ptr<LargeDictionary> gDictionary;

LargeDictionary& dictionary()
{
    if (!gDictionary)
        gDictionary = std::make_unique<LargeDictionary>();
    return *gDictionary;
}

void setFilter(TMain& w, const QString& text)
{
    w.FileFilter->setEditText(text);
    w.FileFilterChange();
    QApplication::processEvents();
}

void BM_OpenFieldDdf(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.OpenFieldDDFClick();
        QApplication::processEvents();
    }
    state.counters["rows"] = w.FieldGrid->RowCount() - 2;
}
BENCHMARK(BM_OpenFieldDdf)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BuildFieldDdf(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.BuildFieldDDFClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildFieldDdf)->Unit(benchmark::kMillisecond)->Iterations(5);

// "Build DDFs": all four files of the 30,000-field set, backups included.
void BM_BuildDdfs(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.BuildFileClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildDdfs)->Unit(benchmark::kMillisecond)->Iterations(5);

// A Table Filter change that hides every table's fields but one (15 rows stay).
void BM_FilterToOneTable(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        state.PauseTiming();
        setFilter(w, QString());
        state.ResumeTiming();
        setFilter(w, benchwindow::tableName(1234));
    }
    state.counters["shown"] = w.FieldGrid->RowCount() - 2;
    setFilter(w, QString());
}
BENCHMARK(BM_FilterToOneTable)->Unit(benchmark::kMillisecond);

// The change that empties the filter: every hidden row comes back and the grid is sorted.
void BM_FilterRestoresAll(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        state.PauseTiming();
        setFilter(w, benchwindow::tableName(1234));
        state.ResumeTiming();
        setFilter(w, QString());
    }
    state.counters["shown"] = w.FieldGrid->RowCount() - 2;
}
BENCHMARK(BM_FilterRestoresAll)->Unit(benchmark::kMillisecond);

// A key released on the entry row while an id is typed that does not yet commit it.
void BM_EntryRowKeyUp(benchmark::State& state)
{
    TMain& w = dictionary().w();
    TVarGrid* grid = w.FieldGrid;
    for (auto _ : state) {
        const int last = grid->RowCount() - 1;
        grid->setRow(last);
        grid->setCells(0, last, QStringLiteral("1"));
        w.FieldGridKeyUp(Qt::Key_1);
        QApplication::processEvents();
    }
    grid->setCells(0, grid->RowCount() - 1, QString());
}
BENCHMARK(BM_EntryRowKeyUp)->Unit(benchmark::kMillisecond);

// A key released on a field's row: Field Type and the Table Filter's list of 2,000 tables
// follow it.
void BM_FieldRowKeyUp(benchmark::State& state)
{
    TMain& w = dictionary().w();
    TVarGrid* grid = w.FieldGrid;
    for (auto _ : state) {
        grid->setRow(kFields / 2);
        grid->setCells(5, kFields / 2, QStringLiteral("12"));
        w.FieldGridKeyUp(Qt::Key_2);
        QApplication::processEvents();
    }
    state.counters["tables"] = w.FileFilter->count();
}
BENCHMARK(BM_FieldRowKeyUp)->Unit(benchmark::kMillisecond);

// A key release on a field's row whose cell the key changed (typing goes on): the handler
// alone, and as the user's action it is, through the control's signal, so that the edit history
// compares the pages and keeps the step.
void fieldRowTyping(benchmark::State& state, bool asStep)
{
    TMain& w = dictionary().w();
    TVarGrid* grid = w.FieldGrid;
    bool odd = false;
    for (auto _ : state) {
        grid->setRow(kFields / 2);
        grid->setCells(5, kFields / 2, (odd = !odd) ? QStringLiteral("12") : QStringLiteral("13"));
        if (asStep)
            emit grid->keyUp(Qt::Key_2);
        else
            w.FieldGridKeyUp(Qt::Key_2);
        QApplication::processEvents();
    }
    state.counters["steps"] = w.history().stack().count();
}
void BM_FieldRowTypingKeyUp(benchmark::State& state)
{
    fieldRowTyping(state, false);
}
BENCHMARK(BM_FieldRowTypingKeyUp)->Unit(benchmark::kMillisecond);
void BM_FieldRowTypingKeyUpAsStep(benchmark::State& state)
{
    fieldRowTyping(state, true);
}
BENCHMARK(BM_FieldRowTypingKeyUpAsStep)->Unit(benchmark::kMillisecond);

// The key release that commits the entry row: a new entry row and a sort of 30,000 rows.
void BM_EntryRowCommit(benchmark::State& state)
{
    TMain& w = dictionary().w();
    TVarGrid* grid = w.FieldGrid;
    for (auto _ : state) {
        const int last = grid->RowCount() - 1;
        grid->setRow(last);
        grid->setCells(0, last, QString::number(w.HighestFieldId + 1));
        w.FieldGridKeyUp(Qt::Key_1);
        QApplication::processEvents();
    }
    state.counters["rows"] = grid->RowCount() - 2;
}
BENCHMARK(BM_EntryRowCommit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchwindow::runBenchmarks(argc, argv, [] { gDictionary.reset(); });
}
