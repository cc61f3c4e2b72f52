#pragma once
// AddComp: the grid, edit, flag check box and list controls the pages are built from. Each moves
// values in and out as Variant and reports key and mouse releases, which drive the pages' row
// refreshes.
#include "Variant.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <limits>
#include <type_traits>
#include <vector>

// Two ids kept with a grid row beside its cells and never shown: what the row refers to in
// other grids (an owner, such as a table, and an item within it, such as a field). Every
// change that moves, takes or puts back rows moves them with their cells.
struct RowIds {
    static constexpr qint32 kNone = std::numeric_limits<qint32>::min();
    qint32 owner = kNone;
    qint32 item = kNone;
    bool operator==(const RowIds&) const = default;
};

// The cells of a TVarGrid: rows of texts indexed by column and row, row 0 the title row. The
// first FixedRows rows (0 or 1) are shown as the header, the rest as the view's rows. Each row
// also keeps its RowIds, read through RowIdsRole.
class VarGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // data() of any cell of a row under this role: its RowIds as a list of two ints.
    static constexpr int RowIdsRole = Qt::UserRole + 1;

    explicit VarGridModel(int colCount, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int gridRowCount() const { return static_cast<int>(mRows.size()); }
    // Counts the calls that may have changed the rows, their ids or FixedRows: equal revisions
    // mean nothing changed in between.
    quint64 revision() const { return mRevision; }
    int colCount() const { return mColCount; }
    int fixedRows() const { return mFixedRows; }
    void setFixedRows(int rows);
    void setEditable(bool editable) { mEditable = editable; }

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    const QStringList& rowCells(int row) const { return mRows[row]; }
    // Replaces a row's cells; its ids stay.
    void setRowCells(int row, QStringList cells);
    RowIds rowIds(int row) const { return row >= 0 && row < gridRowCount() ? mIds[row] : RowIds{}; }
    void setRowIds(int row, RowIds ids);
    void setGridRowCount(int count);
    void removeGridRow(int row);
    // Reorders the rows by `less`; when `less` throws, the rows are left as they were.
    void sortRows(const std::function<bool(const QStringList&, const QStringList&)>& less);
    // Puts row order[i] at position i; `order` must be a permutation of 0..gridRowCount()-1.
    void applyOrder(const std::vector<int>& order);
    // Removes the rows for which `take` is true, in one change, and returns them in their order.
    // Rows before FixedRows are never taken.
    // Their ids go into `takenIds` when it is given.
    std::vector<QStringList> takeRows(const std::function<bool(int row, const QStringList&)>& take,
                                      std::vector<RowIds>* takenIds = nullptr);
    // Replaces every row from `first` on (first >= FixedRows) by `rows`, in one change; ids[i]
    // goes with rows[i] (none where `ids` is shorter).
    void replaceRowsFrom(int first, std::vector<QStringList> rows, std::vector<RowIds> ids = {});

private:
    bool inRange(int col, int row) const;
    void notifyCell(int col, int row);
    // Cell changes are announced to the views once per event-loop turn, as one range.
    void flushChanges();
    void dropPendingChanges() { mPendingFirst = -1; }

    quint64 mRevision = 0;
    int mPendingFirst = -1; // view rows changed since the last flush, or -1
    int mPendingLast = -1;

    int mColCount;
    int mFixedRows = 1;
    bool mEditable = true;
    std::vector<QStringList> mRows; // each holds exactly mColCount cells
    std::vector<RowIds> mIds;       // one per row, beside mRows
};

// String grid whose cells live in its own model. Rows are model rows: row 0 holds the column
// titles and is shown as the frozen header. The current row (Row) is an index that sorts and
// removals leave unchanged. A key released in the cell editor while the user types counts as a
// key release on the grid, with the cell already holding the text typed so far.
class TVarGrid : public QTableView {
    Q_OBJECT
public:
    explicit TVarGrid(int colCount, QWidget* parent = nullptr);

    QString Cells(int col, int row) const { return mModel->cell(col, row); }
    void setCells(int col, int row, const QString& text) { mModel->setCell(col, row, text); }
    Variant Values(int col, int row) const { return Variant(Cells(col, row)); }
    void setValues(int col, int row, const Variant& value) { setCells(col, row, value.toString()); }

    int RowCount() const { return mModel->gridRowCount(); }
    // New rows at the end start empty; lowering the count discards the cells beyond it. The count
    // never drops below 1; when it reaches FixedRows, FixedRows drops to count - 1.
    void setRowCount(int count);
    int ColCount() const { return mModel->colCount(); }
    int Row() const { return mRow; }
    void setRow(int row);
    int Col() const { return mCol; }
    void setCol(int col);
    int FixedRows() const { return mModel->fixedRows(); }
    // Ignored unless 0 <= rows < RowCount.
    void setFixedRows(int rows);

    int Tag = 0;

    // A row's cells joined by '\n'; setting splits the same way (missing cells become empty).
    QString rowText(int row) const;
    void setRowText(int row, const QString& text);
    // Removes one row; the rows after it move up. The current row index stays (clamped).
    void deleteRow(int row);
    // Removes, as one change, every row from FixedRows on for which `take` is true, and returns
    // their cells in grid order (their ids into `takenIds` when given). The current row index
    // stays (clamped).
    std::vector<QStringList> takeRows(const std::function<bool(int row, const QStringList&)>& take,
                                      std::vector<RowIds>* takenIds = nullptr);
    // Puts `rows` in place of every row from `first` on, as one change (missing cells empty),
    // ids[i] kept with rows[i] (none where `ids` is shorter). Appending many rows is
    // replaceRowsFrom(RowCount(), rows). `first` is clamped to FixedRows..RowCount().
    void replaceRowsFrom(int first, std::vector<QStringList> rows, std::vector<RowIds> ids = {});
    // The ids kept with a row (none for a row out of range); sorts, removals and the moves
    // above carry them with the row.
    RowIds rowIds(int row) const { return mModel->rowIds(row); }
    void setRowIds(int row, RowIds ids) { mModel->setRowIds(row, ids); }
    // Sorts every row, the title row included. The current row index stays. When `less`
    // throws, the rows stay as they were.
    void sortRows(const std::function<bool(const QStringList&, const QStringList&)>& less);
    // The same, ordering rows by a key computed once per row (any type with operator<); the
    // fast way for orders that parse or look up cells. When `key` throws, nothing moves.
    template <class KeyFn> void sortRowsByKey(KeyFn key)
    {
        using Key = std::decay_t<decltype(key(std::declval<const QStringList&>()))>;
        std::vector<Key> keys;
        keys.reserve(RowCount());
        for (int r = 0; r < RowCount(); ++r)
            keys.push_back(key(rowCells(r)));
        std::vector<int> order(keys.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
        reshape([&] { mModel->applyOrder(order); });
    }
    const QStringList& rowCells(int row) const { return mModel->rowCells(row); }
    // See VarGridModel::revision.
    quint64 revision() const { return mModel->revision(); }

    void setColWidths(std::initializer_list<int> widths);
    void setEditable(bool editable);

signals:
    void keyUp(int key);
    void mouseUp();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class VarGridDelegate;
    void editorCreated(QWidget* editor);
    // Runs a change of the rows, then puts the view's current cell back. An editor that was
    // open reopens only when the current row still holds the record it was editing: typing
    // never goes on in another record than the one it began in.
    void reshape(const std::function<void()>& change);
    void applyCurrent();

    VarGridModel* mModel;
    QPointer<QWidget> mEditor;
    int mRow = 1;
    int mCol = 0;
    bool mApplying = false;
};

// Single-line edit whose text moves as a Variant.
class TVarEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TVarEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
    Variant Value() const { return Variant(text()); }
    void setValue(const Variant& value) { setText(value.toString()); }

signals:
    void keyUp(int key);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};

// Check box standing for bit Shift of FlagWord. Writing Value stores the word and shows its bit;
// when that flips the box, clicked() is emitted once, as a user click would.
class TVarCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TVarCheckBox(const QString& caption, quint16 shift, QWidget* parent = nullptr)
        : QCheckBox(caption, parent), Shift(shift)
    {
    }

    quint16 Shift = 0;
    qint32 FlagWord = 0;

    // FlagWord with bit Shift set exactly when the box is checked (stored back into FlagWord).
    Variant Value();
    void setValue(const Variant& value);
};

// List box (or check list) that reports key and mouse releases.
class TListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr) : QListWidget(parent) {}

signals:
    void keyUp(int key);
    void mouseUp();

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
