#include "AddComp.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A 3-column grid with titles "A", "B", "C" and data rows "r1".."r<n>" in column 0.
void fill(TVarGrid& grid, int dataRows)
{
    grid.setRowCount(dataRows + 1);
    grid.setCells(0, 0, QStringLiteral("A"));
    grid.setCells(1, 0, QStringLiteral("B"));
    grid.setCells(2, 0, QStringLiteral("C"));
    for (int r = 1; r <= dataRows; ++r)
        grid.setCells(0, r, QStringLiteral("r%1").arg(r));
}

QStringList column0(const TVarGrid& grid)
{
    QStringList out;
    for (int r = 0; r < grid.RowCount(); ++r)
        out << grid.Cells(0, r);
    return out;
}

TEST(VarGrid, rowZeroIsTheTitleRowShownAsTheHeader)
{
    TVarGrid grid(3);
    fill(grid, 2);
    EXPECT_EQ(grid.model()->rowCount(), 2);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("B"));
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("r1"));
    grid.setCells(1, 0, QStringLiteral("Beta"));
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Beta"));
}

TEST(VarGrid, rowsAddedAtTheEndStartEmptyAfterTheCountWasLowered)
{
    TVarGrid grid(3);
    fill(grid, 4);
    grid.setCells(2, 4, QStringLiteral("x"));
    grid.setRowCount(3);
    EXPECT_EQ(grid.Cells(0, 3), QString()); // outside the grid
    grid.setCells(1, 3, QStringLiteral("ignored"));
    grid.setRowCount(5);
    EXPECT_EQ(grid.rowText(3), QStringLiteral("\n\n"));
    EXPECT_EQ(grid.rowText(4), QStringLiteral("\n\n"));
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("r2"));
}

TEST(VarGrid, countAtTheFixedRowsDropsThemAndTheyComeBackWhenAsked)
{
    TVarGrid grid(3);
    fill(grid, 2);
    grid.setRowCount(1);
    EXPECT_EQ(grid.FixedRows(), 0);
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("A"));
    grid.setFixedRows(1); // needs at least one row below it
    EXPECT_EQ(grid.FixedRows(), 0);
    grid.setRowCount(2);
    grid.setFixedRows(1);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("A"));
}

TEST(VarGrid, deletingARowMovesTheRestUpAndKeepsTheCurrentIndex)
{
    TVarGrid grid(3);
    fill(grid, 5);
    grid.setRow(3);
    grid.deleteRow(2);
    EXPECT_EQ(column0(grid), QStringList({"A", "r1", "r3", "r4", "r5"}));
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Cells(0, grid.Row()), QStringLiteral("r4"));
    grid.setRow(4);
    grid.deleteRow(4);
    EXPECT_EQ(grid.Row(), 3); // clamped to the last row
}

TEST(VarGrid, sortOrdersEveryRowTitleIncludedAndKeepsTheCurrentIndex)
{
    TVarGrid grid(3);
    fill(grid, 3);
    grid.setCells(0, 1, QStringLiteral("30"));
    grid.setCells(0, 2, QString());
    grid.setCells(0, 3, QStringLiteral("4"));
    grid.setCells(1, 3, QStringLiteral("four"));
    grid.setRow(3);
    // Empty last, "X..." first, then by number: the ordering the pages use.
    grid.setCells(0, 0, QStringLiteral("Xe$Id"));
    grid.sortRows([](const QStringList& a, const QStringList& b) {
        if (a[0].isEmpty() || b[0].isEmpty())
            return !a[0].isEmpty() && b[0].isEmpty();
        if (a[0].startsWith(QLatin1Char('X')) != b[0].startsWith(QLatin1Char('X')))
            return a[0].startsWith(QLatin1Char('X'));
        return a[0].toInt() < b[0].toInt();
    });
    EXPECT_EQ(column0(grid), QStringList({"Xe$Id", "4", "30", ""}));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("four")); // whole rows move
    EXPECT_EQ(grid.Row(), 3);
}

TEST(VarGrid, aComparatorThatThrowsLeavesEveryRowInPlace)
{
    TVarGrid grid(3);
    fill(grid, 50);
    const QStringList before = column0(grid);
    int calls = 0;
    EXPECT_THROW(grid.sortRows([&](const QStringList& a, const QStringList& b) {
        if (++calls == 40)
            throw std::runtime_error("stop");
        return a[0] > b[0];
    }),
                 std::runtime_error);
    EXPECT_EQ(column0(grid), before);
}

TEST(VarGrid, keyedSortOrdersLikeTheComparatorAndAKeyThatThrowsMovesNothing)
{
    TVarGrid grid(3);
    fill(grid, 4);
    const QStringList ids{"Xe$Id", "12", "", "3", "7"};
    for (int r = 0; r < ids.size(); ++r)
        grid.setCells(0, r, ids[r]);
    const QStringList before = column0(grid);
    EXPECT_THROW(grid.sortRowsByKey([](const QStringList& row) { return StrToInt(row[0]); }),
                 text::ConversionError);
    EXPECT_EQ(column0(grid), before);
    grid.sortRowsByKey([](const QStringList& row) {
        if (row[0].isEmpty())
            return std::pair(2, 0);
        return row[0].startsWith(QLatin1Char('X')) ? std::pair(0, 0) : std::pair(1, StrToInt(row[0]));
    });
    EXPECT_EQ(column0(grid), QStringList({"Xe$Id", "3", "7", "12", ""}));
}

// Every reshaping call (sort, delete, take, put back, count changes) carries a row's ids with
// its cells; the model role reads them for any cell of the row.
TEST(VarGrid, idsKeptWithARowFollowItThroughEveryReshape)
{
    TVarGrid grid(3);
    fill(grid, 5);
    for (int r = 1; r <= 5; ++r)
        grid.setRowIds(r, {r * 10, -r});
    const auto idsOf = [&](const QString& cell) {
        for (int r = 0; r < grid.RowCount(); ++r)
            if (grid.Cells(0, r) == cell)
                return grid.rowIds(r);
        return RowIds{};
    };
    const auto allFollow = [&](const char* step) {
        for (int r = 1; r < grid.RowCount(); ++r) {
            const QString cell = grid.Cells(0, r);
            if (!cell.startsWith(QLatin1Char('r')))
                continue;
            const int n = cell.mid(1).toInt();
            EXPECT_EQ(grid.rowIds(r), (RowIds{n * 10, -n})) << step << " row " << r;
        }
    };
    // Descending, the title row ("A") kept first.
    const auto key = [](const QStringList& c) { return c[0] == QLatin1String("A") ? QStringLiteral("~") : c[0]; };
    grid.sortRows([&](const QStringList& a, const QStringList& b) { return key(a) > key(b); });
    allFollow("sort");
    EXPECT_EQ(grid.model()->index(0, 2).data(VarGridModel::RowIdsRole).toList(), (QVariantList{50, -5}));
    grid.deleteRow(2);
    allFollow("delete");
    std::vector<RowIds> takenIds;
    const auto taken =
        grid.takeRows([](int, const QStringList& cells) { return cells[0] == QLatin1String("r3"); }, &takenIds);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(takenIds, (std::vector<RowIds>{{30, -3}}));
    allFollow("take");
    grid.replaceRowsFrom(grid.RowCount(), taken, takenIds);
    EXPECT_EQ(idsOf(QStringLiteral("r3")), (RowIds{30, -3}));
    grid.setRowCount(grid.RowCount() + 2);
    EXPECT_EQ(grid.rowIds(grid.RowCount() - 1), RowIds{}) << "a new row keeps no ids";
    grid.setRowText(1, QStringLiteral("r5\nx\ny"));
    allFollow("row text");
    grid.replaceRowsFrom(1, {{QStringLiteral("n")}});
    EXPECT_EQ(grid.rowIds(1), RowIds{}) << "rows put without ids keep none";
}

TEST(VarGrid, rowTextJoinsCellsWithLineBreaks)
{
    TVarGrid grid(3);
    fill(grid, 1);
    grid.setRowText(1, QStringLiteral("a\nb"));
    EXPECT_EQ(grid.rowText(1), QStringLiteral("a\nb\n"));
    grid.setRowText(1, QStringLiteral("1\n2\n3\n4"));
    EXPECT_EQ(grid.rowText(1), QStringLiteral("1\n2\n3"));
    grid.setValues(2, 1, 12);
    EXPECT_EQ(grid.Values(2, 1).toString(), QStringLiteral("12"));
    grid.setCells(0, 1, QStringLiteral("abc"));
    EXPECT_THROW(grid.Values(0, 1).toInt(), text::ConversionError);
}

// Types text the way a user does: each key pressed where the focus is and released where the
// focus is afterwards (the cell editor, once typing has opened it).
void typeKeys(TVarGrid& grid, const QString& text)
{
    for (QChar c : text) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &grid;
        QTest::keyPress(target, c.toLatin1());
        target = QApplication::focusWidget() ? QApplication::focusWidget() : &grid;
        QTest::keyRelease(target, c.toLatin1());
    }
}

class GridEditing : public ::testing::Test {
protected:
    void SetUp() override
    {
        fill(grid, 2);
        grid.resize(300, 200);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
        grid.setRow(2);
        grid.setCol(1);
    }
    TVarGrid grid{3};
};

TEST_F(GridEditing, aKeyReleasedInTheCellEditorSeesTheTextTypedSoFar)
{
    QStringList seen;
    QObject::connect(&grid, &TVarGrid::keyUp, [&](int) { seen << grid.Cells(1, 2); });
    typeKeys(grid, QStringLiteral("123"));
    ASSERT_TRUE(qobject_cast<QLineEdit*>(QApplication::focusWidget())) << "typing opened no cell editor";
    EXPECT_EQ(seen, QStringList({"1", "12", "123"}));
}

TEST_F(GridEditing, editingGoesOnAfterAKeyUpHandlerReshapesTheGrid)
{
    // A handler that appends a row and sorts on every release, as the pages' refreshes do.
    QObject::connect(&grid, &TVarGrid::keyUp, [&](int) {
        grid.setRowCount(grid.RowCount() + 1);
        grid.sortRows([](const QStringList& a, const QStringList& b) {
            const auto rank = [](const QString& key) {
                return key == QLatin1String("A") ? 0 : key.isEmpty() ? 2 : 1;
            };
            return rank(a[0]) != rank(b[0]) ? rank(a[0]) < rank(b[0]) : a[0] < b[0];
        });
    });
    typeKeys(grid, QStringLiteral("ab"));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("ab"));
    EXPECT_EQ(grid.RowCount(), 5);
}

} // namespace
