// Program entry: application title, the main window, the message loop.
#include "DDFUnit.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillan"));
    TMain window;
    window.showMinimized();
    return app.exec();
}
