// ExtFields page of TMain: FIELDEXT.DDF in ExtGrid (table and field names in place of ids), the
// File, Field, Field Type and File Filter lists.
//
// A row refers to its table and field by the ids kept with it (DictionaryIndex), so a filter
// on the Fields page never changes what this page reads or writes.
#include "DDFUnit.h"

#include "CreationSpecs.h"
#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "PageLayout.h"
#include "Records.h"
#include "Status.h"

#include <QHash>

#include <limits>
#include <span>
#include <tuple>
#include <utility>

namespace {

using namespace grid;

// Refills a list; the item that is the same name as `current` (letter case ignored) is
// selected, none when there is none.
void refill(QComboBox* box, const QStringList& items, const QString& current)
{
    box->clear();
    box->addItems(items);
    int selected = -1;
    if (!nameKey(current, LetterCase::Kept).isEmpty())
        for (int i = 0; i < items.size() && selected < 0; ++i)
            if (sameName(items[i], current, LetterCase::Ignored))
                selected = i;
    box->setCurrentIndex(selected);
}

} // namespace

// ---- ExtFields page ----

void TMain::ExtGridKeyUp(int)
{
    RefreshExtRow();
}

void TMain::ExtGridMouseUp()
{
    nameStep("Edit Extended Type of Field" + quotedName(ExtGrid, grid::kExtField));
    RefreshExtRow();
}

void TMain::ChooseFilesChange()
{
    nameStep("Choose Table of Extended Type" + quotedName(ExtGrid, grid::kExtField));
    if (ChooseFiles->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtFile, ExtGrid->Row(), ChooseFiles->currentText());
    RefreshExtRow();
}

// Only a field of the list is taken (typing that matches no item changes nothing), with its
// id, so that of two fields of one name the chosen one is written.
void TMain::ChooseExtFieldChange()
{
    nameStep("Choose Field of Extended Type" + quotedName(ExtGrid, grid::kExtField));
    const int chosen = ChooseExtField->currentIndex();
    if (chosen < 0 || ChooseExtField->currentText() != ChooseExtField->itemText(chosen) ||
        std::size_t(chosen) >= mChooseExtFieldIds.size())
        return;
    const int row = ExtGrid->Row();
    ExtGrid->setCells(kExtField, row, ChooseExtField->itemText(chosen));
    if (row < entryRow(ExtGrid) && ExtGrid->rowIds(row).owner != RowIds::kNone)
        ExtGrid->setRowIds(row, {ExtGrid->rowIds(row).owner, mChooseExtFieldIds[std::size_t(chosen)]});
}

void TMain::ExtTypeChange()
{
    nameStep("Change Extended Type of Field" + quotedName(ExtGrid, grid::kExtField));
    if (ExtType->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtDataType, ExtGrid->Row(),
                      QString::number(dict::extendedPositionToCode(ExtType->currentIndex())));
}

// When the text is the name of a table (letter case kept), only that table's rows stay in the
// grid; the others wait in HiddenExtRows until the next change of the filter or the next
// Build. A text that names no table hides nothing.
void TMain::ExtFileFilterChange()
{
    notAStep();
    ExtGrid->setUpdatesEnabled(false);
    RestoreExtRows();
    SortExtGrid();
    const QString filter = ExtFileFilter->currentText();
    const bool named = !nameKey(filter, LetterCase::Kept).isEmpty();
    const bool found = named && findRowExact(FileGrid, kFileName, filter) >= 1;
    layout::showFilterCaption(LExtFileFilter, QStringLiteral("File Filter"), named && !found);
    if (found) {
        mExtPage->hide([&](const QStringList& cells) { return sameName(cells[kExtFile], filter, LetterCase::Kept); },
                       [](const QStringList& cells) { return cells[kExtFile].isEmpty(); });
        mExtPage->filter = filter;
    }
    ExtGrid->setUpdatesEnabled(true);
    ExtGrid->setFixedRows(1);
    // The Field Type box follows the row the filter leaves current.
    const auto code = cellInteger(ExtGrid->Cells(kExtDataType, ExtGrid->Row()));
    ExtType->setCurrentIndex(code ? dict::codeToExtendedPosition(*code) : -1);
}

void TMain::RestoreExtRows()
{
    notAStep();
    mExtPage->restore();
}

void TMain::DeleteExtClick()
{
    nameStep("Delete Extended Type of Field" + quotedName(ExtGrid, grid::kExtField));
    const int row = ExtGrid->Row();
    ExtGrid->setCells(kExtFile, row, QString());
    ExtGrid->setCells(kExtField, row, QString());
    RefreshExtRow();
}

// The title row first, then rows whose table name begins with "X", then the others, each by
// their table's Xf$Id (0 for a name the Files grid lacks), rows without a table last. Rows of
// one table keep their order, so a refresh never shuffles them.
void TMain::SortExtGrid()
{
    const RowIndex files = RowIndex::ignoringCase(FileGrid, kFileName);
    const TVarGrid* fileGrid = FileGrid;
    int position = 0; // sortRowsByKey computes the keys once each, from row 0 down
    ExtGrid->sortRowsByKey([&](const QStringList& cells) {
        const int row = position++;
        const QString& name = cells[kExtFile];
        const int group = row == 0 ? 0 : name.isEmpty() ? 3 : name.startsWith(QLatin1Char('X')) ? 1 : 2;
        qint32 id = 0;
        if (group == 1 || group == 2)
            if (const int fileRow = files.row(name); fileRow >= 0)
                id = numberOrZero(fileGrid->Cells(kFileId, fileRow));
        return std::tuple(group, id, row);
    });
}

// The Files and Fields pages are brought up to date first. Then the entry rule (a table name of
// the Files grid commits the entry row, padded, with data type 0; a row whose table and field
// are both emptied goes), and the lists follow the current row.
void TMain::RefreshExtRow()
{
    FileGrid->setRow(1);
    RefreshFileRow();
    FieldGrid->setRow(1);
    RefreshFieldRow();
    TVarGrid* grid = ExtGrid;
    grid->setFixedRows(1);

    const int r = grid->Row();
    if (r == entryRow(grid) && !grid->Cells(kExtFile, r).isEmpty()) {
        const QString name = padName(grid->Cells(kExtFile, r));
        if (findRowIgnoringCase(FileGrid, kFileName, name) >= 0) {
            grid->setCells(kExtFile, r, name);
            commitEntryRow(grid, r, kExtDataType, kExtCols - 1);
            SortExtGrid();
        }
    } else if (removeRowWithoutKey(grid, r, {kExtFile, kExtField})) {
        SortExtGrid();
    }

    const int row = grid->Row();
    const QString file = grid->Cells(kExtFile, row);
    if (!file.isEmpty())
        followReferenceRow(*mExtPage, row, ChooseExtField, mChooseExtFieldIds);

    const QString code = grid->Cells(kExtDataType, row);
    if (!code.isEmpty())
        ExtType->setCurrentIndex(dict::codeToExtendedPosition(cellInteger(code).value_or(-1)));

    QStringList files;
    for (int i = 1; i < FileGrid->RowCount(); ++i) {
        const QString& name = FileGrid->rowCells(i)[kFileName];
        if (!name.isEmpty() && name != QLatin1String(" "))
            files << name;
    }
    refill(ChooseFiles, files, file);
    // The filter's list shows the names without the blanks that pad them; its box the filter
    // in force, empty when none.
    QStringList names;
    for (const QString& name : std::as_const(files))
        names << nameKey(name, LetterCase::Kept);
    refill(ExtFileFilter, names, mExtPage->filter);
    grid->setFixedRows(1);
}

// Open: one row per FIELDEXT.DDF record, its ids kept with it and shown as the names the
// Files and Fields pages give them (an empty cell for an id they lack). Needs the Fields page
// loaded; without a readable FIELDEXT.DDF the grid stays as it was, but no longer stands for
// a set started by New DDFs: a Build then makes no FIELDEXT.DDF for no rows where there is none.
void TMain::OpenFieldExtDDFClick()
{
    nameStep(QStringLiteral("Open FIELDEXT.DDF"));
    if (FieldGrid->Tag == 0)
        return;
    const DictionaryIndex index = dictionaryIndex();
    const OpenResult opened = mExtPage->open([&](std::span<const uint8_t> bytes, RowIds& ids) {
        const dict::FieldExtRecord record = dict::FieldExtRecord::decode(bytes);
        ids = {record.file, record.id};
        return QStringList{index.tableName(record.file), index.fieldName(record.id), QString::number(record.dataType)};
    });
    if (opened.status != btr::StatusSuccess) {
        mExtPage->layout = dict::FileLayout::Own;
        RefreshExtRow();
        return;
    }
    mExtPage->markLoaded();
    // Read from a FIELDEXT.DDF: a Build into another folder writes it too, rows or none.
    mExtPage->layout = dict::FileLayout::OwnMade;
    RefreshExtRow();
    BuildFieldExtDDF->setEnabled(true);
    if (!opened.problem.isEmpty())
        showMessage(opened.problem);
}

// Build: every row, the rows the File Filter set aside included, becomes a record of the ids
// its table and field resolve to (kept with the row while its names show them, else found by
// name within its table). A row that cannot be written stops the Build before FIELDEXT.DDF is
// replaced. Only a page that holds a dictionary (Open, or New DDFs) is written.
void TMain::BuildFieldExtDDFClick()
{
    notAStep();
    RefreshExtRow();
    const DictionaryIndex index = dictionaryIndex();
    buildPage<dict::FieldExtRecord>(
        *mExtPage, 0,
        [&](const BuildCells& cells, int row, dict::BuildReport& report) {
            const auto [file, field] = referenceIds(index, ExtGrid, cells, row, report);
            return dict::FieldExtRecord{file, field, cells.int16(kExtDataType, row)};
        },
        [this] { OpenFieldExtDDF->setEnabled(true); });
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

void TMain::buildExtFieldsPage()
{
    QWidget* p = TabFieldExts;
    MAKE(ExtGrid, place(new TVarGrid(3, p), 0, 8, 265, 353));
    ExtGrid->setColWidths({85, 82, 69});
    MAKE(LChooseFiles, placeLabel(new QLabel(QStringLiteral("File"), p), 272, 16));
    MAKE(ChooseFiles, place(comboBox(p, false), 272, 32, 145, 21));
    MAKE(LChooseExtField, placeLabel(new QLabel(QStringLiteral("Field"), p), 272, 56));
    MAKE(ChooseExtField, place(comboBox(p, true), 272, 72, 145, 21));
    MAKE(LDataType, placeLabel(new QLabel(QStringLiteral("Field Type"), p), 272, 96));
    MAKE(ExtType, place(comboBox(p, false), 272, 112, 145, 21));
    ExtType->addItems(names(dict::extendedTypeNames()));
    ExtType->setCurrentIndex(-1);
    MAKE(LExtFileFilter, placeLabel(new QLabel(QStringLiteral("File Filter"), p), 272, 168));
    MAKE(ExtFileFilter, place(comboBox(p, true), 272, 184, 145, 21));
    // A filter is set only to a name the user typed or chose in full: no completion.
    ExtFileFilter->setCompleter(nullptr);
    MAKE(DeleteExt, place(new QPushButton(QStringLiteral("Delete Field"), p), 344, 224, 75, 25));
    MAKE(BuildFieldExtDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 304, 73, 25));
    MAKE(OpenFieldExtDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 73, 25));
    OpenFieldExtDDF->setEnabled(false);
}

void TMain::wireExtFieldsPage(HandlerWiring& wire)
{
    wire.keyUp(ExtGrid, &TMain::ExtGridKeyUp);
    wire.mouseUp(ExtGrid, &TMain::ExtGridMouseUp);
    wire.change(ChooseFiles, &TMain::ChooseFilesChange);
    wire.change(ChooseExtField, &TMain::ChooseExtFieldChange);
    wire.change(ExtType, &TMain::ExtTypeChange);
    wire.change(ExtFileFilter, &TMain::ExtFileFilterChange);
    wire.click(DeleteExt, &TMain::DeleteExtClick);
    wire.click(BuildFieldExtDDF, &TMain::BuildFieldExtDDFClick);
    wire.click(OpenFieldExtDDF, &TMain::OpenFieldExtDDFClick);
}
