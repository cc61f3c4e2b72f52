// export: every record of a table's data file, read through the record manager in physical
// order and decoded field by field, into an SQLite database or one CSV file per table.
#include "Commands.h"
#include "SqlSchema.h"
#include "Status.h"
#include "WinBtr.h"

#include <sqlite3.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

namespace cli {
namespace {
namespace fs = std::filesystem;

constexpr const char* kHelp = R"(Usage: quillan-cli export DIR [TABLE...] --to OUT.db [--codepage CP]
       quillan-cli export DIR [TABLE...] --csv OUTDIR [--codepage CP]

Reads each table's data file (all tables, or those named) through the record manager in
physical order, decodes every field by its type and writes the records into an SQLite database
(tables and indexes as `quillan-cli sql` prints them; OUT.db is replaced) or into one CSV file
per table in OUTDIR (a header line of column names; NULL is an empty cell). A value that cannot
be decoded is written as NULL and counted in the summary on stderr; types without a decoder are
written as their bytes (a BLOB, hexadecimal in CSV). Names, file names and texts are UTF-8; a
TABLE is matched against the names as read in the code page. Exit status 1 when values could
not be decoded or a data file could not be read.
)";

constexpr uint32_t kProgressThreshold = 10000;

// Where decoded records go.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void beginTable(const TablePlan& plan) = 0;
    // values: one per column; record: the whole record, written when the table has no fields.
    virtual void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) = 0;
    // Notes (sentences) go to notes.
    virtual void endTable(const TablePlan& plan, std::vector<std::string>& notes) = 0;
    virtual void finish() = 0;
};

class SqliteSink : public Sink {
public:
    explicit SqliteSink(fs::path out) : mOut(std::move(out)), mTemp(mOut.string() + ".tmp")
    {
        std::error_code ec;
        fs::remove(mTemp, ec);
        if (sqlite3_open_v2(mTemp.c_str(), &mDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            fail("cannot create " + mTemp.string());
        exec("PRAGMA page_size=65536; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA "
             "locking_mode=EXCLUSIVE;"
             "PRAGMA cache_size=-65536; BEGIN");
    }
    ~SqliteSink() override
    {
        if (mInsert)
            sqlite3_finalize(mInsert);
        if (mDb)
            sqlite3_close(mDb);
        if (!mFinished) {
            std::error_code ec;
            fs::remove(mTemp, ec);
        }
    }

    void beginTable(const TablePlan& plan) override
    {
        exec(createTableSql(plan, Dialect::Sqlite));
        std::string sql = "INSERT INTO " + quoteIdentifier(plan.name) + " VALUES (";
        const std::size_t n = std::max<std::size_t>(plan.columns.size(), 1);
        for (std::size_t i = 0; i < n; ++i)
            sql += i ? ",?" : "?";
        sql += ")";
        if (sqlite3_prepare_v2(mDb, sql.c_str(), -1, &mInsert, nullptr) != SQLITE_OK)
            fail(sqlite3_errmsg(mDb));
    }

    void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) override
    {
        if (values.empty())
            sqlite3_bind_blob(mInsert, 1, record.data(), static_cast<int>(record.size()), SQLITE_STATIC);
        int i = 1;
        for (const dict::FieldValue& v : values) {
            switch (v.kind) {
            case dict::FieldValue::Kind::Null:
                sqlite3_bind_null(mInsert, i);
                break;
            case dict::FieldValue::Kind::Integer:
                sqlite3_bind_int64(mInsert, i, v.integer);
                break;
            case dict::FieldValue::Kind::Real:
                sqlite3_bind_double(mInsert, i, v.real);
                break;
            case dict::FieldValue::Kind::Text:
            case dict::FieldValue::Kind::Decimal:
                sqlite3_bind_text(mInsert, i, v.text.data(), static_cast<int>(v.text.size()), SQLITE_STATIC);
                break;
            case dict::FieldValue::Kind::Blob:
                sqlite3_bind_blob(mInsert, i, v.text.data(), static_cast<int>(v.text.size()), SQLITE_STATIC);
                break;
            }
            ++i;
        }
        if (sqlite3_step(mInsert) != SQLITE_DONE)
            fail(sqlite3_errmsg(mDb));
        sqlite3_reset(mInsert);
    }

    void endTable(const TablePlan& plan, std::vector<std::string>& notes) override
    {
        sqlite3_finalize(mInsert);
        mInsert = nullptr;
        for (const IndexPlan& ix : plan.indexes) {
            if (ix.unique && sqlite3_exec(mDb, createIndexSql(plan, ix, Dialect::Sqlite, true).c_str(),
                                          nullptr, nullptr, nullptr) == SQLITE_OK)
                continue;
            if (ix.unique)
                notes.push_back(
                    "Key " + std::to_string(ix.keyNumber) +
                    " allows no duplicates, but the exported values repeat: its index is not unique.");
            exec(createIndexSql(plan, ix, Dialect::Sqlite, false));
        }
    }

    void finish() override
    {
        exec("COMMIT");
        if (sqlite3_close(mDb) != SQLITE_OK)
            fail(sqlite3_errmsg(mDb));
        mDb = nullptr;
        std::error_code ec;
        fs::rename(mTemp, mOut, ec);
        if (ec)
            fail("cannot write " + mOut.string() + ": " + ec.message());
        mFinished = true;
    }

private:
    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(mDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "SQLite error";
            sqlite3_free(error);
            fail(message);
        }
    }
    [[noreturn]] void fail(const std::string& message) { throw CliError(mOut.string() + ": " + message); }

    fs::path mOut;
    fs::path mTemp;
    sqlite3* mDb = nullptr;
    sqlite3_stmt* mInsert = nullptr;
    bool mFinished = false;
};

class CsvSink : public Sink {
public:
    explicit CsvSink(fs::path dir) : mDir(std::move(dir))
    {
        std::error_code ec;
        fs::create_directories(mDir, ec);
        if (!fs::is_directory(mDir, ec))
            throw CliError("cannot create the directory " + mDir.string());
    }

    void beginTable(const TablePlan& plan) override
    {
        std::string file;
        for (char c : plan.name)
            file += (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
        mPath = mDir / (file + ".csv");
        mFile.open(mPath, std::ios::binary | std::ios::trunc);
        if (!mFile)
            throw CliError("cannot write " + mPath.string());
        if (plan.columns.empty())
            mFile << "record";
        for (std::size_t i = 0; i < plan.columns.size(); ++i)
            mFile << (i ? "," : "") << quoted(plan.columns[i].name);
        mFile << "\r\n";
    }

    void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) override
    {
        if (values.empty()) {
            dict::FieldValue raw;
            raw.kind = dict::FieldValue::Kind::Blob;
            raw.text.assign(reinterpret_cast<const char*>(record.data()), record.size());
            mFile << dict::valueText(raw);
        }
        bool first = true;
        for (const dict::FieldValue& v : values) {
            if (!first)
                mFile << ',';
            first = false;
            if (v.kind == dict::FieldValue::Kind::Text)
                mFile << quoted(v.text);
            else
                mFile << dict::valueText(v);
        }
        mFile << "\r\n";
    }

    void endTable(const TablePlan&, std::vector<std::string>&) override
    {
        mFile.close();
        if (!mFile)
            throw CliError("cannot write " + mPath.string());
    }

    void finish() override {}

private:
    // Texts are quoted when they hold a separator, a quote or a line break, and when empty, so
    // that an empty text stays apart from NULL.
    static std::string quoted(const std::string& s)
    {
        if (!s.empty() && s.find_first_of(",\"\r\n") == std::string::npos)
            return s;
        std::string q = "\"";
        for (char c : s) {
            if (c == '"')
                q += '"';
            q += c;
        }
        return q + '"';
    }

    fs::path mDir;
    fs::path mPath;
    std::ofstream mFile;
};

// Reads a file's records in physical order on a thread of its own, in batches, so that reading
// overlaps decoding and writing. While it lives, only its thread calls the record manager.
class BatchReader {
public:
    BatchReader(TWinBtr& btr, std::size_t recordLength)
        : mBtr(btr), mLength(recordLength), mThread([this] { run(); })
    {
    }
    ~BatchReader()
    {
        {
            std::lock_guard lock(mMutex);
            mStop = true;
        }
        mChanged.notify_all();
        mThread.join();
    }

    // The next batch of count records, each recordLength bytes, valid until the next call; null
    // when every record has been handed out.
    const uint8_t* next(std::size_t& count)
    {
        std::unique_lock lock(mMutex);
        if (!mCurrent.empty())
            mSpare.push_back(std::move(mCurrent));
        mChanged.notify_all();
        mChanged.wait(lock, [&] { return !mFull.empty() || mDone; });
        if (mFull.empty())
            return nullptr;
        mCurrent = std::move(mFull.front().bytes);
        count = mFull.front().count;
        mFull.pop_front();
        mChanged.notify_all();
        return mCurrent.data();
    }

    // After the last batch: 9 when the file was read to its end, else the status that stopped it.
    int status() const { return mStatus; }

private:
    static constexpr std::size_t kBatchRecords = 2048;
    static constexpr std::size_t kBatchesAhead = 2;

    struct Batch {
        std::vector<uint8_t> bytes;
        std::size_t count;
    };

    void run()
    {
        int st = mBtr.Execute(btr::OpStepFirst);
        while (st == btr::StatusSuccess) {
            std::vector<uint8_t> bytes;
            {
                std::lock_guard lock(mMutex);
                if (!mSpare.empty()) {
                    bytes = std::move(mSpare.back());
                    mSpare.pop_back();
                }
            }
            bytes.resize(kBatchRecords * mLength);
            std::size_t n = 0;
            for (; st == btr::StatusSuccess && n < kBatchRecords; ++n) {
                std::memcpy(bytes.data() + n * mLength, mBtr.Buffer, mLength);
                st = mBtr.Execute(btr::OpStepNext);
            }
            std::unique_lock lock(mMutex);
            mChanged.wait(lock, [&] { return mFull.size() < kBatchesAhead || mStop; });
            if (mStop)
                return;
            mFull.push_back({std::move(bytes), n});
            mChanged.notify_all();
        }
        std::lock_guard lock(mMutex);
        mStatus = st;
        mDone = true;
        mChanged.notify_all();
    }

    TWinBtr& mBtr;
    const std::size_t mLength;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<Batch> mFull;
    std::vector<std::vector<uint8_t>> mSpare;
    std::vector<uint8_t> mCurrent;
    bool mStop = false;
    bool mDone = false;
    int mStatus = btr::StatusEndOfFile;
    std::thread mThread; // last: starts once everything above is in place
};

struct ColumnTally {
    uint64_t undecodable = 0;
};

// Reads one table's data file into the sink. Returns false when the file could not be read to
// its end (the message is in problems).
bool exportTable(const LoadedDictionary& d, const TablePlan& plan, Sink& sink, CliIo& io,
                 std::vector<std::string>& problems)
{
    const dict::TableDef& t = *plan.table;
    TWinBtr btr;
    constexpr int8_t kReadOnly = -2;
    if (int status = btr.Open(dataFilePath(d, t).string(), "", kReadOnly)) {
        problems.push_back(plan.name + ": the location " + t.location +
                           " cannot be opened: " + statusWords(status) + ".");
        return false;
    }
    const dict::FileSpec spec =
        dict::FileSpec::decode(std::span<const uint8_t>(btr.StatBuffer, dict::FileSpec::kSize));
    const uint32_t total = static_cast<uint32_t>(spec.recordCount);
    // Records of a variable-length file may run past the fixed length: room for the longest.
    constexpr int kVariableLength = 0x1, kLongestRecord = 32767;
    if (spec.flags & kVariableLength)
        btr.SetBufferSize(kLongestRecord);
    const std::size_t recordLength = static_cast<std::size_t>(btr.BufferSize);
    sink.beginTable(plan);

    std::vector<dict::FieldValue> values(plan.columns.size());
    std::vector<ColumnTally> tally(plan.columns.size());
    struct Slice {
        int type;
        std::size_t offset;
        std::size_t size;
        int decimals;
        bool fits;
    };
    std::vector<Slice> slices;
    for (const ColumnPlan& c : plan.columns) {
        const dict::FieldRecord& r = c.field->record;
        const bool fits =
            r.offset >= 0 && r.size > 0 &&
            static_cast<std::size_t>(r.offset) + static_cast<std::size_t>(r.size) <= recordLength;
        slices.push_back({c.field->typeCode(), static_cast<std::size_t>(std::max<int>(r.offset, 0)),
                          static_cast<std::size_t>(std::max<int>(r.size, 0)), r.dec, fits});
    }

    uint64_t count = 0;
    uint32_t nextProgress = total / 10;
    int status = btr::StatusSuccess;
    {
        BatchReader reader(btr, recordLength);
        for (std::size_t inBatch; const uint8_t* batch = reader.next(inBatch);) {
            for (const uint8_t* record = batch; record < batch + inBatch * recordLength;
                 record += recordLength) {
                for (std::size_t i = 0; i < slices.size(); ++i) {
                    const Slice& s = slices[i];
                    dict::DecodeOutcome outcome = dict::DecodeOutcome::Undecodable;
                    if (s.fits)
                        outcome = dict::decodeFieldValue(s.type,
                                                         std::span<const uint8_t>(record + s.offset, s.size),
                                                         s.decimals, values[i], d.page);
                    else
                        values[i].kind = dict::FieldValue::Kind::Null;
                    if (outcome == dict::DecodeOutcome::Undecodable)
                        ++tally[i].undecodable;
                }
                sink.row(values, std::span<const uint8_t>(record, recordLength));
                ++count;
                if (total > kProgressThreshold && count == nextProgress && count < total) {
                    io.err << plan.name << ": " << count * 100 / total << "% (" << count << " of " << total
                           << " records)\n";
                    nextProgress += total / 10;
                }
            }
        }
        status = reader.status();
    }
    sink.endTable(plan, problems);
    io.err << plan.name << ": " << count << (count == 1 ? " record" : " records") << " exported.\n";
    bool complete = true;
    if (status != btr::StatusEndOfFile) {
        problems.push_back(plan.name + ": reading stopped after " + std::to_string(count) +
                           " records: " + statusWords(status) + ".");
        complete = false;
    }
    for (std::size_t i = 0; i < plan.columns.size(); ++i) {
        const ColumnPlan& c = plan.columns[i];
        const std::string typeName(dict::typeNameOf(c.field->typeCode()));
        const std::string label = typeName.empty() ? "type " + std::to_string(c.field->typeCode()) : typeName;
        if (tally[i].undecodable) {
            problems.push_back(plan.name + "." + c.name + ": " + std::to_string(tally[i].undecodable) +
                               (tally[i].undecodable == 1 ? " value" : " values") +
                               " could not be decoded as " + label + " and " +
                               (tally[i].undecodable == 1 ? "was" : "were") + " written as NULL.");
            complete = false;
        }
        if (!dict::hasDecoder(c.field->typeCode()) && count > 0)
            io.err << plan.name << "." << c.name << ": " << label
                   << " has no decoder; the bytes were written as they are.\n";
    }
    return complete;
}

} // namespace

int runExport(const std::vector<std::string>& argv, CliIo& io)
{
    const Args args = parseArgs(argv, {}, {"--to", "--csv", kCodePageOption});
    if (args.help) {
        io.out << kHelp << kCodePageHelp;
        return kExitOk;
    }
    if (args.positionals.empty())
        throw CliError("export needs a directory (see quillan-cli export --help)");
    const std::string* to = args.option("--to");
    const std::string* csv = args.option("--csv");
    if (!to == !csv)
        throw CliError("export needs either --to OUT.db or --csv OUTDIR");
    const LoadedDictionary d = loadDictionary(args.positionals[0], codePageOf(args));

    std::vector<const dict::TableDef*> chosen;
    if (args.positionals.size() == 1) {
        for (const dict::TableDef& t : d.tables->all())
            if (!t.location.empty())
                chosen.push_back(&t);
    } else {
        for (std::size_t i = 1; i < args.positionals.size(); ++i) {
            const dict::TableDef* t = d.tables->find(args.positionals[i]);
            if (!t)
                throw CliError("the dictionary has no table " + args.positionals[i]);
            chosen.push_back(t);
        }
    }
    std::unique_ptr<Sink> sink;
    if (to)
        sink = std::make_unique<SqliteSink>(fs::absolute(*to));
    else
        sink = std::make_unique<CsvSink>(fs::absolute(*csv));

    std::vector<std::string> problems;
    bool complete = true;
    const std::vector<TablePlan> plans = planTables(chosen);
    for (const TablePlan& p : plans) {
        for (const std::string& note : p.notes)
            problems.push_back(note);
        complete = exportTable(d, p, *sink, io, problems) && complete;
    }
    sink->finish();
    for (const std::string& p : problems)
        io.err << p << '\n';
    return complete ? kExitOk : kExitFindings;
}

} // namespace cli
