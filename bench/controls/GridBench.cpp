// TVarGrid at dictionary scale: 30,000 data rows of 8 columns, shown on the offscreen platform.
// Target: each operation under 50 ms.
#include "AddComp.h"
#include "DictionaryGrid.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int kRows = 30000;
constexpr int kCols = 8;

// Row texts as a dictionary page holds them: a numeric id in column 0, short texts elsewhere,
// ids in shuffled order.
void fill(TVarGrid& grid)
{
    std::vector<int> ids(kRows);
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    grid.setRowCount(kRows + 2);
    grid.setCells(0, 0, QStringLiteral("Xe$Id"));
    for (int r = 1; r <= kRows; ++r) {
        grid.setCells(0, r, QString::number(ids[r - 1]));
        grid.setCells(1, r, QString::number(r % 2000 + 1)); // 2,000 tables
        grid.setCells(2, r, QStringLiteral("FIELD_NAME_%1        ").arg(r));
        for (int c = 3; c < kCols; ++c)
            grid.setCells(c, r, QString::number(c * r % 977));
    }
}

// The Fields page's order: empty ids last, "X..." (the title) first, then by integer value.
bool idOrder(const QStringList& a, const QStringList& b)
{
    const QString& x = a[0];
    const QString& y = b[0];
    if (x.isEmpty() || y.isEmpty())
        return !x.isEmpty() && y.isEmpty();
    const bool tx = x.startsWith(QLatin1Char('X'));
    const bool ty = y.startsWith(QLatin1Char('X'));
    if (tx != ty)
        return tx;
    return StrToInt(x) < StrToInt(y);
}

struct ShownGrid {
    TVarGrid grid{kCols};
    ShownGrid()
    {
        grid.resize(425, 241);
        grid.show();
        QApplication::processEvents();
    }
};

void BM_Fill(benchmark::State& state)
{
    ShownGrid g;
    for (auto _ : state) {
        state.PauseTiming();
        g.grid.setRowCount(2);
        state.ResumeTiming();
        fill(g.grid);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond);

void BM_SortByColumn0(benchmark::State& state)
{
    ShownGrid g;
    for (auto _ : state) {
        state.PauseTiming();
        fill(g.grid);
        QApplication::processEvents();
        state.ResumeTiming();
        g.grid.sortRows(idOrder);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SortByColumn0)->Unit(benchmark::kMillisecond);

// The same order with each row's key computed once.
void BM_SortByColumn0Keyed(benchmark::State& state)
{
    ShownGrid g;
    for (auto _ : state) {
        state.PauseTiming();
        fill(g.grid);
        QApplication::processEvents();
        state.ResumeTiming();
        g.grid.sortRowsByKey([](const QStringList& row) {
            const QString& id = row[0];
            if (id.isEmpty())
                return std::pair<int, qint32>(2, 0);
            if (id.startsWith(QLatin1Char('X')))
                return std::pair<int, qint32>(0, 0);
            return std::pair<int, qint32>(1, StrToInt(id));
        });
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SortByColumn0Keyed)->Unit(benchmark::kMillisecond);

void BM_DeleteMiddleRow(benchmark::State& state)
{
    ShownGrid g;
    fill(g.grid);
    g.grid.setRow(kRows / 2);
    for (auto _ : state) {
        g.grid.deleteRow(kRows / 2 - 100);
        QApplication::processEvents();
        state.PauseTiming();
        if (g.grid.RowCount() < kRows / 2)
            fill(g.grid);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteMiddleRow)->Unit(benchmark::kMillisecond);

// The Table Filter's work: all but one table's rows (15 of 30,000) into the hidden rows in one
// pass (Arg 0), and every row back (Arg 1).
void BM_FilterToOneTable(benchmark::State& state)
{
    const bool timeRestore = state.range(0) == 1;
    ShownGrid g;
    fill(g.grid);
    QApplication::processEvents();
    QStringList hidden;
    dict::RecordArray array = dict::makeFieldTableArray();
    grid::Page page(dict::DictFile::Field, &g.grid, array, hidden);
    for (auto _ : state) {
        if (timeRestore)
            state.PauseTiming();
        page.hide([](const QStringList& row) { return row[1] == QLatin1String("1000"); },
                  [](const QStringList& row) { return row[1].isEmpty(); });
        QApplication::processEvents();
        if (g.grid.RowCount() != 17)
            state.SkipWithError("the filter kept the wrong rows");
        if (timeRestore)
            state.ResumeTiming();
        else
            state.PauseTiming();
        page.restore();
        QApplication::processEvents();
        if (!timeRestore)
            state.ResumeTiming();
    }
}
BENCHMARK(BM_FilterToOneTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The dictionary pages' sort: keyed by grid::cellOrder of the id.
void BM_DictionarySort(benchmark::State& state)
{
    ShownGrid g;
    for (auto _ : state) {
        state.PauseTiming();
        fill(g.grid);
        QApplication::processEvents();
        state.ResumeTiming();
        grid::sortGrid(&g.grid, [](const QStringList& row) { return grid::cellOrder(row[0]); });
        QApplication::processEvents();
    }
}
BENCHMARK(BM_DictionarySort)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
