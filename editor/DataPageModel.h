#pragma once
// The Data page's table: the records of one data file, read-only, a row per record and a column
// per field (and per range of bytes no field covers), decoded as export decodes them. Records
// are read as the view asks for more (canFetchMore/fetchMore) into a RecordCache, so that the
// first screen of a file of a million records needs only its first records; rows the view
// scrolls back to are read again when their block has left the cache.
#include "RecordView.h"

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <vector>

class DataPageModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Records read per fetchMore, and at most this many records counted again when the fields
    // change (the counts then cover the records read after those).
    static constexpr int kBatch = 256;
    static constexpr std::size_t kRecount = 20000;

    explicit DataPageModel(QObject* parent = nullptr);

    // Opens the data file read-only and reads its first records; the record manager's status
    // (0 on success). An empty path shows nothing.
    int setFile(const QString& path);
    const QString& file() const { return mPath; }
    // The fields the records are decoded by; the records read stay, the counts start again.
    void setFields(std::vector<dict::ViewField> fields);
    const std::vector<dict::ViewField>& fields() const { return mFields; }
    const std::vector<dict::ViewColumn>& columns() const { return mColumns; }

    std::size_t recordLength() const { return mCache.recordLength(); }
    // Records the data file's statistics count (0 when none is open). The page opens the file
    // without them (on a large file they take long: every record and key value is counted):
    // they are read by readAll; until then, or until the end is reached, this is 0.
    std::size_t expectedRecords() const;
    bool knowsTotal() const;
    bool atEnd() const { return mCache.atEnd(); }
    // Values of column `column` that did not decode among the records counted.
    uint64_t undecodable(int column) const;
    std::size_t counted() const { return mCounted; }

    // Reads every remaining record; progress(read, expected) after each batch, false stops.
    void readAll(const std::function<bool(std::size_t, std::size_t)>& progress);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    void fetch(std::size_t n);
    void count(std::size_t from, std::size_t to);
    void recount();

    QString mPath;
    mutable dict::RecordCache mCache;
    std::vector<dict::ViewField> mFields;
    std::vector<dict::ViewColumn> mColumns;
    std::vector<uint64_t> mBad;
    std::size_t mRows = 0;    // records the view knows of
    std::size_t mCounted = 0; // records 0 .. mCounted - 1 are in mBad
    std::size_t mCountFrom = 0;
};
