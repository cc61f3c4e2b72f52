// The Data page: the records of the table chosen on the Files page, read-only through its
// location, decoded by the table's field rows as they stand, unsaved edits included; and the
// first draft of the fields from the data.
#include "DataPage.h"

#include "DDFUnit.h"
#include "PageLayout.h"

#include "DataPageModel.h"
#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "FieldInference.h"
#include "Status.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHeaderView>

#include <algorithm>

namespace {

using namespace grid;

// Records the first draft reads.
constexpr std::size_t kDraftSample = 10000;

} // namespace

// The draft of the fields of the records the table describes. When the sample holds records of
// several layouts (told apart by a tag), the user says which of them the table is; none when the
// user cancels.
std::optional<std::vector<dict::InferredField>> DataPage::chooseDraft(const dict::DataSample& sample,
                                                                      const QString& tableName) const
{
    const dict::InferredVariants kinds = dict::inferVariants(sample);
    if (kinds.variants.empty())
        return dict::inferFields(sample);
    const QString bytes =
        kinds.size == 1 ? QStringLiteral("byte %1").arg(kinds.offset)
                        : QStringLiteral("bytes %1..%2").arg(kinds.offset).arg(kinds.offset + kinds.size - 1);
    QStringList answers;
    for (const dict::InferredVariant& v : kinds.variants) {
        const bool plain =
            std::all_of(v.tag.begin(), v.tag.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
        QString tag = QString::fromLatin1(QByteArray::fromStdString(v.tag).toHex(' ').toUpper());
        if (plain)
            tag = QStringLiteral("'%1' (%2)").arg(QString::fromStdString(v.tag), tag);
        answers << QStringLiteral("Records with %1 %2: %3 of %4")
                       .arg(bytes, tag)
                       .arg(v.records.size())
                       .arg(sample.count);
    }
    const QString all = QStringLiteral("All records");
    const QString cancel = QStringLiteral("Cancel");
    answers << all << cancel;
    const QString answer = TMain::askChoice(
        QStringLiteral("The records of this file are of %1 layouts, told apart by %2. Which records does the "
                       "table %3 describe?")
            .arg(kinds.variants.size())
            .arg(bytes, withoutTrailingBlanks(tableName)),
        answers, 0, int(answers.size()) - 1);
    if (answer == all)
        return dict::inferFields(sample);
    const qsizetype chosen = answers.indexOf(answer);
    if (chosen < 0 || chosen >= qsizetype(kinds.variants.size()))
        return std::nullopt;
    return kinds.variants[std::size_t(chosen)].fields;
}

// A field row's cells become a field shown; cells that are not (yet) numbers give a field of no
// bytes, shown as such.
std::vector<dict::ViewField> DataPage::tableFields(qint32 tableId, const QString& tableName) const
{
    std::vector<dict::ViewField> fields;
    const QHash<QString, int> extended = w.extFields().extendedTypesOf(tableName);
    for (const QStringList& cells : w.fieldRowsOf(tableId)) {
        dict::ViewField f;
        f.name = withoutTrailingBlanks(cells[kFieldName]).toStdString();
        f.offset = cellInteger(cells[kFieldOffset]).value_or(0);
        f.size = cellInteger(cells[kFieldSize]).value_or(0);
        f.decimals = cellInteger(cells[kFieldDec]).value_or(0);
        f.typeCode = extended.value(asciiUpper(padName(cells[kFieldName])),
                                    cellInteger(cells[kFieldDataType]).value_or(-1));
        fields.push_back(std::move(f));
    }
    return fields;
}

void DataPage::ShowDataPage()
{
    const std::optional<TMain::ChosenTable> table = w.chosenTable();
    QString path;
    if (table) {
        const QString location = withoutTrailingBlanks(table->location);
        if (!location.isEmpty())
            path = QDir::current().absoluteFilePath(location);
    }
    if (path != DataModel->file()) {
        DataModel->setFields({});
        const int status = DataModel->setFile(path);
        DataProgress->setValue(0);
        if (status)
            LDataTable->setText(QStringLiteral("%1: cannot be opened: status %2 (%3).")
                                    .arg(withoutTrailingBlanks(table ? table->location : QString()))
                                    .arg(status)
                                    .arg(QString::fromLatin1(btr::statusMeaning(status))));
    }
    DataModel->setFields(table ? tableFields(table->id, table->name) : std::vector<dict::ViewField>{});
    DataDraft->setEnabled(DataModel->recordLength() > 0);
    DataReadAll->setEnabled(DataModel->recordLength() > 0 && !DataModel->atEnd());
    showStatus();
}

void DataPage::RefreshDataFields()
{
    if (w.PageControl->currentWidget() != this || DataModel->file().isEmpty())
        return;
    const std::optional<TMain::ChosenTable> table = w.chosenTable();
    DataModel->setFields(table ? tableFields(table->id, table->name) : std::vector<dict::ViewField>{});
    showStatus();
}

void DataPage::showStatus()
{
    const std::optional<TMain::ChosenTable> table = w.chosenTable();
    if (!table) {
        LDataTable->setText(QStringLiteral("Select a table on the Files page."));
        return;
    }
    if (DataModel->recordLength() == 0) {
        if (DataModel->file().isEmpty())
            LDataTable->setText(
                QStringLiteral("%1 has no location.").arg(withoutTrailingBlanks(table->name)));
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
                            .arg(withoutTrailingBlanks(table->name))
                            .arg(DataModel->recordLength())
                            .arg(read)
                            .arg(DataModel->atEnd() ? QStringLiteral(".") : QStringLiteral(" so far.")));
}

void DataPage::DataReadAllClick()
{
    HourGlass wait;
    DataProgress->setRange(0, 1000);
    DataModel->readAll([this](std::size_t read, std::size_t expected) {
        DataProgress->setValue(expected ? int(std::min<std::size_t>(read, expected) * 1000 / expected) : 1000);
        showStatus();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    DataProgress->setValue(1000);
    DataReadAll->setEnabled(!DataModel->atEnd());
    showStatus();
}

void DataPage::DataDraftClick()
{
    w.nameStep("First Draft of Table" + w.currentTableName());
    const std::optional<TMain::ChosenTable> table = w.chosenTable();
    if (!table || DataModel->file().isEmpty())
        return;
    const std::size_t existing = tableFields(table->id, table->name).size();
    if (existing &&
        !TMain::askQuestion(
            QStringLiteral("The table %1 has %2 fields already. Replace them with the first draft?")
                .arg(withoutTrailingBlanks(table->name))
                .arg(existing)))
        return;

    dict::DataSample sample;
    {
        HourGlass wait;
        const int status = dict::readDataSample(QFile::encodeName(DataModel->file()).toStdString(), kDraftSample, sample);
        if (sample.recordLength == 0) {
            TMain::showError(
                QStringLiteral("%1 cannot be read: status %2").arg(DataModel->file()).arg(status));
            return;
        }
    }
    std::optional<std::vector<dict::InferredField>> draft = chooseDraft(sample, table->name);
    if (!draft)
        return;
    w.draftFields(table->id, table->name, *draft, existing != 0);
    DataModel->setFields(tableFields(table->id, table->name));
    showStatus();
}

// ---- Layout and wiring ----

using layout::place;
using layout::placeLabel;

DataPage::DataPage(TMain& window) : WindowPage(window, "TabData")
{
    QWidget* p = this;
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

void DataPage::wire()
{
    Wiring<DataPage> wire(&w, this);
    wire.click(DataDraft, &DataPage::DataDraftClick);
    wire.click(DataReadAll, &DataPage::DataReadAllClick);
    // Records the view fetched as it scrolled count too.
    connect(DataModel, &QAbstractItemModel::rowsInserted, this, [this] {
        w.guarded([this] {
            DataReadAll->setEnabled(!DataModel->atEnd());
            showStatus();
        });
    });
    // An edit of a field row or an extended type shows at once while the page is up.
    const auto refresh = [this] { w.guarded([this] { RefreshDataFields(); }); };
    w.onFieldRowsChanged(refresh);
    w.extFields().onRowsChanged(refresh);
}
