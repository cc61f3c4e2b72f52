// query: one SQL statement over the tables of a dictionary, read where they lie through the
// module "quillan" (query/Quillan.h): a readable table, JSON lines or CSV.
#include "Commands.h"
#include "Quillan.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli query DIR SQL [--json | --csv] [--codepage CP]

Runs one SQL statement (SQLite's dialect) over every table of the dictionary in DIR, read from
the data files as they are now, through the record manager, read-only. Tables and columns are
named and typed as `quillan-cli export` makes them, and hold the same values. Constraints on the
leading segments of a key (=, <, <=, >, >=, IN, BETWEEN, ORDER BY) are answered by reading that
key; everything else reads the file in physical order, with progress on stderr when it holds
more than 10,000 records.

--json   one JSON object per row, members in column order (blobs as hexadecimal text).
--csv    a header line of column names, then the rows (NULL is an empty cell, a text is quoted
         when it holds a separator, a quote or a line break, or is empty).
Without either, a table with columns as wide as their values (NULL shown as NULL).

Exit status 1 when values could not be decoded (they are NULL; stderr counts them per column),
2 for an SQL error (one line on stderr) or a dictionary that cannot be read.
)";

enum class Format { Table, Json, Csv };

std::string realText(double v)
{
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string hexText(const void* data, int size)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto* b = static_cast<const unsigned char*>(data);
    std::string s;
    for (int i = 0; i < size; ++i)
        s += std::string{kHex[b[i] >> 4], kHex[b[i] & 0xF]};
    return s;
}

std::string columnText(sqlite3_stmt* st, int c)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return std::to_string(sqlite3_column_int64(st, c));
    case SQLITE_FLOAT:
        return realText(sqlite3_column_double(st, c));
    case SQLITE_BLOB:
        return hexText(sqlite3_column_blob(st, c), sqlite3_column_bytes(st, c));
    default:
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
    }
}

std::size_t characters(const std::string& utf8)
{
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

class Connection {
public:
    Connection()
    {
        if (sqlite3_open(":memory:", &mDb) != SQLITE_OK || query::registerQuillan(mDb) != SQLITE_OK)
            throw CliError("cannot open an SQLite connection");
    }
    ~Connection() { sqlite3_close(mDb); }
    sqlite3* db() const { return mDb; }

private:
    sqlite3* mDb = nullptr;
};

int runQuery(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    if (args.has("--json") && args.has("--csv"))
        throw CliError("query takes --json or --csv, not both");
    const Format format = args.has("--json") ? Format::Json : args.has("--csv") ? Format::Csv : Format::Table;
    const std::string& dir = args.positionals[0];
    const std::string& sql = args.positionals[1];

    Connection connection;
    sqlite3* db = connection.db();
    {
        sqlite3_stmt* attach = nullptr;
        sqlite3_prepare_v2(db, "SELECT quillan_attach(?1, 'main', ?2)", -1, &attach, nullptr);
        sqlite3_bind_text(attach, 1, dir.c_str(), -1, SQLITE_TRANSIENT);
        const std::string* page = args.option(kCodePageOption);
        if (page)
            sqlite3_bind_text(attach, 2, page->c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(attach);
        const std::string error = rc == SQLITE_ROW ? std::string() : sqlite3_errmsg(db);
        sqlite3_finalize(attach);
        if (!error.empty())
            throw CliError(error);
    }
    query::setScanProgress(db, [&](const std::string& table, uint64_t read, uint64_t total) {
        io.err << table << ": " << read * 100 / total << "% (" << read << " of " << total << " records)\n";
    });

    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, &tail) != SQLITE_OK)
        throw CliError(sqlite3_errmsg(db));
    struct Finalize {
        sqlite3_stmt* st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};
    if (!st)
        throw CliError("the SQL holds no statement");
    if (tail && std::strspn(tail, " \t\r\n;") != std::strlen(tail))
        throw CliError("query runs one statement; the SQL holds more");

    const int columns = sqlite3_column_count(st);
    std::vector<std::string> names;
    for (int c = 0; c < columns; ++c)
        names.emplace_back(sqlite3_column_name(st, c));
    std::vector<std::vector<std::string>> table; // Format::Table: every row, to size the columns
    std::vector<bool> numeric(static_cast<std::size_t>(columns), true);
    if (format == Format::Csv)
        for (int c = 0; c < columns; ++c)
            io.out << (c ? "," : "") << csvField(names[static_cast<std::size_t>(c)])
                   << (c + 1 == columns ? "\r\n" : "");
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            const int type = sqlite3_column_type(st, c);
            const std::string text = type == SQLITE_NULL ? std::string() : columnText(st, c);
            switch (format) {
            case Format::Table:
                if (type != SQLITE_INTEGER && type != SQLITE_FLOAT && type != SQLITE_NULL)
                    numeric[static_cast<std::size_t>(c)] = false;
                row.push_back(type == SQLITE_NULL ? "NULL" : text);
                break;
            case Format::Csv:
                io.out << (c ? "," : "") << (type == SQLITE_TEXT ? csvField(text) : text);
                break;
            case Format::Json: {
                const bool finite = type != SQLITE_FLOAT || std::isfinite(sqlite3_column_double(st, c));
                io.out << (c ? ", \"" : "{\"") << jsonEscape(names[static_cast<std::size_t>(c)]) << "\": ";
                if (type == SQLITE_NULL || !finite)
                    io.out << "null";
                else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
                    io.out << text;
                else
                    io.out << '"' << jsonEscape(text) << '"';
                break;
            }
            }
        }
        if (format == Format::Table)
            table.push_back(std::move(row));
        else if (format == Format::Json)
            io.out << (columns ? "}\n" : "{}\n");
        else
            io.out << "\r\n";
    }
    if (rc != SQLITE_DONE)
        throw CliError(sqlite3_errmsg(db));

    if (format == Format::Table && columns > 0) {
        std::vector<std::size_t> width(static_cast<std::size_t>(columns));
        for (std::size_t c = 0; c < width.size(); ++c) {
            width[c] = characters(names[c]);
            for (const auto& row : table)
                width[c] = std::max(width[c], characters(row[c]));
        }
        const auto line = [&](const std::vector<std::string>& cells, bool header) {
            std::string s;
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const std::size_t pad = width[c] - characters(cells[c]);
                const bool right = numeric[c] && !header;
                std::string cell = right ? std::string(pad, ' ') + cells[c] : cells[c];
                if (!right && c + 1 < cells.size())
                    cell.append(pad, ' ');
                s += (c ? "  " : "") + cell;
            }
            io.out << s << '\n';
        };
        line(names, true);
        std::vector<std::string> rule;
        for (std::size_t w : width)
            rule.emplace_back(w, '-');
        line(rule, true);
        for (const auto& row : table)
            line(row, false);
    }
    const std::vector<std::string> undecoded = query::undecodedValues(db);
    for (const std::string& line : undecoded)
        io.err << line << '\n';
    return undecoded.empty() ? kExitOk : kExitFindings;
}

} // namespace

const Command kQueryCommand{
    .name = "query",
    .synopsis = "query DIR SQL [--json | --csv]",
    .summary = "one SQL statement over the data files, read where they lie",
    .help = kHelp,
    .flags = {"--json", "--csv"},
    .codePage = true,
    .leastPositionals = 2,
    .mostPositionals = 2,
    .needs = "a directory and one SQL statement",
    .run = runQuery,
};

} // namespace cli
