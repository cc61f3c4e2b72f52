// Fields page of TMain: "Add Record", which turns a scanned record into FieldGrid rows and, for
// extended types, ExtGrid rows. The scanner has already given each field its Btrieve type name,
// offset and size; this only converts names to codes and copies.
#include "DDFUnit.h"

#include "DataTypes.h"
#include "DictionaryGrid.h"

using namespace grid;

void TMain::offerRecords(const std::vector<dict::ScannedRecord>& records, const QStringList& names)
{
    NameRecRecords = records;
    NameRec->clear();
    NameRec->addItems(names);
    NameRecChange();
}

// "Add Record" can be used once a record with a name is chosen.
void TMain::NameRecChange()
{
    AddField->setEnabled(NameRec->currentIndex() >= 0 && !NameRec->currentText().isEmpty());
}

// The chosen record's fields become rows of the Table Filter's table, in record order after the
// rows already there and above the entry row (which keeps what is typed in it), with ids above
// the highest field id. Into a table that already has fields (hidden rows included) the record
// goes after the highest end (offset + size) of those fields, and a message says so; into an
// empty table at its own offsets. The fields are those of the record
// the "Record" list shows (NameRecRecords, kept in step with its items by the scanner), so a
// later scan that stopped at an error cannot put another record's fields in their place.
// Neither grid is sorted or refreshed.
void TMain::AddFieldClick()
{
    nameStep(QStringLiteral("Add Record '%1'").arg(NameRec->currentText().trimmed()));
    const QString table = FileFilter->currentText();
    const int chosen = NameRec->currentIndex();
    if (table.isEmpty() || chosen < 0 || NameRec->currentText().isEmpty() ||
        chosen >= static_cast<int>(NameRecRecords.size()))
        return;

    // A table the file grid does not hold still gets its rows, with file id -1. The id is read
    // before any row is written, so an id cell that is no number changes nothing.
    const int tableRow = filteredTableRow();
    const qint32 fileId = tableRow < 0 ? -1 : StrToInt(FileGrid->Cells(kFileId, tableRow));

    bool hasFields = false;
    qint32 start = 0;
    mFieldsPage->forEachRow([&](const QStringList& cells, RowIds) {
        if (cellInteger(cells[kFieldFile]) != fileId)
            return;
        hasFields = true;
        const auto offset = cellInteger(cells[kFieldOffset]);
        const auto size = cellInteger(cells[kFieldSize]);
        if (offset && size)
            start = std::max(start, *offset + *size);
    });

    const dict::ScannedRecord& record = NameRecRecords[static_cast<std::size_t>(chosen)];
    for (const dict::ScannedField& field : record.Fields) {
        const int row = rowAboveEntryRow(FieldGrid);
        ++HighestFieldId;
        FieldGrid->setCells(kFieldId, row, QString::number(HighestFieldId));
        FieldGrid->setCells(kFieldFile, row, QString::number(fileId));
        FieldGrid->setCells(kFieldName, row, padName(grid::storedText(field.Name)));
        const int b = dict::combinedPositionOfName(field.BtrieveType);
        if (dict::combinedToExtendedPosition(b) >= 0)
            AddExtFieldRow(row, b);
        else
            FieldGrid->setCells(kFieldDataType, row, QString::number(dict::combinedPositionToCode(b)));
        FieldGrid->setCells(kFieldOffset, row, QString::number(start + field.Offset));
        FieldGrid->setCells(kFieldSize, row, QString::number(field.Size));
        FieldGrid->setCells(kFieldDec, row, QStringLiteral("0"));
        FieldGrid->setCells(kFieldFlag, row, QStringLiteral("0"));
    }
    if (hasFields && !record.Fields.empty())
        showMessage(
            QStringLiteral("Table %1 already has fields: the fields of record %2 were added after them, "
                           "from offset %3.")
                .arg(nameKey(table, LetterCase::Kept), NameRec->currentText())
                .arg(start));
}

// The ExtGrid row names the field's table as the Files grid does (the Table Filter's text when
// no table has the field's Xe$File) and the field by the name just written, and keeps both
// ids; the type is the extended code of combined position b.
void TMain::AddExtFieldRow(int fieldRow, int b)
{
    const int code = dict::combinedPositionToCode(b);
    const auto fileId = cellInteger(FieldGrid, kFieldFile, fieldRow);
    const int table = fileId ? findRowByNumber(FileGrid, kFileId, *fileId) : -1;
    const auto fieldId = cellInteger(FieldGrid, kFieldId, fieldRow);
    mExtFields->addRow(table >= 1 ? FileGrid->Cells(kFileName, table) : FileFilter->currentText(),
                       FieldGrid->Cells(kFieldName, fieldRow), code,
                       fieldId && fileId ? std::optional<RowIds>(RowIds{*fileId, *fieldId}) : std::nullopt);
    FieldGrid->setCells(kFieldDataType, fieldRow, QString::number(code));
}
