// Files page of TMain: FILE.DDF in FileGrid, the twelve flag boxes, the file specification
// edits, FileStatList, and the page's Add and Create.
#include "DDFUnit.h"

#include "BuildReport.h"
#include "CreateBuffer.h"
#include "DataFiles.h"
#include "DataRecords.h"
#include "DictionaryGrid.h"
#include "DictionaryIo.h"
#include "Records.h"
#include "SelfDescription.h"
#include "Status.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include "PageLayout.h"
#include <algorithm>
#include <limits>
#include <span>

namespace {

using namespace grid;

// Characters of the location that Build stores; the location's 64th byte stays blank.
constexpr int kStoredLocLength = 63;

QStringList fileRow(std::span<const uint8_t> bytes)
{
    const dict::FileRecord record = dict::FileRecord::decode(bytes);
    return {QString::number(record.id), storedText(record.name), storedText(record.loc),
            QString::number(record.flags)};
}

std::span<const uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

// The file name part of a path (after its last separator or drive colon).
QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max({path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')),
                                    path.lastIndexOf(QLatin1Char(':'))});
    return path.mid(cut + 1);
}

} // namespace

// ---- Files page ----

// New: the three self-description rows. The loaded mark is set and Build enabled.
void TMain::ClearFileDDFClick()
{
    nameStep(QStringLiteral("New FILE.DDF"));
    dict::rebuildFileTable(mFileTableArray);
    std::vector<QStringList> rows;
    const dict::RecordArray& table = mFileTableArray;
    for (std::size_t slot = 0; slot < dict::fileSelfDescription().size(); ++slot)
        rows.push_back(fileRow(table.slot(slot)));
    mFilesPage->show(std::move(rows));
    mFilesPage->layout = dict::FileLayout::Standard;
    markFileGridLoaded();
}

// Open: one row per FILE.DDF record, in key order, then the entry row. Without a readable
// FILE.DDF the grid stays as it was and "Not find in this directory" is shown.
void TMain::OpenFileDDFClick()
{
    nameStep(QStringLiteral("Open FILE.DDF"));
    const OpenResult opened =
        mFilesPage->open([](std::span<const uint8_t> record, RowIds&) { return fileRow(record); });
    if (opened.status != btr::StatusSuccess) {
        showMessage(QStringLiteral("Not find in this directory"));
        return;
    }
    markFileGridLoaded();
    // A grid that silently lacked the records after a damaged one would be written back short
    // by the next Build.
    if (!opened.problem.isEmpty())
        showMessage(opened.problem);
}

void TMain::markFileGridLoaded()
{
    mFilesPage->markLoaded();
    BuildFileDDF->setEnabled(true);
    ClearFieldDDF->setEnabled(true);
    OpenFieldDDF->setEnabled(true);
    BuildFile->setEnabled(true);
}

// Build: every row above the entry row is converted and checked before FILE.DDF is replaced,
// so a cell that cannot be stored leaves the file as it was. What the record manager refuses
// is reported once, after the Build.
void TMain::BuildFileDDFClick()
{
    notAStep();
    buildPage<dict::FileRecord>(*mFilesPage, 1, [this](const BuildCells& cells, int row, dict::BuildReport&) {
        cells.requireFilled(kFileId, row);
        dict::FileRecord record = dict::FileRecord::decode(mFileTableArray.slot(std::size_t(row - 1)));
        record.id = cells.int16(kFileId, row);
        record.name = cells.text(kFileName, row, kNameWidth);
        record.loc = cells.text(kFileLoc, row, kStoredLocLength);
        record.flags = cells.byte(kFileFlags, row);
        return record;
    });
}

void TMain::DeleteTableClick()
{
    nameStep("Delete Table" + quotedName(FileGrid, grid::kFileName));
    FileGrid->setCells(kFileId, FileGrid->Row(), QString());
    RefreshFileRow();
}

void TMain::ChClick(TVarCheckBox* sender)
{
    nameStep("Change Flags of Table" + quotedName(FileGrid, grid::kFileName));
    applyFlagBox(FileGrid, kFileFlags, FileGrid->Row(), sender);
}

void TMain::FileGridKeyUp(int)
{
    RefreshFileRow();
}

void TMain::FileGridMouseUp()
{
    nameStep("Edit Table" + quotedName(FileGrid, grid::kFileName));
    RefreshFileRow();
}

// The entry rule (an id commits the entry row, an emptied id removes its row along with the
// statistics entries no row carries any more), then the flag boxes, the file specification
// edits and "Create" follow the current row.
void TMain::RefreshFileRow()
{
    TVarGrid* grid = FileGrid;
    const int r = grid->Row();
    if (r == entryRow(grid) && !grid->Cells(kFileId, r).isEmpty()) {
        grid->setCells(kFileName, r, padName(grid->Cells(kFileName, r)));
        commitEntryRow(grid, r, 1, 0);
    } else if (removeRowWithoutKey(grid, r, {kFileId})) {
        const RowIndex ids = RowIndex::byNumber(grid, kFileId);
        for (int i = 0; i < FileStatList.size();) {
            if (ids.row(FileStatList[i].Id) >= 0)
                ++i;
            else
                FileStatList.removeAt(i);
        }
    }

    const int row = grid->Row();
    if (row < entryRow(grid))
        if (const auto id = cellInteger(grid, kFileId, row))
            renameReferences(*id, std::nullopt, grid->Cells(kFileName, row));
    showFlags(fileFlagBoxes(), grid->Cells(kFileFlags, row));

    const int statIndex = FindFileStat();
    showFileSpec(statIndex >= 0 ? &FileStatList[statIndex].Stat : nullptr);
    CreateFile->setEnabled(!grid->Cells(kFileLoc, row).isEmpty());
}

void TMain::showFileSpec(const QByteArray* stat)
{
    dict::FileSpec spec;
    if (stat)
        spec = dict::decodeDataFileLayout(bytesOf(*stat).data(), std::size_t(stat->size())).spec;
    ERecLen->setValue(Variant(qint32(spec.recordLength)));
    EPgSize->setValue(Variant(qint32(spec.pageSize)));
    ENIndex->setValue(Variant(qint32(spec.indexCount)));
    ENRec->setValue(Variant(qint32(spec.recordCount)));
    EFlags->setValue(Variant(qint32(spec.flags)));
    EExtraDupl->setValue(Variant(qint32(spec.duplicatePointers)));
    EReserv->setValue(Variant(qint32(spec.reserved)));
    ENPage->setValue(Variant(qint32(spec.pages)));
}

int TMain::FindFileStat()
{
    const auto id = cellInteger(FileGrid, kFileId, FileGrid->Row());
    return !id || *id == 0 ? -1 : IndexOfFileStat(*id);
}

int TMain::IndexOfFileStat(qint32 id)
{
    for (int i = 0; i < FileStatList.size(); ++i)
        if (FileStatList[i].Id == id)
            return i;
    return -1;
}

// Add: the selected data file's statistics become a new row (id one above the highest, at
// least 2; name from the file name; location the full path) and a FileStatList entry.
void TMain::AddFileClick()
{
    nameStep(QStringLiteral("Add File"));
    const QString path = QDir::toNativeSeparators(selectedFilePath());
    if (path.isEmpty()) {
        AddFile->setEnabled(false);
        return;
    }
    QByteArray stat(int(dict::kStatBufferSize), '\0');
    if (dict::readDataFileStat(QFile::encodeName(path).toStdString(),
                               {reinterpret_cast<uint8_t*>(stat.data()), std::size_t(stat.size())}) !=
        btr::StatusSuccess)
        return;

    showFileSpec(&stat);
    const dict::FileSpec spec =
        dict::decodeDataFileLayout(bytesOf(stat).data(), std::size_t(stat.size())).spec;

    // New id: one more than the largest in the grid, at least 2. Every id must be a number here,
    // or the new one could repeat an id the user is still typing.
    qint32 highest = 1;
    for (int row = 1; row < FileGrid->RowCount(); ++row)
        if (!FileGrid->Cells(kFileId, row).isEmpty())
            highest = std::max(highest, FileGrid->Values(kFileId, row).toInt());
    const qint32 id = highest + 1;
    const int last = entryRow(FileGrid);
    QString name = fileNamePart(path);
    name.chop(4);
    FileGrid->setValues(kFileId, last, Variant(id));
    FileGrid->setCells(kFileName, last, name);
    FileGrid->setCells(kFileLoc, last, path);
    FileGrid->setValues(kFileFlags, last, Variant(qint32(spec.flags)));
    FileStatList.append(FileStatEntry{id, stat});
    FileGrid->setRow(last);
    RefreshFileRow();
}

namespace {

dict::NumberCell numberCell(const QString& text)
{
    return {text.toStdString(), cellInteger(text)};
}

} // namespace

// Create: an empty data file for the current row's table at its location, keyed as the Keys
// grid lists the table's segments on the fields the Fields grid names. What keeps the file
// from being made is said in a message; an existing file is replaced only when the user says
// so. A Create that succeeds shows nothing.
void TMain::CreateFileClick()
{
    nameStep("Create File" + quotedName(FileGrid, grid::kFileName));
    const int current = FileGrid->Row();
    const QString table = FileGrid->Cells(kFileName, current);
    const QString location = FileGrid->Cells(kFileLoc, current);

    // Every field row and every key row, hidden ones included; a key row's field as Build
    // resolves it (within its own table, by the id it keeps).
    std::vector<dict::CreateFieldRow> fields;
    QHash<qint32, std::size_t> fieldRowOfId;
    mFieldsPage->forEachRow([&](const QStringList& cells, RowIds) {
        if (const auto id = cellInteger(cells[kFieldId]); id && !fieldRowOfId.contains(*id))
            fieldRowOfId.insert(*id, fields.size());
        fields.push_back({cells[kFieldFile].toStdString(), cells[kFieldName].toStdString(),
                          numberCell(cells[kFieldDataType]), numberCell(cells[kFieldOffset]),
                          numberCell(cells[kFieldSize])});
    });
    const DictionaryIndex index = dictionaryIndex();
    const auto tableId = cellInteger(FileGrid, kFileId, current);
    std::vector<dict::CreateKeyRow> keys;
    mKeys->page().forEachRow([&](const QStringList& cells, RowIds ids) {
        const DictionaryIndex::Reference ref = index.resolve(cells[kKeyFile], cells[kKeyField], ids);
        const bool resolved = ref.problem == DictionaryIndex::Reference::Problem::None;
        if (resolved ? ref.table != tableId : !sameName(cells[kKeyFile], table, LetterCase::Ignored))
            return;
        dict::CreateKeyRow key{table.toStdString(), cells[kKeyField].toStdString(), numberCell(cells[kKeyFlags]),
                               numberOrZero(cells[kKeyNumber]), numberOrZero(cells[kKeyPart]), std::nullopt};
        if (resolved)
            key.fieldRow = fieldRowOfId.value(ref.field, fields.size());
        if (resolved && key.fieldRow == fields.size())
            key.fieldRow.reset();
        keys.push_back(std::move(key));
    });
    dict::CreateFileValues values;
    values.recordLength = ERecLen->Value().toInt();
    values.pageSize = EPgSize->Value().toInt();
    values.recordCount = ENRec->Value().toInt();
    values.flags = EFlags->Value().toInt();
    values.duplicatePointers = EExtraDupl->Value().toInt();
    values.reserved = EReserv->Value().toInt();
    values.pages = ENPage->Value().toInt();

    const dict::CreateBuffer buffer = dict::buildCreateBuffer(
        table.toStdString(), FileGrid->Cells(kFileId, current).toStdString(), values, keys, fields);
    const std::string tableName = table.toStdString();
    if (buffer.problem == dict::CreateBuffer::Problem::NotANumber)
        throw EditorError(QString::fromStdString(dict::createProblemText(buffer, tableName)));
    if (buffer.problem != dict::CreateBuffer::Problem::None) {
        showMessage(QString::fromStdString(dict::createProblemText(buffer, tableName)));
        return;
    }
    ENIndex->setValue(Variant(qint32(buffer.keyCount)));

    const std::string path = QFile::encodeName(location).toStdString();
    if (path.size() > dict::kLongestCreateName) {
        showMessage(QString::fromStdString(dict::createLocationTooLongText(tableName, path.size())));
        return;
    }
    if (const auto existing = dict::existingDataFile(path)) {
        const QString shown = QDir::toNativeSeparators(
            QDir::current().absoluteFilePath(QFile::decodeName(QByteArray::fromStdString(*existing))));
        if (!askQuestion(QStringLiteral("%1 already exists. Replace it with a new, empty data file?\n"
                                        "Every record in it will be lost.")
                             .arg(shown)))
            return;
    }
    const int status = dict::createDataFile(path, buffer.bytes);
    rereadFileList();
    if (status != btr::StatusSuccess)
        showMessage(QString::fromStdString(
            dict::fileNotCreatedText(withoutTrailingBlanks(location).toStdString(), status)));
}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

void TMain::buildFilesPage()
{
    QWidget* p = TabFiles;
    MAKE(FileGrid, place(new TVarGrid(4, p), 0, 0, 425, 169));
    FileGrid->setColWidths({16, 123, 189, 71});

    MAKE(ChVarLen, flagBox(p, btr::kFileFlagCaptions, 0));
    MAKE(ChBlankTranc, flagBox(p, btr::kFileFlagCaptions, 1));
    MAKE(ChPreAlloc, flagBox(p, btr::kFileFlagCaptions, 2));
    MAKE(ChDataCompres, flagBox(p, btr::kFileFlagCaptions, 3));
    MAKE(ChKeyOnly, flagBox(p, btr::kFileFlagCaptions, 4));
    MAKE(ChIndexBalan, flagBox(p, btr::kFileFlagCaptions, 5));
    MAKE(Ch10Free, flagBox(p, btr::kFileFlagCaptions, 6));
    MAKE(Ch20Free, flagBox(p, btr::kFileFlagCaptions, 7));
    MAKE(ChDuplPoint, flagBox(p, btr::kFileFlagCaptions, 8));
    MAKE(ChReserv, flagBox(p, btr::kFileFlagCaptions, 9));
    MAKE(ChKeyNSpec, flagBox(p, btr::kFileFlagCaptions, 10));
    MAKE(ChVATs, flagBox(p, btr::kFileFlagCaptions, 11));
    const QList<TVarCheckBox*> boxes = fileFlagBoxes();
    for (int i = 0; i < boxes.size(); ++i)
        boxes[i]->setGeometry(4 + (i / 4) * 112, 174 + (i % 4) * 17, 110, 17);

    struct EditSpec {
        QLabel*& label;
        const char* labelName;
        TVarEdit*& edit;
        const char* editName;
        const char* caption;
    };
    const EditSpec edits[] = {
        {LRecLen, "LRecLen", ERecLen, "ERecLen", "Record Length"},
        {LPgSize, "LPgSize", EPgSize, "EPgSize", "Page Size"},
        {LNIndex, "LNIndex", ENIndex, "ENIndex", "Number Index"},
        {LNRec, "LNRec", ENRec, "ENRec", "Number Record"},
        {LFlags, "LFlags", EFlags, "EFlags", "Flags"},
        {LExtraDupl, "LExtraDupl", EExtraDupl, "EExtraDupl", "Extra Duplicate"},
        {LReserv, "LReserv", EReserv, "EReserv", "Reserv"},
        {LNPage, "LNPage", ENPage, "ENPage", "Num&ber Page"},
    };
    for (int i = 0; i < 8; ++i) {
        const int x = 4 + (i % 4) * 84;
        const int y = 250 + (i / 4) * 46;
        edits[i].edit = layout::named(place(new TVarEdit(p), x, y + 15, 78, 21), edits[i].editName);
        edits[i].label = layout::named(placeLabel(new QLabel(QLatin1String(edits[i].caption), p), x, y),
                                       edits[i].labelName);
        edits[i].label->setBuddy(edits[i].edit);
        edits[i].edit->setText(QStringLiteral("0"));
    }

    MAKE(AddFile, place(new QPushButton(QStringLiteral("Add"), p), 344, 176, 75, 25));
    MAKE(CreateFile, place(new QPushButton(QStringLiteral("Create"), p), 344, 208, 75, 25));
    MAKE(DeleteTable, place(new QPushButton(QStringLiteral("Delete"), p), 344, 240, 75, 25));
    MAKE(BuildFileDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearFileDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenFileDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    AddFile->setEnabled(false);
    CreateFile->setEnabled(false);
    BuildFileDDF->setEnabled(false);
    OpenFileDDF->setEnabled(false);
}

QList<TVarCheckBox*> TMain::fileFlagBoxes() const
{
    return {ChVarLen, ChBlankTranc, ChPreAlloc,  ChDataCompres, ChKeyOnly,  ChIndexBalan,
            Ch10Free, Ch20Free,     ChDuplPoint, ChReserv,      ChKeyNSpec, ChVATs};
}

void TMain::wireFilesPage(HandlerWiring& wire)
{
    wire.keyUp(FileGrid, &TMain::FileGridKeyUp);
    wire.mouseUp(FileGrid, &TMain::FileGridMouseUp);
    // The table chosen by a click or a key is the one the Data page shows.
    const auto chosen = [this] {
        if (const auto id = cellInteger(FileGrid, kFileId, FileGrid->Row()); id && FileGrid->Row() >= 1)
            mDataTableId = id;
    };
    connect(FileGrid, &TVarGrid::mouseUp, this, chosen);
    connect(FileGrid, &TVarGrid::keyUp, this, chosen);
    wire.flagBoxes(fileFlagBoxes(), &TMain::ChClick);
    wire.click(AddFile, &TMain::AddFileClick);
    wire.click(CreateFile, &TMain::CreateFileClick);
    wire.click(DeleteTable, &TMain::DeleteTableClick);
    wire.click(BuildFileDDF, &TMain::BuildFileDDFClick);
    wire.click(ClearFileDDF, &TMain::ClearFileDDFClick);
    wire.click(OpenFileDDF, &TMain::OpenFileDDFClick);
}

// ---- For the other pages ----

std::optional<TMain::ChosenTable> TMain::chosenTable() const
{
    int row = -1;
    if (mDataTableId) {
        row = findRowByNumber(FileGrid, kFileId, *mDataTableId);
    } else {
        const int current = FileGrid->Row();
        if (current >= 1 && current < FileGrid->RowCount() && cellInteger(FileGrid, kFileId, current))
            row = current;
    }
    const std::optional<qint32> id = row >= 0 ? cellInteger(FileGrid, kFileId, row) : std::nullopt;
    if (!id)
        return std::nullopt;
    return ChosenTable{*id, FileGrid->Cells(kFileName, row), FileGrid->Cells(kFileLoc, row)};
}

QString TMain::currentTableName() const
{
    return quotedName(FileGrid, kFileName);
}

std::vector<QStringList> TMain::tableRows() const
{
    std::vector<QStringList> rows;
    rows.reserve(std::size_t(std::max(0, FileGrid->RowCount() - 1)));
    for (int row = 1; row < FileGrid->RowCount(); ++row)
        rows.push_back(FileGrid->rowCells(row));
    return rows;
}

namespace {

std::optional<TMain::TableRow> tableRowAt(const TVarGrid* grid, int row)
{
    if (row < 1)
        return std::nullopt;
    return TMain::TableRow{cellInteger(grid, kFileId, row), grid->Cells(kFileName, row),
                           grid->Cells(kFileLoc, row)};
}

} // namespace

std::optional<TMain::TableRow> TMain::tableNamed(const QString& name) const
{
    return tableRowAt(FileGrid, findRowExact(FileGrid, kFileName, name));
}

std::optional<TMain::TableRow> TMain::tableWithId(qint32 id) const
{
    return tableRowAt(FileGrid, findRowByNumber(FileGrid, kFileId, id));
}

std::optional<QByteArray> TMain::fileStatOf(qint32 tableId) const
{
    for (const FileStatEntry& entry : FileStatList)
        if (entry.Id == tableId)
            return entry.Stat;
    return std::nullopt;
}
