// INDEX.DDF on disk through the whole-set buttons and the Keys page (New, Build, Open, what
// Build refuses or leaves out), and "Create" on the Files page: the data file it makes, what it
// asks before replacing a file, and what it says when it makes none.
#include "DictionaryOnDisk.h"
#include "KeysPageFixture.h"

#include <QDir>

namespace {

using keystest::pad;
using keystest::setRows;

QByteArray indexRecord(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v & 0xFF)).append(char(v >> 8));
    return out;
}

int stat16(const QByteArray& stat, int at)
{
    return int16_t(uint8_t(stat[at]) | uint8_t(stat[at + 1]) << 8);
}

class KeysDdf : public WithKeys<DictionaryOnDisk> {
protected:
    // "New DDFs" ("Open DDFs"), with the Fields grid filled as the Fields page's New does when
    // that page does not.
    void newSet() { runFilling(w().ClearFile); }
    void openSet() { runFilling(w().OpenFile); }
    void runFilling(QPushButton* button)
    {
        // What a case before left on the pages is dropped when the button asks.
        TMain::ChoiceHook = [](const QString&, const QStringList&) { return QStringLiteral("Discard"); };
        button->click();
        if (keys()->Tag == 0) {
            fillSelfDescriptionFields();
            button->click();
        }
    }
    void chooseTable(int row)
    {
        w().FileGrid->setRow(row);
        w().FileGridMouseUp();
    }
    QString texts() const
    {
        QStringList out;
        for (const auto& [icon, text] : mMessages)
            out << text;
        return out.join(QLatin1Char('|'));
    }
};

TEST_F(KeysDdf, newAndBuildDdfsWriteTheFifteenSelfDescriptionRecordsAndOpenDdfsNamesThemAgain)
{
    newSet();
    const std::vector<QStringList> newGrid = rows(keys());
    ASSERT_EQ(newGrid.size(), 17u);
    EXPECT_EQ(newGrid[8], (QStringList{pad("X$FIELD"), pad("Xe$File"), "4", "0", "403"}));
    EXPECT_EQ(newGrid[15], (QStringList{pad("X$INDEX"), pad("Xi$Part"), "2", "2", "386"}));

    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    const std::vector<QByteArray> expected = {
        indexRecord({1, 1, 0, 0, 4}),    indexRecord({1, 2, 1, 0, 34}),   indexRecord({2, 5, 0, 0, 4}),
        indexRecord({2, 6, 1, 0, 5}),    indexRecord({2, 7, 2, 0, 35}),   indexRecord({2, 6, 3, 0, 22}),
        indexRecord({2, 7, 3, 1, 34}),   indexRecord({2, 6, 4, 0, 403}),  indexRecord({2, 9, 4, 1, 403}),
        indexRecord({2, 11, 4, 2, 387}), indexRecord({3, 13, 0, 0, 5}),   indexRecord({3, 14, 1, 0, 5}),
        indexRecord({3, 13, 2, 0, 402}), indexRecord({3, 15, 2, 1, 402}), indexRecord({3, 16, 2, 2, 386}),
    };
    EXPECT_EQ(readThroughRecordManager("INDEX.DDF").records, expected);

    restart();
    openSet();
    EXPECT_EQ(rows(keys()), newGrid);
    EXPECT_EQ(texts(), QString());
}

TEST_F(KeysDdf, fiveHundredSegmentsBuildAndOpenBackWithoutACeiling)
{
    newSet();
    std::vector<QStringList> grid;
    for (int i = 0; i < 500; ++i)
        grid.push_back({pad("X$FIELD"), pad(i % 3 ? "Xe$Name" : "Xe$Size"), QString::number(i / 4),
                        QString::number(i % 4), QString::number(i % 4 == 3 ? 2 : 18)});
    setRows(keys(), grid);
    w().BuildFile->click();
    const FileContents index = readThroughRecordManager("INDEX.DDF");
    ASSERT_EQ(index.records.size(), 500u);
    EXPECT_EQ(index.records[499], indexRecord({2, 7, 124, 3, 2}));
    restart();
    openSet();
    EXPECT_EQ(keys()->RowCount(), 502);
    EXPECT_EQ(keys()->rowCells(500), grid[499]);
}

TEST_F(KeysDdf, aBadCellStopsBuildNamingRowAndColumnAndLeavesTheFileByteForByte)
{
    newSet();
    w().BuildFile->click();
    const QByteArray before = fileBytes(QStringLiteral("INDEX.DDF"));
    const struct {
        TVarGrid* grid;
        int col;
        int row;
        const char* text;
        const char* message;
    } cases[] = {
        {keys(), 3, 3, "1x", "row 3, column Xi$Part: '1x' is not a valid integer value."},
        {keys(), 4, 15, "40000", "row 15, column Xi$Flags: 40000 is outside -32768..32767."},
        {keys(), 2, 1, "", "row 1, column Xi$Number: '' is not a valid integer value."},
        // Every key row of the table is named.
        {w().FileGrid, 0, 3, "3a",
         "Nothing was written; 5 cells cannot be stored:\n"
         "INDEX.DDF, row 11, column Xi$File: table 'X$INDEX' has no Xf$Id of 16 bits\n"
         "INDEX.DDF, row 12, column Xi$File: table 'X$INDEX' has no Xf$Id of 16 bits\n"
         "INDEX.DDF, row 13, column Xi$File: table 'X$INDEX' has no Xf$Id of 16 bits\n"
         "INDEX.DDF, row 14, column Xi$File: table 'X$INDEX' has no Xf$Id of 16 bits\n"
         "INDEX.DDF, row 15, column Xi$File: table 'X$INDEX' has no Xf$Id of 16 bits."},
    };
    for (const auto& c : cases) {
        mMessages.clear();
        const QString was = c.grid->Cells(c.col, c.row);
        c.grid->setCells(c.col, c.row, QString::fromLatin1(c.text));
        w().keys().BuildKeysDDF->click();
        const QString message = QString::fromLatin1(c.message);
        EXPECT_EQ(texts(), message.startsWith("Nothing") ? message : "INDEX.DDF was not written: " + message);
        EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), before);
        c.grid->setCells(c.col, c.row, was);
    }
}

TEST_F(KeysDdf, rowsHiddenByTheFilterComeBackAndARowThatCannotBeWrittenStopsTheBuild)
{
    newSet();
    std::vector<QStringList> grid;
    for (int r = 1; r <= 15; ++r)
        grid.push_back(keys()->rowCells(r));
    grid.insert(grid.begin() + 2, {pad("NOPE"), pad("Xf$Id"), "0", "0", "0"});
    grid.push_back({pad("X$FILE"), QStringLiteral("Nofield"), "0", "0", "0"});
    grid.push_back({pad("X$INDEX"), "", "9", "0", "0"}); // no field: never the Fields grid's entry row
    grid.push_back({"", pad("Xf$Id"), "0", "0", "0"});   // no table at all
    setRows(keys(), grid);
    w().keys().IndexFilter->setEditText(pad("X$INDEX"));
    w().keys().IndexFilterChange();
    ASSERT_EQ(keys()->RowCount(), 8);

    w().keys().BuildKeysDDF->click();
    // Rows as the grid shows them after the Build: X$INDEX's six, then the hidden ones in the
    // order the filter took them (sorted). Every row that cannot be written is named.
    EXPECT_EQ(texts(),
              "Nothing was written; 4 cells cannot be stored:\n"
              "INDEX.DDF, row 6, column Xi$Field: the row names no field of table 'X$INDEX' (choose one, "
              "or remove the row)\n"
              "INDEX.DDF, row 8, column Xi$Field: 'Nofield' is not a field of table 'X$FILE'\n"
              "INDEX.DDF, row 18, column Xi$File: table 'NOPE' is not in the Files grid\n"
              "INDEX.DDF, row 19, column Xi$File: the row names no table (choose one, or remove the row).");
    EXPECT_FALSE(QFile::exists(path("INDEX.DDF")));
    EXPECT_EQ(keys()->RowCount(), 21) << "the hidden rows are shown again";
}

// ---- Create ----

// X$INDEX: five fields of two bytes; key 0 on Xi$File (given the ACS flag here), key 1 on
// Xi$Field, key 2 of three segments (Xi$File, Xi$Number, Xi$Part).
TEST_F(KeysDdf, createMakesTheTablesDataFileAndAddReadsTheSameDefinitionBack)
{
    newSet();
    keys()->setCells(4, 11, QStringLiteral("37"));
    chooseTable(3);
    w().CreateFile->click();
    EXPECT_EQ(texts(), QString());
    EXPECT_TRUE(mQuestions.isEmpty());
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("3"));
    EXPECT_EQ(w().FileListBox->findItems(QStringLiteral("INDEX.DDF"), Qt::MatchExactly).size(), 1);

    const QByteArray stat = readThroughRecordManager("INDEX.DDF").stat;
    ASSERT_FALSE(stat.isEmpty());
    EXPECT_EQ(stat16(stat, 0), 10) << "the fields' sizes summed";
    EXPECT_EQ(stat16(stat, 2), 4096);
    EXPECT_EQ(stat16(stat, 4), 3);
    const int segments[][3] = {{1, 2, 37}, {3, 2, 5}, {1, 2, 402}, {5, 2, 402}, {7, 2, 386}};
    for (int s = 0; s < 5; ++s) {
        const int at = 16 + 16 * s;
        EXPECT_EQ((QList<int>{stat16(stat, at), stat16(stat, at + 2), stat16(stat, at + 4), stat[at + 10]}),
                  (QList<int>{segments[s][0], segments[s][1], segments[s][2], 1}))
            << "segment " << s;
    }
    EXPECT_EQ(stat[16 + 16 * 5], 0) << "no ACS block after the key specifications";

    choose(QStringLiteral("INDEX.DDF"), 2);
    w().AddFile->click();
    EXPECT_EQ(
        (QStringList{w().ERecLen->text(), w().ENIndex->text(), w().EPgSize->text(), w().EFlags->text()}),
        (QStringList{"10", "3", "4096", "0"}));
    EXPECT_EQ(stat16(w().FileStatList.value(0).Stat, 16 + 4), 37);
}

// X$FIELD's keys on Xe$Name carry the ACS flag with no collating sequence after them, which
// the record manager refuses.
TEST_F(KeysDdf, createTellsTheRecordManagersRefusal)
{
    newSet();
    chooseTable(2);
    w().CreateFile->click();
    EXPECT_EQ(texts(),
              "FIELD.DDF was not created: status 48 (" + QString::fromLatin1(btr::statusMeaning(48)) + ").");
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("5"));
    EXPECT_FALSE(QFile::exists(path("FIELD.DDF")));
}

TEST_F(KeysDdf, createAsksBeforeReplacingAnExistingFileAndNoLeavesIt)
{
    newSet();
    w().BuildFile->click();
    const QByteArray before = fileBytes(QStringLiteral("INDEX.DDF"));
    chooseTable(3);
    w().CreateFile->click();
    ASSERT_EQ(mQuestions.size(), 1);
    EXPECT_TRUE(mQuestions[0].startsWith(QDir::toNativeSeparators(path("INDEX.DDF")) + " already exists."));
    EXPECT_EQ(fileBytes(QStringLiteral("INDEX.DDF")), before);
    EXPECT_EQ(texts(), QString());

    mAnswer = true;
    w().CreateFile->click();
    EXPECT_TRUE(readThroughRecordManager("INDEX.DDF").records.empty());
}

TEST_F(KeysDdf, createSaysWhyItMadeNoFile)
{
    const struct {
        std::function<void(TMain&)> arrange; // with the X$INDEX row current
        QString message;
    } cases[] = {
        {[](TMain& w) { w.keys().KeyGrid->setCells(1, 12, QStringLiteral("Gone ")); },
         "No data file was created for X$INDEX: its key field \"Gone\" is not a field of the table in the "
         "Fields "
         "grid."},
        {[](TMain& w) { w.keys().KeyGrid->setCells(1, 13, QString()); },
         "No data file was created for X$INDEX: a key row of the table names no field."},
        {[](TMain& w) { w.FileGrid->setCells(0, 3, QStringLiteral("9")); }, // the fields are of table 3
         "No data file was created for X$INDEX: its key field \"Xi$File\" is not a field of the table in the "
         "Fields grid."},
        {[](TMain& w) { w.FileGrid->setCells(2, 3, QString(255, QLatin1Char('a'))); },
         "No data file was created for X$INDEX: its location is 255 bytes long, and the record manager takes "
         "at "
         "most 254."},
        {[](TMain& w) { w.EPgSize->setText(QStringLiteral("100")); },
         "INDEX.DDF was not created: status 24 (" + QString::fromLatin1(btr::statusMeaning(24)) + ")."},
    };
    for (const auto& c : cases) {
        newSet();
        mMessages.clear();
        chooseTable(3);
        c.arrange(w());
        w().CreateFile->click();
        EXPECT_EQ(texts(), c.message);
        EXPECT_FALSE(QFile::exists(path("INDEX.DDF")));
    }
}

} // namespace
