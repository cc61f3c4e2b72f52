// Data page of TMain: the records of the table selected on the Files page, read-only through
// its location, decoded by the table's rows of the Fields grid as they stand, unsaved edits
// included; and the first draft of the fields from the data.
#include "DDFUnit.h"

#include "PageLayout.h"

#include "DataPageModel.h"
#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "FieldInference.h"
#include "Status.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>

namespace {

using namespace grid;

// Records the first draft reads.
constexpr std::size_t kDraftSample = 10000;

// Calls `visit` with the cells of every row of a grid from row 1, then of the rows its filter
// set aside (each kept as its cells joined by '\n').
template <class Visit> void forEachRow(const TVarGrid* grid, const QStringList& hidden, int cols, Visit visit)
{
    for (int row = 1; row < grid->RowCount(); ++row)
        visit(grid->rowCells(row));
    for (const QString& text : hidden) {
        QStringList cells = text.split(QLatin1Char('\n'));
        cells.resize(cols);
        visit(std::as_const(cells));
    }
}

} // namespace

int TMain::dataTableRow() const
{
    if (mDataTableId)
        return findRowByNumber(FileGrid, kFileId, *mDataTableId);
    const int row = FileGrid->Row();
    if (row < 1 || row >= FileGrid->RowCount() || !cellInteger(FileGrid, kFileId, row))
        return -1;
    return row;
}

// The table's fields: rows whose table id is the table's, with the extended type the
// ExtFields grid gives a field of that table and name. Cells that are not (yet) numbers give
// a field of no bytes, shown as such.
std::vector<dict::ViewField> TMain::dataTableFields(int tableRow) const
{
    std::vector<dict::ViewField> fields;
    if (tableRow < 0)
        return fields;
    const auto tableId = cellInteger(FileGrid, kFileId, tableRow);
    const QString tableName = FileGrid->Cells(kFileName, tableRow);
    const QHash<QString, int> extended = mExtFields->extendedTypesOf(tableName);
    forEachRow(FieldGrid, HiddenFieldRows, kFieldCols, [&](const QStringList& cells) {
        if (!tableId || cellInteger(cells[kFieldFile]) != tableId)
            return;
        dict::ViewField f;
        f.name = withoutTrailingBlanks(cells[kFieldName]).toStdString();
        f.offset = cellInteger(cells[kFieldOffset]).value_or(0);
        f.size = cellInteger(cells[kFieldSize]).value_or(0);
        f.decimals = cellInteger(cells[kFieldDec]).value_or(0);
        f.typeCode = extended.value(asciiUpper(padName(cells[kFieldName])),
                                    cellInteger(cells[kFieldDataType]).value_or(-1));
        fields.push_back(std::move(f));
    });
    return fields;
}

void TMain::ShowDataPage()
{
    const int row = dataTableRow();
    QString path;
    if (row >= 0) {
        const QString location = withoutTrailingBlanks(FileGrid->Cells(kFileLoc, row));
        if (!location.isEmpty())
            path = QDir::current().absoluteFilePath(location);
    }
    if (path != DataModel->file()) {
        DataModel->setFields({});
        const int status = DataModel->setFile(path);
        DataProgress->setValue(0);
        if (status)
            LDataTable->setText(QStringLiteral("%1: cannot be opened: status %2 (%3).")
                                    .arg(withoutTrailingBlanks(FileGrid->Cells(kFileLoc, row)))
                                    .arg(status)
                                    .arg(QString::fromLatin1(btr::statusMeaning(status))));
    }
    DataModel->setFields(dataTableFields(row));
    DataDraft->setEnabled(DataModel->recordLength() > 0);
    DataReadAll->setEnabled(DataModel->recordLength() > 0 && !DataModel->atEnd());
    showDataStatus();
}

void TMain::RefreshDataFields()
{
    if (PageControl->currentWidget() != TabData || DataModel->file().isEmpty())
        return;
    DataModel->setFields(dataTableFields(dataTableRow()));
    showDataStatus();
}

void TMain::showDataStatus()
{
    const int row = dataTableRow();
    if (row < 0) {
        LDataTable->setText(QStringLiteral("Select a table on the Files page."));
        return;
    }
    if (DataModel->recordLength() == 0) {
        if (DataModel->file().isEmpty())
            LDataTable->setText(QStringLiteral("%1 has no location.")
                                    .arg(withoutTrailingBlanks(FileGrid->Cells(kFileName, row))));
        return;
    }
    const QString read = DataModel->knowsTotal()
                             ? QStringLiteral("%1 of %2 read").arg(DataModel->rowCount()).arg(DataModel->expectedRecords())
                             : QStringLiteral("%1 read").arg(DataModel->rowCount());
    // The bar shows what is read of what the statistics promise; all of it once at the end.
    const std::size_t expected = DataModel->knowsTotal() ? DataModel->expectedRecords() : 0;
    DataProgress->setValue(
        DataModel->atEnd() ? 1000
        : expected
            ? int(std::min<std::size_t>(std::size_t(DataModel->rowCount()), expected) * 1000 / expected)
            : 0);
    LDataTable->setText(QStringLiteral("%1: records of %2 bytes, %3%4")
                            .arg(withoutTrailingBlanks(FileGrid->Cells(kFileName, row)))
                            .arg(DataModel->recordLength())
                            .arg(read)
                            .arg(DataModel->atEnd() ? QStringLiteral(".") : QStringLiteral(" so far.")));
}

void TMain::DataReadAllClick()
{
    HourGlass wait;
    DataProgress->setRange(0, 1000);
    DataModel->readAll([this](std::size_t read, std::size_t expected) {
        DataProgress->setValue(expected ? int(std::min<std::size_t>(read, expected) * 1000 / expected) : 1000);
        showDataStatus();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    DataProgress->setValue(1000);
    DataReadAll->setEnabled(!DataModel->atEnd());
    showDataStatus();
}

void TMain::DataDraftClick()
{
    nameStep("First Draft of Table" + quotedName(FileGrid, grid::kFileName));
    const int tableRow = dataTableRow();
    if (tableRow < 0 || DataModel->file().isEmpty())
        return;
    const qint32 tableId = *cellInteger(FileGrid, kFileId, tableRow);
    const QString tableName = FileGrid->Cells(kFileName, tableRow);
    const std::size_t existing = dataTableFields(tableRow).size();
    if (existing &&
        !askQuestion(QStringLiteral("The table %1 has %2 fields already. Replace them with the first draft?")
                         .arg(withoutTrailingBlanks(tableName))
                         .arg(existing)))
        return;

    dict::DataSample sample;
    {
        HourGlass wait;
        const int status = dict::readDataSample(QFile::encodeName(DataModel->file()).toStdString(), kDraftSample, sample);
        if (sample.recordLength == 0) {
            showError(QStringLiteral("%1 cannot be read: status %2").arg(DataModel->file()).arg(status));
            return;
        }
    }
    const std::vector<dict::InferredField> draft = dict::inferFields(sample);

    // New ids above every id in the grid, set-aside rows and the rows about to go included.
    qint32 highest = highestInteger(FieldGrid, kFieldId, HighestFieldId);
    for (const QString& text : HiddenFieldRows)
        highest = std::max(highest, cellInteger(text.section(QLatin1Char('\n'), 0, 0)).value_or(highest));

    if (existing) {
        const auto ofTable = [&](const QStringList& cells) { return cellInteger(cells[kFieldFile]) == tableId; };
        FieldGrid->takeRows([&](int, const QStringList& cells) { return ofTable(cells); });
        HiddenFieldRows.erase(std::remove_if(HiddenFieldRows.begin(), HiddenFieldRows.end(),
                                             [&](const QString& text) {
                                                 return cellInteger(text.section(QLatin1Char('\n'), 1, 1)) == tableId;
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
    DataModel->setFields(dataTableFields(tableRow));
    showDataStatus();
}

// ---- Layout and wiring ----

using layout::place;
using layout::placeLabel;

void TMain::buildDataPage()
{
    QWidget* p = TabData;
    MAKE(LDataTable, place(new QLabel(p), 4, 4, 418, 16));
    MAKE(DataGrid, place(new QTableView(p), 0, 22, 425, 304));
    MAKE(DataDraft, place(new QPushButton(QStringLiteral("First Draft"), p), 0, 334, 75, 25));
    MAKE(DataReadAll, place(new QPushButton(QStringLiteral("Read All"), p), 80, 334, 75, 25));
    MAKE(DataProgress, place(new QProgressBar(p), 164, 338, 258, 17));
    DataModel = new DataPageModel(this);
    DataModel->setObjectName(QStringLiteral("DataModel"));
    DataGrid->setModel(DataModel);
    DataGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid->verticalHeader()->setDefaultSectionSize(18);
    DataGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DataGrid->horizontalHeader()->setDefaultSectionSize(90);
    DataProgress->setRange(0, 1000);
    DataProgress->setValue(0);
    DataDraft->setEnabled(false);
    DataReadAll->setEnabled(false);
}

void TMain::wireDataPage(HandlerWiring& wire)
{
    wire.click(DataDraft, &TMain::DataDraftClick);
    const auto chosen = [this] {
        if (const auto id = cellInteger(FileGrid, kFileId, FileGrid->Row()); id && FileGrid->Row() >= 1)
            mDataTableId = id;
    };
    connect(FileGrid, &TVarGrid::mouseUp, this, chosen);
    connect(FileGrid, &TVarGrid::keyUp, this, chosen);
    wire.click(DataReadAll, &TMain::DataReadAllClick);
    // Records the view fetched as it scrolled count too.
    connect(DataModel, &QAbstractItemModel::rowsInserted, this, [this] {
        guarded([this] {
            DataReadAll->setEnabled(!DataModel->atEnd());
            showDataStatus();
        });
    });
    // An edit of a field row or an extended type shows at once while the page is up.
    const auto refresh = [this] { guarded([this] { RefreshDataFields(); }); };
    QAbstractItemModel* m = FieldGrid->model();
    connect(m, &QAbstractItemModel::dataChanged, this, refresh);
    connect(m, &QAbstractItemModel::rowsInserted, this, refresh);
    connect(m, &QAbstractItemModel::rowsRemoved, this, refresh);
    connect(m, &QAbstractItemModel::modelReset, this, refresh);
    mExtFields->onRowsChanged(refresh);
}
