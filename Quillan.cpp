// Program entry: application title, the record manager, the directory to start in, the main
// window, the message loop.
#include "AboutBox.h"
#include "Binding.h"
#include "DDFUnit.h"
#include "StartDirectory.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage = "Usage: Quillan [DIRECTORY]\n"
                               "Edits the data dictionary of a Btrieve database. Quillan starts browsing in\n"
                               "DIRECTORY (for a file, the directory that holds it), else in the current\n"
                               "directory, and keeps its type mapping, Quillan.rec, there.\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before the window system is reached, so that they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("Quillan " QUILLAN_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillan"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLAN_VERSION));
    TMain::nameSettings();
    // The desktop entry and the icon installed with it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillan.Quillan"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.quillan.Quillan")));

    std::string error;
    if (!btrieve::initRecordManager(&error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillan"), QString::fromStdString(error));
        return 1;
    }

    // The window browses, and keeps Quillan.rec, in the current directory: the one named on the
    // command line (a file manager's "Open with" on a folder) becomes it.
    const platform::StartDirectory start = platform::startDirectory(app.arguments().mid(1), QDir::currentPath());
    if (!start.error.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillan"), start.error);
        return 2;
    }
    if (!start.directory.isEmpty() && !QDir::setCurrent(start.directory)) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillan"),
                              QStringLiteral("The directory %1 cannot be entered.").arg(start.directory));
        return 2;
    }

    TMain window;
    installAboutBox(&window, QStringLiteral(QUILLAN_VERSION));
    window.showMinimized();
    return app.exec();
}
