// Saves a PNG of each of the main window's five pages into the directory given as argv[1].
// Run under a display (xvfb-run -a) and look at the pictures; not a test.
//
// With "--wide DIR" it only writes a generated dictionary of real size into DIR (tables and
// fields with four-digit ids and names of 20 characters) and exits, for Quillan to open there.
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

// Sixty tables of eight fields, ids from 9100, every name 20 characters.
void writeWideSample(const QString& dir)
{
    sample::DictionaryRows rows = sample::selfDescription();
    const char* words[] = {"Customer", "Warehouse", "Supplier", "Invoice", "Shipment", "Payroll"};
    const char* kinds[] = {"OrderHistory", "StockLevels", "PriceBreaks", "LedgerLines", "Adjustments"};
    int16_t fieldId = 9500;
    for (int16_t t = 0; t < 60; ++t) {
        dict::FileRecord f;
        f.id = int16_t(9100 + t);
        f.name = (std::string(words[t % 6]) + kinds[t % 5] + "XXXXXXXXXXXX").substr(0, 18) +
                 std::to_string(10 + t);
        f.loc = "DATA\\" + f.name.substr(0, 8) + ".BTR";
        rows.files.push_back(f);
        int16_t offset = 0;
        for (int k = 0; k < 8; ++k) {
            const std::string name =
                (std::string(kinds[k % 5]) + words[k % 6] + "Amount").substr(0, 19) + char('A' + k);
            rows.fields.push_back(
                {fieldId, f.id, name, uint8_t(k % 2 ? 1 : 0), offset, int16_t(k % 2 ? 4 : 24), 0, 0});
            if (k == 0)
                rows.indexes.push_back({f.id, fieldId, 0, 0, 0x103});
            offset = int16_t(offset + (k % 2 ? 4 : 24));
            ++fieldId;
        }
    }
    QDir().mkpath(dir);
    sample::writeDictionary(QFile::encodeName(dir).toStdString(), rows);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillan"));
    if (argc == 3 && QByteArray(argv[1]) == "--wide") {
        writeWideSample(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
        return 0;
    }
    if (argc < 2) {
        fprintf(stderr,
                "usage: %s <output-directory> [--cyrillic <dictionary-directory>] | --wide "
                "<dictionary-directory>\n",
                argv[0]);
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
