// export: every record of a table's data file, read through the record manager in physical
// order and decoded field by field, into an SQLite database, a PostgreSQL database
// (ExportPostgres.cpp) or one CSV file per table.
#include "BuildReport.h"
#include "Commands.h"
#include "ExportSink.h"
#include "SqlSchema.h"
#include "Status.h"
#include "WinBtr.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {
namespace fs = std::filesystem;

constexpr const char* kHelp =
    R"(Usage: quillan-cli export DIR [TABLE...] --to OUT.db [--force] [--no-system] [--salvage] [--codepage CP]
       quillan-cli export DIR [TABLE...] --to postgresql://... [--replace] [--no-system] [--salvage] [--codepage CP]
       quillan-cli export DIR [TABLE...] --csv OUTDIR [--force] [--no-system] [--salvage] [--codepage CP]

Reads each table's data file (all tables, or those named) through the record manager in
physical order, decodes every field by its type and writes the records into an SQLite database,
a PostgreSQL database or one CSV file per table in OUTDIR (a header line of column names; NULL
is an empty cell). Tables and indexes are made as `quillan-cli sql` prints them; every chosen
table gets its table, empty when its data file cannot be read. A key that allows no duplicates
but whose values repeat in the data gets an index that is not unique, and a line in the report.

--to OUT.db       an SQLite database, written beside OUT.db and moved over it at the end. OUT.db
                  may be an SQLite database or missing; any other regular file is replaced only
                  with --force; a symbolic link, directory or device never.
--to CONNECTION   a PostgreSQL database: a postgresql:// URI or a libpq connection string
                  ("host=/run/postgresql dbname=shop"). Each table is created and loaded in one
                  transaction: a table that fails leaves nothing and the others stand. A table
                  that exists already is refused unless --replace (dropped and recreated in the
                  same transaction).
--csv OUTDIR      CSV files, written in a temporary folder inside OUTDIR and moved in when the
                  export finishes; a failed export leaves OUTDIR as it was. A CSV file that
                  exists already is replaced only with --force.
What an export killed before it finished left beside OUT.db or in OUTDIR is removed by the next
export there, which names it.
--no-system       leaves out the X$ tables that describe the dictionary files.
--salvage         goes on past damaged pages of a data file, writes every record of the sound
                  ones and names the pages skipped and the number of records lost. Without it a
                  damaged page stops that table's export there, naming the page.

Names, file names and texts are UTF-8; a TABLE is matched against the names as read in the code
page. A value that cannot be decoded is written as NULL and counted in the report on stderr; types
without a decoder are written as their bytes (a BLOB or bytea, hexadecimal in CSV). Exit status
1 when values could not be decoded, a data file could not be read or a table could not be
written.
)";

constexpr uint32_t kProgressThreshold = 10000;

// An export holds an advisory lock on its temporary file or folder while it runs, so that a
// later export can tell one that is still running from what a killed one left behind.
int lockedHandle(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes the temporary files or folders in dir named prefix + six characters that no running
// export holds (what an export killed before it finished left behind), naming each on io.err.
void removeLeftovers(const fs::path& dir, const std::string& prefix, CliIo& io)
{
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0 ||
            e.is_symlink(ec))
            continue;
        const int fd = lockedHandle(e.path());
        if (fd < 0)
            continue;
        std::error_code removed;
        fs::remove_all(e.path(), removed);
        ::close(fd);
        io.err << "quillan-cli: " << (removed ? "cannot remove " : "removed ") << e.path().string()
               << ", left by an export that did not finish\n";
    }
}

// The first bytes of every SQLite database file.
bool isSqliteFile(const fs::path& path)
{
    static constexpr char kMagic[] = "SQLite format 3";
    char head[sizeof kMagic] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    return in.gcount() == static_cast<std::streamsize>(sizeof head) && std::memcmp(head, kMagic, sizeof head) == 0;
}

// What may be at OUT.db before the export replaces it: nothing, an SQLite database, an empty
// file, or (with force) another regular file. Never a link, a directory or a device.
void checkSqliteTarget(const fs::path& out, bool force)
{
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(out, ec);
    if (!fs::exists(st))
        return;
    if (fs::is_symlink(st))
        throw CliError(out.string() + " is a symbolic link; export writes only over a regular file");
    if (!fs::is_regular_file(st))
        throw CliError(out.string() + " is not a regular file; export writes only over a regular file");
    if (!force && fs::file_size(out, ec) > 0 && !isSqliteFile(out))
        throw CliError(out.string() + " is not an SQLite database; --force replaces it");
}

class SqliteSink : public Sink {
public:
    explicit SqliteSink(fs::path out) : mOut(std::move(out))
    {
        // A new file of its own beside the target: never one that exists, never through a link.
        std::string pattern = mOut.string() + ".export-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            fail("cannot create " + pattern + ": " + std::strerror(errno));
        // The mode a plainly created file gets, not mkstemp's owner-only one.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::flock(fd, LOCK_EX | LOCK_NB);
        mLock = fd;
        mTemp = pattern;
        if (sqlite3_open_v2(mTemp.c_str(), &mDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) !=
            SQLITE_OK)
            fail("cannot create " + mTemp.string());
        exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA "
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
        if (mLock >= 0)
            ::close(mLock);
    }

    void beginTable(const dict::TablePlan& plan) override
    {
        exec(dict::createTableSql(plan, dict::Dialect::Sqlite));
        std::string sql = "INSERT INTO " + dict::quoteIdentifier(plan.name) + " VALUES (";
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

    bool endTable(const dict::TablePlan& plan, std::vector<std::string>& notes) override
    {
        sqlite3_finalize(mInsert);
        mInsert = nullptr;
        for (const dict::IndexPlan& ix : plan.indexes) {
            // Without a journal a failed CREATE UNIQUE INDEX cannot be undone: ask first.
            const long long repeated = ix.unique ? count(dict::repeatedValuesSql(plan, ix)) : 0;
            if (repeated)
                notes.push_back(repeatedKeyNote(plan, ix, repeated));
            exec(dict::createIndexSql(plan, ix, dict::Dialect::Sqlite, ix.unique && !repeated));
        }
        return true;
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
    long long count(const std::string& sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(mDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            fail(sqlite3_errmsg(mDb));
        const long long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
        sqlite3_finalize(st);
        return n;
    }
    [[noreturn]] void fail(const std::string& message) { throw CliError(mOut.string() + ": " + message); }

    fs::path mOut;
    fs::path mTemp;
    sqlite3* mDb = nullptr;
    sqlite3_stmt* mInsert = nullptr;
    bool mFinished = false;
    int mLock = -1;
};

// CSV files written into a temporary folder inside the output directory and moved into it only
// when every table is written, so that a failure leaves the directory as it was.
class CsvSink : public Sink {
public:
    explicit CsvSink(fs::path dir) : mDir(std::move(dir))
    {
        std::error_code ec;
        fs::create_directories(mDir, ec);
        if (!fs::is_directory(mDir, ec))
            throw CliError("cannot create the directory " + mDir.string());
        std::string pattern = (mDir / ".export-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw CliError("cannot write into " + mDir.string() + ": " + std::strerror(errno));
        mTemp = pattern;
        mLock = lockedHandle(mTemp);
    }
    ~CsvSink() override
    {
        std::error_code ec;
        fs::remove_all(mTemp, ec);
        if (mLock >= 0)
            ::close(mLock);
    }

    // The file a table's records go to.
    static std::string fileName(const dict::TablePlan& plan)
    {
        std::string file;
        for (char c : plan.name)
            file += (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
        return file + ".csv";
    }

    void beginTable(const dict::TablePlan& plan) override
    {
        mFiles.push_back(fileName(plan));
        mPath = mTemp / mFiles.back();
        mFile.open(mPath, std::ios::binary | std::ios::trunc);
        if (!mFile)
            throw CliError("cannot write " + mPath.string());
        if (plan.columns.empty())
            mFile << "record";
        for (std::size_t i = 0; i < plan.columns.size(); ++i)
            mFile << (i ? "," : "") << csvField(plan.columns[i].name);
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
                mFile << csvField(v.text);
            else
                mFile << dict::valueText(v);
        }
        mFile << "\r\n";
    }

    bool endTable(const dict::TablePlan&, std::vector<std::string>&) override
    {
        mFile.close();
        if (!mFile)
            throw CliError("cannot write " + mPath.string());
        return true;
    }

    void finish() override
    {
        for (const std::string& f : mFiles) {
            std::error_code ec;
            fs::rename(mTemp / f, mDir / f, ec);
            if (ec)
                throw CliError("cannot write " + (mDir / f).string() + ": " + ec.message());
        }
    }

private:
    fs::path mDir;
    fs::path mTemp;
    fs::path mPath;
    std::vector<std::string> mFiles;
    std::ofstream mFile;
    int mLock = -1;
};

// Reads a file's records in physical order on a thread of its own, in batches, so that reading
// overlaps decoding and writing. While it lives, only its thread calls the record manager.
class BatchReader {
public:
    BatchReader(TWinBtr& btr, std::size_t recordLength, bool salvage)
        : mBtr(btr), mLength(recordLength), mSalvage(salvage), mThread([this] { run(); })
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
    // After the last batch: the damaged pages read past (salvage), and the one that stopped the
    // read (without salvage; 0 when none did).
    const std::vector<uint32_t>& skipped() const { return mSkipped; }
    const std::vector<DamageNote>& notes() const { return mNotes; }
    std::optional<uint32_t> stoppedAt() const { return mStoppedAt; }
    const DamageNote& stopNote() const { return mStopNote; }
    // With 4100: what of the file's layout cannot be read.
    const std::string& refusal() const { return mRefusal; }

private:
    static constexpr std::size_t kBatchRecords = 2048;
    static constexpr std::size_t kBatchesAhead = 2;

    struct Batch {
        std::vector<uint8_t> bytes;
        std::size_t count;
    };

    // With salvage, a status that says a damaged page was skipped (once per page) lets the read
    // go on; goPast notes the page.
    bool canGoPast(int st) const
    {
        uint32_t page = 0;
        DamageNote note;
        return mSalvage && skippedDamagedPage(mBtr, st, page, &note) &&
               (!mLast || mLast->page != page || mLast->kind != note.kind);
    }
    bool goPast(int st)
    {
        uint32_t page = 0;
        DamageNote note;
        if (!canGoPast(st) || !skippedDamagedPage(mBtr, st, page, &note))
            return false;
        mLast = note;
        if (note.kind != DamageNote::FileCut &&
            std::find(mSkipped.begin(), mSkipped.end(), page) == mSkipped.end())
            mSkipped.push_back(page);
        if (note.kind != DamageNote::None)
            mNotes.push_back(note);
        return true;
    }

    void run()
    {
        int st = mBtr.Execute(btr::OpStepFirst);
        while (st == btr::StatusSuccess || canGoPast(st)) {
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
            for (; n < kBatchRecords; st = mBtr.Execute(btr::OpStepNext)) {
                if (st == btr::StatusSuccess)
                    std::memcpy(bytes.data() + n++ * mLength, mBtr.Buffer, mLength);
                else if (!goPast(st))
                    break;
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
        if (uint32_t page = 0; !mSalvage && skippedDamagedPage(mBtr, st, page, &mStopNote))
            mStoppedAt = page;
        mRefusal = layoutRefusal(mBtr, st);
        mDone = true;
        mChanged.notify_all();
    }

    TWinBtr& mBtr;
    const std::size_t mLength;
    const bool mSalvage;
    std::vector<uint32_t> mSkipped;
    std::vector<DamageNote> mNotes;
    std::optional<DamageNote> mLast; // the place gone past last: the same one twice ends the read
    std::optional<uint32_t> mStoppedAt;
    DamageNote mStopNote;
    std::string mRefusal;
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

// What a salvaging export could not read: the pages it went past and, as far as the file's own
// record count tells, how many records they held.
std::string salvageReport(const std::string& table, const std::vector<uint32_t>& skipped,
                          const std::vector<DamageNote>& notes, uint32_t total, uint64_t exported)
{
    std::string s = table + ": ";
    if (!skipped.empty())
        s += pageList(skipped) + (skipped.size() == 1 ? " is" : " are") + " damaged and could not be read";
    for (const DamageNote& note : notes)
        s += (s.size() == table.size() + 2 ? "" : "; ") + damageNoteText(note);
    if (total > exported) {
        const uint64_t lost = total - exported;
        s += "; " + std::to_string(lost) + (lost == 1 ? " record was" : " records were") + " not exported";
    }
    return s + ".";
}

struct ColumnTally {
    uint64_t undecodable = 0;
};

// Reads one table's data file into the sink. Returns false when the file could not be read to
// its end (the message is in problems).
bool exportTable(const LoadedDictionary& d, const dict::TablePlan& plan, Sink& sink, CliIo& io,
                 std::vector<std::string>& problems, bool salvage)
{
    const dict::TableDef& t = *plan.table;
    TWinBtr btr;
    if (int status = t.location.empty() ? -1 : btr.Open(dataFilePath(d, t).string(), "", btr::OpenReadOnly)) {
        // The table still gets its (empty) table, so that the schema is the dictionary's.
        sink.beginTable(plan);
        const bool written = sink.endTable(plan, problems);
        io.err << plan.name << ": 0 records exported.\n";
        problems.push_back(plan.name + (status < 0 ? ": the table has no location; its table is empty."
                                                   : ": the location " + t.location +
                                                         " cannot be opened: " + statusWords(status) +
                                                         "; its table is empty."));
        return written && status < 0;
    }
    const dict::FileSpec spec = dict::decodeDataFileLayout(btr.StatBuffer, sizeof btr.StatBuffer).spec;
    const uint32_t total = static_cast<uint32_t>(spec.recordCount);
    // Records of a variable-length file may run past the fixed length: room for the longest.
    constexpr int kLongestRecord = 32767;
    if (spec.flags & btr::fileflag::VariableLength)
        btr.SetBufferSize(kLongestRecord);
    const std::size_t recordLength = static_cast<std::size_t>(btr.BufferSize);
    sink.beginTable(plan);

    std::vector<dict::FieldValue> values(plan.columns.size());
    std::vector<ColumnTally> tally(plan.columns.size());
    const dict::ColumnDecoder decoder(plan, recordLength, d.page);

    uint64_t count = 0;
    uint32_t nextProgress = total / 10;
    int status = btr::StatusSuccess;
    std::vector<uint32_t> skipped;
    std::vector<DamageNote> notes;
    std::optional<uint32_t> stoppedAt;
    DamageNote stopNote;
    std::string refusal;
    {
        BatchReader reader(btr, recordLength, salvage);
        for (std::size_t inBatch; const uint8_t* batch = reader.next(inBatch);) {
            for (const uint8_t* record = batch; record < batch + inBatch * recordLength;
                 record += recordLength) {
                for (std::size_t i = 0; i < decoder.columns(); ++i)
                    if (decoder.decode(i, record, values[i]) == dict::DecodeOutcome::Undecodable)
                        ++tally[i].undecodable;
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
        skipped = reader.skipped();
        notes = reader.notes();
        stoppedAt = reader.stoppedAt();
        stopNote = reader.stopNote();
        refusal = reader.refusal();
    }
    const bool written = sink.endTable(plan, problems);
    io.err << plan.name << ": " << count << (count == 1 ? " record" : " records") << " exported.\n";
    bool complete = written;
    if (!skipped.empty() || !notes.empty()) {
        problems.push_back(salvageReport(plan.name, skipped, notes, total, count));
        complete = false;
    }
    if (status != btr::StatusEndOfFile) {
        const std::string why = stopNote.kind != DamageNote::None ? " (" + damageNoteText(stopNote) + ")"
                                : refusal.empty()                 ? ""
                                                                  : ": " + refusal;
        problems.push_back(
            dict::readStoppedText(plan.name, count, status, stoppedAt,
                                  why + (stoppedAt ? "; --salvage exports the records of the sound pages."
                                         : status == btr::StatusRecordCountDiffers
                                             ? "; its control record counts " + std::to_string(total) + "."
                                             : ".")));
        complete = false;
    }
    for (std::size_t i = 0; i < plan.columns.size(); ++i) {
        const dict::ColumnPlan& c = plan.columns[i];
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

std::string repeatedKeyNote(const dict::TablePlan& plan, const dict::IndexPlan& index, long long repeated)
{
    return plan.name + " key " + std::to_string(index.keyNumber) + " allows no duplicates, but " +
           std::to_string(repeated) + (repeated == 1 ? " value repeats" : " values repeat") +
           " in the data: its index " + index.name + " is not unique.";
}

namespace {

int runExport(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    const std::string* to = args.option("--to");
    const std::string* csv = args.option("--csv");
    if (!to == !csv)
        throw CliError("export needs either --to OUT.db or --csv OUTDIR");
    const bool postgres = to && isPostgresTarget(*to);
    if (args.has("--replace") && !postgres)
        throw CliError("--replace is for a PostgreSQL database; an SQLite file is always replaced");
    if (args.has("--force") && postgres)
        throw CliError(
            "--force is for --to OUT.db and --csv OUTDIR; a PostgreSQL table is replaced with --replace");
    const LoadedDictionary& d = in.dictionary();
    const std::vector<const dict::TableDef*> chosen =
        chooseTables(d, in.positionalsFrom(1), args.has("--no-system"));
    const std::vector<dict::TablePlan> plans = dict::planTables(chosen);

    std::unique_ptr<Sink> sink;
    if (postgres) {
        sink = makePostgresSink(*to, plans, args.has("--replace"));
    } else if (to) {
        const fs::path out = fs::absolute(*to);
        checkSqliteTarget(out, args.has("--force"));
        removeLeftovers(out.parent_path(), out.filename().string() + ".export-", io);
        sink = std::make_unique<SqliteSink>(out);
    } else {
        const fs::path dir = fs::absolute(*csv);
        std::vector<std::string> existing;
        std::error_code ec;
        for (const dict::TablePlan& p : plans)
            if (fs::exists(dir / CsvSink::fileName(p), ec))
                existing.push_back(CsvSink::fileName(p));
        if (!existing.empty() && !args.has("--force"))
            throw CliError((dir / existing[0]).string() +
                           (existing.size() == 1
                                ? std::string(" exists")
                                : " and " + std::to_string(existing.size() - 1) + " more exist") +
                           "; --force replaces them");
        if (fs::is_directory(dir, ec))
            removeLeftovers(dir, ".export-", io);
        sink = std::make_unique<CsvSink>(dir);
    }

    std::vector<std::string> problems;
    bool complete = true;
    for (const dict::TablePlan& p : plans) {
        for (const std::string& note : p.notes)
            problems.push_back(note);
        complete = exportTable(d, p, *sink, io, problems, args.has("--salvage")) && complete;
    }
    sink->finish();
    for (const std::string& p : problems)
        io.err << p << '\n';
    return complete ? kExitOk : kExitFindings;
}

} // namespace

const Command kExportCommand{
    .name = "export",
    .synopsis = "export DIR [TABLE...] --to OUT.db | --to postgresql://... | --csv OUTDIR",
    .summary = "the tables' records into SQLite, PostgreSQL or CSV",
    .help = kHelp,
    .flags = {"--force", "--replace", "--no-system", "--salvage"},
    .options = {"--to", "--csv"},
    .codePage = true,
    .leastPositionals = 1,
    .mostPositionals = kAnyNumber,
    .needs = "a directory",
    .dictionaries = 1,
    .run = runExport,
};

} // namespace cli
