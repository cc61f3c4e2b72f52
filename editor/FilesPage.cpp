// Files page of TMain: FILE.DDF in FileGrid, the twelve flag boxes, the file specification
// edits, FileStatList, and the page's Add and Create.
#include "DDFUnit.h"

#include "DictionaryIo.h"
#include "Records.h"
#include "SelfDescription.h"
#include "Status.h"
#include "WinBtr.h"

#include <QFile>

#include <algorithm>
#include <limits>
#include <span>

namespace {

constexpr int kColId = 0;
constexpr int kColName = 1;
constexpr int kColLoc = 2;
constexpr int kColFlags = 3;

// Characters of the name and location that Build stores; the location's 64th byte stays blank.
constexpr int kStoredNameLength = 20;
constexpr int kStoredLocLength = 63;

// An id fits its 16-bit field read either as signed or as unsigned.
constexpr qint32 kLowestId = -32768;
constexpr qint32 kHighestId = 65535;

void showFileRecord(TVarGrid* grid, int row, const dict::FileRecord& record)
{
    grid->setCells(kColId, row, QString::number(record.id));
    grid->setCells(kColName, row, QString::fromLatin1(record.name.data(), qsizetype(record.name.size())));
    grid->setCells(kColLoc, row, QString::fromLatin1(record.loc.data(), qsizetype(record.loc.size())));
    grid->setCells(kColFlags, row, QString::number(record.flags));
}

std::string latin1(const QString& text, int maxLength)
{
    return text.left(maxLength).toLatin1().toStdString();
}

// The integer of a Build cell, or an error that names the file, the row and the column.
qint32 buildInteger(const TVarGrid* grid, int col, int row, qint32 lowest, qint32 highest)
{
    const QString text = grid->Cells(col, row);
    const QString where =
        QStringLiteral("FILE.DDF was not written: row %1, column %2: ").arg(row).arg(grid->Cells(col, 0));
    qint32 value = 0;
    if (!parseInteger(text, &value))
        throw EConvertError(where + QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (value < lowest || value > highest)
        throw EConvertError(where +
                            QStringLiteral("%1 is outside %2..%3").arg(value).arg(lowest).arg(highest));
    return value;
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

// ---- Build reporting ----

TMain::BuildReportScope::BuildReportScope(TMain& window) : mWindow(window)
{
    if (!mWindow.mBuildReport) {
        mOwned = std::make_unique<dict::BuildReport>();
        mWindow.mBuildReport = mOwned.get();
    }
}

TMain::BuildReportScope::~BuildReportScope()
{
    if (!mOwned)
        return;
    mWindow.mBuildReport = nullptr;
    if (mOwned->empty())
        return;
    try {
        showMessage(QString::fromStdString(mOwned->text()));
    } catch (...) {
    }
}

dict::BuildReport& TMain::BuildReportScope::report()
{
    return *mWindow.mBuildReport;
}

// ---- Files page ----

void TMain::ClearFileDDFClick()
{
    dict::rebuildFileTable(mFileTableArray);
    FileGrid->setRowCount(4);
    FileGrid->setRowCount(5);
    const std::size_t rows = dict::fileSelfDescription().size();
    for (std::size_t slot = 0; slot < rows; ++slot)
        showFileRecord(FileGrid, int(slot) + 1,
                       dict::FileRecord::decode(std::as_const(mFileTableArray).slot(slot)));
    markFileGridLoaded();
}

void TMain::OpenFileDDFClick()
{
    std::size_t count = 0;
    int stoppedBy = btr::StatusEndOfFile;
    if (dict::readDictionaryFile(dict::DictFile::File, mFileTableArray, count, &stoppedBy) !=
        btr::StatusSuccess) {
        showMessage(QStringLiteral("Not find in this directory"));
        return;
    }
    FileGrid->setRowCount(2);
    FileGrid->setRowCount(int(count) + 2);
    for (std::size_t slot = 0; slot < count; ++slot)
        showFileRecord(FileGrid, int(slot) + 1,
                       dict::FileRecord::decode(std::as_const(mFileTableArray).slot(slot)));
    markFileGridLoaded();
    // A grid that silently lacks the records after a damaged one would be written back short
    // by the next Build.
    if (stoppedBy != btr::StatusEndOfFile)
        showMessage(QString::fromStdString(
            dict::readStoppedText(dict::creationSpec(dict::DictFile::File).fileName, count, stoppedBy)));
}

void TMain::markFileGridLoaded()
{
    FileGrid->Tag = 1;
    BuildFileDDF->setEnabled(true);
    ClearFieldDDF->setEnabled(true);
    OpenFieldDDF->setEnabled(true);
    BuildFile->setEnabled(true);
}

void TMain::BuildFileDDFClick()
{
    if (FileGrid->Tag == 0 || FileGrid->RowCount() < 3)
        return;

    // Every row is converted before FILE.DDF is replaced, so a cell that is no fitting number
    // leaves the file as it was.
    std::vector<dict::FileRecord> records;
    const int last = FileGrid->RowCount() - 1;
    for (int row = 1; row <= last && !FileGrid->Cells(kColId, row).isEmpty(); ++row) {
        dict::FileRecord record = dict::FileRecord::decode(mFileTableArray.slot(std::size_t(row - 1)));
        record.id = static_cast<int16_t>(buildInteger(FileGrid, kColId, row, kLowestId, kHighestId));
        record.name = latin1(FileGrid->Cells(kColName, row), kStoredNameLength);
        record.loc = latin1(FileGrid->Cells(kColLoc, row), kStoredLocLength);
        record.flags =
            static_cast<uint8_t>(buildInteger(FileGrid, kColFlags, row, std::numeric_limits<qint32>::min(),
                                              std::numeric_limits<qint32>::max()));
        records.push_back(std::move(record));
    }

    std::vector<dict::RowSlot> rows;
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].encode(mFileTableArray.slot(i));
        rows.push_back({int(i) + 1, i});
    }
    BuildReportScope reporting(*this);
    dict::writeDictionaryFile(dict::DictFile::File, mFileTableArray, rows, reporting.report());
    rereadFileList();
}

void TMain::DeleteTableClick()
{
    FileGrid->setCells(kColId, FileGrid->Row(), QString());
    RefreshFileRow();
}

void TMain::ChClick(TVarCheckBox* sender)
{
    const int row = FileGrid->Row();
    if (FileGrid->Cells(kColFlags, row).isEmpty())
        FileGrid->setCells(kColFlags, row, QStringLiteral("0"));
    const quint32 bit = 1u << (sender->Shift & 31);
    quint32 flags = static_cast<quint32>(FileGrid->Values(kColFlags, row).toInt()) & ~bit;
    if (sender->isChecked())
        flags |= bit;
    FileGrid->setValues(kColFlags, row, Variant(static_cast<qint32>(flags)));
}

void TMain::FileGridKeyUp(int)
{
    RefreshFileRow();
}

void TMain::FileGridMouseUp()
{
    RefreshFileRow();
}

void TMain::RefreshFileRow()
{
    TVarGrid* grid = FileGrid;
    const int r = grid->Row();
    const int last = grid->RowCount() - 1;
    if (r == last && !grid->Cells(kColId, r).isEmpty()) {
        const QString name = grid->Cells(kColName, r);
        if (name.size() < kStoredNameLength)
            grid->setCells(kColName, r, name.leftJustified(kStoredNameLength, QLatin1Char(' ')));
        grid->setRowCount(grid->RowCount() + 1);
    } else if (r != last && grid->Cells(kColId, r).isEmpty()) {
        grid->deleteRow(r);
        for (int i = 0; i < FileStatList.size();) {
            bool carried = false;
            for (int row = 1; row < grid->RowCount() && !carried; ++row)
                carried = !grid->Cells(kColId, row).isEmpty() &&
                          grid->Values(kColId, row).toInt() == FileStatList[i].Id;
            if (carried)
                ++i;
            else
                FileStatList.removeAt(i);
        }
    }

    const int row = grid->Row();
    const QString flags = grid->Cells(kColFlags, row);
    if (!flags.isEmpty())
        for (TVarCheckBox* box : fileFlagBoxes())
            box->setValue(Variant(flags));

    const int statIndex = FindFileStat();
    showFileSpec(statIndex >= 0 ? &FileStatList[statIndex].Stat : nullptr);
    CreateFile->setEnabled(!grid->Cells(kColLoc, row).isEmpty());
}

void TMain::showFileSpec(const QByteArray* stat)
{
    dict::FileSpec spec;
    if (stat)
        spec = dict::FileSpec::decode(bytesOf(*stat));
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
    const QString id = FileGrid->Cells(kColId, FileGrid->Row());
    if (id.isEmpty())
        return -1;
    const qint32 value = Variant(id).toInt();
    return value == 0 ? -1 : IndexOfFileStat(value);
}

int TMain::IndexOfFileStat(qint32 id)
{
    for (int i = 0; i < FileStatList.size(); ++i)
        if (FileStatList[i].Id == id)
            return i;
    return -1;
}

void TMain::AddFileClick()
{
    const QString path = selectedFilePath();
    if (path.isEmpty()) {
        AddFile->setEnabled(false);
        return;
    }
    SharedWinBtr btr;
    if (btr->Open(QFile::encodeName(path).toStdString(), "", 0) != btr::StatusSuccess)
        return;
    QByteArray stat(btr::kStatBufferSize, '\0');
    if (btr->StatInto(stat.data()) != btr::StatusSuccess)
        return;

    showFileSpec(&stat);
    const dict::FileSpec spec = dict::FileSpec::decode(bytesOf(stat));

    // New id: one more than the largest in the grid, at least 2.
    qint32 highest = 1;
    for (int row = 1; row < FileGrid->RowCount(); ++row) {
        if (FileGrid->Cells(kColId, row).isEmpty())
            continue;
        highest = std::max(highest, FileGrid->Values(kColId, row).toInt());
    }
    const qint32 id = highest + 1;
    const int last = FileGrid->RowCount() - 1;
    QString name = fileNamePart(path);
    name.chop(4);
    FileGrid->setValues(kColId, last, Variant(id));
    FileGrid->setCells(kColName, last, name);
    FileGrid->setCells(kColLoc, last, path);
    FileGrid->setValues(kColFlags, last, Variant(qint32(spec.flags)));
    FileStatList.append(FileStatEntry{id, stat});
    FileGrid->setRow(last);
    RefreshFileRow();
}

void TMain::CreateFileClick() {}
