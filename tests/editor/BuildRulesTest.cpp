// What a Build refuses and what it keeps, driven through the window: every cell that cannot be
// stored named in one message with nothing written, offsets and sizes below 0 refused, and an
// opened dictionary written back in its files' own layout (old 87-byte FILE.DDF, small pages,
// a name key that allows duplicates) without a FIELDEXT.DDF it never had. Grouped by page.
#include "DictionarySets.h"
#include "SelfDescription.h"

#include <QFile>

namespace {

using namespace dictsets;

Set smallSet()
{
    Set s;
    s.files = dict::fileSelfDescription();
    s.files.push_back(table(10, "Orders"));
    s.files.push_back(table(11, "Parts"));
    s.fields = dict::fieldSelfDescription();
    for (const auto& f :
         {field(100, 10, "Id", 1, 0, 4), field(101, 10, "Name", 0, 4, 20), field(110, 11, "Code", 0, 0, 6),
          field(111, 11, "Code", 0, 6, 6)}) // a name twice in one table, as old dictionaries have
        s.fields.push_back(f);
    s.keys = dict::indexSelfDescription();
    s.keys.push_back({10, 100, 0, 0, 0});
    s.exts = {{10, 101, 30}};
    return s;
}

class BuildRules : public DictionaryOnDisk {
protected:
    void openSet(const Set& set, Layout layout = {}, bool withExt = true)
    {
        writeFile(dict::DictFile::File, set.files, false, layout);
        writeFile(dict::DictFile::Field, set.fields, true, layout);
        writeFile(dict::DictFile::Index, set.keys, false, layout);
        if (withExt)
            writeFile(dict::DictFile::FieldExt, set.exts, false, layout);
        else
            QFile::remove(QStringLiteral("FIELDEXT.DDF"));
        w().CheckDictionaryFiles();
        w().OpenFile->click();
        mMessages.clear();
    }
    // Types a cell's new text and leaves the cell, as a user does.
    void retype(TVarGrid* g, int row, int col, const QString& text)
    {
        typeKeys(g, row, col, text);
        pressKey(Qt::Key_Return);
        ASSERT_EQ(g->Cells(col, row), text);
    }
    int fieldRow(int id)
    {
        for (int r = 1; r < w().FieldGrid->RowCount(); ++r)
            if (w().FieldGrid->Cells(grid::kFieldId, r) == QString::number(id))
                return r;
        return -1;
    }
    std::array<QByteArray, 4> allFiles()
    {
        return {fileBytes("FILE.DDF"), fileBytes("FIELD.DDF"), fileBytes("INDEX.DDF"),
                fileBytes("FIELDEXT.DDF")};
    }
};

// ---- Fields page ----

TEST_F(BuildRules, offsetsAndSizesBelowZeroAreRefusedLikeNumbersOutOfRange)
{
    openSet(smallSet());
    struct Case {
        const char* offset;
        const char* size;
        int col;         // the cell refused
        const char* why; // empty: written
    };
    const Case cases[] = {
        {"-4", "20", grid::kFieldOffset, "-4 is outside 0..32767"},
        {"4", "-1", grid::kFieldSize, "-1 is outside 0..32767"},
        {"40000", "20", grid::kFieldOffset, "40000 is outside 0..32767"},
        {"0", "20", 0, ""},
        {"4", "0", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.offset) + " " + c.size);
        mMessages.clear();
        const QByteArray before = fileBytes("FIELD.DDF");
        const int row = fieldRow(101);
        retype(w().FieldGrid, row, grid::kFieldOffset, QString::fromLatin1(c.offset));
        retype(w().FieldGrid, row, grid::kFieldSize, QString::fromLatin1(c.size));
        w().BuildFieldDDF->click();
        if (*c.why) {
            EXPECT_EQ(messages(QMessageBox::Critical),
                      QStringList(QStringLiteral("FIELD.DDF was not written: row %1, column %2: %3.")
                                      .arg(row)
                                      .arg(w().FieldGrid->Cells(c.col, 0), QString::fromLatin1(c.why))));
            EXPECT_EQ(fileBytes("FIELD.DDF"), before);
        } else {
            EXPECT_TRUE(allMessages().isEmpty()) << allMessages().join('|').toStdString();
            EXPECT_NE(fileBytes("FIELD.DDF"), before);
        }
    }
}

TEST_F(BuildRules, aPageBuildNamesEveryBadCellUpToFiftyThenCountsTheRest)
{
    openSet(smallSet());
    const QByteArray before = fileBytes("FIELD.DDF");
    TVarGrid* g = w().FieldGrid;
    // 17 + 4 field rows, each with a bad size, one also with a bad offset: 22 cells.
    const int records = grid::entryRow(g) - 1;
    ASSERT_EQ(records, 21);
    retype(g, 1, grid::kFieldOffset, QStringLiteral("x"));
    for (int row = 1; row <= records; ++row)
        g->setCells(grid::kFieldSize, row, QStringLiteral("-%1").arg(row));
    w().BuildFieldDDF->click();
    QStringList lines = messages(QMessageBox::Critical).value(0).split('\n');
    ASSERT_EQ(lines.size(), 23);
    EXPECT_EQ(lines[0], QStringLiteral("Nothing was written; 22 cells cannot be stored:"));
    EXPECT_EQ(lines[1],
              QStringLiteral("FIELD.DDF, row 1, column Xe$Offset: 'x' is not a valid integer value"));
    EXPECT_EQ(lines[2], QStringLiteral("FIELD.DDF, row 1, column Xe$Size: -1 is outside 0..32767"));
    EXPECT_EQ(lines[22], QStringLiteral("FIELD.DDF, row 21, column Xe$Size: -21 is outside 0..32767."));
    EXPECT_EQ(fileBytes("FIELD.DDF"), before);

    // Past fifty the rest are counted.
    mMessages.clear();
    for (int row = 1; row <= records; ++row)
        for (int col : {grid::kFieldDataType, grid::kFieldDec})
            g->setCells(col, row, QStringLiteral("256"));
    w().BuildFieldDDF->click();
    lines = messages(QMessageBox::Critical).value(0).split('\n');
    ASSERT_EQ(lines.size(), 1 + grid::BadCells::kNamed + 1);
    EXPECT_EQ(lines[0], QStringLiteral("Nothing was written; 64 cells cannot be stored:"));
    EXPECT_EQ(lines.last(), QStringLiteral("and 14 more."));
    EXPECT_EQ(fileBytes("FIELD.DDF"), before);
}

// ---- Files page: Build DDFs ----

TEST_F(BuildRules, buildDdfsNamesTheBadCellsOfEveryPageInOneMessageAndWritesNoFile)
{
    openSet(smallSet());
    const auto before = allFiles();
    retype(w().FileGrid, 4, grid::kFileFlags, QStringLiteral("300"));
    retype(w().FieldGrid, fieldRow(100), grid::kFieldOffset, QStringLiteral("-4"));
    retype(w().FieldGrid, fieldRow(110), grid::kFieldName, QStringLiteral("A name of twenty-one!"));
    retype(w().keys().KeyGrid, grid::entryRow(w().keys().KeyGrid) - 1, grid::kKeyNumber, QStringLiteral("k"));
    w().BuildFile->click();
    EXPECT_EQ(
        allMessages(),
        QStringList(
            QStringLiteral(
                "Nothing was written; 4 cells cannot be stored:\n"
                "FILE.DDF, row 4, column Xf$Flags: 300 is outside 0..255\n"
                "FIELD.DDF, row %1, column Xe$Offset: -4 is outside 0..32767\n"
                "FIELD.DDF, row %2, column Xe$Name: 'A name of twenty-one!' is longer than the 20 characters "
                "FIELD.DDF keeps\n"
                "INDEX.DDF, row %3, column Xi$Number: 'k' is not a valid integer value.")
                .arg(fieldRow(100))
                .arg(fieldRow(110))
                .arg(grid::entryRow(w().keys().KeyGrid) - 1)));
    EXPECT_EQ(allFiles(), before);
}

TEST_F(BuildRules, anOpenedDictionaryIsBuiltBackInItsFilesOwnLayout)
{
    const Set set = smallSet();
    for (const Layout layout : {Layout{87, 512}, Layout{97, 1024}, Layout{87, 4096}}) {
        SCOPED_TRACE(std::to_string(layout.fileRecordLength) + "/" + std::to_string(layout.pageSize));
        openSet(set, layout);
        std::array<QByteArray, 4> layouts;
        std::array<std::vector<QByteArray>, 4> records;
        const char* names[] = {"FILE.DDF", "FIELD.DDF", "INDEX.DDF", "FIELDEXT.DDF"};
        for (int k = 0; k < 4; ++k) {
            layouts[k] = layoutOnDisk(names[k]);
            records[k] = sortedFile(names[k]);
        }
        ASSERT_EQ(records[1].size(), set.fields.size());
        w().BuildFile->click();
        EXPECT_TRUE(allMessages().isEmpty()) << allMessages().join('|').toStdString();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(layoutOnDisk(names[k]), layouts[k]) << names[k];
            EXPECT_EQ(sortedFile(names[k]), records[k]) << names[k] << ": both Code fields of Parts kept";
        }
        EXPECT_EQ(readThroughRecordManager("FILE.DDF").records.front().size(), layout.fileRecordLength);
    }
}

TEST_F(BuildRules, newDdfsWritesTheStandardLayoutOverAnOldDictionary)
{
    openSet(smallSet(), Layout{87, 512});
    w().ClearFile->click();
    w().BuildFile->click();
    for (const char* name : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"}) {
        const QByteArray stat = layoutOnDisk(name);
        EXPECT_EQ(uint8_t(stat[2]) | uint8_t(stat[3]) << 8, 4096) << name;
    }
    EXPECT_EQ(readThroughRecordManager("FILE.DDF").records.front().size(), 97);
}

TEST_F(BuildRules, aDictionaryWithoutFieldExtDdfGetsNoneFromAnEmptyExtFieldsPage)
{
    w().ClearFile->click(); // the ExtFields page now holds a new, empty table
    openSet(smallSet(), Layout{}, false);
    w().BuildFile->click();
    EXPECT_FALSE(QFile::exists(QStringLiteral("FIELDEXT.DDF")));
    EXPECT_EQ(sortedFile("FIELD.DDF").size(), smallSet().fields.size());
}

} // namespace
