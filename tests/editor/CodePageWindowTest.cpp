// The "Code page" choice of the browser: names stored in a DOS or Windows page shown as their
// letters once the page is chosen, the choice remembered per directory outside it, Open then
// Build writing every record back unchanged under every page, and Build refusing a typed name
// the page cannot hold.
#include "Backups.h"
#include "DictionaryOnDisk.h"
#include "SampleDictionary.h"

#include <QDir>
#include <QSettings>

namespace {

using namespace grid;

// "Статьи_расходов", "Клиент" and "Сумма" in CP866.
const std::string kTable866 = "\x91\xE2\xA0\xE2\xEC\xA8_\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2";
const std::string kField866 = "\x8A\xAB\xA8\xA5\xAD\xE2";
const std::string kAmount866 = "\x91\xE3\xAC\xAC\xA0";

class CodePageWindow : public DictionaryOnDisk {
protected:
    // The self-description, a CP866 table with two fields and a key and, with everyByte, tables
    // whose names and locations between them hold every byte from 0x80 to 0xFF; then the window
    // starts again, as a user would start it in the directory.
    void writeDictionary(bool everyByte)
    {
        sample::DictionaryRows rows = sample::selfDescription();
        dict::FileRecord t;
        t.id = 10;
        t.name = kTable866;
        t.loc = "\x91\xE3\xAC\xAC\xEB.DAT";
        rows.files.push_back(t);
        rows.fields.push_back({40, 10, kField866, 0, 0, 30, 0, 0});
        rows.fields.push_back({41, 10, kAmount866, 6, 30, 8, 2, 0});
        rows.indexes.push_back({10, 40, 0, 0, 0x103});
        for (int high = 0x80, id = 11; everyByte && high <= 0xFF; ++id) {
            dict::FileRecord f;
            f.id = static_cast<int16_t>(id);
            for (int k = 0; k < 16 && high <= 0xFF; ++k)
                f.name += static_cast<char>(high++);
            f.loc = "T" + std::to_string(id) + "\xB0\xFE.DAT";
            rows.files.push_back(f);
            rows.fields.push_back({static_cast<int16_t>(100 + id), static_cast<int16_t>(id),
                                   f.name.substr(0, 12), 0, 0, 10, 0, 0});
        }
        sample::writeDictionary(std::filesystem::path(mDir.path()), rows);
        restart();
    }

    // Chooses the page in the browser's list with the keyboard, as a user does.
    void choosePage(const QString& id)
    {
        QComboBox* box = w().CodePageComboBox;
        const int index = box->findData(id);
        ASSERT_GE(index, 0) << id.toStdString();
        showWindow();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        ASSERT_EQ(box->currentData().toString(), id);
    }

    std::map<std::string, std::vector<QByteArray>> recordsOfTheSet()
    {
        std::map<std::string, std::vector<QByteArray>> all;
        for (const char* file : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF", "FIELDEXT.DDF"})
            all[file] = readThroughRecordManager(file).records;
        return all;
    }
};

TEST_F(CodePageWindow, openThenBuildWritesEveryRecordBackUnderEveryPage)
{
    writeDictionary(true);
    const auto before = recordsOfTheSet();
    ASSERT_GT(before.at("FILE.DDF").size(), 10u);
    ASSERT_GT(before.at("FIELD.DDF").size(), 20u);
    for (const dict::CodePage& page : dict::usualCodePages()) {
        restart();
        choosePage(QString::fromStdString(page.id()));
        w().OpenFile->click();
        w().BuildFile->click();
        EXPECT_TRUE(messages(QMessageBox::Critical).isEmpty())
            << page.id() << ": " << messages(QMessageBox::Critical).join("\n").toStdString();
        EXPECT_EQ(recordsOfTheSet(), before) << page.id();
        // Going to another page with the dictionary open and building again changes nothing.
        choosePage(QStringLiteral("866"));
        w().BuildFile->click();
        EXPECT_EQ(recordsOfTheSet(), before) << page.id() << " then 866";
    }
    // The Builds did write: each put the file it replaced into the backups.
    EXPECT_FALSE(QDir(QString::fromStdString(dict::backupFolder(QDir::currentPath().toStdString())))
                     .entryList({QStringLiteral("FIELD.DDF.*")}, QDir::Files)
                     .isEmpty());
}

TEST_F(CodePageWindow, aChosenPageShowsTheNamesAsLettersAndIsRememberedOutsideTheDirectory)
{
    writeDictionary(false);
    const QStringList filesBefore = QDir(mDir.path().c_str()).entryList(QDir::Files);
    w().OpenFile->click();
    const QStringList hints = messages(QMessageBox::NoIcon);
    ASSERT_EQ(hints.size(), 1) << hints.join("\n").toStdString();
    EXPECT_TRUE(hints[0].contains(QStringLiteral("names read as Cyrillic under 866")))
        << hints[0].toStdString();
    const int row = findRowByNumber(grid(), kFileId, 10);
    ASSERT_GE(row, 1);
    EXPECT_NE(grid()->Cells(kFileName, row).trimmed(), QStringLiteral("Статьи_расходов"));

    choosePage(QStringLiteral("866"));
    EXPECT_EQ(grid()->Cells(kFileName, row).trimmed(), QStringLiteral("Статьи_расходов"));
    EXPECT_EQ(grid()->Cells(kFileLoc, row).trimmed(), QStringLiteral("Суммы.DAT"));
    EXPECT_NE(findRowExact(w().FieldGrid, kFieldName, padName(QStringLiteral("Клиент"))), -1);

    // The next run in the same directory reads the names in 866 from the start, says nothing
    // again, and the directory holds no file it did not hold before.
    restart();
    EXPECT_EQ(w().CodePageComboBox->currentData().toString(), QStringLiteral("866"));
    w().OpenFile->click();
    EXPECT_EQ(grid()->Cells(kFileName, row).trimmed(), QStringLiteral("Статьи_расходов"));
    EXPECT_EQ(messages(QMessageBox::NoIcon).size(), 1);
    EXPECT_EQ(QDir(mDir.path().c_str()).entryList(QDir::Files), filesBefore);
    EXPECT_EQ(
        QSettings()
            .value(QStringLiteral("CodePages/") +
                   QString::fromLatin1(QDir::cleanPath(QDir::currentPath()).toUtf8().toPercentEncoding()))
            .toString(),
        QStringLiteral("866"));

    // Browsing to another directory leaves the pages under the page they were read with; a new
    // set started there takes that directory's page, Latin-1.
    QDir(mDir.path().c_str()).mkdir(QStringLiteral("other"));
    w().changeDirectory(QStringLiteral("other"));
    EXPECT_EQ(w().CodePageComboBox->currentData().toString(), QStringLiteral("866"));
    EXPECT_EQ(grid()->Cells(kFileName, row).trimmed(), QStringLiteral("Статьи_расходов"));
    EXPECT_TRUE(w().LPagesFolder->text().endsWith(QStringLiteral(", 866")))
        << w().LPagesFolder->text().toStdString();
    w().ClearFile->click();
    EXPECT_EQ(w().CodePageComboBox->currentData().toString(), QStringLiteral("Latin-1"));
}

TEST_F(CodePageWindow, aTypedNameThePageCannotHoldStopsTheBuildNamingThePage)
{
    writeDictionary(false);
    choosePage(QStringLiteral("437"));
    w().OpenFile->click();
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));
    const int row = findRowByNumber(w().FieldGrid, kFieldId, 40);
    ASSERT_GE(row, 1);
    w().FieldGrid->setCells(kFieldName, row, QStringLiteral("Имя"));
    w().BuildFile->click();
    ASSERT_EQ(messages(QMessageBox::Critical).size(), 1);
    // Named first, among the cells it leaves unstorable (the key row that used the old name).
    EXPECT_EQ(messages(QMessageBox::Critical)[0].split('\n').value(1),
              QStringLiteral("FIELD.DDF, row %1, column Xe$Name: 'И' cannot be stored in the 8-bit "
                             "text of FIELD.DDF under code page 437 (U+0418)")
                  .arg(row));
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf);

    // Under 866 the same name is stored as its CP866 bytes.
    // The name is put into the cell as an input method would (key presses carry no Cyrillic
    // here); the key release renames the field in the key rows that use it.
    choosePage(QStringLiteral("866"));
    w().FieldGrid->setRow(row);
    w().FieldGrid->setCells(kFieldName, row, QStringLiteral("Имя"));
    w().FieldGridKeyUp(Qt::Key_A);
    w().BuildFile->click();
    EXPECT_EQ(messages(QMessageBox::Critical).size(), 1) << messages(QMessageBox::Critical).join('|').toStdString();
    bool found = false;
    for (const QByteArray& r : readThroughRecordManager("FIELD.DDF").records)
        found = found ||
                dict::FieldRecord::decode({reinterpret_cast<const uint8_t*>(r.data()), std::size_t(r.size())})
                    .name.starts_with("\x88\xAC\xEF ");
    EXPECT_TRUE(found);
}

} // namespace
