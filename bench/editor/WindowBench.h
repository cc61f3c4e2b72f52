#pragma once
// What the window benchmarks share: a main that runs them in a scratch directory (the current
// directory, HOME, the XDG directories and the alias registry file all inside it, the embedded
// record manager, the offscreen platform), and the names of the generated tables.
#include "DDFUnit.h"
#include "DictionaryGrid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace benchwindow {

// "TABLE_<id>" padded to the stored name width.
inline QString tableName(int id)
{
    return grid::padName(QStringLiteral("TABLE_%1").arg(id));
}

// A new window whose every error or warning box ends the benchmark (none is expected), New pressed on the
// Files page and the Files grid holding tables firstId..lastId (`location` gives each one's
// location) after the self-description rows, then the entry row.
inline std::unique_ptr<TMain> windowWithTables(int firstId, int lastId,
                                               const std::function<QString(int)>& location)
{
    // Build's report of what it wrote as typed (a plain message) is part of the work measured;
    // an error or warning is not expected.
    TMain::MessageHook = [](QMessageBox::Icon icon, const QString& text) {
        if (icon != QMessageBox::NoIcon)
            qFatal("unexpected message: %s", qPrintable(text));
    };
    auto window = std::make_unique<TMain>();
    window->ClearFileClick();
    std::vector<QStringList> tables;
    for (int id = firstId; id <= lastId; ++id)
        tables.push_back({QString::number(id), tableName(id), location(id), QStringLiteral("0")});
    tables.push_back(QStringList(4, QString()));
    window->FileGrid->replaceRowsFrom(4, std::move(tables)); // after the three self-description rows
    return window;
}

// Runs the registered benchmarks; `release` runs before the application goes (windows made by
// the benchmarks must go while it still exists).
inline int runBenchmarks(int argc, char** argv, const std::function<void()>& release)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    qputenv("QUILLAN_RECORD_MANAGER", "embedded");
    qputenv("QUILLAN_REGISTRY_FILE", QFile::encodeName(scratch.filePath(QStringLiteral("registry.reg"))));
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(scratch.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir::setCurrent(scratch.path());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    release();
    return 0;
}

} // namespace benchwindow
