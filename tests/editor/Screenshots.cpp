// Saves a PNG of each of the main window's five pages into the directory given as argv[1].
// Run under a display (xvfb-run -a) and look at the pictures; not a test.
//
// With "--cyrillic DIR" it first writes a generated dictionary whose names are stored in code
// page 866 into DIR, chooses 866 for DIR in the user's settings, opens the dictionary and keeps
// the Files page, then the Fields page, on the screen for two seconds each (for a screenshot of
// the whole display taken from outside).
#include "DDFUnit.h"
#include "SampleDictionary.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTimer>

namespace {

// Two tables whose names, field names and a location are CP866 bytes.
void writeCyrillicSample(const QString& dir)
{
    sample::DictionaryRows rows = sample::selfDescription();
    const auto table = [&](int16_t id, const std::string& name, const std::string& loc) {
        dict::FileRecord f;
        f.id = id;
        f.name = name;
        f.loc = loc;
        rows.files.push_back(f);
    };
    // "Статьи_расходов" (Суммы.DAT): "Клиент", "Сумма", "Дата"; "Контрагенты": "Наименование", "ИНН".
    table(4, "\x91\xE2\xA0\xE2\xEC\xA8_\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2", "\x91\xE3\xAC\xAC\xEB.DAT");
    rows.fields.push_back({18, 4, "\x8A\xAB\xA8\xA5\xAD\xE2", 0, 0, 30, 0, 0});
    rows.fields.push_back({19, 4, "\x91\xE3\xAC\xAC\xA0", 6, 30, 8, 2, 0});
    rows.fields.push_back({20, 4, "\x84\xA0\xE2\xA0", 3, 38, 4, 0, 0});
    table(5, "\x8A\xAE\xAD\xE2\xE0\xA0\xA3\xA5\xAD\xE2\xEB", "AGENTS.DAT");
    rows.fields.push_back({21, 5, "\x8D\xA0\xA8\xAC\xA5\xAD\xAE\xA2\xA0\xAD\xA8\xA5", 0, 0, 40, 0, 0});
    rows.fields.push_back({22, 5, "\x88\x8D\x8D", 0, 40, 12, 0, 0});
    rows.indexes.push_back({4, 18, 0, 0, 0x103});
    QDir().mkpath(dir);
    sample::writeDictionary(QFile::encodeName(dir).toStdString(), rows);
    QSettings().setValue(
        QStringLiteral("CodePages/") +
            QString::fromLatin1(QDir::cleanPath(QDir(dir).absolutePath()).toUtf8().toPercentEncoding()),
        QStringLiteral("866"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    if (argc < 2) {
        fprintf(stderr, "usage: %s <output-directory> [--cyrillic <dictionary-directory>]\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());
    const bool cyrillic = argc == 4 && QByteArray(argv[2]) == "--cyrillic";
    if (cyrillic) {
        const QString dir = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
        writeCyrillicSample(dir);
        QDir::setCurrent(dir);
    }
    TMain window;
    window.show();
    if (cyrillic) {
        window.OpenFile->click();
        window.PageControl->setCurrentWidget(window.TabFiles);
        QTimer::singleShot(2000, &window, [&] {
            window.PageControl->setCurrentWidget(window.TabFields);
            window.FieldGrid->setRow(window.FieldGrid->RowCount() - 2);
        });
        QTimer::singleShot(4000, &app, &QApplication::quit);
        return app.exec();
    }
    for (int page = 0; page < window.PageControl->count(); ++page) {
        window.PageControl->setCurrentIndex(page);
        QApplication::processEvents();
        const QString name = window.PageControl->tabText(page);
        if (!window.grab().save(out.filePath(QStringLiteral("%1-%2.png").arg(page).arg(name))))
            return 1;
    }
    return 0;
}
