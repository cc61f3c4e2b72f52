// The ExtFields page at the scale of a large dictionary: 2,000 tables, 30,000 fields and 9,995
// extended types, the window shown on the offscreen platform, the embedded record manager
// writing into a scratch directory. Every name goes through the Files and Fields grids.
#include "DDFUnit.h"
#include "DataTypes.h"
#include "WindowBench.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kTables = 2000;
constexpr int kFields = 30000;

using benchwindow::tableName;

// Tables 4..kTables with the fields 18..kFields dealt out among them, and an extended type for
// every third field; FILE.DDF, FIELD.DDF and FIELDEXT.DDF built and opened again.
struct LargeDictionary {
    std::unique_ptr<TMain> window;

    LargeDictionary()
    {
        window = benchwindow::windowWithTables(4, kTables,
                                               [](int id) { return QStringLiteral("T%1.BTR").arg(id); });
        TMain& w = *window;
        std::vector<QStringList> fields, ext;
        for (int id = 18; id <= kFields; ++id) {
            const int table = 4 + (id - 18) % (kTables - 3);
            const QString name = QStringLiteral("FIELD_%1").arg(id / 7).leftJustified(20);
            fields.push_back({QString::number(id), QString::number(table), name, "0", "0", "2", "0", "0"});
            if (id % 3 == 0)
                ext.push_back(
                    {tableName(table), name, QString::number(dict::extendedPositionToCode(id % 23))});
        }
        fields.push_back(QStringList(8, QString()));
        const int extRows = int(ext.size());
        ext.push_back(QStringList(3, QString()));
        w.FieldGrid->replaceRowsFrom(18, std::move(fields));
        w.extFields().ExtGrid->replaceRowsFrom(1, std::move(ext));
        w.BuildFileClick();
        w.show();
        w.PageControl->setCurrentWidget(&w.extFields());
        w.OpenFileClick();
        QApplication::processEvents();
        if (w.extFields().ExtGrid->RowCount() != extRows + 2)
            qFatal("FIELDEXT.DDF came back with %d rows", w.extFields().ExtGrid->RowCount() - 2);
    }
    TMain& w() { return *window; }
};

std::unique_ptr<LargeDictionary> gDictionary;

LargeDictionary& dictionary()
{
    if (!gDictionary)
        gDictionary = std::make_unique<LargeDictionary>();
    return *gDictionary;
}

void BM_OpenFieldExtDdf(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.extFields().OpenFieldExtDDFClick();
        QApplication::processEvents();
    }
    state.counters["rows"] = w.extFields().ExtGrid->RowCount() - 2;
}
BENCHMARK(BM_OpenFieldExtDdf)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BuildFieldExtDdf(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.extFields().BuildFieldExtDDFClick();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BuildFieldExtDdf)->Unit(benchmark::kMillisecond)->Iterations(5);

// A key released on a row: the Files and Fields pages' refreshes, then the Field list (the
// table's fields among 30,000) and the File and File Filter lists of 2,000 tables.
void BM_ExtRowKeyUp(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        w.extFields().ExtGrid->setRow(w.extFields().ExtGrid->RowCount() / 2);
        w.extFields().ExtGridKeyUp(Qt::Key_A);
        QApplication::processEvents();
    }
    state.counters["fields"] = w.extFields().ChooseExtField->count();
}
BENCHMARK(BM_ExtRowKeyUp)->Unit(benchmark::kMillisecond);

// A File Filter change to one table and back to all: restore, sort of 9,995 rows, hide.
void BM_FileFilterToOneTableAndBack(benchmark::State& state)
{
    TMain& w = dictionary().w();
    for (auto _ : state) {
        for (const QString& text : {tableName(1234), QString()}) {
            w.extFields().ExtFileFilter->setEditText(text);
            w.extFields().ExtFileFilterChange();
            QApplication::processEvents();
        }
    }
    state.counters["rows"] = w.extFields().ExtGrid->RowCount() - 2;
}
BENCHMARK(BM_FileFilterToOneTableAndBack)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return benchwindow::runBenchmarks(argc, argv, [] { gDictionary.reset(); });
}
