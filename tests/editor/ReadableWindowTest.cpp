// The window as its users read it: columns as wide as their values, filter lists and boxes
// that show what is in force, boxes that follow the row shown, the browser's labels and
// buttons up to date, and a window that grows and remembers its size.
#include "WindowFlows.h"

#include <QDir>
#include <QHeaderView>
#include <QSettings>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class Readable : public WindowFlow {
protected:
    void SetUp() override
    {
        WindowFlow::SetUp();
        writeSetHere(realSizeSet());
        press(w().OpenFile);
        ASSERT_TRUE(mMessages.empty());
    }

    static void settle()
    {
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }
    static QStringList items(const QComboBox* box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    // Every value of the column fits: the view's own measure of the rows it shows.
    static void expectColumnsFit(TVarGrid* g, std::initializer_list<int> cols)
    {
        for (int col : cols)
            EXPECT_GE(g->columnWidth(col),
                      static_cast<const QAbstractItemView*>(g)->sizeHintForColumn(col) - 1)
                << g->objectName().toStdString() << " column " << g->Cells(col, 0).toStdString();
        for (int col : cols)
            EXPECT_GE(g->columnWidth(col), g->horizontalHeader()->sectionSizeHint(col))
                << "the title is read too";
    }
};

// ---- Grids ----

TEST_F(Readable, idAndNumberColumnsAreAsWideAsTheirWidestValue)
{
    pickPage(w().TabFiles);
    expectColumnsFit(w().FileGrid, {grid::kFileId, grid::kFileName, grid::kFileFlags});
    pickPage(w().TabFields);
    expectColumnsFit(w().FieldGrid, {grid::kFieldId, grid::kFieldFile, grid::kFieldName, grid::kFieldOffset});
    pickPage(&w().keys());
    expectColumnsFit(w().keys().KeyGrid, {grid::kKeyFile, grid::kKeyField, grid::kKeyFlags});

    // A longer value typed in grows its column as it is typed; a short one never narrows it
    // below its designed width.
    const int designed = w().FieldGrid->columnWidth(grid::kFieldDec);
    pickPage(w().TabFields);
    typeKeys(w().FieldGrid, 1, grid::kFieldDec, QStringLiteral("123456789012"));
    expectColumnsFit(w().FieldGrid, {grid::kFieldDec});
    EXPECT_GT(w().FieldGrid->columnWidth(grid::kFieldDec), designed);
}

// ---- Filters ----

TEST_F(Readable, filterListsShowNamesWithoutTheirPaddingWhileTheCellsKeepIt)
{
    const QStringList names{"CustomerOrderHistory", "WarehouseStockLevels"};
    EXPECT_EQ(w().FileGrid->Cells(grid::kFileName, 1), QStringLiteral("CustomerOrderHistory"))
        << "a 20-character name has no padding";
    pickPage(w().TabFields);
    clickCell(w().FieldGrid, 1, grid::kFieldName);
    EXPECT_EQ(items(w().FileFilter).mid(items(w().FileFilter).size() - 2), names);
    for (const QString& name : items(w().FileFilter))
        EXPECT_FALSE(name.endsWith(QLatin1Char(' '))) << name.toStdString();
    pickPage(&w().keys());
    clickCell(w().keys().KeyGrid, 1, grid::kKeyNumber);
    for (const QString& name : items(w().keys().IndexFilter))
        EXPECT_FALSE(name.endsWith(QLatin1Char(' '))) << name.toStdString();
    EXPECT_EQ(w().keys().KeyGrid->Cells(grid::kKeyFile, 1).size(), 20) << "the cells keep their padding";
    pickPage(&w().extFields());
    clickCell(w().extFields().ExtGrid, 1, grid::kExtDataType);
    for (const QString& name : items(w().extFields().ExtFileFilter))
        EXPECT_FALSE(name.endsWith(QLatin1Char(' '))) << name.toStdString();
}

TEST_F(Readable, filterBoxesShowTheFilterInForceAndAreEmptiedWhenItEnds)
{
    struct Filter {
        QWidget* page;
        QComboBox* box;
        TVarGrid* grid;
    };
    const Filter filters[] = {{w().TabFields, w().FileFilter, w().FieldGrid},
                              {&w().keys(), w().keys().IndexFilter, w().keys().KeyGrid},
                              {&w().extFields(), w().extFields().ExtFileFilter, w().extFields().ExtGrid}};
    const auto filterAll = [&] {
        for (const Filter& f : filters) {
            pickPage(f.page);
            typeFilter(f.box, QStringLiteral("WarehouseStockLevels"));
            clickCell(f.grid, 1, 2); // a click refreshes the page: the box keeps the filter
            EXPECT_EQ(f.box->currentText(), QStringLiteral("WarehouseStockLevels"))
                << f.box->objectName().toStdString();
        }
    };
    for (QAbstractButton* ends :
         {static_cast<QAbstractButton*>(w().BuildFile), static_cast<QAbstractButton*>(w().OpenFile),
          static_cast<QAbstractButton*>(w().ClearFile)}) {
        filterAll();
        press(ends);
        for (const Filter& f : filters) {
            pickPage(f.page);
            EXPECT_EQ(f.box->currentText(), QString())
                << ends->text().toStdString() << ": " << f.box->objectName().toStdString();
        }
    }
    // Without a filter the Keys page's box stays empty whichever row is current.
    pickPage(&w().keys());
    clickCell(w().keys().KeyGrid, w().keys().KeyGrid->RowCount() - 2, grid::kKeyNumber);
    EXPECT_EQ(w().keys().IndexFilter->currentText(), QString());
}

TEST_F(Readable, fieldTypeAndKeyBoxesFollowTheRowAFilterLeavesCurrent)
{
    pickPage(w().TabFields);
    clickCell(w().FieldGrid, 1, grid::kFieldName); // OrderNumberReference, type 1 (integer)
    const int integerType = w().FieldType->currentIndex();
    typeFilter(w().FileFilter, QStringLiteral("WarehouseStockLevels"));
    ASSERT_EQ(w().FieldGrid->Cells(grid::kFieldName, 1), QStringLiteral("WarehouseLocationKey"));
    EXPECT_NE(w().FieldType->currentIndex(), integerType) << "type 14 shown without a click";
    EXPECT_EQ(w().FieldType->currentText(), w().FieldType->itemText(w().FieldType->currentIndex()));

    pickPage(&w().keys());
    clickCell(w().keys().KeyGrid, 1, grid::kKeyNumber); // flags 2: modifiable only
    ASSERT_FALSE(w().keys().ChDuplicates->isChecked());
    typeFilter(w().keys().IndexFilter, QStringLiteral("WarehouseStockLevels"));
    ASSERT_EQ(w().keys().KeyGrid->Cells(grid::kKeyFlags, 1), QStringLiteral("259"));
    EXPECT_TRUE(w().keys().ChDuplicates->isChecked());
    EXPECT_TRUE(w().keys().ChModifiable->isChecked());
    EXPECT_TRUE(w().keys().ChExtType->isChecked());
}

// ---- Browser ----

TEST_F(Readable, sizeOfFileIsClearedWhenTheFolderChangesAndOpenFollowsABuild)
{
    choose(QStringLiteral("FILE.DDF"), 0);
    EXPECT_FALSE(w().LSizeFile->text().isEmpty());
    const fs::path other = mDir.path() / "new set";
    fs::create_directories(other);
    w().changeDirectory(QString::fromStdString(other.string()));
    EXPECT_EQ(w().LSizeFile->text(), QString());
    EXPECT_FALSE(w().OpenFile->isEnabled());

    press(w().ClearFile);
    press(w().BuildFile);
    EXPECT_TRUE(QFile::exists(QString::fromStdString((other / "FILE.DDF").string())));
    EXPECT_TRUE(w().OpenFile->isEnabled()) << "Build DDFs wrote FILE.DDF into the folder browsed";
    EXPECT_TRUE(w().OpenFileDDF->isEnabled());
}

// ---- Window size ----

TEST_F(Readable, theGridsGrowWithTheWindowWhoseSizeIsRemembered)
{
    QSettings().remove(QStringLiteral("Window"));
    restart();
    showWindow();
    EXPECT_EQ(w().minimumSize(), QSize(613, 396)) << "the designed size is the least";
    const QSize grid = w().FieldGrid->size();
    const QPoint build = w().BuildFieldDDF->pos();
    w().resize(900, 700);
    settle();
    EXPECT_EQ(w().FieldGrid->size(), grid + QSize(900 - 613, 700 - 396));
    EXPECT_EQ(w().BuildFieldDDF->pos(), build + QPoint(0, 700 - 396)) << "controls below the grid move down";
    EXPECT_EQ(w().extFields().ExtGrid->height(), 353 + 700 - 396);
    EXPECT_EQ(w().PageControl->size(), QSize(432 + 900 - 613, 396 + 700 - 396));
    EXPECT_TRUE(w().close());

    restart();
    EXPECT_EQ(w().size(), QSize(900, 700));
    w().resize(613, 396);
    settle();
    EXPECT_EQ(w().FieldGrid->size(), grid) << "back to the designed layout";
    showWindow();
    w().showMaximized();
    settle();
    EXPECT_TRUE(w().close());
    restart();
    EXPECT_TRUE(w().windowState() & Qt::WindowMaximized);
    QSettings().remove(QStringLiteral("Window"));
}

} // namespace
