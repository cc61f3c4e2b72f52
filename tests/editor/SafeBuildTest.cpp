// The window's side of writing the dictionary safely: a question before a Build leaves a file
// without records, the Build finished or undone at the next start, and "Restore backup…".
#include "Backups.h"
#include "CreationSpecs.h"
#include "DictionaryOnDisk.h"
#include "SelfDescription.h"
#include "SetWriter.h"

#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

namespace {

class SafeBuild : public DictionaryOnDisk {
protected:
    void SetUp() override
    {
        DictionaryOnDisk::SetUp();
        TMain::QuestionHook = [this](const QString& text) {
            mQuestions << text;
            return mAnswer;
        };
    }
    void TearDown() override
    {
        DictionaryOnDisk::TearDown();
        TMain::QuestionHook = nullptr;
    }

    // The dictionary as New DDFs and Build DDFs write it (twice: the backups hold the full set),
    // then FIELD.DDF emptied as a Build cut off by the old way of writing left it, and the window
    // started again over it.
    void fullSetWithFieldDdfEmptied()
    {
        w().ClearFile->click();
        w().BuildFile->click();
        w().BuildFile->click();
        ASSERT_TRUE(mMessages.empty());
        QFile::remove(QStringLiteral("FIELD.DDF"));
        ASSERT_EQ(
            createThroughRecordManager("FIELD.DDF", dict::creationSpec(dict::DictFile::Field).bytes, {}), 0);
        restart();
        w().OpenFile->click();
        mMessages.clear();
    }

    QStringList mQuestions;
    bool mAnswer = false;
};

TEST_F(SafeBuild, overAnEmptiedFieldDdfABuildKeepsEveryKeyRowAndLeavesTheEmptyFileAlone)
{
    fullSetWithFieldDdfEmptied();
    const QByteArray fileDdf = fileBytes(QStringLiteral("FILE.DDF"));
    const QByteArray indexDdf = fileBytes(QStringLiteral("INDEX.DDF"));
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));
    const auto backupsBefore = dict::listBackups(QDir::currentPath().toStdString());

    // FIELD.DDF is empty, so every key segment names a field that is not there: the key rows keep
    // the field ids they were read with, and the empty page's file is left as it is.
    w().BuildFile->click();
    EXPECT_TRUE(mQuestions.empty());
    ASSERT_FALSE(mMessages.empty());
    EXPECT_TRUE(mMessages.back().second.contains(QStringLiteral("FIELD.DDF was left as it was")))
        << mMessages.back().second.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), fileDdf);
    EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), indexDdf);
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf);
    EXPECT_GE(dict::listBackups(QDir::currentPath().toStdString()).size(), backupsBefore.size());
    for (const QString& name : QDir::current().entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.contains(QStringLiteral("quillan"))) << name.toStdString();
}

TEST_F(SafeBuild, aPageEmptiedByHandLeavesItsFileAsItWasAndSaysSo)
{
    w().ClearFile->click();
    w().BuildFile->click();
    ASSERT_TRUE(mMessages.empty());
    const QByteArray indexDdf = fileBytes(QStringLiteral("INDEX.DDF"));

    // Every key row gone, as a page emptied by hand leaves it.
    w().keys().KeyGrid->setRowCount(2);
    w().keys().KeyGrid->setCells(0, 1, QString());
    w().keys().KeyGrid->setCells(1, 1, QString());

    w().BuildFile->click();
    EXPECT_TRUE(mQuestions.empty());
    EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), indexDdf);
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records.size(), 15u);
    ASSERT_FALSE(mMessages.empty());
    EXPECT_TRUE(mMessages.back().second.contains(QStringLiteral("INDEX.DDF was left as it was")))
        << mMessages.back().second.toStdString();
}

TEST_F(SafeBuild, anExtendedTypeRowOfNoTableStopsTheBuildAndWritesNothing)
{
    w().ClearFile->click();
    TVarGrid* ext = w().extFields().ExtGrid;
    const int row = ext->RowCount() - 1;
    ext->setCells(0, row, QStringLiteral("NO_SUCH_TABLE"));
    ext->setCells(1, row, QStringLiteral("Xe$Name"));
    ext->setCells(2, row, QStringLiteral("228"));
    ext->setRowCount(row + 2);
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_TRUE(mQuestions.empty());
    ASSERT_EQ(messages(QMessageBox::Critical).size(), 1);
    EXPECT_TRUE(messages(QMessageBox::Critical)[0].contains(QStringLiteral("FIELDEXT.DDF")))
        << messages(QMessageBox::Critical)[0].toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELDEXT.DDF")));
    EXPECT_FALSE(w().extFields().OpenFieldExtDDF->isEnabled()) << "nothing written, nothing to open";
}

TEST_F(SafeBuild, theNextStartFinishesABuildCutOffWhileItsFilesWereRenamedAndSaysSo)
{
    w().ClearFile->click();
    w().BuildFile->click();
    // A Build cut off after the marker, before FIELD.DDF's new copy was renamed.
    QFile::copy(QStringLiteral("FILE.DDF"), QStringLiteral(".FIELD.DDF.quillan-new"));
    {
        QFile marker(QString::fromLatin1(dict::kSetMarkerName));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.write("quillan-set 1\n.FIELD.DDF.quillan-new\tFIELD.DDF\n");
    }
    mMessages.clear();
    restart();
    ASSERT_EQ(messages(QMessageBox::NoIcon).size(), 1);
    EXPECT_TRUE(messages(QMessageBox::NoIcon)[0].contains(QStringLiteral("finished now (FIELD.DDF)")));
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fileBytes(QStringLiteral("FILE.DDF")));
    EXPECT_FALSE(QFile::exists(QString::fromLatin1(dict::kSetMarkerName)));
}

TEST_F(SafeBuild, restoreBackupListsTheCopiesAndPutsTheChosenOneBack)
{
    fullSetWithFieldDdfEmptied();
    const auto copies = dict::listBackups(QDir::currentPath().toStdString(), "FIELD.DDF");
    ASSERT_GE(copies.size(), 1u);

    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("BackupList"));
        auto* restore = dialog->findChild<QPushButton*>(QStringLiteral("RestoreButton"));
        ASSERT_TRUE(list && restore);
        EXPECT_FALSE(restore->isEnabled()) << "nothing chosen yet";
        QTreeWidgetItem* full = nullptr;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            shown << item->text(1) + QLatin1Char('|') + item->text(0) + QLatin1Char('|') + item->text(3);
            if (!full && item->text(0) == QStringLiteral("FIELD.DDF") && item->text(3) != QStringLiteral("0"))
                full = item;
        }
        ASSERT_TRUE(full);
        const QRect rect = list->visualItemRect(full);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseClick(restore, Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject(); // the click did not close it
    });
    w().RestoreBackup->click();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.size(), 4) << "the four files of the first Build";
    for (int i = 1; i < shown.size(); ++i)
        EXPECT_GE(shown[i - 1].section(QLatin1Char('|'), 0, 0), shown[i].section(QLatin1Char('|'), 0, 0))
            << "newest first";
    ASSERT_EQ(messages(QMessageBox::NoIcon).size(), 1) << allMessages().join('\n').toStdString();
    EXPECT_TRUE(messages(QMessageBox::NoIcon)[0].startsWith(
        QStringLiteral("FIELD.DDF was restored from its copy of")))
        << messages(QMessageBox::NoIcon)[0].toStdString();
    EXPECT_EQ(readThroughRecordManager("FIELD.DDF").records.size(), dict::fieldSelfDescription().size());
}

} // namespace
