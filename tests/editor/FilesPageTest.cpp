// The Files page's rules that need no file: the entry row, removal, statistics entries, flags,
// New, and the Build refusals that happen before FILE.DDF is touched.
#include "QtTestFiles.h"
#include "WindowFixture.h"

#include <QFile>

namespace {

using testsupport::pad;

FileStatEntry statEntry(qint32 id, qint16 recordLength)
{
    QByteArray stat(1920, '\0');
    stat[0] = char(recordLength & 0xFF);
    stat[1] = char(recordLength >> 8);
    return {id, stat};
}

using FilesPageRules = FilesPageFixture;

TEST_F(FilesPageRules, anIdInTheEntryRowCommitsItPadsTheNameAndAddsAnEntryRow)
{
    ASSERT_EQ(grid()->RowCount(), 2);
    type(1, 1, QStringLiteral("Orders"));
    EXPECT_EQ(grid()->RowCount(), 2) << "no id, no new row";
    type(1, 2, QStringLiteral("ORDERS.BTR"));
    EXPECT_EQ(grid()->RowCount(), 2);

    type(1, 0, QStringLiteral("7"));
    ASSERT_EQ(grid()->RowCount(), 3);
    EXPECT_EQ(grid()->rowCells(1), (QStringList{"7", pad("Orders", 20), "ORDERS.BTR", ""}));
    EXPECT_EQ(grid()->rowCells(2), (QStringList{"", "", "", ""}));
    EXPECT_TRUE(w().CreateFile->isEnabled()) << "the row has a location";

    // A name of 20 characters or more is left as typed.
    type(2, 1, QStringLiteral("ANameOfTwentyTwoChars!"));
    type(2, 0, QStringLiteral("8"));
    EXPECT_EQ(grid()->Cells(1, 2), QStringLiteral("ANameOfTwentyTwoChars!"));
    EXPECT_FALSE(w().CreateFile->isEnabled()) << "no location";
}

TEST_F(FilesPageRules, emptyingAnIdRemovesItsRowAndTheStatisticsNoRowCarries)
{
    w().ClearFileDDFClick(); // ids 1, 2, 3 and the entry row
    type(4, 0, QStringLiteral("9"));
    type(5, 0, QStringLiteral("2")); // a second row with id 2
    w().FileStatList = {statEntry(2, 10), statEntry(9, 20), statEntry(3, 30), statEntry(2, 40)};

    type(2, 0, QString()); // the first row with id 2 goes; the other carries it
    ASSERT_EQ(grid()->RowCount(), 6);
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("3"));
    ASSERT_EQ(w().FileStatList.size(), 4);

    type(2, 0, QString()); // id 3 goes, and its entry with it
    ASSERT_EQ(w().FileStatList.size(), 3);
    EXPECT_EQ(w().FileStatList[0].Id, 2);
    EXPECT_EQ(w().FileStatList[1].Id, 9);
    EXPECT_EQ(w().FileStatList[2].Id, 2);

    grid()->setRow(3); // the remaining row 2
    w().DeleteTableClick();
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Id, 9);
    EXPECT_EQ(grid()->RowCount(), 4);
}

TEST_F(FilesPageRules, deleteOnTheEntryRowOnlyEmptiesItsId)
{
    grid()->setCells(0, 1, QStringLiteral("5"));
    grid()->setCells(1, 1, QStringLiteral("Draft"));
    grid()->setRow(1);
    w().DeleteTableClick();
    EXPECT_EQ(grid()->RowCount(), 2);
    EXPECT_EQ(grid()->rowCells(1), (QStringList{"", "Draft", "", ""}));
}

TEST_F(FilesPageRules, theEditsShowTheCurrentRowsStatisticsOrZeros)
{
    w().ClearFileDDFClick();
    w().FileStatList = {statEntry(2, 123)};
    grid()->setRow(2);
    w().RefreshFileRow();
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("123"));
    EXPECT_EQ(w().FindFileStat(), 0);
    EXPECT_EQ(w().IndexOfFileStat(2), 0);
    EXPECT_EQ(w().IndexOfFileStat(3), -1);
    grid()->setRow(3);
    w().RefreshFileRow();
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("0"));
    EXPECT_EQ(w().FindFileStat(), -1);
}

TEST_F(FilesPageRules, eachFlagBoxChangesOnlyItsOwnBit)
{
    w().ClearFileDDFClick();
    const QList<TVarCheckBox*> boxes = w().fileFlagBoxes();
    ASSERT_EQ(boxes.size(), 12);

    type(1, 3, QStringLiteral("2321")); // bits 0, 4, 8, 11
    for (int bit = 0; bit < 12; ++bit)
        EXPECT_EQ(boxes[bit]->isChecked(), ((2321 >> bit) & 1) != 0) << "bit " << bit;
    EXPECT_EQ(grid()->Cells(3, 1), QStringLiteral("2321")) << "setting the boxes leaves the cell";

    int expected = 2321;
    for (int bit : {1, 0, 11, 5, 1, 9}) {
        boxes[bit]->click();
        expected ^= 1 << bit;
        EXPECT_EQ(grid()->Cells(3, 1), QString::number(expected)) << "after bit " << bit;
    }
    // Bits the boxes do not stand for are kept.
    grid()->setCells(3, 1, QStringLiteral("65536"));
    boxes[2]->click();
    EXPECT_EQ(grid()->Cells(3, 1), QString::number(65536 | (boxes[2]->isChecked() ? 4 : 0)));
}

TEST_F(FilesPageRules, aBoxClickedOnAnEmptyFlagsCellWritesOnlyItsBit)
{
    const QList<TVarCheckBox*> boxes = w().fileFlagBoxes();
    boxes[3]->setChecked(true);
    type(1, 0, QStringLiteral("4")); // flags cell empty: no box ticked, nothing written
    EXPECT_FALSE(boxes[3]->isChecked());
    EXPECT_EQ(grid()->Cells(3, 1), QString());
    grid()->setRow(1);

    boxes[5]->click(); // ends checked
    EXPECT_EQ(grid()->Cells(3, 1), QStringLiteral("32"));
    grid()->setCells(3, 1, QString());
    boxes[5]->click(); // ends unchecked
    EXPECT_EQ(grid()->Cells(3, 1), QStringLiteral("0"));
}

TEST_F(FilesPageRules, newLeavesTheTitleRowThreeDictionaryFilesAndTheEntryRow)
{
    for (int id = 1; id <= 40; ++id)
        type(id, 0, QString::number(id));
    ASSERT_EQ(grid()->RowCount(), 42);
    w().ClearFileDDFClick();
    const std::vector<QStringList> expected = {
        {"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"},
        {"1", pad("X$FILE", 20), pad("FILE.DDF", 64), "16"},
        {"2", pad("X$FIELD", 20), pad("FIELD.DDF", 64), "16"},
        {"3", pad("X$INDEX", 20), pad("INDEX.DDF", 64), "16"},
        {"", "", "", ""},
    };
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(grid()->Tag, 1);
    EXPECT_TRUE(w().BuildFileDDF->isEnabled());
    EXPECT_TRUE(w().BuildFile->isEnabled());
    EXPECT_TRUE(w().ClearFieldDDF->isEnabled());
    EXPECT_TRUE(w().OpenFieldDDF->isEnabled());
}

TEST_F(FilesPageRules, buildBeforeAnyNewOrOpenOrWithoutRowsWritesNothing)
{
    type(1, 0, QStringLiteral("1")); // a row, but the grid holds no opened or new table
    w().BuildFileDDFClick();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FILE.DDF")));

    w().ClearFileDDFClick();
    grid()->setRowCount(2);
    w().BuildFileDDFClick();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FILE.DDF")));
    EXPECT_TRUE(mMessages.empty());
}

struct BadCell {
    int col;
    const char* text;
    const char* problem;
};

class BuildRefusesACellThatIsNoFittingNumber : public FilesPageFixture,
                                               public ::testing::WithParamInterface<BadCell> {};

TEST_P(BuildRefusesACellThatIsNoFittingNumber, andLeavesTheOldFileAsItWas)
{
    const QByteArray old("an existing FILE.DDF, whatever it holds\0\1\2", 42);
    {
        QFile f(QStringLiteral("FILE.DDF"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    w().ClearFileDDFClick();
    grid()->setCells(GetParam().col, 3, QString::fromLatin1(GetParam().text));
    w().guarded([&] { w().BuildFileDDFClick(); });

    EXPECT_EQ(fileBytes(QStringLiteral("FILE.DDF")), old);
    const QString column = GetParam().col == 0 ? QStringLiteral("Xf$Id") : QStringLiteral("Xf$Flags");
    EXPECT_EQ(messages(QMessageBox::Critical),
              QStringList(QStringLiteral("FILE.DDF was not written: row 3, column %1: %2.")
                              .arg(column, QString::fromLatin1(GetParam().problem))));
}

INSTANTIATE_TEST_SUITE_P(FilesPage, BuildRefusesACellThatIsNoFittingNumber,
                         ::testing::Values(BadCell{0, "abc", "'abc' is not a valid integer value"},
                                           BadCell{0, "3 ", "'3 ' is not a valid integer value"},
                                           BadCell{0, "65536", "65536 is outside -32768..32767"},
                                           BadCell{0, "-32769", "-32769 is outside -32768..32767"},
                                           BadCell{3, "", "'' is not a valid integer value"},
                                           BadCell{3, "x16", "'x16' is not a valid integer value"}));

} // namespace
