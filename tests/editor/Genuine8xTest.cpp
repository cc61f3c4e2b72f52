// The Files page over genuine 8.0 files as real record managers write them: an 8.0 dictionary
// set (512-byte pages, the key attribute table at 0x7A8, system data in INDEX.DDF) and an 8.0
// data file, through the embedded record manager.
// The genuine builder comes before any Qt header: it has a member named like Qt's "slots" macro.
#include "Fixtures.h"
#include "GenuineBuilder.h"

namespace {

// The records a definition writes, in physical order (before Qt's "slots" macro exists).
std::vector<genuinetest::Bytes> recordsOf(const genuinetest::FileDef& def)
{
    std::vector<genuinetest::Bytes> out;
    for (const auto& s : def.slots)
        if (s)
            out.push_back(*s);
    return out;
}

} // namespace

#include "DictionaryIo.h"
#include "DictionaryOnDisk.h"
#include "QtTestFiles.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr int kBtrieveFilter = 1; // "Btrieve Files (*.BTR)"

using testsupport::pad;

class Genuine8x : public DictionaryOnDisk {};

TEST_F(Genuine8x, openDdfsOnAn80DictionarySetFillsTheFileGridAndItsOtherTablesRead)
{
    for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"})
        fs::copy_file(fs::path(QUILLAN_TEST_DATA) / "genuine" / "ddf80" / name, mDir.path() / name);
    w().OpenFileDDFClick();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(rows(), (std::vector<QStringList>{
                          {"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"},
                          {"1", pad("X$FILE", 20), pad("FILE.DDF", 64), "16"},
                          {"2", pad("X$FIELD", 20), pad("FIELD.DDF", 64), "16"},
                          {"3", pad("X$INDEX", 20), pad("INDEX.DDF", 64), "16"},
                          {"", "", "", ""},
                      }));
    EXPECT_EQ(grid()->Tag, 1);

    // The field and index tables read whole, in key 0 order, which here is the order written.
    const genuinetest::DictionaryDefs defs = genuinetest::dictionaryDefs8x();
    const struct {
        dict::DictFile file;
        const genuinetest::FileDef& def;
        dict::RecordArray array;
    } tables[] = {{dict::DictFile::Field, defs.fieldDdf, dict::makeFieldTableArray()},
                  {dict::DictFile::Index, defs.indexDdf, dict::makeIndexTableArray()}};
    for (auto t : tables) {
        std::size_t count = 0;
        int stoppedBy = 0;
        ASSERT_EQ(dict::readDictionaryFile(t.file, t.array, count, &stoppedBy), 0);
        EXPECT_EQ(stoppedBy, btr::StatusEndOfFile);
        const std::vector<genuinetest::Bytes> records = recordsOf(t.def);
        ASSERT_EQ(count, records.size());
        for (std::size_t i = 0; i < count; ++i) {
            const auto slot = std::as_const(t.array).slot(i);
            EXPECT_EQ(genuinetest::Bytes(slot.begin(), slot.end()), records[i]) << "record " << i;
        }
    }
}

TEST_F(Genuine8x, addOnAn80DataFileWithSystemDataFillsTheEightEdits)
{
    // 19 live records of 24 bytes, three keys; stored in 50-byte slots behind 8 bytes of
    // system data each, in a directory whose name has a blank.
    const fs::path sales = mDir.path() / "Sales Data";
    fs::create_directories(sales);
    genuinetest::writeFile((sales / "SAMPLE.BTR").string(),
                           genuinetest::build8x(genuinetest::systemDataDef()));
    fs::current_path(sales);
    restart();

    choose(QStringLiteral("SAMPLE.BTR"), kBtrieveFilter);
    w().AddFile->click();
    EXPECT_TRUE(mMessages.empty());
    EXPECT_EQ(w().ERecLen->text(), QStringLiteral("24"));
    EXPECT_EQ(w().EPgSize->text(), QStringLiteral("512"));
    EXPECT_EQ(w().ENIndex->text(), QStringLiteral("3"));
    EXPECT_EQ(w().ENRec->text(), QStringLiteral("19"));
    EXPECT_EQ(w().EFlags->text(), QStringLiteral("512")); // include system data
    EXPECT_EQ(w().EExtraDupl->text(), QStringLiteral("0"));
    EXPECT_EQ(w().EReserv->text(), QStringLiteral("0"));
    EXPECT_EQ(w().ENPage->text(), QStringLiteral("0"));
    ASSERT_EQ(grid()->RowCount(), 3);
    EXPECT_EQ(
        grid()->rowCells(1),
        (QStringList{"2", pad("SAMPLE", 20), QString::fromStdString((sales / "SAMPLE.BTR").string()), "512"}));
    ASSERT_EQ(w().FileStatList.size(), 1);
    EXPECT_EQ(w().FileStatList[0].Stat.left(16 + 4 * 16),
              QByteArray(reinterpret_cast<const char*>(
                             genuinetest::expectedStat(genuinetest::systemDataDef(), 19).data()),
                         16 + 4 * 16));
}

} // namespace
