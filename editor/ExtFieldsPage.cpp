// ExtFields page of TMain: FIELDEXT.DDF in ExtGrid (table and field names in place of ids), the
// File, Field, Field Type and File Filter lists.
//
// Names are turned into ids through the Files and Fields grids. A field is always looked for
// within its own table (field names repeat across tables), and among the Fields grid's rows
// together with those its Table Filter has set aside, so that a filter on the Fields page never
// changes what this page reads or writes.
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

// Calls `visit` with the cells of every field row: the Fields grid's rows from 1, then the rows
// its Table Filter has set aside. A look-up that keeps the first row it meets thus prefers a
// visible row.
template <class Visit> void forEachFieldRow(const TVarGrid* fields, const QStringList& hidden, Visit visit)
{
    for (int row = 1; row < fields->RowCount(); ++row)
        visit(fields->rowCells(row));
    for (const QString& text : hidden) {
        QStringList cells = text.split(QLatin1Char('\n'));
        cells.resize(kFieldCols);
        visit(std::as_const(cells));
    }
}

// A field name as the look-ups compare it: blank-padded to the stored width, letter case ignored.
QString nameKey(const QString& name)
{
    return asciiUpper(padName(name));
}

std::optional<qint16> int16Of(const QString& cell)
{
    const auto value = cellInteger(cell);
    if (!value || *value < std::numeric_limits<qint16>::min() || *value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(*value);
}

// A name as a message shows it: without the blanks that pad it.
std::string shown(QString name)
{
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name.toStdString();
}

// Refills a list; the item that equals `current` (letter case and padding blanks ignored) is
// selected, none when there is none.
void refill(QComboBox* box, const QStringList& items, const QString& current)
{
    box->clear();
    box->addItems(items);
    int selected = -1;
    if (!current.isEmpty())
        for (int i = 0; i < items.size() && selected < 0; ++i)
            if (nameKey(items[i]) == nameKey(current))
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
    RefreshExtRow();
}

void TMain::ChooseFilesChange()
{
    if (ChooseFiles->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtFile, ExtGrid->Row(), ChooseFiles->currentText());
    RefreshExtRow();
}

void TMain::ChooseExtFieldChange()
{
    if (ChooseExtField->currentText().isEmpty() || ChooseExtField->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtField, ExtGrid->Row(), ChooseExtField->currentText());
}

void TMain::ExtTypeChange()
{
    if (ExtType->currentIndex() < 0)
        return;
    ExtGrid->setCells(kExtDataType, ExtGrid->Row(),
                      QString::number(dict::extendedPositionToCode(ExtType->currentIndex())));
}

// Only the rows of the table the filter names stay in the grid; the others wait in
// HiddenExtRows until the next change of the filter or the next Build.
void TMain::ExtFileFilterChange()
{
    ExtGrid->setUpdatesEnabled(false);
    RestoreExtRows();
    SortExtGrid();
    const QString filter = ExtFileFilter->currentText();
    if (!filter.isEmpty())
        hideRows(
            ExtGrid, HiddenExtRows, [&](const QStringList& cells) { return cells[kExtFile] == filter; },
            [](const QStringList& cells) { return cells[kExtFile].isEmpty(); });
    ExtGrid->setUpdatesEnabled(true);
    ExtGrid->setFixedRows(1);
}

void TMain::RestoreExtRows()
{
    restoreRows(ExtGrid, HiddenExtRows);
}

void TMain::DeleteExtClick()
{
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
    if (!file.isEmpty()) {
        const int fileRow = findRowIgnoringCase(FileGrid, kFileName, padName(file));
        const std::optional<qint32> fileId =
            fileRow >= 0 ? cellInteger(FileGrid, kFileId, fileRow) : std::nullopt;
        QStringList fields;
        if (fileId)
            forEachFieldRow(FieldGrid, HiddenFieldRows, [&](const QStringList& cells) {
                if (cellInteger(cells[kFieldFile]) == fileId)
                    fields << cells[kFieldName];
            });
        refill(ChooseExtField, fields, grid->Cells(kExtField, row));
    }

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
    refill(ExtFileFilter, files, QString());
    grid->setFixedRows(1);
}

// Open: one row per FIELDEXT.DDF record, its ids shown as the names the Files and Fields grids
// give them (an empty cell for an id they lack). Needs the Fields grid loaded; without a
// readable FIELDEXT.DDF the grid stays as it was. Rows a File Filter had set aside belong to
// what was shown before and are dropped.
void TMain::OpenFieldExtDDFClick()
{
    if (FieldGrid->Tag == 0)
        return;
    const RowIndex files = RowIndex::byNumber(FileGrid, kFileId);
    QHash<qint32, QString> fieldNames;
    forEachFieldRow(FieldGrid, HiddenFieldRows, [&](const QStringList& cells) {
        if (const auto id = cellInteger(cells[kFieldId]); id && !fieldNames.contains(*id))
            fieldNames.insert(*id, cells[kFieldName]);
    });
    const TVarGrid* fileGrid = FileGrid;
    const OpenResult opened =
        openIntoGrid(dict::DictFile::FieldExt, mExtTableArray, ExtGrid, [&](std::span<const uint8_t> bytes) {
            const dict::FieldExtRecord record = dict::FieldExtRecord::decode(bytes);
            const int fileRow = files.row(qint32(record.file));
            return QStringList{fileRow >= 0 ? fileGrid->Cells(kFileName, fileRow) : QString(),
                               fieldNames.value(record.id), QString::number(record.dataType)};
        });
    if (opened.status != btr::StatusSuccess) {
        RefreshExtRow();
        return;
    }
    HiddenExtRows.clear();
    ExtGrid->Tag = 1;
    RefreshExtRow();
    BuildFieldExtDDF->setEnabled(true);
    if (!opened.problem.isEmpty())
        showMessage(opened.problem);
}

// Build: every row with a table name, the rows the File Filter set aside included, becomes a
// record of ids: the table's Xf$Id and the Xe$Id of the field of that name within that table.
// A data type that is no 16-bit number stops the Build before FIELDEXT.DDF is replaced; a row
// whose table or field cannot be found is left out, and told after the Build together with what
// the record manager refused (a table and field named twice).
void TMain::BuildFieldExtDDFClick()
{
    RefreshExtRow();
    RestoreExtRows();

    const std::string fileName = dict::creationSpec(dict::DictFile::FieldExt).fileName;
    const TVarGrid* grid = ExtGrid;
    const BuildCells cells(grid, QString::fromStdString(fileName));
    const RowIndex files = RowIndex::ignoringCase(FileGrid, kFileName);
    QHash<std::pair<qint32, QString>, qint16> fieldIds; // (Xe$File, name key) -> first Xe$Id
    forEachFieldRow(FieldGrid, HiddenFieldRows, [&](const QStringList& field) {
        const auto file = cellInteger(field[kFieldFile]);
        const auto id = int16Of(field[kFieldId]);
        if (!file || !id)
            return;
        const std::pair key(*file, nameKey(field[kFieldName]));
        if (!fieldIds.contains(key))
            fieldIds.insert(key, *id);
    });

    std::vector<dict::FieldExtRecord> records;
    std::vector<int> recordRows;
    std::vector<std::pair<int, std::string>> leftOut;
    for (int row = 1; row < grid->RowCount(); ++row) {
        const QString& table = grid->rowCells(row)[kExtFile];
        if (table.isEmpty())
            continue;
        const QString& field = grid->rowCells(row)[kExtField];
        const int fileRow = files.row(padName(table));
        const auto fileId = fileRow >= 0 ? int16Of(FileGrid->Cells(kFileId, fileRow)) : std::nullopt;
        if (fileRow < 0) {
            leftOut.emplace_back(row, "table '" + shown(table) + "' is not in the Files grid");
            continue;
        }
        if (!fileId) {
            leftOut.emplace_back(row, "table '" + shown(table) + "' has no Xf$Id of 16 bits");
            continue;
        }
        const auto fieldId = fieldIds.constFind(std::pair(qint32(*fileId), nameKey(field)));
        if (fieldId == fieldIds.constEnd()) {
            leftOut.emplace_back(row, field.isEmpty()
                                          ? "no field is named for table '" + shown(table) + "'"
                                          : "field '" + shown(field) + "' is not a field of table '" +
                                                shown(table) + "'");
            continue;
        }
        records.push_back({*fileId, *fieldId, cells.int16(kExtDataType, row)});
        recordRows.push_back(row);
    }

    writeDictionaryFile(dict::DictFile::FieldExt, mExtTableArray, std::move(records), std::move(recordRows),
                        std::move(leftOut), [this] { OpenFieldExtDDF->setEnabled(true); });
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
