// The Utils page's record scanner and type mapping, driven as a user does: choose a file in the
// file list, press "Find Records", release the mouse on a record; select a Pascal type, tick it,
// pick a Btrieve type, type a Min Length and press Enter.
#include "DDFUnit.h"
#include "QtTestFiles.h"
#include "TempDir.h"

#include <QFile>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

namespace fs = std::filesystem;

using testsupport::writeFile;

// Integer -> Integer 4, Byte -> Unsigned 1, String -> String 1; TDate mapped but not ticked.
QByteArray mappingFile()
{
    QByteArray text;
    for (int k = 0; k < 29; ++k)
        text += k == 6    ? "1 1 4\r\n"
                : k == 10 ? "1 14 1\r\n"
                : k == 19 ? "1 0 1\r\n"
                : k == 27 ? "0 0 4\r\n"
                          : "0 0 0\r\n";
    return text;
}

const QByteArray kGoodSource = "type\n"
                               "  TPoint = record X, Y: Integer; end;\n"
                               "  TPerson = record\n"
                               "    Name: String[30];\n"
                               "    Born: TDate;\n"
                               "    Age: Byte;\n"
                               "  end;\n";

class ScannerPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("QUILLAN_REGISTRY_FILE", QByteArray::fromStdString(dir.file("registry.ini")));
        cwd.emplace(dir.path());
        TMain::MessageHook = [this](QMessageBox::Icon, const QString& text) { messages << text; };
        QSettings(QStringLiteral("Quillan"), QStringLiteral("Quillan")).clear(); // resolving off, as at first
        writeFile(dir.path() / "Quillan.rec", mappingFile());
        writeFile(dir.path() / "good.pas", kGoodSource);
        writeFile(dir.path() / "bad.pas",
                  "type\n  TFirst = record A: Byte; end;\n"
                  "  TBad = record S: String[MaxLen]; end;\n  TLast = record B: Byte; end;\n");
        window = std::make_unique<TMain>();
        window->FileListBox->setMask(QStringLiteral("*.*"));
    }
    void TearDown() override
    {
        window.reset();
        TMain::MessageHook = nullptr;
        cwd.reset();
    }

    void scan(const QString& name)
    {
        const auto items = window->FileListBox->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        window->FileListBox->setCurrentItem(items.first());
        emit window->FileListBox->mouseUp();
        ASSERT_TRUE(window->utils().Search->isEnabled());
        window->utils().Search->click();
    }
    QStringList listItems(const QListWidget* list) const
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    QStringList comboItems(const QComboBox* box) const
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    void showRecord(int index)
    {
        window->utils().FindRecord->setCurrentRow(index);
        emit window->utils().FindRecord->mouseUp();
    }
    QStringList gridRow(int row) const
    {
        QStringList out;
        for (int col = 0; col < window->utils().RecordGrid->ColCount(); ++col)
            if (!window->utils().RecordGrid->isColumnHidden(col))
                out << window->utils().RecordGrid->Cells(col, row);
        return out;
    }
    void selectPascalType(int k)
    {
        window->utils().RecordOption->setCurrentRow(k);
        emit window->utils().RecordOption->mouseUp();
    }
    void pressInMinLength(const QString& text, Qt::Key key)
    {
        window->utils().ELenFld->setText(text);
        QTest::keyRelease(window->utils().ELenFld, key);
    }
    QString path(const char* name) const { return QString::fromStdString(dir.file(name)); }

    testsupport::TempDir dir;
    std::optional<testsupport::CurrentDirGuard> cwd;
    std::unique_ptr<TMain> window;
    QStringList messages;
};

TEST_F(ScannerPage, findRecordsListsEveryRecordAndShowsTheChosenOneInTheGrid)
{
    scan(QStringLiteral("good.pas"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(listItems(window->utils().FindRecord), QStringList({"TPoint", "TPerson"}));
    EXPECT_EQ(comboItems(window->NameRec), QStringList({"TPoint", "TPerson"}));
    EXPECT_EQ(window->utils().CurFile->text(), path("good.pas"));

    showRecord(1);
    ASSERT_EQ(window->utils().RecordGrid->RowCount(), 5);
    EXPECT_EQ(gridRow(0), QStringList({"Field", "Pascal type", "Btrieve type", "Offset", "Size"}));
    EXPECT_EQ(gridRow(1), QStringList({"Name", " String [ 30 ]", "String", "0", "31"}));
    EXPECT_EQ(gridRow(2), QStringList({"Born", " TDate", "", "0", "0"}));
    EXPECT_EQ(gridRow(3), QStringList({"Age", " Byte", "Unsigned", "31", "1"}));
    EXPECT_EQ(gridRow(4), QStringList(5, QString()));

    showRecord(0); // a shorter record leaves no rows of the longer one behind
    ASSERT_EQ(window->utils().RecordGrid->RowCount(), 4);
    EXPECT_EQ(gridRow(1), QStringList({"X", " Integer", "Integer", "0", "4"}));
    EXPECT_EQ(gridRow(2), QStringList({"Y", " Integer", "Integer", "4", "4"}));
    EXPECT_EQ(gridRow(3), QStringList(5, QString()));
}

TEST_F(ScannerPage, aBoundThatIsNotANumberStopsTheScanAndKeepsWhatWasFound)
{
    scan(QStringLiteral("good.pas"));
    scan(QStringLiteral("bad.pas"));
    EXPECT_EQ(messages, QStringList({"'MaxLen' is not a valid integer value."}));
    EXPECT_EQ(listItems(window->utils().FindRecord), QStringList({"TFirst"}));
    showRecord(0);
    EXPECT_EQ(gridRow(1), QStringList({"A", " Byte", "Unsigned", "0", "1"}));
    // The last complete scan stays the one the Fields page offers.
    EXPECT_EQ(window->utils().CurFile->text(), path("good.pas"));
    EXPECT_EQ(comboItems(window->NameRec), QStringList({"TPoint", "TPerson"}));
    ASSERT_EQ(window->NameRecRecords.size(), 2u);
    EXPECT_EQ(window->NameRecRecords[1].Fields.size(), 3u);
}

TEST_F(ScannerPage, resolvingDeclarationsSizesNamedBoundsAndTypesAndReportsWhatStaysUnknown)
{
    writeFile(dir.path() / "unit.pas", "const MaxLen = 30; // the longest name\n"
                                         "type\n  TName = String[MaxLen];\n"
                                         "  TKind = (kNone, kSome);\n"
                                         "  TInner = record Count: Byte; Kind: TKind; end;\n"
                                         "  TOuter = record\n"
                                         "    Name: TName;\n    Inner: array[1..MaxLen div 10] of TInner;\n"
                                         "    Stamp: TDateTime;\n    Age: Byte;\n  end;\n");
    window->FileListBox->setMask(QStringLiteral("*.*"));
    scan(QStringLiteral("unit.pas")); // without resolving: types of the unit take no room
    showRecord(1);
    EXPECT_EQ(gridRow(1), QStringList({"Name", " TName", "", "0", "0"}));
    EXPECT_EQ(gridRow(4), QStringList({"Age", " Byte", "Unsigned", "0", "1"}));
    EXPECT_TRUE(messages.isEmpty());

    QTest::mouseClick(window->utils().ChResolve, Qt::LeftButton);
    ASSERT_TRUE(window->utils().ChResolve->isChecked());
    window->utils().Search->click();
    EXPECT_EQ(listItems(window->utils().FindRecord), QStringList({"TInner", "TOuter"}));
    showRecord(1);
    EXPECT_EQ(gridRow(1), QStringList({"Name", " TName", "String", "0", "31"}));
    EXPECT_EQ(gridRow(2), QStringList({"Inner", " array [ 1 . . MaxLen div 10 ] of TInner", "", "31", "6"}));
    EXPECT_EQ(gridRow(3), QStringList({"Stamp", " TDateTime", "", "0", "0"}));
    EXPECT_EQ(gridRow(4), QStringList({"Age", " Byte", "Unsigned", "37", "1"}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("TOuter.Stamp: TDateTime, not declared in this unit")) << messages[0].toStdString();
    // The Fields page offers the resolved records, with what stayed unknown.
    ASSERT_EQ(window->NameRecRecords.size(), 2u);
    EXPECT_EQ(window->NameRecRecords[1].Unresolved.size(), 1u);
}

TEST_F(ScannerPage, aFileThatCannotBeReadLeavesTheRecordListAndNoFileDisablesTheButton)
{
    scan(QStringLiteral("good.pas"));
    fs::remove(dir.path() / "good.pas");
    window->utils().Search->click();
    EXPECT_EQ(messages, QStringList({"File not found."}));
    EXPECT_EQ(listItems(window->utils().FindRecord), QStringList({"TPoint", "TPerson"}));

    window->FileListBox->setMask(QStringLiteral("*.*")); // re-read: nothing selected any more
    window->utils().Search->click();
    EXPECT_FALSE(window->utils().Search->isEnabled());
    EXPECT_EQ(listItems(window->utils().FindRecord), QStringList({"TPoint", "TPerson"}));
}

TEST_F(ScannerPage, findRecordsShowsTheFirstRecordOffersItToAddAndSaysWhenNoTypeIsMapped)
{
    scan(QStringLiteral("good.pas"));
    showRecord(1);
    scan(QStringLiteral("good.pas")); // the grid follows the new scan, not the record shown before
    EXPECT_EQ(window->utils().FindRecord->currentRow(), 0);
    EXPECT_EQ(gridRow(1), QStringList({"X", " Integer", "Integer", "0", "4"}));
    EXPECT_TRUE(window->AddField->isEnabled()) << "Add Record takes the record shown";

    for (int k = 0; k < window->utils().RecordOption->count(); ++k)
        if (window->utils().RecordOption->item(k)->checkState() == Qt::Checked) {
            selectPascalType(k);
            QTest::keyClick(window->utils().RecordOption, Qt::Key_Space);
        }
    messages.clear();
    window->utils().Search->click();
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_TRUE(messages[0].startsWith("No Pascal type is mapped to a Btrieve type"))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("\"Pascal Type\" list"));
}

TEST_F(ScannerPage, selectingAPascalTypeShowsItsMappingAndStoresOnlyItsTick)
{
    selectPascalType(6);
    EXPECT_EQ(window->utils().BtrType->currentText(), "Integer");
    EXPECT_EQ(window->utils().ELenFld->text(), "4");
    EXPECT_EQ(window->utils().TypeMapping[6], "1 1 4");

    QTest::keyClick(window->utils().RecordOption, Qt::Key_Space);
    EXPECT_EQ(window->utils().RecordOption->item(6)->checkState(), Qt::Unchecked);
    EXPECT_EQ(window->utils().TypeMapping[6], "0 1 4");
}

TEST_F(ScannerPage, btrieveTypeAndMinLengthChangesReachTheLineAndLaterScans)
{
    selectPascalType(27); // TDate, "0 0 4"
    QTest::keyClick(window->utils().RecordOption, Qt::Key_Space);
    window->utils().BtrType->setCurrentIndex(19);
    emit window->utils().BtrType->activated(19);
    EXPECT_EQ(window->utils().TypeMapping[27], "1 19 4");

    pressInMinLength(QStringLiteral("8"), Qt::Key_8); // no Enter: nothing stored
    EXPECT_EQ(window->utils().TypeMapping[27], "1 19 4");
    pressInMinLength(QStringLiteral("6"), Qt::Key_Return);
    EXPECT_EQ(window->utils().TypeMapping[27], "1 19 6");
    pressInMinLength(QStringLiteral("six"), Qt::Key_Return);
    EXPECT_EQ(messages, QStringList({"Invalid variant type conversion."}));
    EXPECT_EQ(window->utils().TypeMapping[27], "1 19 6");

    scan(QStringLiteral("good.pas"));
    showRecord(1);
    EXPECT_EQ(gridRow(2), QStringList({"Born", " TDate", "LongDate", "31", "6"}));
    EXPECT_EQ(gridRow(3), QStringList({"Age", " Byte", "Unsigned", "37", "1"}));

    // A typed text that names no Btrieve type stores -1 once typing ends: the field is sized
    // but has no type.
    window->utils().BtrType->lineEdit()->clear();
    QTest::keyClicks(window->utils().BtrType->lineEdit(), QStringLiteral("Xyz"));
    EXPECT_EQ(window->utils().TypeMapping[27], "1 19 6");
    QTest::keyClick(window->utils().BtrType->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(window->utils().TypeMapping[27], "1 -1 6");
    scan(QStringLiteral("good.pas"));
    showRecord(1);
    EXPECT_EQ(gridRow(2), QStringList({"Born", " TDate", "", "31", "6"}));
}

TEST_F(ScannerPage, withoutASelectedPascalTypeNothingIsStored)
{
    const QStringList before = window->utils().TypeMapping;
    window->utils().BtrType->setCurrentIndex(3);
    emit window->utils().BtrType->activated(3);
    pressInMinLength(QStringLiteral("12"), Qt::Key_Return);
    EXPECT_EQ(window->utils().TypeMapping, before);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ScannerPage, theMappingIsWrittenBackAtExit)
{
    selectPascalType(10);
    pressInMinLength(QStringLiteral("2"), Qt::Key_Enter);
    window.reset();
    QFile file(path("Quillan.rec"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 30);
    EXPECT_EQ(lines[10], QByteArray("1 14 2\r"));
    EXPECT_EQ(lines[6], QByteArray("1 1 4\r"));
}

} // namespace
