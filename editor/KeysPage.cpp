// The Keys page: INDEX.DDF in KeyGrid (table and field names in place of ids), the eleven
// key-flag boxes, the Table Filter and the Field list.
#include "KeysPage.h"

#include "DDFUnit.h"
#include "DataRecords.h"

#include "DictionaryGrid.h"
#include "DictionarySet.h"
#include "KeyComparison.h"
#include "Records.h"
#include "SelfDescription.h"
#include "Status.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include "PageLayout.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <span>
#include <tuple>

namespace {

using namespace grid;

// A row of INDEX.DDF: the table and field names its ids show (empty for an id no row has),
// the ids kept with the row.
QStringList indexRow(const DictionaryIndex& index, std::span<const uint8_t> bytes, RowIds& ids)
{
    const dict::IndexRecord record = dict::IndexRecord::decode(bytes);
    ids = {record.file, record.field};
    return {index.tableName(record.file), index.fieldName(record.field), QString::number(record.number),
            QString::number(record.part), QString::number(record.flags)};
}

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
        if (sameName(box->itemText(i), text, LetterCase::Ignored)) {
            box->setCurrentIndex(i);
            return true;
        }
    return false;
}

} // namespace

// ---- Keys page ----

void KeysPage::KeyGridKeyUp(int)
{
    RefreshKeyRow();
}

void KeysPage::KeyGridMouseUp()
{
    w.nameStep("Edit Key of Table" + rowName());
    RefreshKeyRow();
}

// The entry rule (a known table name commits the entry row, padded to 20, with 0 as key
// number, part and flags; a row whose table and field are both emptied goes), then the Field
// list, the flag boxes and the Table Filter follow the current row.
void KeysPage::RefreshKeyRow()
{
    w.refreshTablesAndFields();

    TVarGrid* grid = KeyGrid;
    const int r = grid->Row();
    if (r == entryRow(grid) && !grid->Cells(kKeyFile, r).isEmpty()) {
        const QString name = padName(grid->Cells(kKeyFile, r));
        if (w.hasTable(name, LetterCase::Ignored)) {
            grid->setCells(kKeyFile, r, name);
            commitEntryRow(grid, r, kKeyNumber, kKeyFlags);
            SortKeyGrid();
        }
    } else if (removeRowWithoutKey(grid, r, {kKeyFile, kKeyField})) {
        SortKeyGrid();
    }

    showKeyRowControls();

    // The list offers the tables by their names without the blanks that pad them; the box shows
    // the filter in force, empty when none.
    QStringList tables;
    for (const QStringList& cells : w.tableRows())
        if (!cells[kFileId].isEmpty() && cellInteger(cells[kFileId]) != -1)
            tables << nameKey(cells[kFileName], LetterCase::Kept);
    refill(IndexFilter, tables);
    if (!selectItem(IndexFilter, mPage->filter))
        IndexFilter->setEditText(nameKey(mPage->filter, LetterCase::Kept));

    grid->setFixedRows(1);
}

// Title row first, then the rows of tables whose names begin with "X", then the others, each
// by table id, key number and part; rows without a table last. Rows equal in all of these keep
// their order.
void KeysPage::SortKeyGrid()
{
    const TMain::TableIds tableId = w.tableIds();
    int position = 0;
    sortGrid(KeyGrid, [&](const QStringList& cells) {
        const QString& file = cells[kKeyFile];
        const int order = position++;
        if (file.isEmpty())
            return std::tuple(1, 0, 0, qint32(0), qint32(0), qint32(0), order);
        const qint32 id = tableId(file);
        const auto startsWithX = [](const QString& cell) { return cell.startsWith(QLatin1Char('X')); };
        return std::tuple(0, startsWithX(file) ? 0 : 1, startsWithX(cells[kKeyNumber]) ? 0 : 1, id,
                          numberOrZero(cells[kKeyNumber]), numberOrZero(cells[kKeyPart]), order);
    });
}

void KeysPage::RestoreKeyRows()
{
    w.notAStep();
    mPage->restore();
}

// Table Filter: every hidden row comes back and the grid is sorted; then, when the text is the
// name of a table (letter case kept), the rows of other tables are set aside up to the first
// row without a field, normally the entry row. A text that names no table hides nothing.
void KeysPage::IndexFilterChange()
{
    w.notAStep();
    TVarGrid* grid = KeyGrid;
    const bool visible = grid->isVisibleTo(grid->parentWidget());
    grid->setVisible(false);
    RestoreKeyRows();
    SortKeyGrid();
    const QString filter = IndexFilter->currentText();
    const bool named = !nameKey(filter, LetterCase::Kept).isEmpty();
    const bool found = named && w.hasTable(filter, LetterCase::Kept);
    layout::showFilterCaption(LIndexFilter, QStringLiteral("Table Filter"), named && !found);
    if (found) {
        mPage->hide(
            [&](const QStringList& cells) { return sameName(cells[kKeyFile], filter, LetterCase::Kept); },
            [](const QStringList& cells) { return cells[kKeyField].isEmpty(); });
        mPage->filter = filter;
    }
    grid->setVisible(visible);
    showKeyRowControls();
}

// The Field list offers the fields of the current row's table (none for a row without one) and
// the flag boxes show its flags (none ticked for an empty cell).
void KeysPage::showKeyRowControls()
{
    const int row = KeyGrid->Row();
    w.followReferenceRow(*mPage, row, ChooseField, mChooseFieldIds);
    showFlags(keyFlagBoxes(), KeyGrid->Cells(kKeyFlags, row));
}

void KeysPage::ChClickKey(TVarCheckBox* sender)
{
    w.nameStep("Change Key Flags of Table" + rowName());
    applyFlagBox(KeyGrid, kKeyFlags, KeyGrid->Row(), sender);
}

// A field chosen for the current row: its name goes into the row; when the field's table was
// read from a data file with Add, the key segment on the field's position and length gives the
// key number, the part and the flags (the last such segment when there are several).
void KeysPage::ChooseFieldChange()
{
    w.nameStep("Choose Key Field of Table" + rowName());
    const QString text = ChooseField->currentText();
    if (text.isEmpty())
        return;
    const int row = KeyGrid->Row();
    KeyGrid->setCells(kKeyField, row, text);
    const int chosen = ChooseField->currentIndex();
    if (chosen < 0 || std::size_t(chosen) >= mChooseFieldIds.size() || ChooseField->itemText(chosen) != text)
        return;
    const qint32 fieldId = mChooseFieldIds[std::size_t(chosen)];
    const DictionaryIndex index = w.dictionaryIndex();
    const QStringList* field = index.fieldCells(fieldId);
    if (!field)
        return;
    if (row < entryRow(KeyGrid))
        KeyGrid->setRowIds(row, {numberOrZero((*field)[kFieldFile]), fieldId});
    const qint32 position = numberOrZero((*field)[kFieldOffset]) + 1;
    const qint32 length = numberOrZero((*field)[kFieldSize]);
    const std::optional<QByteArray> fileStat = w.fileStatOf(numberOrZero((*field)[kFieldFile]));
    if (!fileStat)
        return;
    const QByteArray& stat = *fileStat;
    const dict::DataFileLayout file = dict::decodeDataFileLayout(
        reinterpret_cast<const uint8_t*>(stat.constData()), std::size_t(stat.size()));
    for (const dict::DataFileLayout::Segment& segment : file.segments) {
        if (segment.spec.position == position && segment.spec.length == length) {
            KeyGrid->setValues(kKeyNumber, row, Variant(qint32(segment.key)));
            KeyGrid->setValues(kKeyPart, row, Variant(qint32(segment.part)));
            KeyGrid->setValues(kKeyFlags, row, Variant(qint32(int16_t(segment.spec.flags))));
        }
    }
}

// Add Key: a new row of the filtered table (as the Files grid names it), "0" in the other
// cells, above the entry row, which keeps what is typed in it; the new row becomes current.
// Nothing when the filter's text is no table's name.
void KeysPage::AddKeyClick()
{
    w.nameStep(QStringLiteral("Add Key"));
    const std::optional<TMain::TableRow> table = w.tableNamed(IndexFilter->currentText());
    if (!table || nameKey(IndexFilter->currentText(), LetterCase::Kept).isEmpty())
        return;
    const int last = entryRow(KeyGrid);
    const QStringList typed = KeyGrid->rowCells(last);
    KeyGrid->setCells(kKeyFile, last, table->name);
    for (int col = kKeyField; col < kKeyCols; ++col)
        KeyGrid->setCells(col, last, QString());
    commitEntryRow(KeyGrid, last, kKeyField, kKeyFlags);
    if (table->id)
        KeyGrid->setRowIds(last, {*table->id, RowIds::kNone});
    KeyGrid->setRowText(entryRow(KeyGrid), typed.join(QLatin1Char('\n')));
    KeyGrid->setRow(last);
    showKeyRowControls();
}

void KeysPage::DeleteKeyClick()
{
    w.nameStep("Delete Key of Table" + rowName());
    const int row = KeyGrid->Row();
    KeyGrid->setCells(kKeyFile, row, QString());
    KeyGrid->setCells(kKeyField, row, QString());
    RefreshKeyRow();
}

void KeysPage::markKeyGridLoaded()
{
    mPage->markLoaded();
    BuildKeysDDF->setEnabled(true);
}

// New: the fifteen self-description rows, named through the Files and Fields grids.
void KeysPage::ClearKeysDDFClick()
{
    w.nameStep(QStringLiteral("New INDEX.DDF"));
    if (!w.fieldsLoaded())
        return;
    dict::rebuildIndexTable(mIndexTableArray);
    const DictionaryIndex index = w.dictionaryIndex();
    std::vector<QStringList> rows;
    std::vector<RowIds> ids(dict::indexSelfDescription().size());
    const dict::RecordArray& table = mIndexTableArray;
    for (std::size_t slot = 0; slot < ids.size(); ++slot)
        rows.push_back(indexRow(index, table.slot(slot), ids[slot]));
    mPage->show(std::move(rows), std::move(ids));
    mPage->layout = dict::FileLayout::Standard;
    RefreshKeyRow();
    markKeyGridLoaded();
}

// Open: one row per INDEX.DDF record, in key 0 order, named through the Files and Fields
// grids. Without a readable INDEX.DDF the grid stays as it was and nothing is said.
void KeysPage::OpenKeysDDFClick()
{
    w.nameStep(QStringLiteral("Open INDEX.DDF"));
    if (!w.fieldsLoaded())
        return;
    const DictionaryIndex index = w.dictionaryIndex();
    const OpenResult opened = mPage->open(
        [&](std::span<const uint8_t> record, RowIds& ids) { return indexRow(index, record, ids); });
    if (opened.status != btr::StatusSuccess)
        return;
    RefreshKeyRow();
    markKeyGridLoaded();
    if (!opened.problem.isEmpty())
        TMain::showMessage(opened.problem);
}

// Build: the hidden rows come back, then every row's table and field become ids (those kept
// with the row while its names still show them, else found by name within the row's table)
// and its cells are checked, before INDEX.DDF is replaced: a row that cannot be written stops
// the Build with the file as it was.
void KeysPage::BuildKeysDDFClick()
{
    w.notAStep();
    const DictionaryIndex index = w.dictionaryIndex();
    w.buildPage<dict::IndexRecord>(
        *mPage, 1,
        [&](const BuildCells& cells, int row, dict::BuildReport& report) {
            dict::IndexRecord record;
            std::tie(record.file, record.field) = referenceIds(index, KeyGrid, cells, row, report);
            record.number = cells.int16(kKeyNumber, row);
            record.part = cells.int16(kKeyPart, row);
            record.flags = cells.int16(kKeyFlags, row);
            return record;
        },
        {},
        [this](const std::vector<dict::IndexRecord>& records, const std::vector<int>& rows,
               dict::BuildReport& report) { noteKeysUnlikeTheirDataFiles(records, rows, report); });
}

// A key with a row edited since the page was opened or built is compared with the same key of
// its table's data file (its location taken in the folder built into), as quillan-cli check
// compares it; what differs is noted on the key's edited rows, and written as typed.
void KeysPage::noteKeysUnlikeTheirDataFiles(const std::vector<dict::IndexRecord>& records,
                                            const std::vector<int>& rows, dict::BuildReport& report)
{
    const DictionaryIndex index = w.dictionaryIndex();
    const auto describesDictionary = [&](const TMain::TableRow& table) {
        return dict::describesDictionary(table.name.toStdString(),
                                         withoutTrailingBlanks(table.location).toStdString());
    };
    std::map<std::pair<qint16, qint16>, std::vector<std::size_t>> keys; // (table, key): records by part
    std::vector<int> numbers;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::optional<TMain::TableRow> table = w.tableWithId(records[i].file);
        if (!table)
            continue;
        keys[{records[i].file, records[i].number}].push_back(i);
        if (!describesDictionary(*table))
            numbers.push_back(records[i].number);
    }
    const bool fromOne = dict::keysNumberedFromOne(numbers);
    const std::string fileName = mPage->fileName.toStdString();
    for (auto& [key, members] : keys) {
        std::stable_sort(members.begin(), members.end(),
                         [&](std::size_t a, std::size_t b) { return records[a].part < records[b].part; });
        const auto edited = [&](std::size_t i) { return !mPage->rowAsBuilt(KeyGrid->rowCells(rows[i])); };
        if (std::none_of(members.begin(), members.end(), edited))
            continue;
        const std::optional<TMain::TableRow> table = w.tableWithId(key.first);
        const QString location = withoutTrailingBlanks(table->location);
        dict::DataFileLayout file;
        if (location.isEmpty() ||
            dict::statDataFile(QFile::encodeName(QDir::current().absoluteFilePath(location)).toStdString(),
                               file))
            continue; // a data file that does not open is no key's finding
        std::vector<std::optional<dict::DescribedSegment>> segments;
        for (std::size_t i : members) {
            const QStringList* field = index.fieldCells(records[i].field);
            if (field && numberOrZero((*field)[kFieldFile]) == key.first)
                segments.push_back(dict::DescribedSegment{numberOrZero((*field)[kFieldOffset]) + 1,
                                                          numberOrZero((*field)[kFieldSize]),
                                                          static_cast<uint16_t>(records[i].flags)});
            else
                segments.push_back(std::nullopt);
        }
        const bool tableHasKeyZero = keys.count({key.first, qint16(0)}) > 0;
        const int fileKey = dict::dataFileKeyNumber(key.second, fromOne, tableHasKeyZero);
        for (const dict::KeyDifference& d : dict::compareKeyWithDataFile(
                 segments, file, fileKey, !dict::isDictionaryFileLocation(location.toStdString()))) {
            std::string sentence = d.message;
            sentence[0] = char(std::tolower(static_cast<unsigned char>(sentence[0])));
            sentence.pop_back(); // its full stop
            const std::string what = "key " + std::to_string(key.second) + " of " +
                                     withoutTrailingBlanks(table->name).toStdString() + " against " +
                                     location.toStdString() + ": " + sentence +
                                     " (written as typed; quillan-cli check reports it too)";
            if (d.segment >= 0) {
                if (edited(members[std::size_t(d.segment)]))
                    report.rowNoted(fileName, rows[members[std::size_t(d.segment)]], what);
            } else
                for (std::size_t i : members)
                    if (edited(i)) {
                        report.rowNoted(fileName, rows[i], what);
                        break;
                    }
        }
    }
}

// ---- For the other pages ----

void KeysPage::fieldsStarted()
{
    ClearKeysDDF->setEnabled(true);
    OpenKeysDDF->setEnabled(true);
}

// ---- DictionaryPage ----

void KeysPage::openWithoutFile()
{
    mPage->show({});
    mPage->layout = dict::FileLayout::Own;
    markKeyGridLoaded();
    RefreshKeyRow();
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::place;
using layout::placeLabel;

KeysPage::KeysPage(TMain& window)
    : DictionaryPage(window, "TabKeys", "Keys", "Key of Table", {kKeyFile, kKeyField}, kKeyFile)
{
    QWidget* p = this;
    MAKE(KeyGrid, place(new TVarGrid(5, p), 0, 0, 425, 161));
    KeyGrid->setColWidths({99, 92, 59, 49, 49});
    MAKE(LIndexFilter, placeLabel(new QLabel(QStringLiteral("Table Filter"), p), 104, 168));
    MAKE(IndexFilter, place(comboBox(p, true), 104, 184, 113, 21));
    // A filter is set only to a name the user typed or chose in full: no completion.
    IndexFilter->setCompleter(nullptr);
    MAKE(LChooseField, placeLabel(new QLabel(QStringLiteral("Field"), p), 224, 168));
    MAKE(ChooseField, place(comboBox(p, true), 224, 184, 113, 21));
    MAKE(AddKey, place(new QPushButton(QStringLiteral("Add Key"), p), 344, 184, 75, 25));
    MAKE(DeleteKey, place(new QPushButton(QStringLiteral("Delete Key"), p), 344, 216, 75, 25));
    MAKE(BuildKeysDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearKeysDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenKeysDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    for (QPushButton* b : {BuildKeysDDF, ClearKeysDDF, OpenKeysDDF})
        b->setEnabled(false);

    MAKE(ChDuplicates, place(flagBox(p, btr::kKeyFlagCaptions, 0), 8, 168, 96, 13));
    MAKE(ChModifiable, place(flagBox(p, btr::kKeyFlagCaptions, 1), 8, 185, 96, 13));
    MAKE(ChBinary, place(flagBox(p, btr::kKeyFlagCaptions, 2), 8, 203, 96, 13));
    MAKE(ChNullKey_AllSeg, place(flagBox(p, btr::kKeyFlagCaptions, 3), 8, 220, 96, 14));
    MAKE(ChSegmented, place(flagBox(p, btr::kKeyFlagCaptions, 4), 8, 238, 96, 14));
    MAKE(ChACS, place(flagBox(p, btr::kKeyFlagCaptions, 5), 8, 255, 96, 14));
    MAKE(ChDescending, place(flagBox(p, btr::kKeyFlagCaptions, 6), 8, 273, 96, 14));
    MAKE(ChRepeatDupl, place(flagBox(p, btr::kKeyFlagCaptions, 7), 8, 290, 96, 14));
    MAKE(ChExtType, place(flagBox(p, btr::kKeyFlagCaptions, 8), 8, 309, 96, 14));
    MAKE(ChNullKey_AnySeg, place(flagBox(p, btr::kKeyFlagCaptions, 9), 8, 327, 96, 14));
    MAKE(ChCaseInsens, place(flagBox(p, btr::kKeyFlagCaptions, 10), 8, 344, 96, 14));
    KeyGrid->setRowCount(2);
    mPage = std::make_unique<grid::Page>(dict::DictFile::Index, KeyGrid, mIndexTableArray, HiddenKeyRows);
}

QList<TVarCheckBox*> KeysPage::keyFlagBoxes() const
{
    return {ChDuplicates, ChModifiable, ChBinary,  ChNullKey_AllSeg, ChSegmented, ChACS,
            ChDescending, ChRepeatDupl, ChExtType, ChNullKey_AnySeg, ChCaseInsens};
}

void KeysPage::wire()
{
    Wiring<KeysPage> wire(&w, this);
    wire.typing(KeyGrid, &KeysPage::KeyGridKeyUp);
    wire.mouseUp(KeyGrid, &KeysPage::KeyGridMouseUp);
    wire.change(IndexFilter, &KeysPage::IndexFilterChange);
    wire.change(ChooseField, &KeysPage::ChooseFieldChange);
    wire.click(AddKey, &KeysPage::AddKeyClick);
    wire.click(DeleteKey, &KeysPage::DeleteKeyClick);
    wire.click(BuildKeysDDF, &KeysPage::BuildKeysDDFClick);
    wire.click(ClearKeysDDF, &KeysPage::ClearKeysDDFClick);
    wire.click(OpenKeysDDF, &KeysPage::OpenKeysDDFClick);
    wire.flagBoxes(keyFlagBoxes(), &KeysPage::ChClickKey);
}
