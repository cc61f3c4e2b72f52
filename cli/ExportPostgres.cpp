// export --to a PostgreSQL database: each table created as `sql --dialect postgresql` prints it
// and loaded through COPY (text format) in a transaction of its own, its indexes made before
// the commit. A table that fails leaves nothing behind; the tables before and after it stand.
#include "CliSupport.h"
#include "ExportSink.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstring>

namespace cli {
namespace {

// A result that clears itself.
class Result {
public:
    explicit Result(PGresult* r) : mResult(r) {}
    ~Result() { PQclear(mResult); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    PGresult* get() const { return mResult; }
    ExecStatusType status() const { return PQresultStatus(mResult); }
    std::string sqlState() const
    {
        const char* s = PQresultErrorField(mResult, PG_DIAG_SQLSTATE);
        return s ? s : "";
    }

private:
    PGresult* mResult;
};

// libpq's message without its trailing line break.
std::string oneLine(const char* message)
{
    std::string s = message ? message : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    for (char& c : s)
        if (c == '\n')
            c = ' ';
    return s;
}

class PostgresSink : public Sink {
public:
    PostgresSink(const std::string& connection, const std::vector<TablePlan>& plans, bool replace)
        : mReplace(replace)
    {
        mConn = PQconnectdb(connection.c_str());
        if (!mConn || PQstatus(mConn) != CONNECTION_OK)
            throw CliError("cannot connect to the database: " + oneLine(mConn ? PQerrorMessage(mConn) : ""));
        PQsetNoticeProcessor(mConn, [](void*, const char*) {}, nullptr);
        if (PQsetClientEncoding(mConn, "UTF8") != 0)
            throw CliError("the database does not take UTF-8 text: " + oneLine(PQerrorMessage(mConn)));
        std::string taken;
        for (const TablePlan& p : plans) {
            const std::string quoted = quoteIdentifier(p.name);
            const char* params[] = {quoted.c_str()};
            Result r(PQexecParams(mConn, "SELECT to_regclass($1) IS NOT NULL", 1, nullptr, params, nullptr,
                                  nullptr, 0));
            if (r.status() != PGRES_TUPLES_OK)
                throw CliError("cannot read the database's tables: " + oneLine(PQerrorMessage(mConn)));
            if (std::strcmp(PQgetvalue(r.get(), 0, 0), "t") == 0)
                taken += (taken.empty() ? "" : ", ") + p.name;
        }
        if (!taken.empty() && !mReplace)
            throw CliError("the database already has " + taken + " (--replace drops and recreates them)");
    }

    ~PostgresSink() override { PQfinish(mConn); }

    void beginTable(const TablePlan& plan) override
    {
        mError.clear();
        mNulCount = 0;
        mBuffer.clear();
        mBoolean.clear();
        for (const ColumnPlan& c : plan.columns)
            mBoolean.push_back(c.valueClass == dict::ValueClass::Boolean);
        std::string sql = "BEGIN;\n";
        if (mReplace)
            sql += "DROP TABLE IF EXISTS " + quoteIdentifier(plan.name) + ";\n";
        sql += createTableSql(plan, Dialect::Postgresql);
        if (!command(sql) || !startCopy(plan))
            return;
        mCopying = true;
    }

    void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) override
    {
        if (!mCopying)
            return;
        if (values.empty())
            appendBytea(record.data(), record.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i)
                mBuffer += '\t';
            appendValue(values[i], mBoolean[i]);
        }
        mBuffer += '\n';
        if (mBuffer.size() >= kFlushSize)
            flush();
    }

    bool endTable(const TablePlan& plan, std::vector<std::string>& notes) override
    {
        if (mCopying) {
            mCopying = false;
            flush();
            endCopy();
        }
        if (mError.empty())
            createIndexes(plan, notes);
        if (mError.empty())
            command("COMMIT");
        if (!mError.empty()) {
            // The transaction is aborted or the copy was cut short: nothing of the table stays.
            Result(PQexec(mConn, "ROLLBACK"));
            notes.push_back(plan.name + ": nothing was written: " + mError);
            return false;
        }
        if (mNulCount)
            notes.push_back(plan.name + ": " + std::to_string(mNulCount) +
                            (mNulCount == 1 ? " text holds" : " texts hold") +
                            " a NUL character, which PostgreSQL text cannot hold, and " +
                            (mNulCount == 1 ? "was" : "were") + " written as NULL.");
        return true;
    }

    void finish() override {}

private:
    static constexpr std::size_t kFlushSize = 1 << 18;

    // Runs statements; false (and the message kept) when they fail.
    bool command(const std::string& sql)
    {
        Result r(PQexec(mConn, sql.c_str()));
        if (r.status() == PGRES_COMMAND_OK || r.status() == PGRES_TUPLES_OK)
            return true;
        if (mError.empty())
            mError = oneLine(PQerrorMessage(mConn));
        return false;
    }

    bool startCopy(const TablePlan& plan)
    {
        const std::string sql = "COPY " + quoteIdentifier(plan.name) + " FROM STDIN";
        Result r(PQexec(mConn, sql.c_str()));
        if (r.status() == PGRES_COPY_IN)
            return true;
        mError = oneLine(PQerrorMessage(mConn));
        return false;
    }

    void flush()
    {
        if (!mCopying && mBuffer.empty())
            return;
        if (!mBuffer.empty() && mError.empty() &&
            PQputCopyData(mConn, mBuffer.data(), static_cast<int>(mBuffer.size())) != 1) {
            mError = oneLine(PQerrorMessage(mConn));
            mCopying = false;
            PQputCopyEnd(mConn, "export stopped");
            drainResults();
        }
        mBuffer.clear();
    }

    void endCopy()
    {
        if (!mError.empty())
            return;
        if (PQputCopyEnd(mConn, nullptr) != 1) {
            mError = oneLine(PQerrorMessage(mConn));
            return;
        }
        drainResults();
    }

    // Reads the results that follow the end of a copy; keeps the first error.
    void drainResults()
    {
        while (PGresult* raw = PQgetResult(mConn)) {
            Result r(raw);
            if (r.status() != PGRES_COMMAND_OK && mError.empty())
                mError = oneLine(PQresultErrorMessage(raw));
        }
    }

    void createIndexes(const TablePlan& plan, std::vector<std::string>& notes)
    {
        for (const IndexPlan& ix : plan.indexes) {
            if (ix.unique) {
                if (!command("SAVEPOINT unique_key"))
                    return;
                Result r(PQexec(mConn, createIndexSql(plan, ix, Dialect::Postgresql, true).c_str()));
                if (r.status() == PGRES_COMMAND_OK) {
                    if (!command("RELEASE SAVEPOINT unique_key"))
                        return;
                    continue;
                }
                if (r.sqlState() != "23505") { // unique_violation
                    mError = oneLine(PQresultErrorMessage(r.get()));
                    return;
                }
                if (!command("ROLLBACK TO SAVEPOINT unique_key"))
                    return;
                Result count(PQexec(mConn, repeatedValuesSql(plan, ix).c_str()));
                const long long repeated =
                    count.status() == PGRES_TUPLES_OK ? std::atoll(PQgetvalue(count.get(), 0, 0)) : 0;
                notes.push_back(repeatedKeyNote(plan, ix, repeated));
            }
            if (!command(createIndexSql(plan, ix, Dialect::Postgresql, false)))
                return;
        }
    }

    void appendValue(const dict::FieldValue& v, bool boolean)
    {
        switch (v.kind) {
        case dict::FieldValue::Kind::Null:
            mBuffer += "\\N";
            return;
        case dict::FieldValue::Kind::Integer:
            if (boolean) {
                mBuffer += v.integer ? 't' : 'f';
                return;
            }
            appendNumber(v.integer);
            return;
        case dict::FieldValue::Kind::Real:
            appendNumber(v.real);
            return;
        case dict::FieldValue::Kind::Decimal:
            mBuffer += v.text;
            return;
        case dict::FieldValue::Kind::Text:
            appendText(v.text);
            return;
        case dict::FieldValue::Kind::Blob:
            appendBytea(reinterpret_cast<const uint8_t*>(v.text.data()), v.text.size());
            return;
        }
    }

    template <typename T> void appendNumber(T n)
    {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, n);
        mBuffer.append(buf, r.ptr);
    }

    // Text in COPY's text format: backslash, tab and line breaks escaped.
    void appendText(const std::string& s)
    {
        if (s.find('\0') != std::string::npos) {
            ++mNulCount;
            mBuffer += "\\N";
            return;
        }
        std::size_t from = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            const char* escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
            if (!escape)
                continue;
            mBuffer.append(s, from, i - from);
            mBuffer += escape;
            from = i + 1;
        }
        mBuffer.append(s, from, std::string::npos);
    }

    // bytea's hexadecimal form, its backslash escaped for COPY.
    void appendBytea(const uint8_t* bytes, std::size_t size)
    {
        static constexpr char hex[] = "0123456789abcdef";
        mBuffer += "\\\\x";
        for (std::size_t i = 0; i < size; ++i) {
            mBuffer += hex[bytes[i] >> 4];
            mBuffer += hex[bytes[i] & 0xF];
        }
    }

    PGconn* mConn = nullptr;
    const bool mReplace;
    bool mCopying = false;
    std::string mError;
    std::string mBuffer;
    std::vector<bool> mBoolean;
    uint64_t mNulCount = 0;
};

} // namespace

bool isPostgresTarget(const std::string& to)
{
    if (to.rfind("postgresql://", 0) == 0 || to.rfind("postgres://", 0) == 0)
        return true;
    // A connection string starts with one of libpq's keywords and "=".
    const std::size_t start = to.find_first_not_of(' ');
    const std::size_t eq = to.find('=');
    if (start == std::string::npos || eq == std::string::npos)
        return false;
    std::string keyword = to.substr(start, eq - start);
    while (!keyword.empty() && keyword.back() == ' ')
        keyword.pop_back();
    bool known = false;
    if (PQconninfoOption* options = PQconndefaults()) {
        for (PQconninfoOption* o = options; o->keyword; ++o)
            known = known || keyword == o->keyword;
        PQconninfoFree(options);
    }
    return known;
}

std::unique_ptr<Sink> makePostgresSink(const std::string& connection, const std::vector<TablePlan>& plans,
                                       bool replace)
{
    return std::make_unique<PostgresSink>(connection, plans, replace);
}

} // namespace cli
