// Saves a PNG of each of the main window's five pages into the directory given as argv[1].
// Run under a display (xvfb-run -a) and look at the pictures; not a test.
#include "DDFUnit.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: %s <output-directory>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());
    TMain window;
    window.show();
    for (int page = 0; page < window.PageControl->count(); ++page) {
        window.PageControl->setCurrentIndex(page);
        QApplication::processEvents();
        const QString name = window.PageControl->tabText(page);
        if (!window.grab().save(out.filePath(QStringLiteral("%1-%2.png").arg(page).arg(name))))
            return 1;
    }
    return 0;
}
