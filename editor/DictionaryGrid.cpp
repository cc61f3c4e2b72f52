#include "DictionaryGrid.h"

#include "Status.h"
#include "Variant.h"

#include <algorithm>

namespace grid {

// ---- Texts and look-ups ----

QString padName(const QString& text, int width)
{
    return text.size() < width ? text.leftJustified(width, QLatin1Char(' ')) : text;
}

QString asciiUpper(QString text)
{
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return text;
}

bool equalIgnoringCase(const QString& a, const QString& b)
{
    return a.size() == b.size() && asciiUpper(a) == asciiUpper(b);
}

std::optional<qint32> cellInteger(const QString& cell)
{
    qint32 value = 0;
    if (cell.isEmpty() || !parseInteger(cell, &value))
        return std::nullopt;
    return value;
}

std::optional<qint32> cellInteger(const TVarGrid* grid, int col, int row)
{
    return cellInteger(grid->Cells(col, row));
}

int findRowIgnoringCase(const TVarGrid* grid, int col, const QString& text)
{
    const QString wanted = asciiUpper(text);
    for (int row = 1; row < grid->RowCount(); ++row) {
        const QString& cell = grid->rowCells(row)[col];
        if (cell.size() == wanted.size() && asciiUpper(cell) == wanted)
            return row;
    }
    return -1;
}

int findRowExact(const TVarGrid* grid, int col, const QString& text)
{
    for (int row = 1; row < grid->RowCount(); ++row)
        if (grid->rowCells(row)[col] == text)
            return row;
    return -1;
}

int findRowByNumber(const TVarGrid* grid, int col, qint32 value)
{
    for (int row = 1; row < grid->RowCount(); ++row)
        if (cellInteger(grid->rowCells(row)[col]) == value)
            return row;
    return -1;
}

qint32 highestInteger(const TVarGrid* grid, int col, qint32 floor, const std::function<bool(int)>& counts)
{
    qint32 highest = floor;
    for (int row = 1; row < grid->RowCount(); ++row) {
        if (counts && !counts(row))
            continue;
        if (const auto value = cellInteger(grid->rowCells(row)[col]))
            highest = std::max(highest, *value);
    }
    return highest;
}

RowIndex RowIndex::ignoringCase(const TVarGrid* grid, int col)
{
    RowIndex index;
    index.mIgnoreCase = true;
    for (int row = grid->RowCount() - 1; row >= 1; --row)
        index.mByText.insert(asciiUpper(grid->rowCells(row)[col]), row);
    return index;
}

RowIndex RowIndex::exact(const TVarGrid* grid, int col)
{
    RowIndex index;
    for (int row = grid->RowCount() - 1; row >= 1; --row)
        index.mByText.insert(grid->rowCells(row)[col], row);
    return index;
}

RowIndex RowIndex::byNumber(const TVarGrid* grid, int col)
{
    RowIndex index;
    for (int row = grid->RowCount() - 1; row >= 1; --row)
        if (const auto value = cellInteger(grid->rowCells(row)[col]))
            index.mByNumber.insert(*value, row);
    return index;
}

int RowIndex::row(const QString& text) const
{
    return mByText.value(mIgnoreCase ? asciiUpper(text) : text, -1);
}

int RowIndex::row(qint32 value) const
{
    return mByNumber.value(value, -1);
}

// ---- The entry row ----

int entryRow(const TVarGrid* grid)
{
    return grid->RowCount() - 1;
}

void commitEntryRow(TVarGrid* grid, int row, int zeroFrom, int zeroTo)
{
    for (int col = zeroFrom; col <= zeroTo; ++col)
        grid->setCells(col, row, QStringLiteral("0"));
    grid->setRowCount(grid->RowCount() + 1);
}

bool removeRowWithoutKey(TVarGrid* grid, int row, std::initializer_list<int> keyCols)
{
    if (row < 1 || row >= entryRow(grid))
        return false;
    for (int col : keyCols)
        if (!grid->Cells(col, row).isEmpty())
            return false;
    grid->deleteRow(row);
    return true;
}

// ---- Flag boxes ----

void showFlags(const QList<TVarCheckBox*>& boxes, const QString& cell)
{
    const auto flags = cellInteger(cell);
    if (!flags)
        return;
    for (TVarCheckBox* box : boxes)
        box->setValue(Variant(*flags));
}

void applyFlagBox(TVarGrid* grid, int col, int row, const TVarCheckBox* box)
{
    if (grid->Cells(col, row).isEmpty())
        grid->setCells(col, row, QStringLiteral("0"));
    const quint32 bit = 1u << (box->Shift & 31);
    quint32 flags = static_cast<quint32>(grid->Values(col, row).toInt()) & ~bit;
    if (box->isChecked())
        flags |= bit;
    grid->setValues(col, row, Variant(static_cast<qint32>(flags)));
}

// ---- Sort ----

CellOrder cellOrder(const QString& cell)
{
    if (cell.isEmpty())
        return {3, 0, {}};
    if (cell.startsWith(QLatin1Char('X')))
        return {0, 0, {}};
    if (const auto value = cellInteger(cell))
        return {1, *value, {}};
    return {2, 0, cell};
}

qint32 numberOrZero(const QString& cell)
{
    return cellInteger(cell).value_or(0);
}

// ---- Table filter ----

void hideRows(TVarGrid* grid, QStringList& hidden, const std::function<bool(const QStringList&)>& keep,
              const std::function<bool(const QStringList&)>& stop)
{
    int end = grid->RowCount();
    for (int row = 1; row < grid->RowCount(); ++row) {
        const QStringList& cells = grid->rowCells(row);
        if (!keep(cells) && stop(cells)) {
            end = row;
            break;
        }
    }
    const std::vector<QStringList> taken = grid->takeRows(
        [&](int row, const QStringList& cells) { return row >= 1 && row < end && !keep(cells); });
    for (const QStringList& cells : taken)
        hidden << cells.join(QLatin1Char('\n'));
}

void restoreRows(TVarGrid* grid, QStringList& hidden)
{
    const int cols = grid->ColCount();
    std::vector<QStringList> rows;
    rows.reserve(std::size_t(hidden.size()) + 1);
    for (const QString& text : std::as_const(hidden)) {
        QStringList cells = text.split(QLatin1Char('\n'));
        cells.resize(cols);
        rows.push_back(std::move(cells));
    }
    rows.push_back(QStringList(cols, QString()));
    const int first = grid->RowCount() > 1 ? grid->RowCount() - 1 : grid->RowCount();
    grid->replaceRowsFrom(first, std::move(rows));
    grid->setFixedRows(1);
    hidden.clear();
}

// ---- Open and Build ----

void showRows(TVarGrid* grid, std::vector<QStringList> rows)
{
    rows.push_back(QStringList(grid->ColCount(), QString()));
    grid->replaceRowsFrom(1, std::move(rows));
    grid->setFixedRows(1);
}

OpenResult openIntoGrid(dict::DictFile file, dict::RecordArray& array, TVarGrid* grid,
                        const std::function<QStringList(std::span<const uint8_t>)>& rowOf)
{
    OpenResult result;
    int stoppedBy = 0;
    result.status = dict::readDictionaryFile(file, array, result.count, &stoppedBy);
    if (result.status != 0)
        return result;
    std::vector<QStringList> rows;
    rows.reserve(result.count);
    const dict::RecordArray& read = array;
    for (std::size_t slot = 0; slot < result.count; ++slot)
        rows.push_back(rowOf(read.slot(slot)));
    showRows(grid, std::move(rows));
    if (stoppedBy != btr::StatusEndOfFile)
        result.problem = QString::fromStdString(
            dict::readStoppedText(dict::creationSpec(file).fileName, result.count, stoppedBy));
    return result;
}

BuildCells::BuildCells(const TVarGrid* grid, QString fileName) : mGrid(grid), mFileName(std::move(fileName))
{
}

void BuildCells::refuse(int col, int row, const QString& why) const
{
    throw EConvertError(QStringLiteral("%1 was not written: row %2, column %3: %4")
                            .arg(mFileName)
                            .arg(row)
                            .arg(mGrid->Cells(col, 0), why));
}

qint32 BuildCells::integer(int col, int row, qint32 lowest, qint32 highest) const
{
    const QString text = mGrid->Cells(col, row);
    qint32 value = 0;
    if (!parseInteger(text, &value))
        refuse(col, row, QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (value < lowest || value > highest)
        refuse(col, row, QStringLiteral("%1 is outside %2..%3").arg(value).arg(lowest).arg(highest));
    return value;
}

std::string BuildCells::text(int col, int row, int width) const
{
    QString text = mGrid->Cells(col, row);
    qsizetype used = text.size();
    while (used > 0 && (text[used - 1] == QLatin1Char(' ') || text[used - 1] == QChar(0)))
        --used;
    for (qsizetype i = 0; i < used; ++i)
        if (text[i].unicode() > 0xFF)
            refuse(col, row,
                   QStringLiteral("'%1' cannot be stored in the 8-bit text of %2").arg(text[i], mFileName));
    if (used > width)
        refuse(col, row,
               QStringLiteral("'%1' is longer than the %2 characters %3 keeps")
                   .arg(text.left(used))
                   .arg(width)
                   .arg(mFileName));
    text.truncate(std::min<qsizetype>(text.size(), width));
    return text.toLatin1().toStdString();
}

void BuildCells::requireFilled(int col, int row) const
{
    if (mGrid->Cells(col, row).isEmpty())
        refuse(col, row, QStringLiteral("the cell is empty (type a value, or remove the row)"));
}

void writeFromGrid(dict::DictFile file, dict::RecordArray& array, const std::vector<dict::RowSlot>& rows,
                   dict::BuildReport& report, dict::DictionarySetWriter& set, std::size_t leftOut)
{
    set.stage(file, array, rows, report, leftOut);
}

} // namespace grid
