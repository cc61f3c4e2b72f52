#include "DictionaryGrid.h"

#include "SelfDescription.h"
#include "Text.h"

#include "Status.h"
#include "Variant.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>

namespace grid {

namespace {

dict::CodePage& pageInUse()
{
    static dict::CodePage page;
    return page;
}

} // namespace

void setCodePage(const dict::CodePage& page)
{
    pageInUse() = page;
}

const dict::CodePage& codePage()
{
    return pageInUse();
}

QString storedText(std::string_view bytes)
{
    return QString::fromStdString(pageInUse().decode(bytes));
}

void recodeColumns(TVarGrid* grid, const std::vector<int>& cols, QStringList& hidden,
                   const dict::CodePage& from, const dict::CodePage& to)
{
    if (from == to)
        return;
    const auto recode = [&](QStringList& cells) {
        for (int col : cols) {
            if (col >= cells.size())
                continue;
            std::string bytes;
            if (from.encode(cells[col].toStdString(), bytes))
                cells[col] = QString::fromStdString(to.decode(bytes));
        }
    };
    std::vector<QStringList> rows;
    std::vector<RowIds> ids; // the ids kept with each row go back with it
    rows.reserve(std::size_t(grid->RowCount()));
    ids.reserve(std::size_t(grid->RowCount()));
    for (int row = 1; row < grid->RowCount(); ++row) {
        rows.push_back(grid->rowCells(row));
        ids.push_back(grid->rowIds(row));
        recode(rows.back());
    }
    const int current = grid->Row();
    grid->replaceRowsFrom(1, std::move(rows), std::move(ids));
    if (current >= 1 && current < grid->RowCount())
        grid->setRow(current);
    for (QString& text : hidden) {
        QStringList cells = text.split(QLatin1Char('\n'));
        recode(cells);
        text = cells.join(QLatin1Char('\n'));
    }
}

QString dictionaryFileName(dict::DictFile file)
{
    return QString::fromLatin1(dict::creationSpec(file).fileName);
}

// ---- Texts and look-ups ----

QString withoutTrailingBlanks(QString name)
{
    qsizetype used = name.size();
    while (used > 0 && text::isTrailingBlank(name[used - 1].unicode()))
        --used;
    name.truncate(used);
    return name;
}

QString nameKey(QString name, LetterCase letterCase)
{
    name = withoutTrailingBlanks(std::move(name));
    return letterCase == LetterCase::Ignored ? asciiUpper(std::move(name)) : name;
}

bool sameName(const QString& a, const QString& b, LetterCase letterCase)
{
    return nameKey(a, letterCase) == nameKey(b, letterCase);
}

QString padName(const QString& text, int width)
{
    return text.size() < width ? text.leftJustified(width, QLatin1Char(' ')) : text;
}

QString asciiUpper(QString text)
{
    for (QChar& c : text)
        c = QChar(text::asciiUpper(c.unicode()));
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

namespace {

int findRowByName(const TVarGrid* grid, int col, const QString& text, LetterCase letterCase)
{
    const QString wanted = nameKey(text, letterCase);
    for (int row = 1; row < grid->RowCount(); ++row)
        if (nameKey(grid->rowCells(row)[col], letterCase) == wanted)
            return row;
    return -1;
}

} // namespace

int findRowIgnoringCase(const TVarGrid* grid, int col, const QString& text)
{
    return findRowByName(grid, col, text, LetterCase::Ignored);
}

int findRowExact(const TVarGrid* grid, int col, const QString& text)
{
    return findRowByName(grid, col, text, LetterCase::Kept);
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
        index.mByText.insert(nameKey(grid->rowCells(row)[col], LetterCase::Ignored), row);
    return index;
}

RowIndex RowIndex::exact(const TVarGrid* grid, int col)
{
    RowIndex index;
    for (int row = grid->RowCount() - 1; row >= 1; --row)
        index.mByText.insert(nameKey(grid->rowCells(row)[col], LetterCase::Kept), row);
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
    return mByText.value(nameKey(text, mIgnoreCase ? LetterCase::Ignored : LetterCase::Kept), -1);
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
    if (cell.isEmpty()) {
        // Nothing to write back: the boxes clear without their click handlers.
        for (TVarCheckBox* box : boxes) {
            box->FlagWord = 0;
            box->setChecked(false);
        }
        return;
    }
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

// The row a filter stops at: the first it does not keep whose `stop` holds (the grid's end when none).
// Where a filter's walk ends: at the first row it neither keeps nor walks past, and at the entry
// row at the latest (what is typed there is no record and stays where it is typed).
static int filterEnd(const TVarGrid* grid, const std::function<bool(const QStringList&)>& keep,
                     const std::function<bool(const QStringList&)>& stop)
{
    const int entry = entryRow(grid);
    for (int row = 1; row < entry; ++row) {
        const QStringList& cells = grid->rowCells(row);
        if (!keep(cells) && stop(cells))
            return row;
    }
    return entry;
}

// ---- Open and Build ----

void refuseDuplicateKeys(const Page& page, const std::vector<std::vector<uint8_t>>& records,
                         const std::vector<int>& rows, BadCells& bad)
{
    const std::vector<uint8_t> layout = dict::buildLayout(page.file, page.layout);
    const auto names = dict::fieldNames(page.file);
    for (const dict::DuplicateKeyValue& value : dict::duplicateKeyValues(layout, records)) {
        QStringList columns;
        int col = 0;
        for (const std::size_t offset : value.fieldOffsets) {
            col = int(dict::fieldAtOffset(page.file, offset));
            const QString title = QString::fromLatin1(names[std::size_t(col)].data(),
                                                      qsizetype(names[std::size_t(col)].size()));
            if (!columns.contains(title))
                columns << title;
        }
        const int first = rows[value.records.front()];
        for (std::size_t i = 1; i < value.records.size(); ++i) {
            const int row = rows[value.records[i]];
            bad.add(page.fileName, row, columns.last(),
                    QStringLiteral(
                        "the same %1 as row %2 ('%3'), and key %4 of the file takes no duplicate values")
                        .arg(columns.join(QStringLiteral(" and ")))
                        .arg(first)
                        .arg(nameKey(page.grid->Cells(col, row), LetterCase::Kept))
                        .arg(value.key));
        }
    }
}

void BadCells::add(const QString& fileName, int row, const QString& column, const QString& why)
{
    // A cell refused twice (empty, then no number) is named once.
    if (!mCells.empty() && mCells.back().fileName == fileName && mCells.back().row == row &&
        mCells.back().column == column)
        return;
    mCells.push_back({fileName, row, column, why});
}

QString BadCells::text() const
{
    if (mCells.size() == 1) {
        const Cell& c = mCells.front();
        return QStringLiteral("%1 was not written: row %2, column %3: %4")
            .arg(c.fileName)
            .arg(c.row)
            .arg(c.column, c.why);
    }
    QStringList lines{QStringLiteral("Nothing was written; %1 cells cannot be stored:").arg(mCells.size())};
    for (std::size_t i = 0; i < mCells.size() && i < std::size_t(kNamed); ++i) {
        const Cell& c = mCells[i];
        lines << QStringLiteral("%1, row %2, column %3: %4").arg(c.fileName).arg(c.row).arg(c.column, c.why);
    }
    if (mCells.size() > std::size_t(kNamed))
        lines << QStringLiteral("and %1 more").arg(mCells.size() - std::size_t(kNamed));
    return lines.join(QLatin1Char('\n'));
}

BuildCells::BuildCells(const TVarGrid* grid, QString fileName, BadCells* gather)
    : mGrid(grid), mFileName(std::move(fileName)), mGather(gather)
{
}

void BuildCells::refuse(int col, int row, const QString& why) const
{
    BadCells one;
    BadCells& bad = mGather ? *mGather : one;
    bad.add(mFileName, row, mGrid->Cells(col, 0), why);
    if (!mGather)
        throw EditorError(one.text());
}

qint32 BuildCells::integer(int col, int row, qint32 lowest, qint32 highest) const
{
    const QString text = mGrid->Cells(col, row);
    qint32 value = 0;
    if (!parseInteger(text, &value)) {
        refuse(col, row, QString::fromStdString(text::notAnIntegerMessage(text.toStdString())));
        return 0;
    }
    if (value < lowest || value > highest) {
        refuse(col, row, QStringLiteral("%1 is outside %2..%3").arg(value).arg(lowest).arg(highest));
        return 0;
    }
    return value;
}

std::string BuildCells::text(int col, int row, int width) const
{
    const QString text = mGrid->Cells(col, row);
    qsizetype used = text.size();
    while (used > 0 && (text[used - 1] == QLatin1Char(' ') || text[used - 1] == QChar(0)))
        --used;
    const dict::CodePage& page = codePage();
    std::string bytes;
    char32_t refused = 0;
    if (!page.encode(text.left(used).toStdString(), bytes, &refused)) {
        refuse(col, row,
               QStringLiteral("'%1' cannot be stored in the 8-bit text of %2 under code page %3 (U+%4)")
                   .arg(QString::fromUcs4(&refused, 1), mFileName, QString::fromStdString(page.id()),
                        QString::number(uint(refused), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
        return {};
    }
    if (bytes.size() > std::size_t(width)) {
        refuse(col, row,
               QStringLiteral("'%1' is longer than the %2 characters %3 keeps")
                   .arg(text.left(used))
                   .arg(width)
                   .arg(mFileName));
        return {};
    }
    // The trailing blanks and NULs as they are, up to the width.
    std::string tail;
    page.encode(text.mid(used).toStdString(), tail);
    bytes += tail;
    bytes.resize(std::min(bytes.size(), std::size_t(width)));
    return bytes;
}

void BuildCells::requireFilled(int col, int row) const
{
    if (mGrid->Cells(col, row).isEmpty())
        refuse(col, row, QStringLiteral("the cell is empty (type a value, or remove the row)"));
}

bool writeFromGrid(dict::DictFile file, dict::RecordArray& array, const std::vector<dict::RowSlot>& rows,
                   dict::BuildReport& report, dict::DictionarySetWriter& set, std::size_t leftOut,
                   dict::FileLayout layout)
{
    return set.stage(file, array, rows, report, leftOut, layout);
}

// ---- Pages ----

Page::Page(dict::DictFile file, TVarGrid* grid, dict::RecordArray& array, QStringList& hidden)
    : file(file), fileName(dictionaryFileName(file)), grid(grid), array(array), hidden(hidden)
{
}

void Page::dropHidden()
{
    hidden.clear();
    hiddenIds.clear();
    filter.clear();
}

void Page::show(std::vector<QStringList> rows, std::vector<RowIds> ids, bool keepEntryRow)
{
    const QStringList typed =
        keepEntryRow && grid->RowCount() > 1 ? grid->rowCells(entryRow(grid)) : QStringList(grid->ColCount(), QString());
    dropHidden();
    ids.resize(rows.size());
    rows.push_back(typed);
    ids.push_back(RowIds{});
    grid->replaceRowsFrom(1, std::move(rows), std::move(ids));
    grid->setFixedRows(1);
}

bool FileRead::complete() const
{
    return status == btr::StatusSuccess && stoppedBy == btr::StatusEndOfFile;
}

QString FileRead::problem(const QString& fileName) const
{
    if (status != btr::StatusSuccess)
        return QStringLiteral("%1 could not be opened: %2.")
            .arg(fileName, QString::fromStdString(dict::statusText(status)));
    if (stoppedBy != btr::StatusEndOfFile)
        return QString::fromStdString(dict::readStoppedText(fileName.toStdString(), count, stoppedBy));
    return {};
}

FileRead Page::read() const
{
    FileRead result;
    result.array.emplace(array);
    result.array->reset();
    result.status = dict::readDictionaryFile(file, *result.array, result.count, &result.stoppedBy);
    return result;
}

OpenResult Page::open(const RowOf& rowOf)
{
    FileRead fileRead = pending ? std::move(*pending) : this->read();
    pending.reset();
    OpenResult result;
    result.status = fileRead.status;
    result.count = fileRead.count;
    const int stoppedBy = fileRead.stoppedBy;
    if (result.status != 0)
        return result;
    array = std::move(*fileRead.array);
    std::vector<QStringList> rows;
    std::vector<RowIds> ids(result.count);
    rows.reserve(result.count);
    const dict::RecordArray& read = array;
    for (std::size_t slot = 0; slot < result.count; ++slot)
        rows.push_back(rowOf(read.slot(slot), ids[slot]));
    show(std::move(rows), std::move(ids), true);
    layout = dict::FileLayout::Own;
    if (stoppedBy != btr::StatusEndOfFile)
        result.problem = QString::fromStdString(dict::readStoppedText(fileName.toStdString(), result.count, stoppedBy));
    return result;
}

void Page::hide(const std::function<bool(const QStringList&)>& keep, const std::function<bool(const QStringList&)>& stop)
{
    hiddenIds.resize(std::size_t(hidden.size()));
    const int end = filterEnd(grid, keep, stop);
    std::vector<RowIds> takenIds;
    const std::vector<QStringList> taken = grid->takeRows(
        [&](int row, const QStringList& cells) { return row >= 1 && row < end && !keep(cells); }, &takenIds);
    for (const QStringList& cells : taken)
        hidden << cells.join(QLatin1Char('\n'));
    hiddenIds.insert(hiddenIds.end(), takenIds.begin(), takenIds.end());
}

Page::Fingerprint Page::fingerprint() const
{
    Fingerprint print;
    print.loaded = loaded();
    forEachRow([&](const QStringList& cells, RowIds) {
        ++print.rows;
        // Summed, so that the order of the rows (sorts, filters) does not count.
        print.sum += rowHash(cells);
    });
    return print;
}

quint64 Page::rowHash(const QStringList& cells)
{
    quint64 h = 1469598103934665603ull;
    for (const QString& cell : cells) {
        h = (h ^ quint64(qHash(cell, 0x9e3779b9u))) * 1099511628211ull;
        h = (h ^ 0x1f) * 1099511628211ull; // a cell boundary
    }
    return h;
}

void Page::keepAsBuilt()
{
    mBuilt = fingerprint();
    mBuiltRows.clear();
    forEachRow([&](const QStringList& cells, RowIds) { mBuiltRows.insert(rowHash(cells)); });
}

void Page::restore()
{
    filter.clear();
    if (hidden.isEmpty()) {
        hiddenIds.clear();
        return;
    }
    const int cols = grid->ColCount();
    hiddenIds.resize(std::size_t(hidden.size()));
    std::vector<QStringList> rows;
    rows.reserve(std::size_t(hidden.size()) + 1);
    for (const QString& text : std::as_const(hidden)) {
        QStringList cells = text.split(QLatin1Char('\n'));
        cells.resize(cols);
        rows.push_back(std::move(cells));
    }
    std::vector<RowIds> ids = std::move(hiddenIds);
    // Set aside no more before they are back: whoever the grid's change reaches sees each row once.
    dropHidden();
    const int first = grid->RowCount() > 1 ? entryRow(grid) : grid->RowCount();
    rows.push_back(grid->RowCount() > 1 ? grid->rowCells(first) : QStringList(cols, QString()));
    ids.push_back(grid->rowIds(first));
    grid->replaceRowsFrom(first, std::move(rows), std::move(ids));
    grid->setFixedRows(1);
}

void Page::forEachRow(const std::function<void(const QStringList&, RowIds)>& visit) const
{
    const int last = entryRow(grid);
    for (int row = 1; row < last; ++row)
        visit(grid->rowCells(row), grid->rowIds(row));
    const int cols = grid->ColCount();
    for (qsizetype i = 0; i < hidden.size(); ++i) {
        QStringList cells = hidden[i].split(QLatin1Char('\n'));
        cells.resize(cols);
        visit(cells, std::size_t(i) < hiddenIds.size() ? hiddenIds[std::size_t(i)] : RowIds{});
    }
}

int Page::recordCount() const
{
    return std::max(0, entryRow(grid) - 1) + int(hidden.size());
}

// ---- Column widths ----

namespace {

qsizetype shownLength(const QString& text)
{
    qsizetype used = text.size();
    while (used > 0 && (text[used - 1] == QLatin1Char(' ') || text[used - 1] == QChar(0)))
        --used;
    return used;
}

// What the view adds to a cell's text: the delegate's margins and the grid line.
int cellMargin(const TVarGrid* grid, int col, int row)
{
    const QModelIndex index = grid->model()->index(row - grid->FixedRows(), col);
    const int text = QFontMetrics(grid->font()).horizontalAdvance(grid->Cells(col, row));
    return grid->sizeHintForIndex(index).width() - text + (grid->showGrid() ? 1 : 0);
}

} // namespace

void fitColumns(TVarGrid* grid, const std::vector<int>& cols, const std::vector<int>& least)
{
    // The texts within two characters of the longest are measured (at most 64 per column): in a
    // proportional face they may be the widest.
    constexpr qsizetype kSlack = 2;
    constexpr std::size_t kMeasured = 64;
    const int first = grid->FixedRows();
    std::vector<qsizetype> longest(cols.size(), 0);
    for (int row = first; row < grid->RowCount(); ++row) {
        const QStringList& cells = grid->rowCells(row);
        for (std::size_t i = 0; i < cols.size(); ++i)
            longest[i] = std::max(longest[i], shownLength(cells[cols[i]]));
    }
    const QFontMetrics metrics(grid->font());
    for (std::size_t i = 0; i < cols.size(); ++i) {
        int width = i < least.size() ? least[i] : 0;
        // The column's title is read too.
        if (grid->FixedRows() > 0)
            width = std::max(width, grid->horizontalHeader()->sectionSizeHint(cols[i]));
        if (longest[i] > 0) {
            int widest = 0;
            int sample = -1;
            std::size_t measured = 0;
            for (int row = first; row < grid->RowCount() && measured < kMeasured; ++row) {
                const QString& text = grid->rowCells(row)[cols[i]];
                const qsizetype length = shownLength(text);
                if (length + kSlack < longest[i])
                    continue;
                ++measured;
                const int advance = metrics.horizontalAdvance(text.left(length));
                if (advance > widest) {
                    widest = advance;
                    sample = row;
                }
            }
            if (sample >= 0)
                width = std::max(width, widest + cellMargin(grid, cols[i], sample));
        }
        if (grid->columnWidth(cols[i]) != width)
            grid->setColumnWidth(cols[i], width);
    }
}

void fitColumnToCell(TVarGrid* grid, int col, int row)
{
    if (row < grid->FixedRows() || row >= grid->RowCount() || col < 0 || col >= grid->ColCount())
        return;
    const QString& text = grid->rowCells(row)[col];
    const qsizetype length = shownLength(text);
    if (length == 0)
        return;
    const int width =
        QFontMetrics(grid->font()).horizontalAdvance(text.left(length)) + cellMargin(grid, col, row);
    if (width > grid->columnWidth(col))
        grid->setColumnWidth(col, width);
}

// ---- Look-ups across pages ----

namespace {

std::optional<qint32> int16Cell(const QString& cell)
{
    const auto value = cellInteger(cell);
    if (!value || *value < -32768 || *value > 32767)
        return std::nullopt;
    return value;
}

} // namespace

DictionaryIndex::DictionaryIndex(const Page& files, const Page& fields, const std::vector<qint32>* tables,
                                 qint32 alsoField)
{
    files.forEachRow([&](const QStringList& cells, RowIds) {
        const auto id = int16Cell(cells[kFileId]);
        if (id && !mTableNames.contains(*id))
            mTableNames.insert(*id, cells[kFileName]);
        const QString key = nameKey(cells[kFileName], LetterCase::Ignored);
        if (!mTableIds.contains(key))
            mTableIds.insert(key, id);
    });
    if (tables && tables->empty() && alsoField == RowIds::kNone)
        return;
    fields.forEachRow([&](const QStringList& cells, RowIds) {
        const auto id = int16Cell(cells[kFieldId]);
        const auto table = int16Cell(cells[kFieldFile]);
        if (!id || !table)
            return;
        if (tables && *id != alsoField && std::find(tables->begin(), tables->end(), *table) == tables->end())
            return;
        if (!mFields.contains(*id))
            mFields.insert(*id, Field{*table, cells[kFieldName], cells});
        mFieldIds[qMakePair(*table, nameKey(cells[kFieldName], LetterCase::Ignored))].push_back(*id);
        mTableFields[*table].emplace_back(*id, cells[kFieldName]);
    });
}

void DictionaryIndex::fieldsOf(qint32 table, std::vector<qint32>& ids, QStringList& names) const
{
    ids.clear();
    names.clear();
    for (const auto& [id, name] : mTableFields.value(table)) {
        ids.push_back(id);
        names << name;
    }
}

std::optional<qint32> DictionaryIndex::tableId(const QString& name) const
{
    return mTableIds.value(nameKey(name, LetterCase::Ignored));
}

const QStringList* DictionaryIndex::fieldCells(qint32 id) const
{
    const auto it = mFields.constFind(id);
    return it == mFields.constEnd() ? nullptr : &it->cells;
}

DictionaryIndex::Reference DictionaryIndex::resolve(const QString& tableCell, const QString& fieldCell,
                                                    RowIds kept) const
{
    using Problem = Reference::Problem;
    Reference ref;
    const bool keptTable = kept.owner != RowIds::kNone &&
                           sameName(tableCell, tableName(kept.owner), LetterCase::Kept);
    if (keptTable) {
        ref.table = kept.owner;
    } else if (nameKey(tableCell, LetterCase::Kept).isEmpty()) {
        ref.problem = Problem::NoTable;
        return ref;
    } else {
        const auto found = mTableIds.constFind(nameKey(tableCell, LetterCase::Ignored));
        if (found == mTableIds.constEnd()) {
            ref.problem = Problem::UnknownTable;
            return ref;
        }
        if (!*found) {
            ref.problem = Problem::BadTableId;
            return ref;
        }
        ref.table = **found;
    }
    if (keptTable && kept.item != RowIds::kNone && sameName(fieldCell, fieldName(kept.item), LetterCase::Kept)) {
        ref.field = kept.item;
        return ref;
    }
    if (nameKey(fieldCell, LetterCase::Kept).isEmpty()) {
        ref.problem = Problem::NoField;
        return ref;
    }
    const auto ids = mFieldIds.constFind(qMakePair(ref.table, nameKey(fieldCell, LetterCase::Ignored)));
    if (ids == mFieldIds.constEnd()) {
        ref.problem = Problem::UnknownField;
        return ref;
    }
    if (std::find(ids->begin(), ids->end(), kept.item) != ids->end()) {
        ref.field = kept.item;
        return ref;
    }
    ref.field = ids->front();
    ref.ambiguous = ids->size() > 1;
    return ref;
}

QString DictionaryIndex::Reference::why(const QString& tableCell, const QString& fieldCell) const
{
    const QString table = nameKey(tableCell, LetterCase::Kept);
    const QString field = nameKey(fieldCell, LetterCase::Kept);
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::NoTable:
        return QStringLiteral("the row names no table (choose one, or remove the row)");
    case Problem::UnknownTable:
        return QStringLiteral("table '%1' is not in the Files grid").arg(table);
    case Problem::BadTableId:
        return QStringLiteral("table '%1' has no Xf$Id of 16 bits").arg(table);
    case Problem::NoField:
        return QStringLiteral("the row names no field of table '%1' (choose one, or remove the row)").arg(table);
    case Problem::UnknownField:
        return QStringLiteral("'%1' is not a field of table '%2'").arg(field, table);
    }
    return {};
}

std::pair<qint16, qint16> referenceIds(const DictionaryIndex& index, TVarGrid* grid, const BuildCells& cells,
                                       int row, dict::BuildReport& report)
{
    using Problem = DictionaryIndex::Reference::Problem;
    const QStringList& rowCells = grid->rowCells(row);
    const DictionaryIndex::Reference ref = index.resolve(rowCells[0], rowCells[1], grid->rowIds(row));
    if (ref.problem != Problem::None) {
        const bool tableProblem = ref.problem == Problem::NoTable || ref.problem == Problem::UnknownTable ||
                                  ref.problem == Problem::BadTableId;
        cells.refuse(tableProblem ? 0 : 1, row, ref.why(rowCells[0], rowCells[1]));
        return {0, 0};
    }
    if (ref.ambiguous)
        report.rowNoted(cells.fileName().toStdString(), row,
                        QStringLiteral("'%1' names several fields of table '%2'; the first (Xe$Id %3) was taken")
                            .arg(nameKey(rowCells[1], LetterCase::Kept), nameKey(rowCells[0], LetterCase::Kept))
                            .arg(ref.field)
                            .toStdString());
    grid->setRowIds(row, {ref.table, ref.field});
    return {qint16(ref.table), qint16(ref.field)};
}

// A new empty row just above the entry row, which keeps what is typed in it; returns the new
// row.
int rowAboveEntryRow(TVarGrid* grid)
{
    if (grid->RowCount() < 2)
        grid->setRowCount(2);
    const int entry = entryRow(grid);
    const QString typed = grid->rowText(entry);
    const RowIds typedIds = grid->rowIds(entry);
    grid->setRowCount(entry + 2);
    grid->setRowText(entry + 1, typed);
    grid->setRowIds(entry + 1, typedIds);
    grid->setRowText(entry, QString());
    grid->setRowIds(entry, RowIds{});
    return entry;
}

} // namespace grid
