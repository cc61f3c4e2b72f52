// What the window never loses of what the user did: a Build that writes the whole set or none of
// it, the window kept open while a Build did not write everything, a question before New DDFs or
// Open DDFs drops edits or a new set replaces a dictionary, a restore the pages follow, and the
// files' modes kept.
#include "Backups.h"
#include "FileLookup.h"
#include "GeneratedTable.h"
#include "WindowFlows.h"

#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <functional>
#include <tuple>

namespace {

namespace fs = std::filesystem;

const char* const kSetFiles[] = {"FILE.DDF", "FIELD.DDF", "INDEX.DDF", "FIELDEXT.DDF"};

class NothingLost : public WindowFlow {
protected:
    void SetUp() override
    {
        WindowFlow::SetUp();
        answerChoicesWith(&mChoice);
        TMain::QuestionHook = [this](const QString& text) {
            mAskedQuestions << text;
            return mYes;
        };
    }

    // The real-size set written here and opened with Open DDFs.
    void openSet()
    {
        writeSetHere(realSizeSet());
        press(w().OpenFile);
        ASSERT_TRUE(mMessages.empty()) << allMessages().join('\n').toStdString();
    }
    std::vector<QByteArray> setBytes()
    {
        std::vector<QByteArray> bytes;
        for (const char* name : kSetFiles)
            bytes.push_back(fileBytes(QString::fromLatin1(name)));
        return bytes;
    }
    // Chooses the newest backup copy of `fileName` in "Restore backup…" and clicks Restore.
    void restoreNewestCopyOf(const QString& fileName)
    {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("BackupList"));
            auto* restore = dialog->findChild<QPushButton*>(QStringLiteral("RestoreButton"));
            QTreeWidgetItem* newest = nullptr;
            for (int i = 0; i < list->topLevelItemCount() && !newest; ++i)
                if (list->topLevelItem(i)->text(0) == fileName)
                    newest = list->topLevelItem(i);
            if (!newest) {
                dialog->reject();
                FAIL() << "no copy of " << fileName.toStdString();
            }
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(newest).center());
            QTest::mouseClick(restore, Qt::LeftButton);
            if (dialog->isVisible())
                dialog->reject();
        });
        press(w().RestoreBackup);
    }
    QStringList names(TVarGrid* g, int col)
    {
        QStringList out;
        for (int row = 1; row + 1 < g->RowCount(); ++row)
            out << g->Cells(col, row).trimmed();
        return out;
    }

    QString mChoice = QStringLiteral("Cancel");
    bool mYes = true;
};

// ---- An all-or-nothing Build ----

struct Duplicate {
    const char* name;
    QWidget* TMain::*tab;
    TVarGrid* TMain::*grid;
    int row, col;
    const char* typed;
    QStringList said; // the refusal names these
};

class DuplicateKeyValue : public NothingLost, public ::testing::WithParamInterface<Duplicate> {};

TEST_P(DuplicateKeyValue, isRefusedBeforeAnythingIsWrittenNamingBothRows)
{
    const Duplicate& d = GetParam();
    openSet();
    const auto before = setBytes();
    pickPage(w().*d.tab);
    typeKeys(w().*d.grid, d.row, d.col, QString::fromLatin1(d.typed));
    pressKey(Qt::Key_Return);
    press(w().BuildFile);
    const QStringList refused = messages(QMessageBox::Critical);
    ASSERT_EQ(refused.size(), 1) << allMessages().join('\n').toStdString();
    for (const QString& part : d.said)
        EXPECT_TRUE(refused[0].contains(part)) << refused[0].toStdString();
    EXPECT_EQ(setBytes(), before) << "no file replaced";
    EXPECT_FALSE(w().unbuiltPages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Keys, DuplicateKeyValue,
                         ::testing::Values(Duplicate{"tableName",
                                                     &TMain::TabFiles,
                                                     &TMain::FileGrid,
                                                     2,
                                                     grid::kFileName,
                                                     "customerorderhistory",
                                                     {"FILE.DDF", "row 2", "Xf$Name", "row 1", "key 1"}},
                                           Duplicate{"tableId",
                                                     &TMain::TabFiles,
                                                     &TMain::FileGrid,
                                                     2,
                                                     grid::kFileId,
                                                     "9112",
                                                     {"FILE.DDF", "row 2", "Xf$Id", "row 1", "key 0"}},
                                           Duplicate{"fieldNameInItsTable",
                                                     &TMain::TabFields,
                                                     &TMain::FieldGrid,
                                                     2,
                                                     grid::kFieldName,
                                                     "ORDERNUMBERREFERENCE",
                                                     {"FIELD.DDF", "row 2", "Xe$Name", "row 1"}}),
                         [](const auto& info) { return std::string(info.param.name); });

class RecordManagerRefusal : public NothingLost, public ::testing::WithParamInterface<const char*> {};

TEST_P(RecordManagerRefusal, whileFillingAnyFileLeavesAllFourAsTheyWere)
{
    openSet();
    pickPage(w().TabFiles);
    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Edited"));
    pressKey(Qt::Key_Return);
    const auto before = setBytes();
    // The new copy of this file cannot be made: a folder holds its private name.
    const fs::path blocker = mDir.path() / btrieve::privateFileFor(GetParam());
    fs::create_directories(blocker / "inside");

    press(w().BuildFile);
    fs::remove_all(blocker);
    EXPECT_EQ(setBytes(), before);
    const QString said = allMessages().join('\n');
    EXPECT_TRUE(said.contains(QString::fromLatin1(GetParam()) + " was not created: status "))
        << said.toStdString();
    EXPECT_TRUE(said.contains("No dictionary file was replaced")) << said.toStdString();
    EXPECT_TRUE(w().unbuiltPages().contains("Files")) << "the edit is still there to build";
    for (const QString& name : QDir::current().entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.contains(QStringLiteral("quillan"))) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, RecordManagerRefusal, ::testing::ValuesIn(kSetFiles), [](const auto& info) {
    return std::string(info.param).substr(0, std::string(info.param).find('.'));
});

// ---- Closing, New DDFs and Open DDFs ----

TEST_F(NothingLost, closingWithBuildKeepsTheWindowOpenWhenTheFilesCannotBeWritten)
{
    // A genuine set, which the embedded record manager only reads.
    for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"})
        fs::copy_file(fs::path(QUILLAN_TEST_DATA) / "genuine" / "ddf60" / name, mDir.path() / name);
    w().changeDirectory(QDir::currentPath());
    press(w().OpenFile);
    pickPage(w().TabFiles);
    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Edited"));
    pressKey(Qt::Key_Return);
    ASSERT_FALSE(w().unbuiltPages().isEmpty());

    mChoice = QStringLiteral("Build");
    EXPECT_FALSE(w().close());
    EXPECT_TRUE(w().isVisible());
    ASSERT_EQ(messages(QMessageBox::NoIcon).size(), 1) << allMessages().join('\n').toStdString();
    const QString report = messages(QMessageBox::NoIcon)[0];
    EXPECT_TRUE(report.contains("can only read")) << report.toStdString();
    EXPECT_FALSE(report.contains("standard layout")) << "nothing was written: " << report.toStdString();
    EXPECT_FALSE(w().lastBuildWroteEverything());
    EXPECT_FALSE(w().unbuiltPages().isEmpty());
}

struct DroppingEdits {
    const char* name;
    QPushButton* TMain::*button;
    const char* asked; // the question says what would drop the edits
};

class DroppingEditsAsks : public NothingLost, public ::testing::WithParamInterface<DroppingEdits> {};

TEST_P(DroppingEditsAsks, andEachAnswerDoesWhatItSays)
{
    openSet();
    pickPage(w().TabFiles);
    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Edited"));
    pressKey(Qt::Key_Return);
    const auto edited = pages();

    mChoice = QStringLiteral("Cancel");
    press(w().*GetParam().button);
    ASSERT_EQ(mAskedQuestions.size(), 1);
    EXPECT_TRUE(mAskedQuestions[0].startsWith("The Files and Keys pages hold edits that are not built yet"))
        << mAskedQuestions[0].toStdString() << " (the Keys page follows the renamed table)";
    EXPECT_TRUE(mAskedQuestions[0].contains(GetParam().asked)) << mAskedQuestions[0].toStdString();
    EXPECT_EQ(pages(), edited) << "Cancel keeps every page";

    mChoice = QStringLiteral("Build");
    press(w().*GetParam().button);
    EXPECT_EQ(mAskedQuestions.size(), 2);
    QStringList tables;
    for (const QByteArray& record : readThroughRecordManager("FILE.DDF").records)
        tables << QString::fromLatin1(record.mid(2, 20)).trimmed();
    EXPECT_TRUE(tables.contains("Edited")) << "built before it went on";
    EXPECT_TRUE(w().unbuiltPages().isEmpty());

    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Dropped"));
    pressKey(Qt::Key_Return);
    mChoice = QStringLiteral("Discard");
    press(w().*GetParam().button);
    EXPECT_EQ(mAskedQuestions.size(), 3);
    EXPECT_FALSE(names(w().FileGrid, grid::kFileName).contains("Dropped"));
    EXPECT_TRUE(w().unbuiltPages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, DroppingEditsAsks,
                         ::testing::Values(DroppingEdits{"openDdfs", &TMain::OpenFile, "before opening"},
                                           DroppingEdits{"newDdfs", &TMain::ClearFile,
                                                         "before starting a new dictionary"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NothingLost, buildingANewSetOverAFolderWithADictionaryAsksFirst)
{
    openSet();
    const auto before = setBytes();
    press(w().ClearFile);
    ASSERT_TRUE(mAskedQuestions.isEmpty()) << "nothing to lose yet";

    mYes = false;
    press(w().BuildFile);
    ASSERT_EQ(mAskedQuestions.size(), 1);
    EXPECT_TRUE(mAskedQuestions[0].contains("holds a dictionary (FILE.DDF holds 2 records"))
        << mAskedQuestions[0].toStdString();
    EXPECT_EQ(setBytes(), before);
    EXPECT_FALSE(w().lastBuildWroteEverything());

    mYes = true;
    press(w().BuildFile);
    EXPECT_EQ(mAskedQuestions.size(), 2);
    EXPECT_EQ(readThroughRecordManager("FILE.DDF").records.size(), 3u) << "the new set's own rows";
    press(w().BuildFile);
    EXPECT_EQ(mAskedQuestions.size(), 2) << "the folder holds the new set now";
}

TEST_F(NothingLost, afterAFailedOpenThePagesSayWhereTheyComeFromAndBuildingElsewhereAsks)
{
    openSet();
    const QString home = QDir::currentPath();
    EXPECT_TRUE(w().LPagesFolder->toolTip().contains(QDir::toNativeSeparators(home)));
    const fs::path other = mDir.path() / "other";
    fs::create_directories(other);
    {
        QFile broken(QString::fromStdString((other / "FILE.DDF").string()));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(4096, 'x'));
    }
    w().changeDirectory(QString::fromStdString(other.string()));
    press(w().OpenFile);
    ASSERT_EQ(mMessages.size(), 1u) << "Open DDFs failed";
    EXPECT_EQ(w().pagesFolder(), home);
    EXPECT_TRUE(w().LPagesFolder->toolTip().contains(QDir::toNativeSeparators(home)));

    mYes = false;
    press(w().BuildFile);
    ASSERT_EQ(mAskedQuestions.size(), 1);
    EXPECT_TRUE(mAskedQuestions[0].contains(QDir::toNativeSeparators(home)) &&
                mAskedQuestions[0].contains(QDir::toNativeSeparators(QDir::currentPath())))
        << mAskedQuestions[0].toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELD.DDF"))) << "No writes nothing there";
}

TEST_F(NothingLost, buildDdfsWarnsOfAnEditedFieldWhoseSizeItsTypeCannotHave)
{
    openSet();
    pickPage(w().TabFields);
    typeKeys(w().FieldGrid, 1, grid::kFieldSize, QStringLiteral("6")); // an Integer
    pressKey(Qt::Key_Return);
    press(w().BuildFile);
    ASSERT_EQ(messages(QMessageBox::NoIcon).size(), 1) << allMessages().join('\n').toStdString();
    EXPECT_TRUE(messages(QMessageBox::NoIcon)[0].startsWith(
        "FIELD.DDF: row 1: a field of type Integer cannot have size 6; the type takes 1, 2, 4 or 8 bytes"))
        << messages(QMessageBox::NoIcon)[0].toStdString();
    EXPECT_TRUE(w().lastBuildWroteEverything()) << "a warning, not a refusal";
    EXPECT_EQ(readThroughRecordManager("FIELD.DDF").records.size(), 4u);

    mMessages.clear();
    press(w().BuildFile);
    EXPECT_TRUE(mMessages.empty()) << "said once, for the row as edited";
}

TEST_F(NothingLost, buildDdfsWarnsOfAnEditedKeyWhoseFlagsItsDataFileDoesNotHave)
{
    dictsets::Set set = realSizeSet();
    set.keys[0].flags = dict::KeyExtendedType | dict::KeyDuplicates; // as the data file's key 0
    writeSetHere(set);
    ASSERT_EQ(generated::writeDataFile(mDir.file("ORDHIST.DAT"), 8, 3,
                                       [](int i) { return std::vector<uint8_t>(8, uint8_t(i)); }),
              0);
    press(w().OpenFile);
    pickPage(&w().keys());
    clickCell(w().keys().KeyGrid, 1, grid::kKeyFile);
    ASSERT_TRUE(w().keys().ChDuplicates->isChecked());
    QTest::mouseClick(w().keys().ChModifiable, Qt::LeftButton);
    clickCell(w().keys().KeyGrid, 2, grid::kKeyFile); // another table's key, its data file missing
    QTest::mouseClick(w().keys().ChModifiable, Qt::LeftButton);

    press(w().BuildFile);
    ASSERT_EQ(messages(QMessageBox::NoIcon).size(), 1) << allMessages().join('\n').toStdString();
    const QString report = messages(QMessageBox::NoIcon)[0];
    EXPECT_TRUE(
        report.startsWith("INDEX.DDF: row 1: key 0 of CustomerOrderHistory against ORDHIST.DAT: segment 0 "
                          "differs from the data file: flags 259 in INDEX.DDF, 257 in the data file"))
        << report.toStdString();
    EXPECT_FALSE(report.contains("row 2")) << "no data file, nothing to compare";
    EXPECT_TRUE(w().lastBuildWroteEverything()) << "a warning, not a refusal";
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records.size(), 2u);

    mMessages.clear();
    press(w().BuildFile);
    EXPECT_TRUE(mMessages.empty()) << "said once, for the row as edited";
    clickCell(w().keys().KeyGrid, 1, grid::kKeyFile);
    QTest::mouseClick(w().keys().ChModifiable, Qt::LeftButton); // back to the data file's flags
    press(w().BuildFile);
    EXPECT_TRUE(mMessages.empty()) << allMessages().join('\n').toStdString();
}

TEST_F(NothingLost, settingsKeptUnderNoOrganisationAreTakenOverOnce)
{
    const QString organisation = QCoreApplication::organizationName();
    QCoreApplication::setOrganizationName(QString());
    QSettings().setValue(QStringLiteral("Probe/Kept"), 7);
    TMain::nameSettings();
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Quillan"));
    EXPECT_EQ(QSettings().value(QStringLiteral("Probe/Kept")).toInt(), 7);
    QSettings().setValue(QStringLiteral("Probe/Kept"), 8);
    TMain::nameSettings();
    EXPECT_EQ(QSettings().value(QStringLiteral("Probe/Kept")).toInt(), 8) << "taken over once only";
    QSettings().remove(QStringLiteral("Probe"));
    QSettings().remove(QStringLiteral("Settings"));
    QCoreApplication::setOrganizationName(QString());
    QSettings().remove(QStringLiteral("Probe"));
    QCoreApplication::setOrganizationName(organisation);
}

TEST_F(NothingLost, buildDdfsIntoAnotherFolderWritesEveryFileOfTheSetOpened)
{
    dictsets::Set set = realSizeSet();
    set.exts.clear(); // an empty FIELDEXT.DDF
    writeSetHere(set);
    press(w().OpenFile);
    const fs::path copy = mDir.path() / "copy";
    fs::create_directories(copy);
    w().changeDirectory(QString::fromStdString(copy.string()));
    press(w().BuildFile);
    ASSERT_TRUE(w().lastBuildWroteEverything()) << allMessages().join('\n').toStdString();
    for (const char* name : kSetFiles)
        EXPECT_TRUE(fs::exists(copy / name)) << name;
    EXPECT_EQ(readThroughRecordManager("FIELDEXT.DDF").openStatus, 0);
}

TEST_F(NothingLost, aFilterNamingNoTableSaysSoBesideIt)
{
    openSet();
    const std::tuple<QWidget*, QComboBox*, QLabel*> filters[] = {
        {w().TabFields, w().FileFilter, w().LFileFilter},
        {&w().keys(), w().keys().IndexFilter, w().keys().LIndexFilter},
        {&w().extFields(), w().extFields().ExtFileFilter, w().extFields().LExtFileFilter}};
    for (const auto& [tab, box, caption] : filters) {
        pickPage(tab);
        const QString plain = caption->text();
        typeFilter(box, QStringLiteral("NoSuchTable"));
        EXPECT_TRUE(caption->text().endsWith("no such table, all rows shown"))
            << caption->text().toStdString();
        typeFilter(box, QStringLiteral("CustomerOrderHistory"));
        EXPECT_EQ(caption->text(), plain);
    }
}

// ---- Controls follow what the pages show ----

TEST_F(NothingLost, addKeyMakesItsRowCurrentWithTheFieldsOfItsTableAndNoFlagTicked)
{
    openSet();
    pickPage(&w().keys());
    clickCell(w().keys().KeyGrid, 2, grid::kKeyFlags); // WarehouseStockLevels' key: flags 1 + 2 + 256
    ASSERT_TRUE(w().keys().ChDuplicates->isChecked());
    typeFilter(w().keys().IndexFilter, QStringLiteral("CustomerOrderHistory"));

    press(w().keys().AddKey);
    const int row = w().keys().KeyGrid->Row();
    EXPECT_EQ(w().keys().KeyGrid->Cells(grid::kKeyFile, row).trimmed(), "CustomerOrderHistory");
    QStringList offered;
    for (int i = 0; i < w().keys().ChooseField->count(); ++i)
        offered << w().keys().ChooseField->itemText(i).trimmed();
    EXPECT_EQ(offered, (QStringList{"OrderNumberReference", "CustomerAccountCode1"}));
    for (const TVarCheckBox* box : w().keys().keyFlagBoxes())
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();

    // The entry row below it, which has no flags, ticks nothing either.
    clickCell(w().keys().KeyGrid, grid::entryRow(w().keys().KeyGrid), grid::kKeyFile);
    clickCell(w().keys().KeyGrid, 1, grid::kKeyFile); // CustomerOrderHistory's key: flags 2
    ASSERT_TRUE(w().keys().ChModifiable->isChecked());
    clickCell(w().keys().KeyGrid, grid::entryRow(w().keys().KeyGrid), grid::kKeyFile);
    for (const TVarCheckBox* box : w().keys().keyFlagBoxes())
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString() << " on the entry row";
    EXPECT_EQ(w().keys().ChooseField->count(), 0) << "the entry row names no table";
}

TEST_F(NothingLost, findRecordsShowsAndOffersTheRecordItSelects)
{
    openSet();
    {
        QFile source(path("orders.pas"));
        ASSERT_TRUE(source.open(QIODevice::WriteOnly));
        source.write("type\n  TPoint = record X, Y: Integer; end;\n"
                     "  TPerson = record Name: String[30]; Age: Byte; end;\n");
    }
    w().FileListBox->setMask(QStringLiteral("*.pas"));
    const auto items = w().FileListBox->findItems(QStringLiteral("orders.pas"), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    QTest::mouseClick(w().FileListBox->viewport(), Qt::LeftButton, {},
                      w().FileListBox->visualItemRect(items.first()).center());
    pickPage(&w().utils());
    press(w().utils().Search);
    QListWidget* found = w().utils().FindRecord;
    ASSERT_EQ(found->count(), 2);
    QTest::mouseClick(found->viewport(), Qt::LeftButton, {}, found->visualItemRect(found->item(1)).center());
    ASSERT_EQ(w().utils().RecordGrid->Cells(0, 1), "Name");

    press(w().utils().Search); // again: the grid shows the record the list selects, not the one before
    ASSERT_EQ(found->selectedItems().size(), 1);
    EXPECT_EQ(found->selectedItems().first()->text(), "TPoint");
    EXPECT_EQ(w().utils().RecordGrid->Cells(0, 1), "X");
    EXPECT_EQ(w().utils().RecordGrid->Cells(0, 2), "Y");

    pickPage(w().TabFields);
    EXPECT_EQ(w().NameRec->currentText(), "TPoint");
    typeFilter(w().FileFilter, QStringLiteral("CustomerOrderHistory"));
    press(w().AddField); // enabled for the record shown
    EXPECT_TRUE(names(w().FieldGrid, grid::kFieldName).contains("X"));
    EXPECT_TRUE(names(w().FieldGrid, grid::kFieldName).contains("Y"));
}

// ---- Restore backup ----

TEST_F(NothingLost, restoreReloadsThePageOfTheFileAfterAskingAboutItsEdits)
{
    openSet();
    pickPage(w().TabFields);
    typeKeys(w().FieldGrid, 1, grid::kFieldName, QStringLiteral("Renamed"));
    pressKey(Qt::Key_Return);
    press(w().BuildFile); // the copy taken holds the names of the set as written
    const QStringList written = names(w().FieldGrid, grid::kFieldName);
    typeKeys(w().FieldGrid, 2, grid::kFieldName, QStringLiteral("NotBuilt"));
    pressKey(Qt::Key_Return);
    const QByteArray fieldDdf = fileBytes(QStringLiteral("FIELD.DDF"));

    mYes = false;
    restoreNewestCopyOf(QStringLiteral("FIELD.DDF"));
    ASSERT_EQ(mAskedQuestions.size(), 1);
    EXPECT_TRUE(mAskedQuestions[0].contains("FIELD.DDF")) << mAskedQuestions[0].toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("FIELD.DDF")), fieldDdf) << "No restores nothing";
    EXPECT_TRUE(names(w().FieldGrid, grid::kFieldName).contains("NotBuilt"));

    mYes = true;
    restoreNewestCopyOf(QStringLiteral("FIELD.DDF"));
    const QStringList restored = names(w().FieldGrid, grid::kFieldName);
    EXPECT_TRUE(restored.contains("OrderNumberReference")) << restored.join(',').toStdString();
    EXPECT_FALSE(restored.contains("Renamed"));
    EXPECT_FALSE(restored.contains("NotBuilt"));
    EXPECT_NE(restored, written);
    EXPECT_TRUE(w().unbuiltPages().isEmpty());

    press(w().BuildFile);
    QStringList onDisk;
    for (const QByteArray& record : readThroughRecordManager("FIELD.DDF").records)
        onDisk << QString::fromLatin1(record.mid(4, 20)).trimmed();
    EXPECT_TRUE(onDisk.contains("OrderNumberReference")) << "the next Build writes what was restored";
    EXPECT_FALSE(onDisk.contains("Renamed"));
}

// ---- File modes ----

class FileModes : public NothingLost, public ::testing::WithParamInterface<fs::perms> {};

TEST_P(FileModes, aReplacedFileKeepsItsModeAndANewFileTakesTheFoldersUsualOne)
{
    const fs::perms mode = GetParam();
    openSet();
    for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"})
        fs::permissions(mDir.path() / name, mode);
    fs::remove(mDir.path() / "FIELDEXT.DDF");
    {
        QFile other(path("NOTES.TXT"));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    }
    fs::permissions(mDir.path() / "NOTES.TXT", mode);
    pickPage(w().TabFiles);
    typeKeys(w().FileGrid, 1, grid::kFileName, QStringLiteral("Edited"));
    pressKey(Qt::Key_Return);

    press(w().BuildFile);
    ASSERT_TRUE(w().lastBuildWroteEverything()) << allMessages().join('\n').toStdString();
    for (const char* name : kSetFiles)
        EXPECT_EQ(fs::status(mDir.path() / name).permissions() & fs::perms::mask, mode) << name;
}

INSTANTIATE_TEST_SUITE_P(Modes, FileModes,
                         ::testing::Values(fs::perms(0664), fs::perms(0600), fs::perms(0444),
                                           fs::perms(0640)),
                         [](const auto& info) { return "mode" + std::to_string(unsigned(info.param)); });

} // namespace
