#include "SqliteFile.h"

#include "FileNames.h"
#include "Status.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <time.h>
#include <unistd.h>

namespace engine {
namespace {

constexpr uint32_t kApplicationId = 0x51425452; // "QBTR"
constexpr const char* kFormatName = "quillan-btrieve";
constexpr int kFormatVersion = 1;
constexpr int kMaxPendingWrites = 50000;
constexpr int64_t kMaxTransactionAgeMilliseconds = 2000;
// How long a lock held by another connection (a reader elsewhere) is waited for.
constexpr int kBusyWaitMilliseconds = 2000;

// Milliseconds of a monotonic clock of a few milliseconds' resolution: it is read after every
// call, and the coarse clock costs a fraction of the precise one.
int64_t coarseMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

int16_t statusOf(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
        return btr::StatusDuplicateKey;
    case SQLITE_FULL:
        return btr::StatusDiskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return btr::StatusAccessDenied;
    default:
        return btr::StatusIoError;
    }
}

std::string col(const char* prefix, size_t i)
{
    return prefix + std::to_string(i);
}

// The schema of a native file with these keys: (object name, its CREATE statement).
std::vector<std::pair<std::string, std::string>> schemaOf(const FileDefinition& def)
{
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("quillan_file", "CREATE TABLE quillan_file(name TEXT PRIMARY KEY, value) WITHOUT ROWID");
    std::string records = "CREATE TABLE records(id INTEGER PRIMARY KEY, data BLOB NOT NULL";
    for (size_t i = 0; i < def.keys.size(); ++i) {
        records += ", " + col("k", i) + " BLOB";
        if (def.keys[i].duplicates())
            records += ", " + col("s", i) + " INTEGER";
    }
    out.emplace_back("records", records + ")");
    for (size_t i = 0; i < def.keys.size(); ++i) {
        const std::string k = col("k", i);
        if (def.keys[i].duplicates())
            out.emplace_back(col("key", i), "CREATE INDEX " + col("key", i) + " ON records(" + k + ", " +
                                                col("s", i) + ") WHERE " + k + " IS NOT NULL");
        else
            out.emplace_back(col("key", i), "CREATE UNIQUE INDEX " + col("key", i) + " ON records(" + k +
                                                ") WHERE " + k + " IS NOT NULL");
    }
    return out;
}

void harden(sqlite3* db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

uint32_t bigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

} // namespace

class SqliteFile::Statement {
public:
    Statement(sqlite3* db, const std::string& sql)
    {
        sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &mStmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(mStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return mStmt; }
    void reset() { sqlite3_reset(mStmt); }
    int step() { return sqlite3_step(mStmt); }
    void bindBlob(int i, const void* p, size_t n)
    {
        sqlite3_bind_blob64(mStmt, i, n ? p : "", n, SQLITE_TRANSIENT);
    }
    void bindBlob(int i, const std::string& s) { bindBlob(i, s.data(), s.size()); }
    void bindInt(int i, int64_t v) { sqlite3_bind_int64(mStmt, i, v); }
    void bindNull(int i) { sqlite3_bind_null(mStmt, i); }
    int64_t integer(int c) const { return sqlite3_column_int64(mStmt, c); }
    void blob(int c, std::string& out) const
    {
        const char* p = static_cast<const char*>(sqlite3_column_blob(mStmt, c));
        out.assign(p ? p : "", p ? sqlite3_column_bytes(mStmt, c) : 0);
    }
    void blob(int c, std::vector<uint8_t>& out) const
    {
        const uint8_t* p = static_cast<const uint8_t*>(sqlite3_column_blob(mStmt, c));
        if (p)
            out.assign(p, p + sqlite3_column_bytes(mStmt, c));
        else
            out.clear();
    }
    // Runs a statement that returns nothing (or whose rows are not wanted). SQLite result code.
    int run()
    {
        int rc = step();
        while (rc == SQLITE_ROW)
            rc = step();
        reset();
        return rc;
    }

private:
    sqlite3_stmt* mStmt = nullptr;
};

struct SqliteFile::KeyStatements {
    std::unique_ptr<Statement> first, last, equal, greater, greaterOrEqual, less, lessOrEqual, after, before,
        highest, sequence, distinct;
};

bool SqliteFile::isSqliteHeader(const uint8_t* header, size_t length)
{
    return length >= 16 && std::memcmp(header, "SQLite format 3", 16) == 0;
}

int16_t SqliteFile::open(const std::string& path, std::unique_ptr<SqliteFile>& out)
{
    uint8_t header[100] = {};
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return btr::StatusIoError;
        in.read(reinterpret_cast<char*>(header), sizeof header);
        const size_t got = static_cast<size_t>(in.gcount());
        if (!isSqliteHeader(header, got))
            return btr::StatusNotBtrieveFile;
        if (got < sizeof header)
            return btr::StatusIoError; // cut short inside its own header
        if (bigEndian32(header + 68) != kApplicationId)
            return btr::StatusNotBtrieveFile;
    }

    std::unique_ptr<SqliteFile> file(new SqliteFile);
    file->mPath = path;
    file->mWritable = ::access(path.c_str(), W_OK) == 0;
    // The engine makes one call at a time, and only a call reaches this connection, so SQLite's
    // own locking of it would only cost time on every step.
    const int flags = (file->mWritable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &file->mDb, flags, nullptr);
    if (rc != SQLITE_OK)
        return btr::StatusIoError;
    harden(file->mDb);
    sqlite3_busy_timeout(file->mDb, kBusyWaitMilliseconds);
    sqlite3_extended_result_codes(file->mDb, 0);
    // Room for the pages a large build touches within one transaction (allocated as used).
    sqlite3_exec(file->mDb, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    // Reads take pages straight from a mapping of the file: a key-order scan, whose records lie
    // anywhere in the file, then costs no copy and no page-cache look-up per record.
    sqlite3_exec(file->mDb, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
    if (int16_t st = file->validateSchema())
        return st;
    if (file->mWritable && isPrivateFileName(path)) {
        // Filled before it replaces another file: a crash leaves nothing anyone reads, and
        // whoever renames it syncs it first.
        file->mPrivate = true;
        sqlite3_exec(file->mDb, "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF", nullptr, nullptr,
                     nullptr);
    }
    out = std::move(file);
    return btr::StatusSuccess;
}

int16_t SqliteFile::validateSchema()
{
    std::map<std::string, std::vector<uint8_t>> values;
    {
        Statement st(mDb, "SELECT name, value FROM quillan_file");
        if (!st.get()) {
            const int rc = sqlite3_errcode(mDb);
            return (rc == SQLITE_ERROR) ? btr::StatusNotBtrieveFile : btr::StatusIoError;
        }
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
            std::string name;
            st.blob(0, name);
            if (sqlite3_column_type(st.get(), 1) == SQLITE_INTEGER) {
                const std::string text = std::to_string(st.integer(1));
                values[name].assign(text.begin(), text.end());
            } else {
                st.blob(1, values[name]);
            }
        }
        if (rc != SQLITE_DONE)
            return btr::StatusIoError;
    }
    auto text = [&](const char* name) {
        auto it = values.find(name);
        return it == values.end() ? std::string() : std::string(it->second.begin(), it->second.end());
    };
    if (text("format") != kFormatName || text("version") != std::to_string(kFormatVersion))
        return btr::StatusNotBtrieveFile;
    const auto spec = values.find("spec");
    if (spec == values.end() || parseCreateSpec(spec->second.data(), spec->second.size(), mDef) != 0)
        return btr::StatusNotBtrieveFile;
    mNextStamp = std::strtoull(text("next_stamp").c_str(), nullptr, 10);

    // The database must hold exactly the objects this engine creates, as it creates them.
    auto expected = schemaOf(mDef);
    size_t seen = 0;
    {
        Statement st(mDb, "SELECT name, sql FROM sqlite_schema");
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
            std::string name, sql;
            st.blob(0, name);
            st.blob(1, sql);
            bool match = false;
            for (const auto& e : expected)
                if (e.first == name && e.second == sql)
                    match = true;
            if (!match)
                return btr::StatusNotBtrieveFile;
            ++seen;
        }
        if (rc != SQLITE_DONE)
            return btr::StatusIoError;
    }
    if (seen != expected.size())
        return btr::StatusNotBtrieveFile;

    Statement maxId(mDb, "SELECT max(id) FROM records");
    if (maxId.step() != SQLITE_ROW)
        return btr::StatusIoError;
    const uint64_t next = static_cast<uint64_t>(maxId.integer(0)) + 1;
    if (next > mNextStamp)
        mNextStamp = next;
    mStoredStamp = mNextStamp;
    return btr::StatusSuccess;
}

int16_t SqliteFile::create(const std::string& path, const FileDefinition& def, bool unsynced)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        std::remove(path.c_str());
        return btr::StatusCreateIoError;
    }
    harden(db);
    std::string script = unsynced ? "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;" : "";
    script += "PRAGMA application_id = " + std::to_string(kApplicationId) + "; BEGIN;";
    for (const auto& [name, sql] : schemaOf(def))
        script += sql + ";";
    script += "INSERT INTO quillan_file VALUES('format', '" + std::string(kFormatName) + "'), ('version', " +
              std::to_string(kFormatVersion) + "), ('next_stamp', 1);";
    bool ok = sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) {
        const std::vector<uint8_t> image = def.createImage();
        Statement st(db, "INSERT INTO quillan_file VALUES('spec', ?1)");
        st.bindBlob(1, image.data(), image.size());
        ok = st.run() == SQLITE_DONE;
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = (sqlite3_close_v2(db) == SQLITE_OK) && ok;
    if (!ok) {
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
        return btr::StatusCreateIoError;
    }
    return btr::StatusSuccess;
}

SqliteFile::~SqliteFile()
{
    if (mDb)
        close();
}

template <class MakeSql>
SqliteFile::Statement& SqliteFile::statement(std::unique_ptr<Statement>& slot, MakeSql&& makeSql)
{
    if (!slot)
        slot = std::make_unique<Statement>(mDb, std::string(makeSql()));
    return *slot;
}

SqliteFile::KeyStatements& SqliteFile::keyStatements(size_t keyIndex)
{
    if (mKeyStatements.size() < mDef.keys.size())
        mKeyStatements.resize(mDef.keys.size());
    auto& ks = mKeyStatements[keyIndex];
    if (!ks)
        ks = std::make_unique<KeyStatements>();
    return *ks;
}

int16_t SqliteFile::begin()
{
    if (mFailed)
        return btr::StatusIoError;
    if (mInTransaction)
        return btr::StatusSuccess;
    if (sqlite3_exec(mDb, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return statusOf(sqlite3_errcode(mDb));
    mInTransaction = true;
    mTransactionStart = coarseMilliseconds();
    return btr::StatusSuccess;
}

void SqliteFile::stopScans()
{
    for (Scan* s : {&mForward, &mBackward, &mStepForward, &mStepBackward}) {
        if (s->statement)
            s->statement->reset();
        s->statement = nullptr;
    }
}

int16_t SqliteFile::commit()
{
    if (!mInTransaction)
        return btr::StatusSuccess;
    stopScans();
    int rc = SQLITE_DONE;
    if (mNextStamp != mStoredStamp) {
        Statement& st = statement(
            mSaveStamp, [&] { return "UPDATE quillan_file SET value = ?1 WHERE name = 'next_stamp'"; });
        st.bindInt(1, static_cast<int64_t>(mNextStamp));
        rc = st.run();
    }
    if (rc == SQLITE_DONE && sqlite3_exec(mDb, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        mStoredStamp = mNextStamp;
        mInTransaction = false;
        mPendingWrites = 0;
        return btr::StatusSuccess;
    }
    // The file keeps its last committed state; this open file refuses further work.
    sqlite3_exec(mDb, "ROLLBACK", nullptr, nullptr, nullptr);
    mInTransaction = false;
    mFailed = true;
    return btr::StatusIoError;
}

void SqliteFile::maybeCommit()
{
    if (mInTransaction && !mPrivate &&
        (mPendingWrites >= kMaxPendingWrites ||
         coarseMilliseconds() - mTransactionStart >= kMaxTransactionAgeMilliseconds))
        commit();
}

int16_t SqliteFile::noteWrite()
{
    if (!mWritable)
        return btr::StatusAccessDenied;
    if (int16_t st = begin())
        return st;
    stopScans();
    ++mGeneration;
    ++mPendingWrites;
    return btr::StatusSuccess;
}

int16_t SqliteFile::close()
{
    int16_t st = btr::StatusSuccess;
    if (mDb) {
        if (mInTransaction && !mFailed)
            st = commit();
        stopScans();
        mKeyStatements.clear();
        for (auto* s : {&mStepFirst, &mStepLast, &mStepAfter, &mStepBefore, &mRead, &mInsert, &mUpdate,
                        &mDelete, &mCount, &mSaveStamp})
            s->reset();
        if (sqlite3_close_v2(mDb) != SQLITE_OK)
            st = btr::StatusIoError;
        mDb = nullptr;
    }
    return mFailed ? int16_t(btr::StatusIoError) : st;
}

int16_t SqliteFile::fetch(Statement& st, size_t, FoundRecord& out)
{
    const int rc = st.step();
    if (rc == SQLITE_DONE)
        return btr::StatusEndOfFile;
    if (rc != SQLITE_ROW)
        return statusOf(rc);
    const int64_t id = st.integer(0);
    if (id <= 0 || id > 0xFFFFFFFFll)
        return btr::StatusIoError;
    out.address = static_cast<uint32_t>(id);
    st.blob(1, out.data);
    if (sqlite3_column_count(st.get()) > 2) {
        st.blob(2, out.entry.image);
        out.entry.sequence = st.integer(3);
    }
    return btr::StatusSuccess;
}

int16_t SqliteFile::stat(bool withVersion, std::vector<uint8_t>& image)
{
    if (int16_t st = begin())
        return st;
    stopScans();
    Statement& count = statement(mCount, [&] { return "SELECT count(*) FROM records"; });
    int rc = count.step();
    const int64_t records = count.integer(0);
    count.reset();
    if (rc != SQLITE_ROW)
        return statusOf(rc);
    std::vector<uint32_t> distinct;
    for (size_t i = 0; i < mDef.keys.size(); ++i) {
        const std::string k = col("k", i);
        Statement& st = statement(keyStatements(i).distinct, [&] {
            return mDef.keys[i].duplicates()
                       ? "SELECT count(DISTINCT " + k + ") FROM records WHERE " + k + " IS NOT NULL"
                       : "SELECT count(" + k + ") FROM records WHERE " + k + " IS NOT NULL";
        });
        rc = st.step();
        distinct.push_back(static_cast<uint32_t>(st.integer(0)));
        st.reset();
        if (rc != SQLITE_ROW)
            return statusOf(rc);
    }
    image = statImage(mDef, static_cast<uint32_t>(records), distinct, withVersion ? kVersion : 0);
    return btr::StatusSuccess;
}

int16_t SqliteFile::seekKey(size_t keyIndex, KeySeek how, const std::string& image, const KeyEntry& from,
                            FoundRecord& out)
{
    if (int16_t st = begin())
        return st;
    // Continue a running scan when the caller asks for the entry next to the one it returned.
    for (Scan* scan : {&mForward, &mBackward}) {
        const KeySeek continues = scan == &mForward ? KeySeek::After : KeySeek::Before;
        if (how == continues && scan->statement && scan->key == keyIndex && scan->generation == mGeneration &&
            scan->last.sequence == from.sequence && scan->last.image == from.image) {
            const int16_t st = fetch(*scan->statement, keyIndex, out);
            if (st == btr::StatusSuccess) {
                scan->last = out.entry;
            } else {
                scan->statement->reset();
                scan->statement = nullptr;
            }
            return st;
        }
    }

    const bool dup = mDef.keys[keyIndex].duplicates();
    // SQL texts are built only when a statement is prepared for the first time.
    const auto k = [&] { return col("k", keyIndex); };
    const auto s = [&] { return col("s", keyIndex); };
    const auto select = [&] {
        return "SELECT id, data, " + k() + ", " + (dup ? s() : std::string("0")) + " FROM records WHERE " +
               k() + " IS NOT NULL";
    };
    const auto ascending = [&] { return dup ? " ORDER BY " + k() + ", " + s() : " ORDER BY " + k(); };
    const auto descending = [&] {
        return dup ? " ORDER BY " + k() + " DESC, " + s() + " DESC" : " ORDER BY " + k() + " DESC";
    };
    KeyStatements& ks = keyStatements(keyIndex);
    Statement* st = nullptr;
    Scan* scan = &mForward;
    switch (how) {
    case KeySeek::First:
        st = &statement(ks.first, [&] { return select() + ascending(); });
        break;
    case KeySeek::Last:
        st = &statement(ks.last, [&] { return select() + descending(); });
        scan = &mBackward;
        break;
    case KeySeek::Equal:
        st = &statement(ks.equal, [&] {
            return select() + " AND " + k() + " = ?1" + (dup ? " ORDER BY " + s() : "") + " LIMIT 1";
        });
        scan = nullptr;
        break;
    case KeySeek::Greater:
        st = &statement(ks.greater, [&] { return select() + " AND " + k() + " > ?1" + ascending(); });
        break;
    case KeySeek::GreaterOrEqual:
        st = &statement(ks.greaterOrEqual, [&] { return select() + " AND " + k() + " >= ?1" + ascending(); });
        break;
    case KeySeek::Less:
        st = &statement(ks.less, [&] { return select() + " AND " + k() + " < ?1" + descending(); });
        scan = &mBackward;
        break;
    case KeySeek::LessOrEqual:
        st = &statement(ks.lessOrEqual, [&] { return select() + " AND " + k() + " <= ?1" + descending(); });
        scan = &mBackward;
        break;
    case KeySeek::After:
        st = &statement(ks.after, [&] {
            return select() + (dup ? " AND (" + k() + ", " + s() + ") > (?1, ?2)" : " AND " + k() + " > ?1") +
                   ascending();
        });
        break;
    case KeySeek::Before:
        st = &statement(ks.before, [&] {
            return select() + (dup ? " AND (" + k() + ", " + s() + ") < (?1, ?2)" : " AND " + k() + " < ?1") +
                   descending();
        });
        scan = &mBackward;
        break;
    }
    if (scan && scan->statement) {
        scan->statement->reset();
        scan->statement = nullptr;
    }
    st->reset();
    if (how == KeySeek::After || how == KeySeek::Before) {
        st->bindBlob(1, from.image);
        if (dup)
            st->bindInt(2, from.sequence);
    } else if (how != KeySeek::First && how != KeySeek::Last) {
        st->bindBlob(1, image);
    }
    const int16_t status = fetch(*st, keyIndex, out);
    if (status == btr::StatusSuccess && scan) {
        *scan = Scan{st, keyIndex, out.entry, 0, mGeneration};
    } else {
        st->reset();
    }
    if (how == KeySeek::Equal && status == btr::StatusEndOfFile)
        return btr::StatusKeyNotFound;
    return status;
}

int16_t SqliteFile::step(StepSeek how, uint32_t from, FoundRecord& out)
{
    if (int16_t st = begin())
        return st;
    out.entry = KeyEntry{};
    Scan* scan = (how == StepSeek::First || how == StepSeek::After) ? &mStepForward : &mStepBackward;
    const StepSeek continues = scan == &mStepForward ? StepSeek::After : StepSeek::Before;
    if (how == continues && scan->statement && scan->generation == mGeneration && scan->lastAddress == from) {
        const int16_t st = fetch(*scan->statement, 0, out);
        if (st == btr::StatusSuccess) {
            scan->lastAddress = out.address;
        } else {
            scan->statement->reset();
            scan->statement = nullptr;
        }
        return st;
    }
    Statement* st = nullptr;
    switch (how) {
    case StepSeek::First:
        st = &statement(mStepFirst, [&] { return "SELECT id, data FROM records ORDER BY id"; });
        break;
    case StepSeek::Last:
        st = &statement(mStepLast, [&] { return "SELECT id, data FROM records ORDER BY id DESC"; });
        break;
    case StepSeek::After:
        st = &statement(mStepAfter, [&] { return "SELECT id, data FROM records WHERE id > ?1 ORDER BY id"; });
        break;
    case StepSeek::Before:
        st = &statement(mStepBefore,
                        [&] { return "SELECT id, data FROM records WHERE id < ?1 ORDER BY id DESC"; });
        break;
    }
    if (scan->statement) {
        scan->statement->reset();
        scan->statement = nullptr;
    }
    st->reset();
    if (how == StepSeek::After || how == StepSeek::Before)
        st->bindInt(1, from);
    const int16_t status = fetch(*st, 0, out);
    if (status == btr::StatusSuccess)
        *scan = Scan{st, 0, {}, out.address, mGeneration};
    else
        st->reset();
    return status;
}

int16_t SqliteFile::read(uint32_t address, FoundRecord& out)
{
    if (int16_t st = begin())
        return st;
    Statement& st = statement(mRead, [&] { return "SELECT id, data FROM records WHERE id = ?1"; });
    st.reset();
    st.bindInt(1, address);
    out.entry = KeyEntry{};
    int16_t status = fetch(st, 0, out);
    st.reset();
    return status == btr::StatusEndOfFile ? int16_t(btr::StatusInvalidRecordAddress) : status;
}

int16_t SqliteFile::sequenceOf(uint32_t address, size_t keyIndex, int64_t& sequence)
{
    sequence = 0;
    if (!mDef.keys[keyIndex].duplicates())
        return btr::StatusSuccess;
    if (int16_t st = begin())
        return st;
    Statement& st = statement(keyStatements(keyIndex).sequence,
                              [&] { return "SELECT " + col("s", keyIndex) + " FROM records WHERE id = ?1"; });
    st.bindInt(1, address);
    const int rc = st.step();
    if (rc == SQLITE_ROW)
        sequence = st.integer(0);
    st.reset();
    return rc == SQLITE_ROW ? int16_t(btr::StatusSuccess)
                            : (rc == SQLITE_DONE ? int16_t(btr::StatusInvalidRecordAddress) : statusOf(rc));
}

int16_t SqliteFile::highestImage(size_t keyIndex, std::string& image, bool& found)
{
    found = false;
    if (int16_t st = begin())
        return st;
    const std::string k = col("k", keyIndex);
    Statement& st = statement(keyStatements(keyIndex).highest, [&] {
        return "SELECT " + k + " FROM records WHERE " + k + " IS NOT NULL ORDER BY " + k + " DESC LIMIT 1";
    });
    const int rc = st.step();
    if (rc == SQLITE_ROW) {
        st.blob(0, image);
        found = true;
    }
    st.reset();
    return (rc == SQLITE_ROW || rc == SQLITE_DONE) ? int16_t(btr::StatusSuccess) : statusOf(rc);
}

int16_t SqliteFile::bindImages(Statement& st, int first, const RecordImages& images)
{
    for (size_t i = 0; i < images.size(); ++i) {
        if (images[i])
            st.bindBlob(first + static_cast<int>(i), *images[i]);
        else
            st.bindNull(first + static_cast<int>(i));
    }
    return btr::StatusSuccess;
}

int16_t SqliteFile::insert(const std::vector<uint8_t>& record, const RecordImages& images, uint32_t& address,
                           int64_t& sequence)
{
    if (int16_t st = noteWrite())
        return st;
    if (mNextStamp > 0xFFFFFFFFull)
        return btr::StatusDiskFull;
    Statement& st = statement(mInsert, [&] {
        std::string columns = "id, data", values = "?1, ?2";
        for (size_t i = 0; i < mDef.keys.size(); ++i) {
            columns += ", " + col("k", i);
            values += ", ?" + std::to_string(3 + i);
            if (mDef.keys[i].duplicates()) {
                columns += ", " + col("s", i);
                values += ", ?1";
            }
        }
        return "INSERT INTO records(" + columns + ") VALUES(" + values + ")";
    });
    st.bindInt(1, static_cast<int64_t>(mNextStamp));
    st.bindBlob(2, record.data(), record.size());
    bindImages(st, 3, images);
    const int rc = st.run();
    if (rc != SQLITE_DONE)
        return statusOf(rc);
    address = static_cast<uint32_t>(mNextStamp);
    sequence = static_cast<int64_t>(mNextStamp);
    ++mNextStamp;
    return btr::StatusSuccess;
}

int16_t SqliteFile::update(uint32_t address, const std::vector<uint8_t>& record, const RecordImages& images)
{
    if (int16_t st = noteWrite())
        return st;
    Statement& st = statement(mUpdate, [&] {
        std::string sql = "UPDATE records SET data = ?1";
        for (size_t i = 0; i < mDef.keys.size(); ++i) {
            const std::string k = col("k", i), p = col("?", 4 + i);
            sql += ", " + k + " = " + p;
            if (mDef.keys[i].duplicates())
                sql += ", " + col("s", i) + " = CASE WHEN " + k + " IS " + p + " THEN " + col("s", i) +
                       " ELSE ?2 END";
        }
        return sql + " WHERE id = ?3";
    });
    st.bindBlob(1, record.data(), record.size());
    st.bindInt(2, static_cast<int64_t>(mNextStamp));
    st.bindInt(3, address);
    bindImages(st, 4, images);
    const int rc = st.run();
    if (rc != SQLITE_DONE)
        return statusOf(rc);
    if (sqlite3_changes(mDb) == 0)
        return btr::StatusInvalidRecordAddress;
    ++mNextStamp;
    return btr::StatusSuccess;
}

int16_t SqliteFile::remove(uint32_t address)
{
    if (int16_t st = noteWrite())
        return st;
    Statement& st = statement(mDelete, [&] { return "DELETE FROM records WHERE id = ?1"; });
    st.bindInt(1, address);
    const int rc = st.run();
    if (rc != SQLITE_DONE)
        return statusOf(rc);
    return sqlite3_changes(mDb) == 0 ? btr::StatusInvalidRecordAddress : btr::StatusSuccess;
}

} // namespace engine
