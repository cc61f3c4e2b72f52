// Fields page of TMain: FIELD.DDF in FieldGrid, the Table Filter, the Field Type list and the
// highest field id.
#include "DDFUnit.h"

#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "FieldInference.h"
#include "FieldValue.h"
#include "PageLayout.h"
#include "Records.h"
#include "SelfDescription.h"
#include "Status.h"

#include <QLineEdit>
#include <QScopeGuard>

#include <span>

namespace {

using namespace grid;

QStringList fieldRow(std::span<const uint8_t> bytes)
{
    const dict::FieldRecord record = dict::FieldRecord::decode(bytes);
    return {QString::number(record.id),       QString::number(record.file),   storedText(record.name),
            QString::number(record.dataType), QString::number(record.offset), QString::number(record.size),
            QString::number(record.dec),      QString::number(record.flag)};
}

// The names the Table Filter offers: every table whose id is neither empty nor -1, in grid order.
// A name is compared without its trailing blanks wherever the filter is used.
QStringList filterTableNames(const TVarGrid* files)
{
    QStringList names;
    names.reserve(files->RowCount());
    for (int row = 1; row < files->RowCount(); ++row) {
        const QStringList& cells = files->rowCells(row);
        if (!cells[kFileId].isEmpty() && cellInteger(cells[kFileId]) != -1)
            names << nameKey(cells[kFileName], LetterCase::Kept); // shown without the blanks that pad it
    }
    return names;
}

} // namespace

// ---- Fields page ----

void TMain::FieldGridKeyUp(int)
{
    RefreshFieldRow();
}

void TMain::FieldGridMouseUp()
{
    nameStep("Edit Field" + quotedName(FieldGrid, grid::kFieldName));
    RefreshFieldRow();
}

// The entry rule (an id above the highest field id commits the entry row, an emptied id removes
// its row), then Field Type, the Table Filter's list and "Add Field" follow the current row.
void TMain::RefreshFieldRow()
{
    FileGrid->setRow(1);
    RefreshFileRow();

    TVarGrid* grid = FieldGrid;
    const int r = grid->Row();
    const int last = entryRow(grid);
    if (r != last && grid->Col() == kFieldId)
        updateHighestFieldId();
    if (r == last) {
        if (HighestFieldId == 0 && last >= 1)
            HighestFieldId = highestInteger(
                grid, kFieldId, 0, [grid](int row) { return !grid->rowCells(row)[kFieldFile].isEmpty(); });
        const auto id = cellInteger(grid, kFieldId, r);
        if (HighestFieldId != 0 && id && *id > HighestFieldId) {
            HighestFieldId = *id;
            commitEntryRow(grid, r, kFieldFile, kFieldFlag);
            if (const int table = filteredTableRow(); table >= 0)
                grid->setCells(kFieldFile, r, FileGrid->Cells(kFileId, table));
            SortFieldGrid();
        }
    } else if (removeRowWithoutKey(grid, r, {kFieldId})) {
        SortFieldGrid();
        updateHighestFieldId();
    }

    const int row = grid->Row();
    if (row < entryRow(grid)) {
        const QStringList& cells = grid->rowCells(row);
        const auto id = cellInteger(cells[kFieldId]);
        const auto table = cellInteger(cells[kFieldFile]);
        if (id && table)
            renameReferences(*table, *id, cells[kFieldName]);
    }
    const QString dataType = grid->Cells(kFieldDataType, row);
    if (dataType.isEmpty())
        return;
    const auto code = cellInteger(dataType);
    FieldType->setCurrentIndex(code ? dict::codeToStandardPosition(*code) : -1);

    const QStringList names = filterTableNames(FileGrid);
    const QString text = FileFilter->currentText();
    QStringList shown;
    shown.reserve(FileFilter->count());
    for (int i = 0; i < FileFilter->count(); ++i)
        shown << FileFilter->itemText(i);
    if (shown != names) {
        FileFilter->clear();
        FileFilter->addItems(names);
    }
    FileFilter->setCurrentIndex(-1);
    FileFilter->setEditText(text);
    FileFilter->lineEdit()->setCursorPosition(0); // a name's start, not its padding blanks
    AddOneField->setEnabled(!text.isEmpty());
    grid->setFixedRows(1);
}

// Title row first, then ids ascending as numbers, empty ids last.
void TMain::SortFieldGrid()
{
    sortGrid(FieldGrid, [](const QStringList& cells) { return cellOrder(cells[kFieldId]); });
}

// The hidden rows come back after the shown ones, above the entry row, and the highest field
// id becomes the largest id in the grid.
void TMain::RestoreFieldRows()
{
    notAStep();
    mFieldsPage->restore();
    updateHighestFieldId();
}

// The highest field id: the largest id the rows hold (hidden ones included, the entry row
// not), so that it never runs ahead of the id column after a typed id is corrected.
void TMain::updateHighestFieldId()
{
    qint32 highest = 0;
    mFieldsPage->forEachRow([&](const QStringList& cells, RowIds) {
        if (const auto id = cellInteger(cells[kFieldId]))
            highest = std::max(highest, *id);
    });
    HighestFieldId = highest;
}

// Every row comes back and the grid is sorted; when the text names a table, the rows of other
// tables are set aside until the next change (or Build).
void TMain::FileFilterChange()
{
    notAStep();
    TVarGrid* grid = FieldGrid;
    grid->setUpdatesEnabled(false);
    const auto shown = qScopeGuard([grid] { grid->setUpdatesEnabled(true); });
    RestoreFieldRows();
    // The entry row stays last: an id typed there that has not committed is no record.
    const QString typed = grid->rowText(entryRow(grid));
    grid->setRowText(entryRow(grid), QString());
    SortFieldGrid();
    grid->setRowText(entryRow(grid), typed);
    // The Field Type box follows the row the filter leaves current.
    const auto showType = qScopeGuard([this, grid] {
        const auto code = cellInteger(grid->Cells(kFieldDataType, grid->Row()));
        FieldType->setCurrentIndex(code ? dict::codeToStandardPosition(*code) : -1);
    });
    const int table = filteredTableRow();
    layout::showFilterCaption(LFileFilter, QStringLiteral("Table Filter"),
                              table < 0 && !nameKey(FileFilter->currentText(), LetterCase::Kept).isEmpty());
    if (table < 0)
        return;
    const auto tableId = cellInteger(FileGrid, kFileId, table);
    mFieldsPage->hide(
        [&](const QStringList& cells) { return tableId && cellInteger(cells[kFieldFile]) == tableId; },
        [](const QStringList& cells) { return cells[kFieldFile].isEmpty(); });
    mFieldsPage->filter = FileFilter->currentText();
    AddOneField->setEnabled(true);
    grid->setFixedRows(1);
}

int TMain::filteredTableRow() const
{
    const QString text = FileFilter->currentText();
    return nameKey(text, LetterCase::Kept).isEmpty() ? -1 : findRowIgnoringCase(FileGrid, kFileName, text);
}

// The chosen type's code goes into the current row.
void TMain::FieldTypeChange()
{
    nameStep("Change Type of Field" + quotedName(FieldGrid, grid::kFieldName));
    const int code = dict::standardPositionToCode(FieldType->currentIndex());
    if (code >= 0)
        FieldGrid->setCells(kFieldDataType, FieldGrid->Row(), QString::number(code));
}

// A new field of the filtered table in the entry row: the next id, 0 in every other cell.
void TMain::AddOneFieldClick()
{
    nameStep(QStringLiteral("Add Field"));
    const int table = filteredTableRow();
    if (table < 0)
        return;
    ++HighestFieldId;
    const int last = entryRow(FieldGrid);
    FieldGrid->setCells(kFieldId, last, QString::number(HighestFieldId));
    FieldGrid->setCells(kFieldFile, last, FileGrid->Cells(kFileId, table));
    commitEntryRow(FieldGrid, last, kFieldName, kFieldFlag);
    RefreshFieldRow();
}

void TMain::DeleteFieldClick()
{
    nameStep("Delete Field" + quotedName(FieldGrid, grid::kFieldName));
    FieldGrid->setCells(kFieldId, FieldGrid->Row(), QString());
    RefreshFieldRow();
}

// New: the seventeen self-description rows.
void TMain::ClearFieldDDFClick()
{
    nameStep(QStringLiteral("New FIELD.DDF"));
    if (FileGrid->Tag == 0)
        return;
    dict::rebuildFieldTable(mFieldTableArray);
    std::vector<QStringList> rows;
    const dict::RecordArray& table = mFieldTableArray;
    for (std::size_t slot = 0; slot < dict::fieldSelfDescription().size(); ++slot)
        rows.push_back(fieldRow(table.slot(slot)));
    mFieldsPage->show(std::move(rows));
    mFieldsPage->layout = dict::FileLayout::Standard;
    startFieldTable();
}

// Open: one row per FIELD.DDF record in id order, then the entry row. Without a readable
// FIELD.DDF nothing changes and nothing is said.
void TMain::OpenFieldDDFClick()
{
    nameStep(QStringLiteral("Open FIELD.DDF"));
    if (FileGrid->Tag == 0)
        return;
    const OpenResult opened =
        mFieldsPage->open([](std::span<const uint8_t> record, RowIds&) { return fieldRow(record); });
    if (opened.status != btr::StatusSuccess)
        return;
    startFieldTable();
    if (!opened.problem.isEmpty())
        showMessage(opened.problem);
}

// After New or Open (which dropped the rows set aside from the table that was there before):
// new ids continue above the largest id now in the grid, and the page is marked loaded.
void TMain::startFieldTable()
{
    updateHighestFieldId();
    RefreshFieldRow();
    mFieldsPage->markLoaded();
    BuildFieldDDF->setEnabled(true);
    mKeys->fieldsStarted();
}

// Build: the rows the Table Filter set aside come back and are written too. Every row is
// converted and checked before FIELD.DDF is replaced, so a cell that cannot be stored leaves
// the file as it was. What the record manager refuses is reported once, after the Build.
void TMain::BuildFieldDDFClick()
{
    notAStep();
    buildPage<dict::FieldRecord>(
        *mFieldsPage, 1, [this](const BuildCells& cells, int row, dict::BuildReport& report) {
            cells.requireFilled(kFieldId, row);
            dict::FieldRecord record;
            record.id = cells.int16(kFieldId, row);
            record.file = cells.int16(kFieldFile, row);
            record.name = cells.text(kFieldName, row, kNameWidth);
            record.dataType = cells.byte(kFieldDataType, row);
            // Offsets and sizes become key positions and lengths, which have no sign.
            record.offset = qint16(cells.integer(kFieldOffset, row, 0, 32767));
            record.size = qint16(cells.integer(kFieldSize, row, 0, 32767));
            record.dec = cells.byte(kFieldDec, row);
            record.flag = cells.int16(kFieldFlag, row);
            // What the format allows but no type takes is written as typed and said, for the rows
            // edited since the page was opened or built.
            if (record.size > 0 && dict::isKnownTypeCode(record.dataType) &&
                !dict::sizeSuitsType(record.dataType, record.size) &&
                !mFieldsPage->rowAsBuilt(cells.grid()->rowCells(row)))
                report.rowNoted(mFieldsPage->fileName.toStdString(), row,
                                "a field of type " + std::string(dict::typeNameOf(record.dataType)) +
                                    " cannot have size " + std::to_string(record.size) + "; the type takes " +
                                    std::string(dict::allowedSizesText(record.dataType)) +
                                    " bytes (written as typed; quillan-cli check reports it too)");
            return record;
        });
    updateHighestFieldId();
    showFilters();
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

void TMain::buildFieldsPage()
{
    QWidget* p = TabFields;
    MAKE(FieldGrid, place(new TVarGrid(8, p), 0, 0, 425, 241));
    FieldGrid->setColWidths({21, 21, 101, 50, 50, 50, 50, 50});
    MAKE(LNameRec, placeLabel(new QLabel(QStringLiteral("Record"), p), 0, 256));
    MAKE(NameRec, place(comboBox(p, false), 0, 272, 121, 21));
    MAKE(LFileFilter, placeLabel(new QLabel(QStringLiteral("Table Filter"), p), 128, 256));
    MAKE(FileFilter, place(comboBox(p, true), 128, 272, 97, 21));
    // A filter is set only to a name the user typed or chose in full: no completion.
    FileFilter->setCompleter(nullptr);
    MAKE(LFieldType, placeLabel(new QLabel(QStringLiteral("Field Type"), p), 128, 296));
    MAKE(FieldType, place(comboBox(p, false), 128, 312, 94, 21));
    FieldType->addItems(names(dict::standardTypeNames()));
    FieldType->setCurrentIndex(-1);
    MAKE(AddOneField, place(new QPushButton(QStringLiteral("Add Field"), p), 248, 272, 75, 25));
    MAKE(DeleteField, place(new QPushButton(QStringLiteral("Delete Field"), p), 248, 304, 75, 25));
    MAKE(AddField, place(new QPushButton(QStringLiteral("Add Record"), p), 248, 336, 75, 25));
    MAKE(BuildFieldDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearFieldDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenFieldDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    for (QPushButton* b : {AddOneField, AddField, BuildFieldDDF, ClearFieldDDF, OpenFieldDDF})
        b->setEnabled(false);
}

void TMain::wireFieldsPage(HandlerWiring& wire)
{
    wire.keyUp(FieldGrid, &TMain::FieldGridKeyUp);
    wire.mouseUp(FieldGrid, &TMain::FieldGridMouseUp);
    wire.change(NameRec, &TMain::NameRecChange);
    wire.change(FileFilter, &TMain::FileFilterChange);
    wire.change(FieldType, &TMain::FieldTypeChange);
    wire.click(AddOneField, &TMain::AddOneFieldClick);
    wire.click(DeleteField, &TMain::DeleteFieldClick);
    wire.click(AddField, &TMain::AddFieldClick);
    wire.click(BuildFieldDDF, &TMain::BuildFieldDDFClick);
    wire.click(ClearFieldDDF, &TMain::ClearFieldDDFClick);
    wire.click(OpenFieldDDF, &TMain::OpenFieldDDFClick);
}

// ---- For the other pages ----

std::vector<QStringList> TMain::fieldRowsOf(qint32 tableId) const
{
    std::vector<QStringList> rows;
    const auto visit = [&](const QStringList& cells) {
        if (cellInteger(cells[kFieldFile]) == tableId)
            rows.push_back(cells);
    };
    for (int row = 1; row < FieldGrid->RowCount(); ++row)
        visit(FieldGrid->rowCells(row));
    for (const QString& text : HiddenFieldRows) {
        QStringList cells = text.split(QLatin1Char('\n'));
        cells.resize(kFieldCols);
        visit(cells);
    }
    return rows;
}

void TMain::onFieldRowsChanged(const std::function<void()>& changed)
{
    layout::onRowsChanged(FieldGrid, this, changed);
}

void TMain::draftFields(qint32 tableId, const QString& tableName,
                        const std::vector<dict::InferredField>& draft, bool replace)
{
    // New ids above every id in the grid, set-aside rows and the rows about to go included.
    qint32 highest = highestInteger(FieldGrid, kFieldId, HighestFieldId);
    for (const QString& text : HiddenFieldRows)
        highest = std::max(highest, cellInteger(text.section(QLatin1Char('\n'), 0, 0)).value_or(highest));

    if (replace) {
        const auto ofTable = [&](const QStringList& cells) {
            return cellInteger(cells[kFieldFile]) == tableId;
        };
        FieldGrid->takeRows([&](int, const QStringList& cells) { return ofTable(cells); });
        HiddenFieldRows.erase(std::remove_if(HiddenFieldRows.begin(), HiddenFieldRows.end(),
                                             [&](const QString& text) {
                                                 return cellInteger(text.section(QLatin1Char('\n'), 1, 1)) ==
                                                        tableId;
                                             }),
                              HiddenFieldRows.end());
        mExtFields->dropTableRows(tableName);
    }
    std::vector<QStringList> rows;
    std::vector<QStringList> extRows;
    for (const dict::InferredField& f : draft) {
        QStringList cells;
        cells.resize(kFieldCols);
        cells[kFieldId] = QString::number(++highest);
        cells[kFieldFile] = QString::number(tableId);
        cells[kFieldName] = padName(QString::fromStdString(f.name));
        cells[kFieldDataType] = QString::number(f.typeCode);
        cells[kFieldOffset] = QString::number(f.offset);
        cells[kFieldSize] = QString::number(f.size);
        cells[kFieldDec] = QStringLiteral("0");
        cells[kFieldFlag] = QStringLiteral("0");
        if (dict::codeToExtendedPosition(f.typeCode) >= 0)
            extRows.push_back({tableName, cells[kFieldName], cells[kFieldDataType]});
        rows.push_back(std::move(cells));
    }
    HighestFieldId = highest;
    // The draft goes in before the entry row, which stays last and empty.
    const int entry = entryRow(FieldGrid);
    rows.emplace_back();
    FieldGrid->replaceRowsFrom(entry, std::move(rows));
    mExtFields->addRows(std::move(extRows));
}
