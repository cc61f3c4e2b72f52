// export --to a PostgreSQL database: each table created as `sql --dialect postgresql` prints it
// and loaded through COPY in its binary format (every value sent as the server keeps it: no
// text to parse, floats to the bit, decimals digit for digit) in a transaction of its own, its
// indexes made before the commit. A table that fails leaves nothing behind; the tables before
// and after it stand.
#include "CliSupport.h"
#include "ExportSink.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

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

// How a column's values travel in binary COPY: by the column's type as dict::createTableSql makes it.
enum class Wire { Int2, Int4, Int8, Numeric, Float4, Float8, Text, Date, Time, Bool, Bytea };

Wire wireOf(const dict::ColumnPlan& c)
{
    const std::string type = dict::columnType(c, dict::Dialect::Postgresql);
    if (type == "smallint")
        return Wire::Int2;
    if (type == "integer")
        return Wire::Int4;
    if (type == "bigint")
        return Wire::Int8;
    if (type.rfind("numeric", 0) == 0)
        return Wire::Numeric;
    if (type == "real")
        return Wire::Float4;
    if (type == "double precision")
        return Wire::Float8;
    if (type == "date")
        return Wire::Date;
    if (type == "time")
        return Wire::Time;
    if (type == "boolean")
        return Wire::Bool;
    if (type == "bytea")
        return Wire::Bytea;
    return Wire::Text;
}

// Days from 2000-01-01 (PostgreSQL's date) of a proleptic Gregorian date.
int32_t daysFrom2000(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468 - 10957;
}

int digitsAt(const std::string& s, std::size_t at, std::size_t count)
{
    int v = 0;
    for (std::size_t i = at; i < at + count && i < s.size(); ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

class PostgresSink : public Sink {
public:
    PostgresSink(const std::string& connection, const std::vector<dict::TablePlan>& plans, bool replace)
        : mReplace(replace)
    {
        mConn = PQconnectdb(connection.c_str());
        // A refusal below ends the constructor, and with it the destructor's PQfinish: the guard
        // closes the connection (a failed one too) until the constructor is through.
        struct Closer {
            PGconn*& conn;
            bool armed = true;
            ~Closer()
            {
                if (armed)
                    PQfinish(std::exchange(conn, nullptr));
            }
        } closer{mConn};
        if (!mConn || PQstatus(mConn) != CONNECTION_OK)
            throw CliError("cannot connect to the database: " + oneLine(mConn ? PQerrorMessage(mConn) : ""));
        PQsetNoticeProcessor(mConn, [](void*, const char*) {}, nullptr);
        if (PQsetClientEncoding(mConn, "UTF8") != 0)
            throw CliError("the database does not take UTF-8 text: " + oneLine(PQerrorMessage(mConn)));
        std::string taken;
        for (const dict::TablePlan& p : plans) {
            const std::string quoted = dict::quoteIdentifier(p.name);
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
        closer.armed = false;
    }

    ~PostgresSink() override { PQfinish(mConn); }

    void beginTable(const dict::TablePlan& plan) override
    {
        mError.clear();
        mNulCount = 0;
        mBuffer.clear();
        mWire.clear();
        mColumns.clear();
        for (const dict::ColumnPlan& c : plan.columns) {
            mWire.push_back(wireOf(c));
            mColumns.push_back(c.name);
        }
        if (plan.columns.empty()) {
            mWire.push_back(Wire::Bytea);
            mColumns.push_back("record");
        }
        std::string sql = "BEGIN;\n";
        if (mReplace)
            sql += "DROP TABLE IF EXISTS " + dict::quoteIdentifier(plan.name) + ";\n";
        sql += dict::createTableSql(plan, dict::Dialect::Postgresql);
        if (!command(sql) || !startCopy(plan))
            return;
        mCopying = true;
        static constexpr char kHeader[] = "PGCOPY\n\377\r\n\0";
        mBuffer.append(kHeader, 11);
        put32(0); // flags
        put32(0); // header extension
    }

    void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) override
    {
        if (!mCopying)
            return;
        put16(static_cast<uint16_t>(mWire.size()));
        if (values.empty())
            putBytes(record.data(), record.size());
        for (std::size_t i = 0; i < values.size() && mCopying; ++i)
            putValue(values[i], i);
        if (mBuffer.size() >= kFlushSize)
            flush();
    }

    bool endTable(const dict::TablePlan& plan, std::vector<std::string>& notes) override
    {
        if (mCopying) {
            put16(0xFFFF); // the end of the data
            flush();
            mCopying = false;
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

    bool startCopy(const dict::TablePlan& plan)
    {
        const std::string sql = "COPY " + dict::quoteIdentifier(plan.name) + " FROM STDIN (FORMAT binary)";
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

    void createIndexes(const dict::TablePlan& plan, std::vector<std::string>& notes)
    {
        for (const dict::IndexPlan& ix : plan.indexes) {
            if (ix.unique) {
                if (!command("SAVEPOINT unique_key"))
                    return;
                Result r(
                    PQexec(mConn, dict::createIndexSql(plan, ix, dict::Dialect::Postgresql, true).c_str()));
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
                Result count(PQexec(mConn, dict::repeatedValuesSql(plan, ix).c_str()));
                const long long repeated =
                    count.status() == PGRES_TUPLES_OK ? std::atoll(PQgetvalue(count.get(), 0, 0)) : 0;
                notes.push_back(repeatedKeyNote(plan, ix, repeated));
            }
            if (!command(dict::createIndexSql(plan, ix, dict::Dialect::Postgresql, false)))
                return;
        }
    }

    void put16(uint16_t v)
    {
        const char b[2] = {static_cast<char>(v >> 8), static_cast<char>(v)};
        mBuffer.append(b, 2);
    }
    void put32(uint32_t v)
    {
        const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
        mBuffer.append(b, 4);
    }
    void put64(uint64_t v)
    {
        put32(static_cast<uint32_t>(v >> 32));
        put32(static_cast<uint32_t>(v));
    }
    void putBytes(const void* bytes, std::size_t size)
    {
        put32(static_cast<uint32_t>(size));
        mBuffer.append(static_cast<const char*>(bytes), size);
    }
    void putNull() { put32(0xFFFFFFFF); }

    // Stops the table: a value the column cannot hold is never cut to fit.
    void refuse(const dict::FieldValue& v, std::size_t column)
    {
        if (mError.empty())
            mError = "the value " + dict::valueText(v) + " does not fit the column " + mColumns[column] + ".";
        mCopying = false;
        mBuffer.clear();
        PQputCopyEnd(mConn, "export stopped");
        drainResults();
    }

    void putValue(const dict::FieldValue& v, std::size_t column)
    {
        using Kind = dict::FieldValue::Kind;
        const Wire wire = mWire[column];
        if (v.kind == Kind::Null)
            return putNull();
        switch (wire) {
        case Wire::Int2:
        case Wire::Int4:
        case Wire::Int8: {
            if (v.kind != Kind::Integer)
                return refuse(v, column);
            const int64_t n = v.integer;
            if (wire == Wire::Int2 && n >= std::numeric_limits<int16_t>::min() &&
                n <= std::numeric_limits<int16_t>::max()) {
                put32(2);
                return put16(static_cast<uint16_t>(n));
            }
            if (wire == Wire::Int4 && n >= std::numeric_limits<int32_t>::min() &&
                n <= std::numeric_limits<int32_t>::max()) {
                put32(4);
                return put32(static_cast<uint32_t>(n));
            }
            if (wire == Wire::Int8) {
                put32(8);
                return put64(static_cast<uint64_t>(n));
            }
            return refuse(v, column);
        }
        case Wire::Numeric:
            if (v.kind == Kind::Integer)
                return putNumeric(std::to_string(v.integer), v, column);
            if (v.kind == Kind::Decimal)
                return putNumeric(v.text, v, column);
            return refuse(v, column);
        case Wire::Float4:
        case Wire::Float8: {
            if (v.kind != Kind::Real)
                return refuse(v, column);
            if (wire == Wire::Float4) {
                const float f = static_cast<float>(v.real);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                put32(4);
                return put32(bits);
            }
            uint64_t bits;
            std::memcpy(&bits, &v.real, 8);
            put32(8);
            return put64(bits);
        }
        case Wire::Bool:
            if (v.kind != Kind::Integer)
                return refuse(v, column);
            put32(1);
            mBuffer += v.integer ? '\1' : '\0';
            return;
        case Wire::Date:
            // "YYYY-MM-DD"
            if (v.kind != Kind::Text || v.text.size() != 10)
                return refuse(v, column);
            put32(4);
            return put32(static_cast<uint32_t>(daysFrom2000(digitsAt(v.text, 0, 4),
                                                            static_cast<unsigned>(digitsAt(v.text, 5, 2)),
                                                            static_cast<unsigned>(digitsAt(v.text, 8, 2)))));
        case Wire::Time: {
            // "HH:MM:SS.hh": microseconds since midnight
            if (v.kind != Kind::Text || v.text.size() != 11)
                return refuse(v, column);
            const int64_t seconds =
                digitsAt(v.text, 0, 2) * 3600 + digitsAt(v.text, 3, 2) * 60 + digitsAt(v.text, 6, 2);
            put32(8);
            return put64(static_cast<uint64_t>(seconds * 1000000 + digitsAt(v.text, 9, 2) * 10000));
        }
        case Wire::Bytea:
            return putBytes(v.text.data(), v.text.size());
        case Wire::Text:
            if (v.text.find('\0') != std::string::npos) {
                ++mNulCount;
                return putNull();
            }
            return putBytes(v.text.data(), v.text.size());
        }
    }

    // A decimal text ("-123.45") as PostgreSQL's numeric: base-10000 digits around the point.
    void putNumeric(const std::string& text, const dict::FieldValue& v, std::size_t column)
    {
        const bool negative = !text.empty() && text[0] == '-';
        const std::size_t at = negative ? 1 : 0;
        const std::size_t point = text.find('.', at);
        const std::string whole = text.substr(at, point == std::string::npos ? std::string::npos : point - at);
        const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
        if ((whole + fraction).find_first_not_of("0123456789") != std::string::npos || whole.empty())
            return refuse(v, column);
        // Whole digits padded on the left and fraction digits on the right to groups of four.
        const std::string padded = std::string((4 - whole.size() % 4) % 4, '0') + whole + fraction +
                                   std::string((4 - fraction.size() % 4) % 4, '0');
        std::vector<uint16_t> groups;
        for (std::size_t i = 0; i < padded.size(); i += 4)
            groups.push_back(static_cast<uint16_t>(digitsAt(padded, i, 4)));
        int weight = static_cast<int>((whole.size() + 3) / 4) - 1;
        std::size_t first = 0, last = groups.size();
        while (first < last && groups[first] == 0) {
            ++first;
            --weight;
        }
        while (last > first && groups[last - 1] == 0)
            --last;
        const std::size_t count = last - first;
        put32(static_cast<uint32_t>(8 + 2 * count));
        put16(static_cast<uint16_t>(count));
        put16(static_cast<uint16_t>(count ? weight : 0));
        put16(negative && count ? 0x4000 : 0x0000);
        put16(static_cast<uint16_t>(fraction.size()));
        for (std::size_t i = first; i < last; ++i)
            put16(groups[i]);
    }

    PGconn* mConn = nullptr;
    const bool mReplace;
    bool mCopying = false;
    std::string mError;
    std::string mBuffer;
    std::vector<Wire> mWire;
    std::vector<std::string> mColumns;
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

std::unique_ptr<Sink> makePostgresSink(const std::string& connection,
                                       const std::vector<dict::TablePlan>& plans, bool replace)
{
    return std::make_unique<PostgresSink>(connection, plans, replace);
}

} // namespace cli
