#include "AddComp.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>

#include <algorithm>
#include <numeric>

// ---- VarGridModel ----

VarGridModel::VarGridModel(int colCount, QObject* parent) : QAbstractTableModel(parent), mColCount(colCount)
{
    mRows.assign(2, QStringList(colCount, QString()));
    mIds.assign(2, RowIds{});
}

int VarGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return std::max(0, gridRowCount() - mFixedRows);
}

int VarGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mColCount;
}

QVariant VarGridModel::data(const QModelIndex& index, int role) const
{
    if (index.isValid() && role == RowIdsRole) {
        const RowIds& ids = mIds[index.row() + mFixedRows];
        return QVariantList{ids.owner, ids.item};
    }
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return mRows[index.row() + mFixedRows][index.column()];
}

bool VarGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    ++mRevision;
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    QString& cell = mRows[index.row() + mFixedRows][index.column()];
    const QString text = value.toString();
    if (cell != text) {
        cell = text;
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

QVariant VarGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && mFixedRows > 0 && section >= 0 &&
        section < mColCount)
        return mRows[0][section];
    return {};
}

Qt::ItemFlags VarGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (mEditable)
        f |= Qt::ItemIsEditable;
    return f;
}

void VarGridModel::setFixedRows(int rows)
{
    ++mRevision;
    if (rows == mFixedRows)
        return;
    beginResetModel();
    dropPendingChanges();
    mFixedRows = rows;
    endResetModel();
}

bool VarGridModel::inRange(int col, int row) const
{
    return col >= 0 && col < mColCount && row >= 0 && row < gridRowCount();
}

QString VarGridModel::cell(int col, int row) const
{
    return inRange(col, row) ? mRows[row][col] : QString();
}

void VarGridModel::notifyCell(int col, int row)
{
    if (row < mFixedRows) {
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    const int viewRow = row - mFixedRows;
    if (mPendingFirst < 0) {
        mPendingFirst = mPendingLast = viewRow;
        QMetaObject::invokeMethod(this, &VarGridModel::flushChanges, Qt::QueuedConnection);
    } else {
        mPendingFirst = std::min(mPendingFirst, viewRow);
        mPendingLast = std::max(mPendingLast, viewRow);
    }
}

void VarGridModel::flushChanges()
{
    if (mPendingFirst < 0)
        return;
    const int last = std::min(mPendingLast, rowCount() - 1);
    const int first = mPendingFirst;
    dropPendingChanges();
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, mColCount - 1));
}

void VarGridModel::setCell(int col, int row, const QString& text)
{
    ++mRevision;
    if (!inRange(col, row) || mRows[row][col] == text)
        return;
    mRows[row][col] = text;
    notifyCell(col, row);
}

void VarGridModel::setRowCells(int row, QStringList cells)
{
    ++mRevision;
    if (row < 0 || row >= gridRowCount())
        return;
    cells.resize(mColCount);
    mRows[row] = std::move(cells);
    if (row < mFixedRows)
        emit headerDataChanged(Qt::Horizontal, 0, mColCount - 1);
    else
        notifyCell(0, row);
}

void VarGridModel::setRowIds(int row, RowIds ids)
{
    ++mRevision;
    if (row >= 0 && row < gridRowCount())
        mIds[row] = ids;
}

void VarGridModel::setGridRowCount(int count)
{
    ++mRevision;
    count = std::max(1, count);
    const int old = gridRowCount();
    if (count == old)
        return;
    flushChanges();
    if (count > old) {
        const int first = std::max(0, old - mFixedRows);
        beginInsertRows({}, first, count - mFixedRows - 1);
        mRows.resize(count, QStringList(mColCount, QString()));
        mIds.resize(count);
        endInsertRows();
    } else if (count > mFixedRows) {
        beginRemoveRows({}, count - mFixedRows, old - mFixedRows - 1);
        mRows.resize(count);
        mIds.resize(count);
        endRemoveRows();
    } else {
        beginResetModel();
        mRows.resize(count);
        mIds.resize(count);
        mFixedRows = count - 1;
        endResetModel();
    }
}

void VarGridModel::removeGridRow(int row)
{
    ++mRevision;
    if (row < 0 || row >= gridRowCount())
        return;
    if (gridRowCount() == 1) {
        setRowCells(0, {});
        mIds[0] = {};
        return;
    }
    flushChanges();
    if (row < mFixedRows || gridRowCount() - 1 <= mFixedRows) {
        beginResetModel();
        mRows.erase(mRows.begin() + row);
        mIds.erase(mIds.begin() + row);
        mFixedRows = std::min(mFixedRows, gridRowCount() - 1);
        endResetModel();
        return;
    }
    beginRemoveRows({}, row - mFixedRows, row - mFixedRows);
    mRows.erase(mRows.begin() + row);
    mIds.erase(mIds.begin() + row);
    endRemoveRows();
}

void VarGridModel::sortRows(const std::function<bool(const QStringList&, const QStringList&)>& less)
{
    std::vector<int> order(mRows.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return less(mRows[a], mRows[b]); });
    applyOrder(order);
}

void VarGridModel::applyOrder(const std::vector<int>& order)
{
    ++mRevision;
    std::vector<QStringList> sorted;
    std::vector<RowIds> sortedIds;
    sorted.reserve(mRows.size());
    sortedIds.reserve(mRows.size());
    for (int i : order) {
        sorted.push_back(std::move(mRows[i]));
        sortedIds.push_back(mIds[i]);
    }
    beginResetModel();
    dropPendingChanges();
    mRows = std::move(sorted);
    mIds = std::move(sortedIds);
    endResetModel();
}

std::vector<QStringList> VarGridModel::takeRows(const std::function<bool(int, const QStringList&)>& take,
                                                std::vector<RowIds>* takenIds)
{
    ++mRevision;
    std::vector<QStringList> taken;
    std::vector<QStringList> kept;
    std::vector<RowIds> keptIds;
    kept.reserve(mRows.size());
    keptIds.reserve(mRows.size());
    for (int r = 0; r < gridRowCount(); ++r) {
        if (r >= mFixedRows && take(r, mRows[r])) {
            taken.push_back(std::move(mRows[r]));
            if (takenIds)
                takenIds->push_back(mIds[r]);
        } else {
            kept.push_back(std::move(mRows[r]));
            keptIds.push_back(mIds[r]);
        }
    }
    if (taken.empty()) {
        mRows = std::move(kept);
        return taken;
    }
    beginResetModel();
    dropPendingChanges();
    mRows = std::move(kept);
    mIds = std::move(keptIds);
    endResetModel();
    return taken;
}

void VarGridModel::replaceRowsFrom(int first, std::vector<QStringList> rows, std::vector<RowIds> ids)
{
    ++mRevision;
    first = std::clamp(first, mFixedRows, gridRowCount());
    for (QStringList& row : rows)
        row.resize(mColCount);
    ids.resize(rows.size());
    beginResetModel();
    dropPendingChanges();
    mRows.resize(first);
    mIds.resize(first);
    mRows.reserve(first + rows.size());
    mIds.reserve(first + rows.size());
    for (QStringList& row : rows)
        mRows.push_back(std::move(row));
    mIds.insert(mIds.end(), ids.begin(), ids.end());
    if (mRows.empty()) {
        mRows.push_back(QStringList(mColCount, QString()));
        mIds.push_back(RowIds{});
    }
    endResetModel();
}

// ---- TVarGrid ----

// Hands the grid every cell editor it opens, and never rewrites an editor whose text already
// equals the cell (so committing while typing keeps the cursor where it is).
class VarGridDelegate : public QStyledItemDelegate {
public:
    explicit VarGridDelegate(TVarGrid* grid) : QStyledItemDelegate(grid), mGrid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        mGrid->editorCreated(editor);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const QString text = index.data(Qt::EditRole).toString();
            if (line->text() != text)
                line->setText(text);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

private:
    TVarGrid* mGrid;
};

TVarGrid::TVarGrid(int colCount, QWidget* parent)
    : QTableView(parent), mModel(new VarGridModel(colCount, this))
{
    setModel(mModel);
    setItemDelegate(new VarGridDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setMinimumSectionSize(8);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Cells read from a file keep their trailing blanks; clip them as the cell edge does
    // instead of marking every padded name as cut short.
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setTabKeyNavigation(true);
    setEditable(true);
}

void TVarGrid::setEditable(bool editable)
{
    mModel->setEditable(editable);
    setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                             : QAbstractItemView::NoEditTriggers);
}

void TVarGrid::setColWidths(std::initializer_list<int> widths)
{
    int col = 0;
    for (int w : widths)
        setColumnWidth(col++, w);
}

void TVarGrid::reshape(const std::function<void()>& change)
{
    const bool editing = state() == QAbstractItemView::EditingState && mEditor;
    // The view may move its current cell while rows change (focus returning from a closed
    // editor picks the first cell); the grid's current row is not the view's business.
    const int row = mRow;
    const int col = mCol;
    // The record being typed into is recognised by the cell it is typed into (the editor's text
    // is committed at every key release): the current place still holds it when that cell does.
    const QString typed = editing ? mModel->cell(col, row) : QString();
    mApplying = true;
    struct Freeze {
        bool& flag;
        ~Freeze() { flag = false; }
    } freeze{mApplying};
    change();
    mRow = std::clamp(row, 0, RowCount() - 1);
    mCol = col;
    mApplying = false;
    const bool sameRecord = mRow == row && mModel->cell(col, mRow) == typed;
    if (editing && !sameRecord) {
        // The record being typed into left this place: the view keeps no current cell, so the
        // next keystrokes cannot start typing into the record that took its place.
        if (mEditor)
            closeEditor(mEditor, QAbstractItemDelegate::NoHint);
        mApplying = true;
        selectionModel()->clearCurrentIndex();
        mApplying = false;
        return;
    }
    applyCurrent();
    if (editing && sameRecord && state() != QAbstractItemView::EditingState && currentIndex().isValid() &&
        isVisible()) {
        edit(currentIndex());
        if (auto* line = qobject_cast<QLineEdit*>(mEditor.data())) {
            line->deselect();
            line->end(false);
        }
    }
}

void TVarGrid::applyCurrent()
{
    const int viewRow = mRow - FixedRows();
    if (viewRow < 0 || viewRow >= mModel->rowCount() || mCol < 0 || mCol >= ColCount())
        return;
    const QModelIndex index = mModel->index(viewRow, mCol);
    if (currentIndex() == index)
        return;
    mApplying = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    mApplying = false;
}

void TVarGrid::setRowCount(int count)
{
    reshape([&] { mModel->setGridRowCount(count); });
}

void TVarGrid::setRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    mRow = row;
    applyCurrent();
}

void TVarGrid::setCol(int col)
{
    if (col < 0 || col >= ColCount())
        return;
    mCol = col;
    applyCurrent();
}

void TVarGrid::setFixedRows(int rows)
{
    if (rows < 0 || rows >= RowCount() || rows == FixedRows())
        return;
    reshape([&] { mModel->setFixedRows(rows); });
}

QString TVarGrid::rowText(int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return mModel->rowCells(row).join(QLatin1Char('\n'));
}

void TVarGrid::setRowText(int row, const QString& text)
{
    mModel->setRowCells(row, text.split(QLatin1Char('\n')));
}

void TVarGrid::deleteRow(int row)
{
    reshape([&] { mModel->removeGridRow(row); });
}

std::vector<QStringList> TVarGrid::takeRows(const std::function<bool(int, const QStringList&)>& take,
                                            std::vector<RowIds>* takenIds)
{
    std::vector<QStringList> taken;
    reshape([&] { taken = mModel->takeRows(take, takenIds); });
    return taken;
}

void TVarGrid::replaceRowsFrom(int first, std::vector<QStringList> rows, std::vector<RowIds> ids)
{
    reshape([&] { mModel->replaceRowsFrom(first, std::move(rows), std::move(ids)); });
}

void TVarGrid::sortRows(const std::function<bool(const QStringList&, const QStringList&)>& less)
{
    reshape([&] { mModel->sortRows(less); });
}

void TVarGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid() && !mApplying) {
        mRow = current.row() + FixedRows();
        mCol = current.column();
    }
}

void TVarGrid::keyReleaseEvent(QKeyEvent* event)
{
    QTableView::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyUp(event->key());
}

void TVarGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    emit mouseUp();
}

void TVarGrid::editorCreated(QWidget* editor)
{
    mEditor = editor;
    editor->installEventFilter(this);
}

bool TVarGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && watched == mEditor.data()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            if (state() == QAbstractItemView::EditingState)
                commitData(mEditor);
            emit keyUp(key->key());
        }
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

// ---- TVarEdit, TVarCheckBox, TListBox ----

void TVarEdit::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyUp(event->key());
}

Variant TVarCheckBox::Value()
{
    const quint32 bit = 1u << (Shift & 31);
    quint32 word = static_cast<quint32>(FlagWord) & ~bit;
    if (isChecked())
        word |= bit;
    FlagWord = static_cast<qint32>(word);
    return Variant(FlagWord);
}

void TVarCheckBox::setValue(const Variant& value)
{
    FlagWord = value.toInt();
    const bool checked = (static_cast<quint32>(FlagWord) >> (Shift & 31)) & 1u;
    if (checked == isChecked())
        return;
    setChecked(checked);
    emit clicked(checked);
}

void TListBox::keyReleaseEvent(QKeyEvent* event)
{
    QListWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyUp(event->key());
}

void TListBox::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    emit mouseUp();
}
