// Utils page of TMain: the Pascal record scanner ("Find Records", the Record List, RecordGrid).
// The scanning itself is dict::scanPascalRecords; the handlers move its results into the
// controls.
#include "UtilsPage.h"

#include "DDFUnit.h"

#include <QFile>
#include <QSettings>

#include <algorithm>
#include <iterator>

namespace {

QString sourceText(const std::string& text)
{
    return grid::storedText(text);
}

// The mapping as the scanner reads it: the tick boxes of the Pascal Type list and the lines.
dict::TypeMap scannerTypeMap(const UtilsPage& window)
{
    dict::TypeMap map;
    for (int k = 0; k < dict::kPascalTypeCount; ++k) {
        if (k < window.TypeMapping.size())
            map.lines[k] = window.TypeMapping[k].toLatin1().toStdString();
        const QListWidgetItem* item = window.RecordOption->item(k);
        map.ticked[k] = item && item->checkState() == Qt::Checked;
    }
    return map;
}

QStringList recordNames(const std::vector<dict::ScannedRecord>& records)
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(records.size()));
    for (const dict::ScannedRecord& record : records)
        names << sourceText(record.Name);
    return names;
}

const QString kResolveKey = QStringLiteral("Scanner/ResolveDeclarations");

// The fields a resolving scan left unknown, one line each ("TPerson.Born: TDateTime, not declared
// in this unit"), at most kShown of them; empty when there are none.
QString unresolvedReport(const std::vector<dict::ScannedRecord>& records)
{
    constexpr int kShown = 20;
    QStringList lines;
    int count = 0;
    for (const dict::ScannedRecord& record : records)
        for (const dict::UnresolvedField& u : record.Unresolved)
            if (count++ < kShown)
                lines << QStringLiteral("%1.%2: %3, %4")
                             .arg(sourceText(record.Name), sourceText(u.Field), sourceText(u.Name), QString::fromStdString(u.Reason));
    if (count == 0)
        return {};
    if (count > kShown)
        lines << QStringLiteral("... and %1 more.").arg(count - kShown);
    return QStringLiteral("%1 field(s) could not be resolved and take no room:\n").arg(count) + lines.join('\n');
}

} // namespace

void UtilsPage::SearchClick()
{
    const QString path = w.selectedFilePath();
    if (path.isEmpty()) {
        Search->setEnabled(false);
        return;
    }
    std::string source;
    if (const int error = dict::readWholeFile(QFile::encodeName(path).toStdString(), source))
        throw EInOutError::fromErrno(error);

    HourGlass wait;
    FindRecord->clear();
    dict::ScanOptions options;
    options.resolve = ChResolve->isChecked();
    dict::ScanResult result = dict::scanPascalRecords(source, scannerTypeMap(*this), options);
    ScannedRecords = std::move(result.records);
    FindRecord->addItems(recordNames(ScannedRecords));
    if (result.error)
        throw EditorError(sourceText(*result.error)); // CurFile and NameRec keep the last complete scan

    CurFile->setText(path);
    w.offerRecords(ScannedRecords, recordNames(ScannedRecords));
    // The record grid shows the first record found, not one of the previous scan.
    if (FindRecord->count() > 0) {
        FindRecord->setCurrentRow(0);
        ShowRecordFields();
    } else {
        RecordGrid->setRowCount(2);
        for (int col = 0; col < RecordGrid->ColCount(); ++col)
            RecordGrid->setCells(col, 1, QString());
    }
    const dict::TypeMap map = scannerTypeMap(*this);
    if (std::none_of(std::begin(map.ticked), std::end(map.ticked), [](bool ticked) { return ticked; }))
        TMain::showMessage(
            QStringLiteral("No Pascal type is mapped to a Btrieve type, so every field was given size 0. "
                           "Tick the types to map in the \"Pascal Type\" list of this page, then Find "
                           "Records again."));
    else if (const QString unresolved = unresolvedReport(ScannedRecords); !unresolved.isEmpty())
        TMain::showMessage(unresolved);
}

// "Resolve declarations" is the user's choice, kept between runs.
void UtilsPage::ChResolveClick()
{
    QSettings settings(QStringLiteral("Quillan"), QStringLiteral("Quillan"));
    settings.setValue(kResolveKey, ChResolve->isChecked());
}

bool UtilsPage::resolveSetting()
{
    return QSettings(QStringLiteral("Quillan"), QStringLiteral("Quillan")).value(kResolveKey, false).toBool();
}

void UtilsPage::FindRecordKeyUp(int)
{
    ShowRecordFields();
}

void UtilsPage::FindRecordMouseUp()
{
    ShowRecordFields();
}

void UtilsPage::ShowRecordFields()
{
    const QList<QListWidgetItem*> selected = FindRecord->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = FindRecord->row(selected.first());
    if (index < 0 || index >= static_cast<int>(ScannedRecords.size()))
        return;
    RecordGrid->setRowCount(2);
    bool variants = false;
    const dict::ScannedRecord& record = ScannedRecords[index];
    for (const dict::ScannedField& field : record.Fields) {
        const int row = RecordGrid->RowCount() - 1;
        RecordGrid->setCells(0, row, sourceText(field.Name));
        RecordGrid->setCells(1, row, sourceText(field.PascalType));
        RecordGrid->setCells(2, row, sourceText(field.BtrieveType));
        RecordGrid->setCells(3, row, QString::number(field.Offset));
        RecordGrid->setCells(4, row, QString::number(field.Size));
        RecordGrid->setCells(kRecordVariantColumn, row,
                             sourceText(std::string(dict::variantName(record, field))));
        variants = variants || field.Variant >= 0;
        RecordGrid->setRowCount(row + 2);
    }
    RecordGrid->setColumnHidden(kRecordVariantColumn, !variants);
    const int last = RecordGrid->RowCount() - 1;
    for (int col = 0; col < RecordGrid->ColCount(); ++col)
        RecordGrid->setCells(col, last, QString());
}
