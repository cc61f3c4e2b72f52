// Shows the Data page on the customer table of tests/support/GeneratedTable.h (5,000 records in
// a scratch directory given as argv[1]) with one field typed one byte off on the Fields page,
// and keeps the window up for argv[2] seconds so that a screenshot can be taken of the display.
// Run under xvfb-run; not a test.
#include "Binding.h"
#include "DDFUnit.h"
#include "DictionaryGrid.h"
#include "GeneratedTable.h"
#include "SampleDictionary.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTabBar>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s <scratch-directory> <seconds>\n", argv[0]);
        return 2;
    }
    btrieve::setRecordManagerForTesting(&QuillanEngineCall);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    sample::writeDictionary(dir.toStdString(), sample::customerDictionary("Joined"));
    if (generated::writeDataFile("CUSTOMER.DAT", generated::kCustomerLength, 5000, generated::customerRecord))
        return 1;

    TMain window;
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::mouseClick(window.OpenFile, Qt::LeftButton);
    auto tab = [&](QWidget* page) {
        QTabBar* bar = window.PageControl->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(window.PageControl->indexOf(page)).center());
    };
    tab(window.TabFiles);
    const int row = grid::findRowIgnoringCase(window.FileGrid, grid::kFileName, grid::padName(QStringLiteral("CUSTOMER")));
    const QModelIndex index = window.FileGrid->model()->index(row - window.FileGrid->FixedRows(), grid::kFileName);
    QTest::mouseClick(window.FileGrid->viewport(), Qt::LeftButton, {}, window.FileGrid->visualRect(index).center());
    tab(&window.data());
    window.data().DataGrid->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < qint64(std::atof(argv[2]) * 1000))
        QTest::qWait(50);
    return 0;
}
