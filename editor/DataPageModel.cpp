#include "DataPageModel.h"
#include "DictionaryGrid.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFont>

namespace {

// Colours of the marks: a value that does not decode, bytes no field covers, fields that
// overlap another or reach beyond the record.
const QColor kUndecodable(255, 190, 190);
const QColor kUncovered(255, 240, 160);
const QColor kOverlap(255, 205, 130);
const QColor kOutside(215, 215, 215);

} // namespace

DataPageModel::DataPageModel(QObject* parent) : QAbstractTableModel(parent) {}

int DataPageModel::setFile(const QString& path)
{
    beginResetModel();
    mCache.close();
    mPath = path;
    int status = 0;
    if (!path.isEmpty())
        status = mCache.open(QFile::encodeName(path).toStdString(), true);
    mColumns = dict::viewColumns(mFields, mCache.recordLength());
    mBad.assign(mColumns.size(), 0);
    mCounted = 0;
    if (status == 0 && mCache.isOpen())
        fetch(kBatch);
    mRows = mCache.loaded();
    endResetModel();
    return status;
}

void DataPageModel::setFields(std::vector<dict::ViewField> fields)
{
    beginResetModel();
    mFields = std::move(fields);
    mColumns = dict::viewColumns(mFields, mCache.recordLength());
    recount();
    endResetModel();
}

std::size_t DataPageModel::expectedRecords() const
{
    if (!mCache.isOpen() || !mCache.hasLayout())
        return mCache.atEnd() ? mCache.loaded() : 0;
    return std::size_t(std::max<int32_t>(mCache.layout().spec.recordCount, 0));
}

bool DataPageModel::knowsTotal() const
{
    return mCache.atEnd() || mCache.hasLayout();
}

uint64_t DataPageModel::undecodable(int column) const
{
    return column >= 0 && std::size_t(column) < mBad.size() ? mBad[std::size_t(column)] : 0;
}

void DataPageModel::fetch(std::size_t n)
{
    const std::size_t before = mCache.loaded();
    mCache.fetch(n);
    count(before, mCache.loaded());
}

void DataPageModel::count(std::size_t from, std::size_t to)
{
    if (from != mCounted)
        return; // the counts cover a first run of records only
    for (std::size_t r = from; r < to; ++r) {
        const auto record = mCache.record(r);
        for (std::size_t c = 0; c < mColumns.size(); ++c)
            if (mColumns[c].kind == dict::ViewColumn::Kind::Field &&
                !dict::columnValue(mColumns[c], mFields, record, grid::codePage()).decodes)
                ++mBad[c];
    }
    mCounted = to;
}

void DataPageModel::recount()
{
    mBad.assign(mColumns.size(), 0);
    mCounted = 0;
    count(0, std::min(mCache.loaded(), kRecount));
}

void DataPageModel::readAll(const std::function<bool(std::size_t, std::size_t)>& progress)
{
    constexpr std::size_t kPassBatch = 8192;
    // The statistics give the number of records the progress counts towards.
    if (mCache.isOpen())
        mCache.readLayout();
    while (!mCache.atEnd()) {
        const int first = rowCount();
        const std::size_t before = mCache.loaded();
        // The rows are announced after reading, so the view sees them all at once per batch.
        mCache.fetch(kPassBatch);
        const int last = int(mCache.loaded()) - 1;
        if (last >= first) {
            beginInsertRows({}, first, last);
            mRows = mCache.loaded();
            endInsertRows();
        }
        // Records beyond the recount limit start counting only when the counts reached them.
        if (mCounted == before)
            count(before, mCache.loaded());
        emit headerDataChanged(Qt::Horizontal, 0, std::max(columnCount() - 1, 0));
        if (progress && !progress(mCache.loaded(), expectedRecords()))
            break;
    }
}

int DataPageModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(mRows);
}

int DataPageModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(mColumns.size());
}

QVariant DataPageModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.column()) >= mColumns.size() || std::size_t(index.row()) >= mRows)
        return {};
    const dict::ViewColumn& c = mColumns[std::size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::BackgroundRole:
    case Qt::ToolTipRole: {
        const auto record = mCache.record(std::size_t(index.row()));
        if (record.empty())
            return role == Qt::DisplayRole ? QVariant(QStringLiteral("?")) : QVariant();
        const dict::ColumnValue v = dict::columnValue(c, mFields, record, grid::codePage());
        if (role == Qt::DisplayRole)
            return QString::fromStdString(v.text);
        if (role == Qt::ToolTipRole)
            return v.decodes ? QVariant() : QVariant(tr("These bytes do not decode as the field's type."));
        if (c.outside)
            return QBrush(kOutside);
        if (!v.decodes)
            return QBrush(kUndecodable);
        if (c.kind == dict::ViewColumn::Kind::Uncovered)
            return QBrush(kUncovered);
        if (c.overlaps)
            return QBrush(kOverlap);
        return {};
    }
    case Qt::FontRole:
        if (c.kind == dict::ViewColumn::Kind::Uncovered) {
            QFont f;
            f.setFamily(QStringLiteral("monospace"));
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant DataPageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section < 0 || std::size_t(section) >= mColumns.size())
        return {};
    const dict::ViewColumn& c = mColumns[std::size_t(section)];
    const QString where = QStringLiteral("%1+%2").arg(c.offset).arg(c.size);
    if (role == Qt::DisplayRole) {
        if (c.kind == dict::ViewColumn::Kind::Uncovered)
            return tr("(no field)\n%1").arg(where);
        QString text = QString::fromStdString(mFields[std::size_t(c.field)].name) + QLatin1Char('\n') + where;
        if (c.outside)
            text += tr(" outside");
        else if (mBad[std::size_t(section)])
            text += tr(" \u2717%1").arg(mBad[std::size_t(section)]);
        return text;
    }
    if (role == Qt::ToolTipRole) {
        if (c.kind == dict::ViewColumn::Kind::Uncovered)
            return tr("Bytes %1 to %2: no field covers them.").arg(c.offset).arg(c.offset + c.size - 1);
        QString tip = tr("Offset %1, size %2.").arg(c.offset).arg(c.size);
        if (c.overlaps)
            tip += tr(" Overlaps another field.");
        if (c.outside)
            tip += tr(" Reaches beyond the record of %1 bytes.").arg(mCache.recordLength());
        tip += tr(" %1 of the first %2 records do not decode.").arg(mBad[std::size_t(section)]).arg(mCounted);
        return tip;
    }
    if (role == Qt::BackgroundRole) {
        if (c.kind == dict::ViewColumn::Kind::Uncovered)
            return QBrush(kUncovered);
        if (c.outside)
            return QBrush(kOutside);
        if (mBad[std::size_t(section)])
            return QBrush(kUndecodable);
        if (c.overlaps)
            return QBrush(kOverlap);
    }
    return {};
}

bool DataPageModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && mCache.isOpen() && !mCache.atEnd();
}

void DataPageModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = rowCount();
    const std::size_t before = mCache.loaded();
    mCache.fetch(kBatch);
    const std::size_t after = mCache.loaded();
    if (after > before) {
        beginInsertRows({}, first, int(after) - 1);
        mRows = after;
        endInsertRows();
    }
    const bool counting = mCounted == before;
    count(before, after);
    if (counting && after > before)
        emit headerDataChanged(Qt::Horizontal, 0, std::max(columnCount() - 1, 0));
}
