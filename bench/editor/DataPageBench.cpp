// The Data page's model and view on a data file of 1,000,000 records of 96 bytes (the customer
// table of tests/support/GeneratedTable.h): the time to the first screen (open, first records,
// fields set, one paint of the page's view), the time of each step while scrolling to the end
// (the view asks for the next records and paints the last screen), and the peak resident memory.
// The file is written once per run by a child process, so its writing does not count in the
// memory. Run: build/bench/editor/data_page_bench [RECORDS] (a Release build for the figures).
#include "Binding.h"
#include "DataPageModel.h"
#include "GeneratedTable.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

long peakKilobytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::vector<dict::ViewField> customerFields()
{
    std::vector<dict::ViewField> fields;
    for (const generated::FieldLayout& l : generated::customerLayout())
        fields.push_back({l.name, l.offset, l.size, l.type, 0});
    return fields;
}

} // namespace

int main(int argc, char** argv)
{
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    const std::string path = (scratch.path() + QStringLiteral("/CUSTOMER.DAT")).toStdString();

    const auto writeStart = Clock::now();
    if (const pid_t child = fork(); child == 0) {
        btrieve::setRecordManagerForTesting(&QuillanEngineCall);
        _exit(generated::writeDataFile(path, generated::kCustomerLength, records, generated::customerRecord) ? 1 : 0);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status)) {
            std::fprintf(stderr, "the data file could not be written\n");
            return 1;
        }
    }
    std::printf("wrote %d records in %.1f s\n", records, ms(Clock::now() - writeStart) / 1000);

    btrieve::setRecordManagerForTesting(&QuillanEngineCall);
    QApplication app(argc, argv);
    const long baseline = peakKilobytes();

    QTableView view;
    view.resize(425, 304); // the page's table
    view.verticalHeader()->setDefaultSectionSize(18);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataPageModel model;
    view.setModel(&model);
    view.show();
    QCoreApplication::processEvents();

    // First screen: the file opened, its first records read and decoded, one paint.
    const auto t0 = Clock::now();
    model.setFile(QString::fromStdString(path));
    model.setFields(customerFields());
    view.repaint();
    QCoreApplication::processEvents();
    const double firstScreen = ms(Clock::now() - t0);

    // Scrolling to the end: each step moves to the last row the view has, which makes it ask
    // for the next records, then paints.
    std::vector<double> steps;
    while (model.canFetchMore({})) {
        const auto s = Clock::now();
        view.scrollToBottom();
        QCoreApplication::processEvents();
        view.repaint();
        steps.push_back(ms(Clock::now() - s));
    }
    // And back to the top: blocks that left the cache are read again.
    std::vector<double> back;
    const int page = view.viewport()->height() / 18;
    for (int row = model.rowCount() - 1; row > 0; row -= model.rowCount() / 50) {
        const auto s = Clock::now();
        view.scrollTo(model.index(std::max(row - page, 0), 0), QAbstractItemView::PositionAtTop);
        view.repaint();
        back.push_back(ms(Clock::now() - s));
    }
    // The model alone, without a view: the open split from the first records, then each
    // fetchMore to the end.
    DataPageModel bare;
    const auto o = Clock::now();
    bare.setFile(QString::fromStdString(path));
    const double bareOpen = ms(Clock::now() - o);
    const auto f = Clock::now();
    bare.setFields(customerFields());
    const double bareFields = ms(Clock::now() - f);
    std::vector<double> fetches;
    while (bare.canFetchMore({})) {
        const auto s = Clock::now();
        bare.fetchMore({});
        fetches.push_back(ms(Clock::now() - s));
    }
    std::sort(fetches.begin(), fetches.end());
    std::sort(steps.begin(), steps.end());
    std::sort(back.begin(), back.end());
    auto at = [](const std::vector<double>& v, double q) { return v.empty() ? 0.0 : v[std::size_t(q * (v.size() - 1))]; };
    std::printf("records shown: %d of %zu\n", model.rowCount(), model.expectedRecords());
    std::printf("first screen: %.1f ms\n", firstScreen);
    std::printf("scroll steps to the end: %zu, median %.2f ms, 99th %.2f ms, max %.2f ms\n", steps.size(),
                at(steps, 0.5), at(steps, 0.99), steps.empty() ? 0.0 : steps.back());
    std::printf("jumps back through the file: %zu, median %.2f ms, max %.2f ms\n", back.size(), at(back, 0.5),
                back.empty() ? 0.0 : back.back());
    std::printf("model alone: open and first %d records %.1f ms, fields set %.2f ms, %zu fetches median %.2f ms, "
                "max %.2f ms\n",
                DataPageModel::kBatch, bareOpen, bareFields, fetches.size(), at(fetches, 0.5),
                fetches.empty() ? 0.0 : fetches.back());
    dict::DataFileReader reader;
    const auto r = Clock::now();
    reader.open(path);
    std::printf("of which the record manager's Open and one Stat: %.1f ms\n", ms(Clock::now() - r));
    std::printf("peak resident memory: %.1f MB (%.1f MB before the page)\n", peakKilobytes() / 1024.0,
                baseline / 1024.0);
    return 0;
}
