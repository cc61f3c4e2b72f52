// Keys page of TMain: INDEX.DDF in KeyGrid (table and field names in place of ids), the eleven
// key-flag boxes, the Table Filter and the Field list.
#include "DDFUnit.h"

#include "DictionaryGrid.h"
#include "Records.h"
#include "SelfDescription.h"
#include "Status.h"

#include <QByteArray>

#include "PageLayout.h"

#include <span>
#include <tuple>

namespace {

using namespace grid;

const QString kIndexFileName = QStringLiteral("INDEX.DDF");

// Table and field names in place of the ids of INDEX.DDF records: the first Files grid row
// whose Xf$Id, and the first Fields grid row whose Xe$Id, reads the id's decimal text.
class IdsToNames {
public:
    IdsToNames(const TVarGrid* files, const TVarGrid* fields)
        : mFiles(files), mFields(fields), mFileIds(RowIndex::exact(files, kFileId)),
          mFieldIds(RowIndex::exact(fields, kFieldId))
    {
    }

    QStringList row(std::span<const uint8_t> bytes) const
    {
        const dict::IndexRecord record = dict::IndexRecord::decode(bytes);
        return {name(mFiles, mFileIds, kFileName, record.file),
                name(mFields, mFieldIds, kFieldName, record.field), QString::number(record.number),
                QString::number(record.part), QString::number(record.flags)};
    }

private:
    static QString name(const TVarGrid* grid, const RowIndex& ids, int nameCol, int16_t id)
    {
        const int row = ids.row(QString::number(id));
        return row >= 1 ? grid->Cells(nameCol, row) : QString();
    }

    const TVarGrid* mFiles;
    const TVarGrid* mFields;
    RowIndex mFileIds;
    RowIndex mFieldIds;
};

// Replaces a combo box's items (and empties its text) unless it already holds exactly these.
void refill(QComboBox* box, const QStringList& items)
{
    bool same = box->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = box->itemText(i) == items[i];
    if (!same) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

// Selects the first item equal to the text (letter case of a to z ignored); true when one is.
bool selectItem(QComboBox* box, const QString& text)
{
    for (int i = 0; i < box->count(); ++i)
        if (equalIgnoringCase(box->itemText(i), text)) {
            box->setCurrentIndex(i);
            return true;
        }
    return false;
}

} // namespace

// ---- Keys page ----

void TMain::KeyGridKeyUp(int)
{
    RefreshKeyRow();
}

void TMain::KeyGridMouseUp()
{
    RefreshKeyRow();
}

// The entry rule (a known table name commits the entry row, padded to 20, with 0 as key
// number, part and flags; a row whose table and field are both emptied goes), then the Field
// list, the flag boxes and the Table Filter follow the current row.
void TMain::RefreshKeyRow()
{
    FileGrid->setRow(1);
    RefreshFileRow();
    FieldGrid->setRow(1);
    RefreshFieldRow();

    TVarGrid* grid = KeyGrid;
    const int r = grid->Row();
    if (r == entryRow(grid) && !grid->Cells(kKeyFile, r).isEmpty()) {
        const QString name = padName(grid->Cells(kKeyFile, r));
        if (findRowIgnoringCase(FileGrid, kFileName, name) >= 1) {
            grid->setCells(kKeyFile, r, name);
            commitEntryRow(grid, r, kKeyNumber, kKeyFlags);
            SortKeyGrid();
        }
    } else if (removeRowWithoutKey(grid, r, {kKeyFile, kKeyField})) {
        SortKeyGrid();
    }

    const int row = grid->Row();
    const QString table = grid->Cells(kKeyFile, row);
    if (!table.isEmpty()) {
        const int fileRow = findRowIgnoringCase(FileGrid, kFileName, padName(table));
        const qint32 id = fileRow >= 1 ? cellInteger(FileGrid, kFileId, fileRow).value_or(-1) : -1;
        QStringList names;
        for (int f = 1; f < FieldGrid->RowCount(); ++f) {
            const QStringList& cells = FieldGrid->rowCells(f);
            if (!cells[kFieldFile].isEmpty() && cellInteger(cells[kFieldFile]) == id)
                names << cells[kFieldName];
        }
        refill(ChooseField, names);
        const QString field = grid->Cells(kKeyField, row);
        if (!field.isEmpty())
            selectItem(ChooseField, field);
    }

    showFlags(keyFlagBoxes(), grid->Cells(kKeyFlags, row));

    QStringList tables;
    for (int f = 1; f < FileGrid->RowCount(); ++f) {
        const QStringList& cells = FileGrid->rowCells(f);
        if (!cells[kFileId].isEmpty() && cellInteger(cells[kFileId]) != -1)
            tables << cells[kFileName];
    }
    refill(IndexFilter, tables);
    selectItem(IndexFilter, table);

    grid->setFixedRows(1);
}

// Title row first, then the rows of tables whose names begin with "X", then the others, each
// by table id, key number and part; rows without a table last. Rows equal in all of these keep
// their order.
void TMain::SortKeyGrid()
{
    const RowIndex tables = RowIndex::ignoringCase(FileGrid, kFileName);
    int position = 0;
    sortGrid(KeyGrid, [&](const QStringList& cells) {
        const QString& file = cells[kKeyFile];
        const int order = position++;
        if (file.isEmpty())
            return std::tuple(1, 0, 0, qint32(0), qint32(0), qint32(0), order);
        const int tableRow = tables.row(file);
        const qint32 id = tableRow >= 1 ? numberOrZero(FileGrid->rowCells(tableRow)[kFileId]) : 0;
        const auto startsWithX = [](const QString& cell) { return cell.startsWith(QLatin1Char('X')); };
        return std::tuple(0, startsWithX(file) ? 0 : 1, startsWithX(cells[kKeyNumber]) ? 0 : 1, id,
                          numberOrZero(cells[kKeyNumber]), numberOrZero(cells[kKeyPart]), order);
    });
}

void TMain::RestoreKeyRows()
{
    restoreRows(KeyGrid, HiddenKeyRows);
}

// Table Filter: every hidden row comes back and the grid is sorted; then, for a filter text,
// the rows of other tables (compared exactly) are set aside up to the first row without a
// field, normally the entry row.
void TMain::IndexFilterChange()
{
    TVarGrid* grid = KeyGrid;
    const bool visible = grid->isVisibleTo(grid->parentWidget());
    grid->setVisible(false);
    RestoreKeyRows();
    SortKeyGrid();
    const QString filter = IndexFilter->currentText();
    if (!filter.isEmpty())
        hideRows(
            grid, HiddenKeyRows,
            [&](const QStringList& cells) { return !cells[kKeyFile].isEmpty() && cells[kKeyFile] == filter; },
            [](const QStringList& cells) { return cells[kKeyField].isEmpty(); });
    grid->setVisible(visible);
}

void TMain::ChClickKey(TVarCheckBox* sender)
{
    applyFlagBox(KeyGrid, kKeyFlags, KeyGrid->Row(), sender);
}

// A field chosen for the current row: its name goes into the row; when the field's table was
// read from a data file with Add, the key segment on the field's position and length gives the
// key number, the part and the flags (the last such segment when there are several).
void TMain::ChooseFieldChange()
{
    const QString text = ChooseField->currentText();
    if (text.isEmpty())
        return;
    const int row = KeyGrid->Row();
    KeyGrid->setCells(kKeyField, row, text);
    const int field = findRowIgnoringCase(FieldGrid, kFieldName, text);
    if (field < 1)
        return;
    const qint32 position = FieldGrid->Values(kFieldOffset, field).toInt() + 1;
    const qint32 length = FieldGrid->Values(kFieldSize, field).toInt();
    const int entry = IndexOfFileStat(FieldGrid->Values(kFieldFile, field).toInt());
    if (entry < 0)
        return;
    const QByteArray& stat = FileStatList[entry].Stat;
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(stat.constData()),
                                         std::size_t(stat.size()));
    if (bytes.size() < dict::FileSpec::kSize)
        return;
    const int keys = dict::FileSpec::decode(bytes).indexCount;
    int k = 0;
    int s = 0;
    for (std::size_t at = dict::FileSpec::kSize; k < keys && at + dict::KeySpec::kSize <= bytes.size();
         at += dict::KeySpec::kSize) {
        const dict::KeySpec spec = dict::KeySpec::decode(bytes.subspan(at));
        if (spec.position == position && spec.length == length) {
            KeyGrid->setValues(kKeyNumber, row, Variant(qint32(k)));
            KeyGrid->setValues(kKeyPart, row, Variant(qint32(s)));
            KeyGrid->setValues(kKeyFlags, row, Variant(qint32(int16_t(spec.flags))));
        }
        if (spec.flags & dict::KeySegmented) {
            ++s;
        } else {
            ++k;
            s = 0;
        }
    }
}

// Add Key: the entry row becomes a row of the filtered table, "0" in the other cells.
void TMain::AddKeyClick()
{
    const QString table = IndexFilter->currentText();
    if (table.isEmpty())
        return;
    const int last = entryRow(KeyGrid);
    KeyGrid->setCells(kKeyFile, last, table);
    commitEntryRow(KeyGrid, last, kKeyField, kKeyFlags);
}

void TMain::DeleteKeyClick()
{
    const int row = KeyGrid->Row();
    KeyGrid->setCells(kKeyFile, row, QString());
    KeyGrid->setCells(kKeyField, row, QString());
    RefreshKeyRow();
}

void TMain::markKeyGridLoaded()
{
    KeyGrid->Tag = 1;
    BuildKeysDDF->setEnabled(true);
}

// New: the fifteen self-description rows, named through the Files and Fields grids.
void TMain::ClearKeysDDFClick()
{
    if (FieldGrid->Tag == 0)
        return;
    dict::rebuildIndexTable(mIndexTableArray);
    const IdsToNames names(FileGrid, FieldGrid);
    std::vector<QStringList> rows;
    const dict::RecordArray& table = mIndexTableArray;
    for (std::size_t slot = 0; slot < dict::indexSelfDescription().size(); ++slot)
        rows.push_back(names.row(table.slot(slot)));
    showRows(KeyGrid, std::move(rows));
    RefreshKeyRow();
    markKeyGridLoaded();
}

// Open: one row per INDEX.DDF record, in key 0 order, named through the Files and Fields
// grids. Without a readable INDEX.DDF the grid stays as it was and nothing is said.
void TMain::OpenKeysDDFClick()
{
    if (FieldGrid->Tag == 0)
        return;
    const IdsToNames names(FileGrid, FieldGrid);
    const OpenResult opened =
        openIntoGrid(dict::DictFile::Index, mIndexTableArray, KeyGrid,
                     [&](std::span<const uint8_t> record) { return names.row(record); });
    if (opened.status != btr::StatusSuccess)
        return;
    RefreshKeyRow();
    markKeyGridLoaded();
    if (!opened.problem.isEmpty())
        showMessage(opened.problem);
}

// Build: the hidden rows come back, then every row with a table is turned into ids and checked
// before INDEX.DDF is replaced, so a cell that cannot be stored leaves the file as it was. Rows
// whose table or field is not found are left out, and named after the Build with what the
// record manager refused.
void TMain::BuildKeysDDFClick()
{
    if (KeyGrid->Tag == 0 || KeyGrid->RowCount() < 3)
        return;
    RestoreKeyRows();

    const RowIndex tables = RowIndex::ignoringCase(FileGrid, kFileName);
    const RowIndex fields = RowIndex::ignoringCase(FieldGrid, kFieldName);
    const BuildCells cells(KeyGrid, kIndexFileName);
    const auto id = [&](const TVarGrid* from, int fromRow, int idCol, int keyCol, int row) {
        const QString text = from->Cells(idCol, fromRow);
        const auto value = cellInteger(text);
        if (!value || *value < -32768 || *value > 32767)
            cells.refuse(keyCol, row,
                         QStringLiteral("its %1 '%2' is not a valid 16-bit integer value")
                             .arg(from->Cells(idCol, 0), text));
        return qint16(*value);
    };

    std::vector<dict::IndexRecord> records;
    std::vector<int> recordRows;
    std::vector<int> noTable;
    std::vector<int> noField;
    for (int row = 1; row < KeyGrid->RowCount(); ++row) {
        const QStringList& rowCells = KeyGrid->rowCells(row);
        if (rowCells[kKeyFile].isEmpty())
            continue;
        const int tableRow = tables.row(rowCells[kKeyFile]);
        if (tableRow < 1) {
            noTable.push_back(row);
            continue;
        }
        const int fieldRow = rowCells[kKeyField].isEmpty() ? -1 : fields.row(rowCells[kKeyField]);
        if (fieldRow < 1) {
            noField.push_back(row);
            continue;
        }
        dict::IndexRecord record;
        record.file = id(FileGrid, tableRow, kFileId, kKeyFile, row);
        record.field = id(FieldGrid, fieldRow, kFieldId, kKeyField, row);
        record.number = cells.int16(kKeyNumber, row);
        record.part = cells.int16(kKeyPart, row);
        record.flags = cells.int16(kKeyFlags, row);
        records.push_back(record);
        recordRows.push_back(row);
    }

    std::vector<std::pair<int, std::string>> leftOut;
    for (int row : noTable)
        leftOut.emplace_back(row, "no table of that name in the Files grid");
    for (int row : noField)
        leftOut.emplace_back(row, "no field of that name in the Fields grid");
    writeDictionaryFile(dict::DictFile::Index, mIndexTableArray, std::move(records), std::move(recordRows),
                        std::move(leftOut));
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

void TMain::buildKeysPage()
{
    QWidget* p = TabKeys;
    MAKE(KeyGrid, place(new TVarGrid(5, p), 0, 0, 425, 161));
    KeyGrid->setColWidths({99, 92, 59, 49, 49});
    MAKE(LIndexFilter, placeLabel(new QLabel(QStringLiteral("Table Filter"), p), 104, 168));
    MAKE(IndexFilter, place(comboBox(p, true), 104, 184, 113, 21));
    MAKE(LChooseField, placeLabel(new QLabel(QStringLiteral("Field"), p), 224, 168));
    MAKE(ChooseField, place(comboBox(p, true), 224, 184, 113, 21));
    MAKE(AddKey, place(new QPushButton(QStringLiteral("Add Key"), p), 344, 184, 75, 25));
    MAKE(DeleteKey, place(new QPushButton(QStringLiteral("Delete Key"), p), 344, 216, 75, 25));
    MAKE(BuildKeysDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearKeysDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenKeysDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    for (QPushButton* b : {BuildKeysDDF, ClearKeysDDF, OpenKeysDDF})
        b->setEnabled(false);

    MAKE(ChDuplicates, place(flagBox(p, "Duplicates", 0), 8, 168, 96, 13));
    MAKE(ChModifiable, place(flagBox(p, "Modifiable", 1), 8, 185, 96, 13));
    MAKE(ChBinary, place(flagBox(p, "Binary", 2), 8, 203, 96, 13));
    MAKE(ChNullKey_AllSeg, place(flagBox(p, "NullKeyAllSeg", 3), 8, 220, 96, 14));
    MAKE(ChSegmented, place(flagBox(p, "Segmented", 4), 8, 238, 96, 14));
    MAKE(ChACS, place(flagBox(p, "ACS", 5), 8, 255, 96, 14));
    MAKE(ChDescending, place(flagBox(p, "Descending", 6), 8, 273, 96, 14));
    MAKE(ChRepeatDupl, place(flagBox(p, "RepeatDupl", 7), 8, 290, 96, 14));
    MAKE(ChExtType, place(flagBox(p, "ExtType", 8), 8, 309, 96, 14));
    MAKE(ChNullKey_AnySeg, place(flagBox(p, "NullKeyAnySeg", 9), 8, 327, 96, 14));
    MAKE(ChCaseInsens, place(flagBox(p, "CaseInsens", 10), 8, 344, 96, 14));
}

QList<TVarCheckBox*> TMain::keyFlagBoxes() const
{
    return {ChDuplicates, ChModifiable, ChBinary,  ChNullKey_AllSeg, ChSegmented, ChACS,
            ChDescending, ChRepeatDupl, ChExtType, ChNullKey_AnySeg, ChCaseInsens};
}

void TMain::wireKeysPage(HandlerWiring& wire)
{
    wire.keyUp(KeyGrid, &TMain::KeyGridKeyUp);
    wire.mouseUp(KeyGrid, &TMain::KeyGridMouseUp);
    wire.change(IndexFilter, &TMain::IndexFilterChange);
    wire.change(ChooseField, &TMain::ChooseFieldChange);
    wire.click(AddKey, &TMain::AddKeyClick);
    wire.click(DeleteKey, &TMain::DeleteKeyClick);
    wire.click(BuildKeysDDF, &TMain::BuildKeysDDFClick);
    wire.click(ClearKeysDDF, &TMain::ClearKeysDDFClick);
    wire.click(OpenKeysDDF, &TMain::OpenKeysDDFClick);
    wire.flagBoxes(keyFlagBoxes(), &TMain::ChClickKey);
}
