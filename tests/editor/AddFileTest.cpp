// "Add" on the Files page: the data file chosen in the browser, read with Stat, becomes a new
// FileGrid row, fills the eight edits and leaves its statistics in FileStatList.
// The genuine builder comes before any Qt header: it has a member named like Qt's "slots" macro.
#include "Fixtures.h"
#include "GenuineBuilder.h"

#include "DictionaryOnDisk.h"

#include "../dictionary/Bytes.h"
#include "QtTestFiles.h"

namespace {

constexpr int kBtrieveFilter = 1; // "Btrieve Files (*.BTR)"
constexpr int kAllFilter = 2;     // "All Files (*.*)"

using testsupport::pad;

// 120-byte records, 1024-byte pages, file flags `flags` with three duplicate pointers to reserve;
// key 0 an unsigned 4-byte id, key 1 a 20-byte name with duplicates.
std::vector<uint8_t> customerSpec(unsigned flags)
{
    testbytes::Bytes b;
    b.u16(120).u16(1024).u16(2).u32(0).u16(flags).u8(3).u8(0).u16(0);
    b.u16(1).u16(4).u16(0x100).u32(0).u8(14).u8(0).u16(0).u8(0).u8(0);
    b.u16(5).u16(20).u16(0x003).u32(0).u8(0).u8(0).u16(0).u8(0).u8(0);
    return b.get();
}

std::vector<QByteArray> customers(int n)
{
    std::vector<QByteArray> records;
    for (int i = 0; i < n; ++i) {
        QByteArray r(120, ' ');
        r[0] = char(i + 1);
        r[1] = r[2] = r[3] = 0;
        r.replace(4, 8, QByteArrayLiteral("CUSTOMER"));
        records.push_back(r);
    }
    return records;
}

int16_t stat16(const QByteArray& stat, int at)
{
    return int16_t(uint8_t(stat[at]) | uint8_t(stat[at + 1]) << 8);
}

using AddFile = DictionaryOnDisk;

TEST_F(AddFile, aNativeDataFileFillsTheEditsTheNewRowTheBoxesAndItsStatisticsEntry)
{
    const unsigned flags = 0x0962; // bits 1, 5, 6, 8 and 11
    ASSERT_EQ(
        createThroughRecordManager(path("CUSTOMER.BTR").toStdString(), customerSpec(flags), customers(5)), 0);
    w().ClearFile->click();
    choose(QStringLiteral("CUSTOMER.BTR"), kBtrieveFilter);
    ASSERT_TRUE(w().AddFile->isEnabled());
    w().AddFile->click();
    EXPECT_TRUE(mMessages.empty());

    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("120"));
    EXPECT_EQ(w().EPgSize->text(), QStringLiteral("1024"));
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("2"));
    EXPECT_EQ(w().ENRec->text(), QStringLiteral("5"));
    EXPECT_EQ(w().EFlags->text(), QString::number(flags));
    EXPECT_EQ(w().EExtraDupl->text(), QStringLiteral("3"));
    EXPECT_EQ(w().EReserv->text(), QStringLiteral("0"));
    EXPECT_EQ(w().ENPage->text(), QStringLiteral("0"));

    ASSERT_EQ(grid()->RowCount(), 6);
    EXPECT_EQ(grid()->rowCells(4),
              (QStringList{"4", pad("CUSTOMER", 20), path("CUSTOMER.BTR"), QString::number(flags)}));
    EXPECT_EQ(grid()->rowCells(5), (QStringList{"", "", "", ""}));
    EXPECT_EQ(grid()->Row(), 4);
    EXPECT_TRUE(w().CreateFile->isEnabled());
    const QList<TVarCheckBox*> boxes = w().fileFlagBoxes();
    for (int bit = 0; bit < 12; ++bit)
        EXPECT_EQ(boxes[bit]->isChecked(), ((flags >> bit) & 1) != 0) << "bit " << bit;

    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Id, 4);
    EXPECT_EQ(w().FileStatList[0].Stat, readThroughRecordManager(path("CUSTOMER.BTR").toStdString()).stat);

    // Back on the row later, the edits come from its entry again.
    grid()->setRow(1);
    w().FileGridMouseUp();
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("0"));
    grid()->setRow(4);
    w().FileGridMouseUp();
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("120"));
}

struct GenuineCase {
    const char* name;
    genuinetest::Bytes (*build)(const genuinetest::FileDef&);
};

void PrintTo(const GenuineCase& c, std::ostream* os)
{
    *os << c.name;
}

class AddGenuineFile : public DictionaryOnDisk, public ::testing::WithParamInterface<GenuineCase> {};

TEST_P(AddGenuineFile, fillsTheEditsAndTheNewRowFromItsStatistics)
{
    genuinetest::FileDef def = genuinetest::sampleDef(12, true); // 9 live records
    def.fileFlags = 0x22;
    writeBytes(QStringLiteral("SAMPLE.BTR"), GetParam().build(def));
    const FileContents genuine = readThroughRecordManager(path("SAMPLE.BTR").toStdString());
    ASSERT_EQ(genuine.openStatus, 0);

    choose(QStringLiteral("SAMPLE.BTR"), kBtrieveFilter);
    w().AddFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("24"));
    EXPECT_EQ(w().EPgSize->text(), QStringLiteral("512"));
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("3"));
    EXPECT_EQ(w().ENRec->text(), QStringLiteral("9"));
    EXPECT_EQ(w().EFlags->text(), QStringLiteral("34"));
    EXPECT_EQ(w().EExtraDupl->text(), QStringLiteral("0"));
    EXPECT_EQ(w().EReserv->text(), QStringLiteral("0"));
    EXPECT_EQ(w().ENPage->text(), QString::number(stat16(genuine.stat, 14)));

    EXPECT_EQ(rows(), (std::vector<QStringList>{{"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"},
                                                {"2", pad("SAMPLE", 20), path("SAMPLE.BTR"), "34"},
                                                {"", "", "", ""}}));
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Id, 2);
    EXPECT_EQ(w().FileStatList[0].Stat, genuine.stat);
}

INSTANTIATE_TEST_SUITE_P(Families, AddGenuineFile,
                         ::testing::Values(GenuineCase{"pre6", &genuinetest::buildPre6},
                                           GenuineCase{"v6", &genuinetest::build6x},
                                           GenuineCase{"v8", &genuinetest::build8x}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The new id ----

struct IdCase {
    const char* name;
    bool startNew;                // "New DDFs" first
    std::vector<const char*> ids; // typed into the entry row, one row each
    int expected;
};

void PrintTo(const IdCase& c, std::ostream* os)
{
    *os << c.name;
}

class AddGivesTheNextId : public DictionaryOnDisk, public ::testing::WithParamInterface<IdCase> {};

TEST_P(AddGivesTheNextId, oneMoreThanTheLargestInTheGridAndAtLeastTwo)
{
    ASSERT_EQ(createThroughRecordManager(path("CUSTOMER.BTR").toStdString(), customerSpec(0), {}), 0);
    if (GetParam().startNew)
        w().ClearFile->click();
    for (const char* id : GetParam().ids)
        type(grid()->RowCount() - 1, 0, QString::fromLatin1(id));
    const int row = grid()->RowCount() - 1;

    choose(QStringLiteral("CUSTOMER.BTR"), kBtrieveFilter);
    w().AddFile->click();
    EXPECT_EQ(grid()->Cells(0, row), QString::number(GetParam().expected));
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Id, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Grids, AddGivesTheNextId,
                         ::testing::Values(IdCase{"onlyTheEntryRow", false, {}, 2},
                                           IdCase{"selfDescription", true, {}, 4},
                                           IdCase{"largestNotLast", true, {"12", "-5", "3"}, 13},
                                           IdCase{"negativeOnly", false, {"-7", "0"}, 2},
                                           IdCase{"aboveShortRange", false, {"40000"}, 40001}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddFile, theSameFileTwiceGivesTwoRowsAndTwoEntriesWithDifferentIds)
{
    ASSERT_EQ(createThroughRecordManager(path("CUSTOMER.BTR").toStdString(), customerSpec(0), customers(2)),
              0);
    choose(QStringLiteral("CUSTOMER.BTR"), kBtrieveFilter);
    w().AddFile->click();
    w().AddFile->click();
    ASSERT_EQ(grid()->RowCount(), 4);
    EXPECT_EQ(grid()->Cells(0, 1), QStringLiteral("2"));
    EXPECT_EQ(grid()->Cells(0, 2), QStringLiteral("3"));
    ASSERT_EQ(w().FileStatList.size(), 2);
    EXPECT_EQ(w().FileStatList[0].Id, 2);
    EXPECT_EQ(w().FileStatList[1].Id, 3);

    // Deleting the first added row drops its entry only.
    grid()->setRow(1);
    w().DeleteTable->click();
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Id, 3);
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("120")) << "row 1 is now the one with id 3";
}

// ---- The name ----

struct NameCase {
    const char* file;
    const char* name;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.file;
}

class AddCutsTheName : public DictionaryOnDisk, public ::testing::WithParamInterface<NameCase> {};

TEST_P(AddCutsTheName, fromThePathWithoutItsLastFourCharacters)
{
    const QString file = QString::fromLatin1(GetParam().file);
    ASSERT_EQ(createThroughRecordManager(path(file).toStdString(), customerSpec(0), {}), 0);
    choose(file, kAllFilter);
    w().AddFile->click();
    ASSERT_EQ(grid()->RowCount(), 3);
    EXPECT_EQ(grid()->Cells(1, 1), pad(QString::fromLatin1(GetParam().name), 20));
    EXPECT_EQ(grid()->Cells(2, 1), path(file));
}

INSTANTIATE_TEST_SUITE_P(
    Files, AddCutsTheName,
    ::testing::Values(NameCase{"CUSTOMER.BTR", "CUSTOMER"}, NameCase{"Orders", "Or"}, NameCase{"AB.B", ""},
                      NameCase{"x.y", ""}, NameCase{"stock.2024.dat", "stock.2024"},
                      NameCase{"A_Very_Long_Table_Name_Indeed.BTR", "A_Very_Long_Table_Name_Indeed"}));

// ---- Nothing to add ----

TEST_F(AddFile, aFileTheRecordManagerCannotOpenChangesNothingAndSaysNothing)
{
    writeBytes(QStringLiteral("NOTES.BTR"), QByteArrayLiteral("not a record-manager file at all"));
    w().ClearFile->click();
    const std::vector<QStringList> before = rows();
    choose(QStringLiteral("NOTES.BTR"), kBtrieveFilter);
    ASSERT_TRUE(w().AddFile->isEnabled());
    w().ERecLen->setValue(Variant(qint32(77)));
    w().AddFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(w().FileStatList.isEmpty());
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("77"));
}

TEST_F(AddFile, anIdCellThatIsNoNumberStopsAddWithAMessageAndAddsNoRow)
{
    ASSERT_EQ(createThroughRecordManager(path("CUSTOMER.BTR").toStdString(), customerSpec(0), {}), 0);
    w().ClearFile->click();
    grid()->setCells(0, 2, QStringLiteral("two"));
    choose(QStringLiteral("CUSTOMER.BTR"), kBtrieveFilter);
    w().AddFile->click();
    EXPECT_EQ(messages(QMessageBox::Critical).size(), 1);
    EXPECT_EQ(grid()->RowCount(), 5);
    EXPECT_EQ(grid()->rowCells(4), (QStringList{"", "", "", ""}));
    EXPECT_TRUE(w().FileStatList.isEmpty());
}

TEST_F(AddFile, withNoFileSelectedOnlyDisablesAdd)
{
    w().AddFile->setEnabled(true);
    w().AddFile->click();
    EXPECT_FALSE(w().AddFile->isEnabled());
    EXPECT_EQ(grid()->RowCount(), 2);
    EXPECT_TRUE(mMessages.empty());
}

} // namespace
