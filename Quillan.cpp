// Program entry: application title, the record manager, the main window, the message loop.
#include "Binding.h"
#include "DDFUnit.h"

#include <QApplication>
#include <QMessageBox>

#include <string>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillan"));

    std::string error;
    if (!btrieve::initRecordManager(&error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillan"), QString::fromStdString(error));
        return 1;
    }

    TMain window;
    window.showMinimized();
    return app.exec();
}
