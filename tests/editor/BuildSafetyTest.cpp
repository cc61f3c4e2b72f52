// What keeps a user's dictionary safe while they type and build: the previous file copied into
// the backups before a Build replaces it, typing that never raises a message, and a cell editor
// that never goes on typing into another record.
#include "Backups.h"
#include "CreationSpecs.h"
#include "DictionaryOnDisk.h"

#include <QDir>

namespace {

using BuildSafety = DictionaryOnDisk;

QStringList backupsOf(const QString& name)
{
    return QDir(QString::fromStdString(dict::backupFolder(QDir::currentPath().toStdString())))
        .entryList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
}

TEST_F(BuildSafety, aBuildKeepsTheFormerFileInTheBackupsAndTheEleventhDropsTheOldest)
{
    w().ClearFile->click();
    w().BuildFileDDF->click();
    EXPECT_TRUE(backupsOf(QStringLiteral("FILE.DDF")).isEmpty()) << "a new file needs no copy";
    EXPECT_TRUE(QString::fromStdString(dict::backupFolder(QDir::currentPath().toStdString())).startsWith(path(QStringLiteral("data"))));

    QList<QByteArray> versions;
    for (int build = 1; build <= 11; ++build) {
        versions << fileBytes(QStringLiteral("FILE.DDF"));
        const int entry = grid()->RowCount() - 1;
        grid()->setCells(1, entry, QStringLiteral("T%1").arg(build));
        grid()->setCells(3, entry, QStringLiteral("0"));
        type(entry, 0, QString::number(10 + build)); // one table more each time
        w().BuildFileDDF->click();
    }
    ASSERT_TRUE(mMessages.empty()) << mMessages[0].second.toStdString();
    const QStringList copies = backupsOf(QStringLiteral("FILE.DDF"));
    ASSERT_EQ(copies.size(), dict::kBackupsKept);
    const QString folder = QString::fromStdString(dict::backupFolder(QDir::currentPath().toStdString()));
    for (int i = 0; i < copies.size(); ++i) {
        QFile copy(folder + QLatin1Char('/') + copies[i]);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), versions[i + 1])
            << "copy " << i << " holds the file before build " << i + 2;
    }
}

TEST_F(BuildSafety, aBackupThatCannotBeTakenStopsTheBuildBeforeAnythingIsReplaced)
{
    w().ClearFile->click();
    w().BuildFileDDF->click();
    const QByteArray built = fileBytes(QStringLiteral("FILE.DDF"));
    const QString folder = QString::fromStdString(dict::backupFolder(QDir::currentPath().toStdString()));
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    grid()->setCells(3, 4, QStringLiteral("0"));
    type(4, 0, QStringLiteral("9"));
    w().BuildFileDDF->click();
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), built);
    ASSERT_EQ(messages(QMessageBox::Critical).size(), 1);
    EXPECT_TRUE(messages(QMessageBox::Critical)[0].startsWith(
        QStringLiteral("FILE.DDF was not written: the backup folder")))
        << messages(QMessageBox::Critical)[0].toStdString();
}

TEST_F(BuildSafety, buildDdfsWritesNoFileWhileAnyPageHoldsACellItCannotStore)
{
    w().ClearFile->click();
    w().BuildFile->click();
    ASSERT_TRUE(mMessages.empty());
    const QByteArray fileDdf = fileBytes(QStringLiteral("FILE.DDF"));
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));
    grid()->setCells(1, 1, QStringLiteral("RENAMED")); // a change FILE.DDF could take
    w().FieldGrid->setCells(5, 3, QStringLiteral("big"));
    w().BuildFile->click();
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList(QStringLiteral(
                  "Nothing was written; 3 cells cannot be stored:\n"
                  "FIELD.DDF, row 3, column Xe$Size: 'big' is not a valid integer value\n"
                  "INDEX.DDF, row 1, column Xi$File: table 'X$FILE' is not in the Files grid\n"
                  "INDEX.DDF, row 2, column Xi$File: table 'X$FILE' is not in the Files grid.")));
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), fileDdf) << "FILE.DDF waits for every page";
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf);
}

TEST_F(BuildSafety, theWholeSetComesBackInAllFourPagesAtTheNextRun)
{
    w().ClearFile->click();
    TVarGrid* ext = w().extFields().ExtGrid;
    const int row = ext->RowCount() - 1;
    ext->setCells(0, row, QStringLiteral("X$FIELD             "));
    ext->setCells(1, row, QStringLiteral("Xe$Name             "));
    ext->setCells(2, row, QStringLiteral("228"));
    ext->setRowCount(row + 2);
    w().BuildFile->click();
    ASSERT_TRUE(messages(QMessageBox::NoIcon).isEmpty())
        << messages(QMessageBox::NoIcon).join('\n').toStdString();
    const std::vector<TVarGrid*> built{w().FileGrid, w().FieldGrid, w().keys().KeyGrid,
                                       w().extFields().ExtGrid};
    std::vector<std::vector<QStringList>> before;
    for (TVarGrid* g : built)
        before.push_back(rows(g));
    ASSERT_EQ(before[2].size(), 17u) << "the 15 self-description key segments";
    ASSERT_EQ(before[3].size(), 3u);

    restart();
    w().OpenFile->click();
    const std::vector<TVarGrid*> opened{w().FileGrid, w().FieldGrid, w().keys().KeyGrid,
                                        w().extFields().ExtGrid};
    for (std::size_t page = 0; page < opened.size(); ++page)
        EXPECT_EQ(rows(opened[page]), before[page]) << "page " << page;
    EXPECT_TRUE(mMessages.empty());
}

TEST_F(BuildSafety, openWithoutAReadableRecordLeavesOnlyTheTitleAndTheEntryRow)
{
    w().ClearFile->click();
    QFile::remove(QStringLiteral("FILE.DDF"));
    ASSERT_EQ(createThroughRecordManager("FILE.DDF", dict::creationSpec(dict::DictFile::File).bytes, {}), 0);
    w().OpenFileDDFClick();
    EXPECT_TRUE(mMessages.empty()) << mMessages[0].second.toStdString();
    EXPECT_EQ(rows(),
              (std::vector<QStringList>{{"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"}, {"", "", "", ""}}));
    type(1, 1, QStringLiteral("x")); // a key release on the entry row commits nothing
    EXPECT_EQ(grid()->RowCount(), 2);
}

TEST_F(BuildSafety, typingSignsAndHexIntoNumberCellsRaisesNoMessage)
{
    w().ClearFile->click();
    typeKeys(grid(), 1, 3, QStringLiteral("-$"));
    typeKeys(grid(), 2, 0, QStringLiteral("-"));
    typeKeys(grid(), 4, 0, QStringLiteral("$12"));
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(grid()->Cells(3, 1), QStringLiteral("-$"));
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("-"));
    EXPECT_EQ(grid()->RowCount(), 6) << "an id typed into the entry row commits it";
    EXPECT_EQ(grid()->Cells(0, 4), QStringLiteral("$12")) << "typing goes on in the committed row";

    w().BuildFileDDF->click();
    EXPECT_EQ(
        messages(QMessageBox::Critical),
        QStringList(QStringLiteral("Nothing was written; 3 cells cannot be stored:\n"
                                   "FILE.DDF, row 1, column Xf$Flags: '-$' is not a valid integer value\n"
                                   "FILE.DDF, row 2, column Xf$Id: '-' is not a valid integer value\n"
                                   "FILE.DDF, row 4, column Xf$Flags: '' is not a valid integer value.")));
}

TEST_F(BuildSafety, typingGoesNoFurtherOnceTheRowBeingTypedIntoIsRemoved)
{
    w().ClearFile->click();
    showWindow();
    grid()->setFocus();
    grid()->setRow(2);
    grid()->setCol(0);
    pressKey(Qt::Key_F2);        // edit X$FIELD's id "2"
    pressKey(Qt::Key_Backspace); // emptied: the row goes at this key's release
    ASSERT_EQ(grid()->Cells(1, 2).trimmed(), QStringLiteral("X$INDEX"));
    pressKey(Qt::Key_9);
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("3")) << "X$INDEX's id is not typed into";
    EXPECT_EQ(grid()->RowCount(), 4);
    EXPECT_TRUE(mMessages.empty());
}

} // namespace
