// The ExtFields page: FIELDEXT.DDF in ExtGrid (table and field names in place of ids), the File,
// Field, Field Type and File Filter lists.
//
// A row refers to its table and field by the ids kept with it (DictionaryIndex), so a filter
// on the Fields page never changes what this page reads or writes.
#include "ExtFieldsPage.h"

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

void ExtFieldsPage::ExtGridKeyUp(int)
{
    RefreshExtRow();
}

void ExtFieldsPage::ExtGridMouseUp()
{
    w.nameStep("Edit Extended Type of Field" + rowName());
    RefreshExtRow();
}

void ExtFieldsPage::ChooseFilesChange()
{
    w.nameStep("Choose Table of Extended Type" + rowName());
    if (ChooseFiles->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtFile, ExtGrid->Row(), ChooseFiles->currentText());
    RefreshExtRow();
}

// Only a field of the list is taken (typing that matches no item changes nothing), with its
// id, so that of two fields of one name the chosen one is written.
void ExtFieldsPage::ChooseExtFieldChange()
{
    w.nameStep("Choose Field of Extended Type" + rowName());
    const int chosen = ChooseExtField->currentIndex();
    if (chosen < 0 || ChooseExtField->currentText() != ChooseExtField->itemText(chosen) ||
        std::size_t(chosen) >= mChooseExtFieldIds.size())
        return;
    const int row = ExtGrid->Row();
    ExtGrid->setCells(kExtField, row, ChooseExtField->itemText(chosen));
    if (row < entryRow(ExtGrid) && ExtGrid->rowIds(row).owner != RowIds::kNone)
        ExtGrid->setRowIds(row, {ExtGrid->rowIds(row).owner, mChooseExtFieldIds[std::size_t(chosen)]});
}

void ExtFieldsPage::ExtTypeChange()
{
    w.nameStep("Change Extended Type of Field" + rowName());
    if (ExtType->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtDataType, ExtGrid->Row(),
                      QString::number(dict::extendedPositionToCode(ExtType->currentIndex())));
}

// When the text is the name of a table (letter case kept), only that table's rows stay in the
// grid; the others wait in HiddenExtRows until the next change of the filter or the next
// Build. A text that names no table hides nothing.
void ExtFieldsPage::ExtFileFilterChange()
{
    w.notAStep();
    ExtGrid->setUpdatesEnabled(false);
    RestoreExtRows();
    SortExtGrid();
    const QString filter = ExtFileFilter->currentText();
    const bool named = !nameKey(filter, LetterCase::Kept).isEmpty();
    const bool found = named && w.hasTable(filter, LetterCase::Kept);
    layout::showFilterCaption(LExtFileFilter, QStringLiteral("File Filter"), named && !found);
    if (found) {
        mPage->hide(
            [&](const QStringList& cells) { return sameName(cells[kExtFile], filter, LetterCase::Kept); },
            [](const QStringList& cells) { return cells[kExtFile].isEmpty(); });
        mPage->filter = filter;
    }
    ExtGrid->setUpdatesEnabled(true);
    ExtGrid->setFixedRows(1);
    // The Field Type box follows the row the filter leaves current.
    const auto code = cellInteger(ExtGrid->Cells(kExtDataType, ExtGrid->Row()));
    ExtType->setCurrentIndex(code ? dict::codeToExtendedPosition(*code) : -1);
}

void ExtFieldsPage::RestoreExtRows()
{
    w.notAStep();
    mPage->restore();
}

void ExtFieldsPage::DeleteExtClick()
{
    w.nameStep("Delete Extended Type of Field" + rowName());
    const int row = ExtGrid->Row();
    ExtGrid->setCells(kExtFile, row, QString());
    ExtGrid->setCells(kExtField, row, QString());
    RefreshExtRow();
}

// The title row first, then rows whose table name begins with "X", then the others, each by
// their table's Xf$Id (0 for a name the Files grid lacks), rows without a table last. Rows of
// one table keep their order, so a refresh never shuffles them.
void ExtFieldsPage::SortExtGrid()
{
    const TMain::TableIds tableId = w.tableIds();
    int position = 0; // sortRowsByKey computes the keys once each, from row 0 down
    ExtGrid->sortRowsByKey([&](const QStringList& cells) {
        const int row = position++;
        const QString& name = cells[kExtFile];
        const int group = row == 0 ? 0 : name.isEmpty() ? 3 : name.startsWith(QLatin1Char('X')) ? 1 : 2;
        qint32 id = 0;
        if (group == 1 || group == 2)
            id = tableId(name);
        return std::tuple(group, id, row);
    });
}

// The Files and Fields pages are brought up to date first. Then the entry rule (a table name of
// the Files grid commits the entry row, padded, with data type 0; a row whose table and field
// are both emptied goes), and the lists follow the current row.
void ExtFieldsPage::RefreshExtRow()
{
    w.refreshTablesAndFields();
    TVarGrid* grid = ExtGrid;
    grid->setFixedRows(1);

    const int r = grid->Row();
    if (r == entryRow(grid) && !grid->Cells(kExtFile, r).isEmpty()) {
        const QString name = padName(grid->Cells(kExtFile, r));
        if (w.hasTable(name, LetterCase::Ignored)) {
            grid->setCells(kExtFile, r, name);
            commitEntryRow(grid, r, kExtDataType, kExtCols - 1);
            SortExtGrid();
        }
    } else if (removeRowWithoutKey(grid, r, {kExtFile, kExtField})) {
        SortExtGrid();
    }

    const int row = grid->Row();
    const QString file = grid->Cells(kExtFile, row);
    // A row without a table offers no fields.
    if (!file.isEmpty()) {
        w.followReferenceRow(*mPage, row, ChooseExtField, mChooseExtFieldIds);
    } else {
        ChooseExtField->clear();
        mChooseExtFieldIds.clear();
    }

    const QString code = grid->Cells(kExtDataType, row);
    if (!code.isEmpty())
        ExtType->setCurrentIndex(dict::codeToExtendedPosition(cellInteger(code).value_or(-1)));

    const QStringList files = w.tableNames();
    refill(ChooseFiles, files, file);
    // The filter's list shows the names without the blanks that pad them; its box the filter
    // in force, empty when none.
    QStringList names;
    for (const QString& name : std::as_const(files))
        names << nameKey(name, LetterCase::Kept);
    refill(ExtFileFilter, names, mPage->filter);
    grid->setFixedRows(1);
}

// Open: one row per FIELDEXT.DDF record, its ids kept with it and shown as the names the
// Files and Fields pages give them (an empty cell for an id they lack). Needs the Fields page
// loaded; without a readable FIELDEXT.DDF the grid stays as it was, but no longer stands for
// a set started by New DDFs: a Build then makes no FIELDEXT.DDF for no rows where there is none.
void ExtFieldsPage::OpenFieldExtDDFClick()
{
    w.nameStep(QStringLiteral("Open FIELDEXT.DDF"));
    if (!w.fieldsLoaded())
        return;
    const DictionaryIndex index = w.dictionaryIndex();
    const OpenResult opened = mPage->open([&](std::span<const uint8_t> bytes, RowIds& ids) {
        const dict::FieldExtRecord record = dict::FieldExtRecord::decode(bytes);
        ids = {record.file, record.id};
        return QStringList{index.tableName(record.file), index.fieldName(record.id),
                           QString::number(record.dataType)};
    });
    if (opened.status != btr::StatusSuccess) {
        mPage->layout = dict::FileLayout::Own;
        RefreshExtRow();
        return;
    }
    mPage->markLoaded();
    // Read from a FIELDEXT.DDF: a Build into another folder writes it too, rows or none.
    mPage->layout = dict::FileLayout::OwnMade;
    RefreshExtRow();
    BuildFieldExtDDF->setEnabled(true);
    if (!opened.problem.isEmpty())
        TMain::showMessage(opened.problem);
}

// Build: every row, the rows the File Filter set aside included, becomes a record of the ids
// its table and field resolve to (kept with the row while its names show them, else found by
// name within its table). A row that cannot be written stops the Build before FIELDEXT.DDF is
// replaced. Only a page that holds a dictionary (Open, or New DDFs) is written.
void ExtFieldsPage::BuildFieldExtDDFClick()
{
    w.notAStep();
    RefreshExtRow();
    const DictionaryIndex index = w.dictionaryIndex();
    w.buildPage<dict::FieldExtRecord>(
        *mPage, 0,
        [&](const BuildCells& cells, int row, dict::BuildReport& report) {
            const auto [file, field] = referenceIds(index, ExtGrid, cells, row, report);
            return dict::FieldExtRecord{file, field, cells.int16(kExtDataType, row)};
        },
        [this] { OpenFieldExtDDF->setEnabled(true); });
}

// ---- For the other pages ----

QHash<QString, int> ExtFieldsPage::extendedTypesOf(const QString& tableName) const
{
    QHash<QString, int> extended;
    mPage->forEachRow([&](const QStringList& cells, RowIds) {
        if (!equalIgnoringCase(padName(cells[kExtFile]), padName(tableName)))
            return;
        const QString key = asciiUpper(padName(cells[kExtField]));
        if (const auto code = cellInteger(cells[kExtDataType]); code && !extended.contains(key))
            extended.insert(key, *code);
    });
    return extended;
}

void ExtFieldsPage::addRow(const QString& table, const QString& field, int code, std::optional<RowIds> ids)
{
    const int row = rowAboveEntryRow(ExtGrid);
    ExtGrid->setCells(kExtFile, row, table);
    ExtGrid->setCells(kExtField, row, field);
    ExtGrid->setCells(kExtDataType, row, QString::number(code));
    if (ids)
        ExtGrid->setRowIds(row, *ids);
}

void ExtFieldsPage::dropTableRows(const QString& tableName)
{
    const QString padded = padName(tableName);
    ExtGrid->takeRows(
        [&](int, const QStringList& cells) { return equalIgnoringCase(padName(cells[kExtFile]), padded); });
}

void ExtFieldsPage::addRows(std::vector<QStringList> rows)
{
    if (rows.empty())
        return;
    const int entry = entryRow(ExtGrid);
    rows.emplace_back();
    ExtGrid->replaceRowsFrom(entry, std::move(rows));
}

void ExtFieldsPage::onRowsChanged(const std::function<void()>& changed)
{
    layout::onRowsChanged(ExtGrid, this, changed);
}

// ---- DictionaryPage ----

void ExtFieldsPage::openWithoutFile()
{
    mPage->show({});
    mPage->layout = dict::FileLayout::Own; // no FIELDEXT.DDF made for no rows
    mPage->markLoaded();
    BuildFieldExtDDF->setEnabled(true);
    RefreshExtRow();
}

// The new set has no extended types: the page starts empty and holds it.
void ExtFieldsPage::startNewSet()
{
    if (w.fieldsLoaded()) {
        mPage->show({});
        mPage->layout = dict::FileLayout::Standard;
        mPage->markLoaded();
        BuildFieldExtDDF->setEnabled(true);
    }
    RefreshExtRow();
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::names;
using layout::place;
using layout::placeLabel;

ExtFieldsPage::ExtFieldsPage(TMain& window)
    : DictionaryPage(window, "TabFieldExts", "ExtFields", "Extended Type of Field", {kExtFile, kExtField},
                     kExtField)
{
    QWidget* p = this;
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
    mPage = std::make_unique<grid::Page>(dict::DictFile::FieldExt, ExtGrid, mExtTableArray, HiddenExtRows);
}

void ExtFieldsPage::wire()
{
    Wiring<ExtFieldsPage> wire(&w, this);
    wire.typing(ExtGrid, &ExtFieldsPage::ExtGridKeyUp);
    wire.mouseUp(ExtGrid, &ExtFieldsPage::ExtGridMouseUp);
    wire.change(ChooseFiles, &ExtFieldsPage::ChooseFilesChange);
    wire.change(ChooseExtField, &ExtFieldsPage::ChooseExtFieldChange);
    wire.change(ExtType, &ExtFieldsPage::ExtTypeChange);
    wire.change(ExtFileFilter, &ExtFieldsPage::ExtFileFilterChange);
    wire.click(DeleteExt, &ExtFieldsPage::DeleteExtClick);
    wire.click(BuildFieldExtDDF, &ExtFieldsPage::BuildFieldExtDDFClick);
    wire.click(OpenFieldExtDDF, &ExtFieldsPage::OpenFieldExtDDFClick);
}
