// A dictionary opened and built back is changed only where the user changed it: key and
// extended-type rows keep the field of their own table, filters never decide what is written,
// the entry row is never written nor lost, and what cannot be written is said. Grouped by the
// page the user works on.
#include "DictionarySets.h"
#include "KeysPageFixture.h"
#include "SelfDescription.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

namespace {

using namespace dictsets;
using keystest::pad;

// Three user tables after the self-description; "Id", "Date" and "Name" repeat across them,
// and the Beta key rows in INDEX.DDF put part 1 before part 0.
Set baseSet()
{
    Set s;
    s.files = dict::fileSelfDescription();
    s.files.push_back(table(10, "Alpha"));
    s.files.push_back(table(11, "Beta"));
    s.files.push_back(table(12, "Customers"));
    s.files.push_back(table(13, "CustomerStock"));
    s.fields = dict::fieldSelfDescription();
    for (const auto& f : {field(100, 10, "Id", 1, 0, 4), field(101, 10, "Name", 0, 4, 20), field(102, 10, "Date", 3, 24, 4),
                          field(110, 11, "Code", 0, 0, 6), field(111, 11, "Id", 1, 6, 4), field(112, 11, "Date", 3, 10, 4),
                          field(120, 12, "Id", 1, 0, 4), field(121, 12, "Name", 0, 4, 30), field(130, 13, "Id", 1, 0, 2)})
        s.fields.push_back(f);
    s.keys = dict::indexSelfDescription();
    for (const auto& k : {dict::IndexRecord{10, 100, 0, 0, 0}, dict::IndexRecord{11, 111, 0, 0, 0},
                          dict::IndexRecord{11, 112, 1, 1, 0}, dict::IndexRecord{11, 110, 1, 0, 16},
                          dict::IndexRecord{12, 121, 0, 0, 1}})
        s.keys.push_back(k);
    s.exts = {{10, 102, 30}, {11, 112, 31}, {12, 120, 7}};
    return s;
}

// Types into a filter's line as a user does, every key released.
void typeFilter(QComboBox* box, const QString& text)
{
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), text);
}

class Integrity : public WithKeys<DictionaryOnDisk> {
protected:
    void SetUp() override
    {
        WithKeys<DictionaryOnDisk>::SetUp();
        mSet = baseSet();
    }
    void openSet(bool fieldNamesMayRepeat = false)
    {
        writeSet(mSet, fieldNamesMayRepeat);
        restart();
        w().OpenFile->click();
    }
    QString texts() const { return allMessages().join(QLatin1Char('|')); }
    int rowOf(TVarGrid* g, int col, const QString& text)
    {
        for (int r = 1; r < g->RowCount(); ++r)
            if (g->Cells(col, r).trimmed() == text)
                return r;
        return -1;
    }
    void expectFilesAsWritten()
    {
        EXPECT_EQ(sortedFile("FILE.DDF"), sortedBytes(mSet.files));
        EXPECT_EQ(sortedFile("FIELD.DDF"), sortedBytes(mSet.fields));
        EXPECT_EQ(sortedFile("INDEX.DDF"), sortedBytes(mSet.keys));
        EXPECT_EQ(sortedFile("FIELDEXT.DDF"), sortedBytes(mSet.exts));
    }
    int stat16(const QByteArray& stat, int at) { return int16_t(uint8_t(stat[at]) | uint8_t(stat[at + 1]) << 8); }
    // The (position, length) of each key specification of a data file made by Create.
    std::vector<std::pair<int, int>> segmentsOf(const char* file)
    {
        const QByteArray stat = readThroughRecordManager(file).stat;
        std::vector<std::pair<int, int>> out;
        for (int s = 0; !stat.isEmpty() && s < 8 && stat16(stat, 16 + 16 * s) != 0; ++s)
            out.emplace_back(stat16(stat, 16 + 16 * s), stat16(stat, 18 + 16 * s));
        return out;
    }
    void create(const QString& table)
    {
        w().FileGrid->setRow(rowOf(w().FileGrid, grid::kFileName, table));
        w().FileGridMouseUp();
        w().CreateFile->click();
    }

    Set mSet;
};

// ---- Keys page and Create ----

TEST_F(Integrity, openAndBuildDdfsWithoutAnEditWritesEveryFileBackRecordForRecord)
{
    openSet();
    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    expectFilesAsWritten();
    // and again, from what the first Build wrote
    restart();
    w().OpenFile->click();
    w().BuildFile->click();
    expectFilesAsWritten();
}

// Filters left set (each alone and all at once), even typed in part, change nothing written.
TEST_F(Integrity, filtersLeftSetBeforeOpenOrBuildNeverDecideWhatIsWritten)
{
    const struct {
        const char* name;
        std::function<void(TMain&)> set;
        bool openAfter;
    } cases[] = {
        {"keys filter, then Open DDFs", [](TMain& w) { typeFilter(w.keys().IndexFilter, pad("X$FILE")); },
         true},
        {"keys filter on a table without keys",
         [](TMain& w) { typeFilter(w.keys().IndexFilter, QStringLiteral("CustomerStock")); }, false},
        {"fields filter", [](TMain& w) { typeFilter(w.FileFilter, QStringLiteral("Alpha")); }, false},
        {"fields filter, then Keys and ExtFields Open",
         [](TMain& w) {
             typeFilter(w.FileFilter, QStringLiteral("Beta"));
             w.keys().OpenKeysDDF->click();
             w.extFields().OpenFieldExtDDF->click();
         },
         false},
        {"ext filter, then Open DDFs",
         [](TMain& w) { typeFilter(w.extFields().ExtFileFilter, QStringLiteral("Alpha")); }, true},
        {"every filter, partly typed",
         [](TMain& w) {
             typeFilter(w.FileFilter, QStringLiteral("Cust"));
             typeFilter(w.keys().IndexFilter, QStringLiteral("Bet"));
             typeFilter(w.extFields().ExtFileFilter, QStringLiteral("Al"));
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openSet();
        c.set(w());
        if (c.openAfter)
            w().OpenFile->click();
        w().BuildFile->click();
        EXPECT_EQ(texts(), QString());
        expectFilesAsWritten();
        mMessages.clear();
    }
}

TEST_F(Integrity, anEditUnderAFilterThatHidesEveryKeyRowIsWritten)
{
    openSet();
    w().keys().KeyGrid->setCells(grid::kKeyFlags, rowOf(w().keys().KeyGrid, grid::kKeyFile, "Customers"),
                                 QStringLiteral("3"));
    typeFilter(w().keys().IndexFilter, QStringLiteral("CustomerStock"));
    ASSERT_EQ(w().keys().KeyGrid->RowCount(), 2) << "the filter hides every row";
    w().BuildFile->click();
    mSet.keys.back().flags = 3;
    EXPECT_EQ(sortedFile("INDEX.DDF"), sortedBytes(mSet.keys));
}

TEST_F(Integrity, theKeysBuildKeepsWhatIsTypedInTheEntryRow)
{
    openSet();
    const int entry = grid::entryRow(w().keys().KeyGrid);
    w().keys().KeyGrid->setCells(grid::kKeyField, entry, QStringLiteral("Co"));
    w().keys().BuildKeysDDF->click();
    EXPECT_EQ(w().keys().KeyGrid->Cells(grid::kKeyField, grid::entryRow(w().keys().KeyGrid)),
              QStringLiteral("Co"));
    EXPECT_EQ(sortedFile("INDEX.DDF"), sortedBytes(mSet.keys));
}

// Beta's keys: key 0 on its own Id (offset 6, not Alpha's at 0), key 1 of Code then Date
// although the Date row comes first; whatever filter is set and however the table is named.
TEST_F(Integrity, createPlacesEverySegmentOfTheTableOnItsOwnFieldsByKeyAndPart)
{
    const std::vector<std::pair<int, int>> beta = {{7, 4}, {1, 6}, {11, 4}};
    const struct {
        const char* name;
        std::function<void(TMain&)> arrange;
    } cases[] = {
        {"as opened", [](TMain&) {}},
        {"keys filter on another table",
         [](TMain& w) { typeFilter(w.keys().IndexFilter, QStringLiteral("Alpha")); }},
        {"fields filter on another table",
         [](TMain& w) { typeFilter(w.FileFilter, QStringLiteral("Alpha")); }},
        {"table typed in other case, unpadded",
         [](TMain& w) {
             for (int r = 1; r < w.keys().KeyGrid->RowCount(); ++r)
                 if (w.keys().KeyGrid->Cells(0, r).trimmed() == QLatin1String("Beta"))
                     w.keys().KeyGrid->setCells(0, r, QStringLiteral("BETA"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openSet();
        c.arrange(w());
        mAnswer = true;
        create(QStringLiteral("Beta"));
        EXPECT_EQ(texts(), QString());
        EXPECT_EQ(segmentsOf("Beta.DAT"), beta);
        mMessages.clear();
    }
}

TEST_F(Integrity, addKeyWithTheFilterTypedUnpaddedGivesTheTableItsKey)
{
    openSet();
    typeFilter(w().keys().IndexFilter, QStringLiteral("CustomerStock"));
    w().keys().AddKey->click();
    const int row = grid::entryRow(keys()) - 1;
    keys()->setRow(row);
    w().keys().KeyGridMouseUp();
    ASSERT_GE(w().keys().ChooseField->findText(pad("Id")), 0);
    w().keys().ChooseField->setCurrentIndex(w().keys().ChooseField->findText(pad("Id")));
    emit w().keys().ChooseField->activated(w().keys().ChooseField->currentIndex());
    create(QStringLiteral("CustomerStock"));
    EXPECT_EQ(segmentsOf("CustomerStock.DAT"), (std::vector<std::pair<int, int>>{{1, 2}}));
}

TEST_F(Integrity, createAsksAboutTheFileTheRecordManagerWillReallyMake)
{
    openSet();
    writeBytes(QStringLiteral("my"), QByteArray("precious"));
    w().FileGrid->setCells(grid::kFileLoc, rowOf(w().FileGrid, grid::kFileName, "Beta"), QStringLiteral("my data/x.dat"));
    mAnswer = false;
    create(QStringLiteral("Beta"));
    ASSERT_EQ(mQuestions.size(), 1);
    EXPECT_TRUE(mQuestions[0].startsWith(QDir::toNativeSeparators(path("my")) + " already exists."));
    EXPECT_EQ(fileBytes(QStringLiteral("my")), QByteArray("precious"));
}

// ---- Fields and ExtFields pages ----

TEST_F(Integrity, buildDdfsLeavesTheFileOfAPageThatHoldsNoDictionaryAndSaysSo)
{
    writeSet(mSet);
    restart();
    w().OpenFileDDF->click();
    w().OpenFieldDDF->click();
    w().BuildFile->click();
    EXPECT_EQ(sortedFile("FIELDEXT.DDF"), sortedBytes(mSet.exts));
    EXPECT_EQ(texts(), QStringLiteral("INDEX.DDF was left as it was: its page holds no dictionary (use New or Open "
                                      "first).\nFIELDEXT.DDF was left as it was: its page holds no dictionary (use "
                                      "New or Open first)."));
}

TEST_F(Integrity, recordsWhoseIdsNoRowHoldsComeBackAsTheyWere)
{
    mSet.exts.push_back({77, 102, 30}); // no table 77
    mSet.keys.push_back({10, 999, 2, 0, 0}); // no field 999
    openSet();
    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    expectFilesAsWritten();
}

TEST_F(Integrity, rowsThatCannotBeWrittenStopTheBuildNamingFileRowAndColumn)
{
    const struct {
        const char* name;
        TVarGrid* (*grid)(TMain&);
        int col;
        QString text;
        QString message;
    } cases[] = {
        {"ext row without table", [](TMain& m) { return m.extFields().ExtGrid; }, 0, "",
         "FIELDEXT.DDF was not written: row %1, column Xx$File: the row names no table (choose one, or "
         "remove the row)."},
        {"ext field not in its table", [](TMain& m) { return m.extFields().ExtGrid; }, 1, "Code",
         "FIELDEXT.DDF was not written: row %1, column Xx$Id: 'Code' is not a field of table 'Alpha'."},
        {"key table unknown", [](TMain& m) { return m.keys().KeyGrid; }, 0, "Gamma",
         "INDEX.DDF was not written: row %1, column Xi$File: table 'Gamma' is not in the Files grid."},
        {"key field not in its table", [](TMain& m) { return m.keys().KeyGrid; }, 1, "Code",
         "INDEX.DDF was not written: row %1, column Xi$Field: 'Code' is not a field of table 'Alpha'."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openSet();
        TVarGrid* g = c.grid(w());
        const int row = rowOf(g, 0, "Alpha");
        g->setCells(c.col, row, c.text);
        w().BuildFile->click();
        EXPECT_EQ(texts(), c.message.arg(row));
        expectFilesAsWritten();
        mMessages.clear();
    }
}

TEST_F(Integrity, ofTwoFieldsOfOneNameTheExtendedTypeStaysOnItsOwn)
{
    mSet.fields.push_back(field(20, 11, "Filler", 0, 14, 2));
    mSet.fields.push_back(field(22, 11, "Filler", 0, 16, 2));
    mSet.exts.push_back({11, 22, 12});
    openSet(true);
    w().extFields().BuildFieldExtDDF->click();
    EXPECT_EQ(texts(), QString());
    EXPECT_EQ(sortedFile("FIELDEXT.DDF"), sortedBytes(mSet.exts));
}

TEST_F(Integrity, typingInTheExtFieldListThatMatchesNoFieldChangesNothing)
{
    openSet();
    const int row = rowOf(w().extFields().ExtGrid, 0, "Alpha");
    w().extFields().ExtGrid->setRow(row);
    w().extFields().ExtGridMouseUp();
    QTest::keyClicks(w().extFields().ChooseExtField->lineEdit(), QStringLiteral("Na"));
    EXPECT_EQ(w().extFields().ExtGrid->Cells(1, row), pad("Date"));
    w().BuildFile->click();
    expectFilesAsWritten();
}

TEST_F(Integrity, anIdInTheFieldsEntryRowThatDoesNotCommitIsKeptAndNotWritten)
{
    openSet();
    const int entry = grid::entryRow(w().FieldGrid);
    w().FieldGrid->setRow(entry);
    w().FieldGrid->setCells(grid::kFieldId, entry, QStringLiteral("5"));
    w().FieldGridKeyUp(Qt::Key_5);
    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    expectFilesAsWritten();
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldId, grid::entryRow(w().FieldGrid)), QStringLiteral("5"));
}

TEST_F(Integrity, theHighestFieldIdFollowsACorrectedIdCell)
{
    mSet.fields.push_back(field(20000, 12, "Extra", 0, 34, 2));
    openSet();
    typeFilter(w().FileFilter, QStringLiteral("Customers"));
    const int entry = grid::entryRow(w().FieldGrid);
    typeKeys(w().FieldGrid, entry, grid::kFieldId, QStringLiteral("40000"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(w().HighestFieldId, 40000);
    const int typed = rowOf(w().FieldGrid, grid::kFieldId, "40000");
    ASSERT_GE(typed, 1);
    typeKeys(w().FieldGrid, typed, grid::kFieldId, QStringLiteral("20001"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(w().HighestFieldId, 20001);
    w().AddOneField->click();
    EXPECT_GE(rowOf(w().FieldGrid, grid::kFieldId, "20002"), 1) << "the next id the column does not hold";
}

// ---- Across pages ----

TEST_F(Integrity, renamingAFieldOrATableRenamesItInTheRowsThatUseIt)
{
    openSet();
    typeFilter(w().keys().IndexFilter, QStringLiteral("Alpha")); // Beta's key rows hidden
    const int field = rowOf(w().FieldGrid, grid::kFieldId, "112");
    typeKeys(w().FieldGrid, field, grid::kFieldName, QStringLiteral("When"));
    pressKey(Qt::Key_Return);
    const int table = rowOf(w().FileGrid, grid::kFileName, "Alpha");
    typeKeys(w().FileGrid, table, grid::kFileName, QStringLiteral("First"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(w().extFields().ExtGrid->Cells(1, rowOf(w().extFields().ExtGrid, 0, "Beta")),
              QStringLiteral("When"));
    EXPECT_GE(rowOf(w().extFields().ExtGrid, 0, "First"), 1);
    EXPECT_GE(rowOf(w().keys().KeyGrid, 0, "First"), 1);
    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    mSet.fields[std::size_t(std::find_if(mSet.fields.begin(), mSet.fields.end(), [](auto& f) { return f.id == 112; }) -
                            mSet.fields.begin())]
        .name = "When";
    mSet.files[3].name = "First";
    expectFilesAsWritten();
}

// Names typed by hand, unpadded or in other case, are the same names as those read from files.
TEST_F(Integrity, typedNamesMatchReadNamesWhateverTheirPaddingOrCase)
{
    openSet();
    const int entry = grid::entryRow(keys());
    keys()->setRow(entry);
    keys()->setCells(grid::kKeyFile, entry, QStringLiteral("customerstock"));
    w().keys().KeyGridKeyUp(Qt::Key_K);
    const int row = entry;
    keys()->setRow(row);
    keys()->setCells(grid::kKeyField, row, QStringLiteral("ID"));
    w().keys().KeyGridKeyUp(Qt::Key_D);
    EXPECT_EQ(w().keys().ChooseField->count(), 1) << "the new row's table has its field list";
    w().BuildFile->click();
    EXPECT_EQ(texts(), QString());
    mSet.keys.push_back({13, 130, 0, 0, 0});
    EXPECT_EQ(sortedFile("INDEX.DDF"), sortedBytes(mSet.keys));
}

TEST_F(Integrity, aFilterIsSetOnlyToATableNamedInFull)
{
    openSet();
    const int keyRows = keys()->RowCount();
    const int fieldRows = w().FieldGrid->RowCount();
    for (const QString& partial : {QStringLiteral("C"), QStringLiteral("Cust"), QStringLiteral("Customer")}) {
        typeFilter(w().keys().IndexFilter, partial);
        EXPECT_EQ(keys()->RowCount(), keyRows) << partial.toStdString();
        typeFilter(w().FileFilter, partial);
        EXPECT_EQ(w().FieldGrid->RowCount(), fieldRows) << partial.toStdString();
    }
    typeFilter(w().FileFilter, QStringLiteral("Customers"));
    QTest::keyClick(w().FileFilter->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w().FileFilter->currentText(), QStringLiteral("Customers"));
    w().AddOneField->click();
    const int added = grid::entryRow(w().FieldGrid) - 1;
    EXPECT_EQ(w().FieldGrid->Cells(grid::kFieldFile, added), QStringLiteral("12")) << "Customers, not CustomerStock";
}

} // namespace
