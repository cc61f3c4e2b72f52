// export into a real PostgreSQL server (a throw-away cluster started once for this program) and
// into SQLite and CSV: the values each target holds, what a failure leaves behind, what --to may
// write over; sql's table choice; check's findings on dictionaries other programs wrote.
#include "Binding.h"
#include "CliFixture.h"
#include "Commands.h"
#include "PostgresServer.h"
#include "SampleDictionary.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using sample::RecordBytes;

namespace {

// The cluster of this program: started by the first test that needs it, stopped at exit.
testsupport::TempDir& serverScratch()
{
    static testsupport::TempDir dir;
    return dir;
}
std::unique_ptr<testsupport::PostgresServer> gServer;
std::string gServerError;

class ServerEnvironment : public ::testing::Environment {
public:
    void TearDown() override { gServer.reset(); }
};
const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

testsupport::PostgresServer* server()
{
    if (!gServer && gServerError.empty()) {
        try {
            gServer = std::make_unique<testsupport::PostgresServer>(serverScratch().path() / "pg");
        } catch (const std::exception& e) {
            gServerError = e.what();
        }
    }
    return gServer.get();
}

using clitest::Result;

class ExportTest : public clitest::CliFixture {
protected:
    // A fresh database of the test server; the test fails (not skips) when there is no server.
    std::string database(const std::string& name)
    {
        testsupport::PostgresServer* s = server();
        if (!s)
            throw std::runtime_error("no PostgreSQL server for the test: " + gServerError);
        return s->createDatabase(name);
    }
    std::string pg(const std::string& connection, const std::string& sql) { return server()->query(connection, sql); }

};

using testsupport::readFile;

// Rows of an SQLite query, columns separated by '|': reals in shortest exact form, blobs as hex.
std::string sqliteRows(const fs::path& db, const std::string& sql)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.string().c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        text = std::string("error: ") + sqlite3_errmsg(h);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            text += c ? "|" : "";
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                text += "NULL";
                break;
            case SQLITE_FLOAT: {
                char buf[32];
                text.append(buf, std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st, c)).ptr);
                break;
            }
            case SQLITE_BLOB: {
                const auto* b = static_cast<const unsigned char*>(sqlite3_column_blob(st, c));
                static constexpr char hex[] = "0123456789abcdef";
                for (int i = 0; i < sqlite3_column_bytes(st, c); ++i)
                    text += std::string{hex[b[i] >> 4], hex[b[i] & 0xF]};
                break;
            }
            default:
                text += reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            }
        }
        text += '\n';
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return text;
}

// The same rows read from PostgreSQL, each column brought to the form sqliteRows gives.
std::string postgresRows(testsupport::PostgresServer& s, const std::string& connection, const std::string& table)
{
    const std::string types = s.query(connection, "SELECT data_type FROM information_schema.columns WHERE "
                                                  "table_name = '" + table + "' ORDER BY ordinal_position");
    std::string select;
    std::vector<bool> real;
    std::istringstream in(types);
    int i = 1;
    for (std::string type; std::getline(in, type); ++i) {
        const std::string c = "c" + std::to_string(i);
        std::string e = type == "boolean"  ? c + "::int"
                        : type == "bytea" ? "encode(" + c + ", 'hex')"
                        : type.rfind("time", 0) == 0 ? "to_char(" + c + ", 'HH24:MI:SS.FF2')"
                        // SQLite keeps a decimal in a NUMERIC column as a number: 99.50 is 99.5.
                        : type == "numeric" ? "trim_scale(" + c + ")::text"
                                                     : c + "::text";
        real.push_back(type == "real" || type == "double precision");
        if (real.back())
            e = c + "::float8::text";
        select += (select.empty() ? "" : ", ") + e;
    }
    // Columns by position: t(c1, c2, ...) renames them.
    std::string names;
    for (std::size_t k = 1; k <= real.size(); ++k)
        names += (k > 1 ? ", c" : "c") + std::to_string(k);
    const std::string raw = s.query(connection, "SELECT " + select + " FROM \"" + table + "\" AS t(" + names + ")");
    // Reals again in shortest exact form.
    std::string text;
    std::istringstream rows(raw);
    for (std::string row; std::getline(rows, row);) {
        std::size_t from = 0;
        for (std::size_t col = 0; col < real.size(); ++col) {
            const std::size_t to = std::min(row.find('|', from), row.size());
            std::string v = row.substr(from, to - from);
            if (real[col] && v != "NULL") {
                char buf[32];
                v.assign(buf, std::to_chars(buf, buf + sizeof buf, std::strtod(v.c_str(), nullptr)).ptr);
            }
            text += (col ? "|" : "") + v;
            from = to + 1;
        }
        text += '\n';
    }
    return text;
}

TEST_F(ExportTest, postgresHoldsWhatSqliteHoldsTypedAsSqlPrintsThem)
{
    const fs::path sales = salesSet("sales");
    const std::string conn = database("typed");
    const fs::path lite = mTemp.path() / "sales.db";
    const Result toLite = run({"export", sales.string(), "--to", lite.string()});
    const Result toPg = run({"export", sales.string(), "--to", conn});
    EXPECT_EQ(toPg.status, 1) << toPg.err; // one date cannot be decoded, as in SQLite
    EXPECT_EQ(toPg.err, toLite.err);
    EXPECT_NE(toPg.err.find("ORDERS.OrderDate: 1 value could not be decoded as LongDate"), std::string::npos);
    for (const char* table : {"X$FILE", "X$FIELD", "X$INDEX", "CUSTOMER", "ORDERS", "ITEMS"}) {
        SCOPED_TRACE(table);
        const std::string expected = sqliteRows(lite, std::string("SELECT * FROM \"") + table + "\"");
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(postgresRows(*server(), conn, table), expected);
    }
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM \"ORDERS\""), "3\n");

    // The columns keep their types: exactly the statements `sql --dialect postgresql` prints.
    const std::string other = database("typed_by_sql");
    const Result sql = run({"sql", sales.string(), "--dialect", "postgresql"});
    ASSERT_EQ(sql.status, 0);
    pg(other, sql.out);
    const std::string shape = "SELECT table_name, column_name, data_type, coalesce(numeric_precision, 0), "
                              "coalesce(numeric_scale, 0), coalesce(character_maximum_length, 0) FROM "
                              "information_schema.columns WHERE table_schema = 'public' ORDER BY 1, ordinal_position";
    EXPECT_EQ(pg(conn, shape), pg(other, shape));
    const std::string indexes = "SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = 'public' ORDER BY 1";
    EXPECT_EQ(pg(conn, indexes), pg(other, indexes));
    EXPECT_NE(pg(conn, shape).find("CUSTOMER|Balance|numeric|15|2|0\n"), std::string::npos) << pg(conn, shape);
    EXPECT_EQ(pg(conn, "SELECT \"Shipped\", \"At\", \"OrderDate\" FROM \"ORDERS\" WHERE \"OrderNo\" = 1"),
              "t|13:45:30.25|2024-12-31\n");
}

TEST_F(ExportTest, anExistingTableIsRefusedUnlessReplaceAndReplacingStartsOver)
{
    const fs::path sales = salesSet("sales");
    const std::string conn = database("replace");
    ASSERT_EQ(run({"export", sales.string(), "CUSTOMER", "ITEMS", "--to", conn}).status, 0);
    pg(conn, "INSERT INTO \"ITEMS\" (\"OrderNo\") VALUES (99)");

    const Result again = run({"export", sales.string(), "ITEMS", "ORDERS", "--to", conn});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("the database already has ITEMS (--replace"), std::string::npos) << again.err;
    EXPECT_EQ(pg(conn, "SELECT to_regclass('\"ORDERS\"') IS NULL, (SELECT count(*) FROM \"ITEMS\")"), "t|3\n")
        << "nothing is written when a table is refused";
    // The refused export closed its connection: in a while only the query's own is left (a
    // server process ends a moment after its client goes).
    const std::string connections =
        "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()";
    std::string left = pg(conn, connections);
    for (int i = 0; i < 100 && left != "1\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = pg(conn, connections);
    }
    EXPECT_EQ(left, "1\n") << "connections left open on the database";

    const Result replaced = run({"export", sales.string(), "ITEMS", "ORDERS", "--to", conn, "--replace"});
    EXPECT_EQ(replaced.status, 1) << replaced.err; // the date that cannot be decoded
    EXPECT_EQ(pg(conn, "SELECT (SELECT count(*) FROM \"ITEMS\"), (SELECT count(*) FROM \"ORDERS\"), "
                       "(SELECT count(*) FROM \"CUSTOMER\")"),
              "2|3|2\n");
    EXPECT_EQ(run({"export", sales.string(), "CUSTOMER", "--to", (mTemp.path() / "x.db").string(), "--replace"}).status, 2)
        << "--replace is for PostgreSQL";
}

TEST_F(ExportTest, aTableThatFailsLeavesNothingAndTheOthersStand)
{
    const fs::path sales = salesSet("sales");
    const std::string conn = database("fails");
    // Index names are the schema's: one taken by another table makes ORDERS fail after its rows
    // are copied in.
    pg(conn, "CREATE TABLE other (x int); CREATE INDEX \"ORDERS_key1\" ON other (x)");
    const Result r = run({"export", sales.string(), "CUSTOMER", "ORDERS", "ITEMS", "--to", conn});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ORDERS: nothing was written: ERROR:  relation \"ORDERS_key1\" already exists"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(pg(conn, "SELECT to_regclass('\"ORDERS\"') IS NULL, to_regclass('\"ORDERS_key0\"') IS NULL"),
              "t|t\n");
    EXPECT_EQ(pg(conn, "SELECT (SELECT count(*) FROM \"CUSTOMER\"), (SELECT count(*) FROM \"ITEMS\")"), "2|2\n");

    // A server that cannot be reached is one line and exit status 2.
    const Result away = run({"export", sales.string(), "--to", "postgresql:///nowhere?host=" + mTemp.path().string()});
    EXPECT_EQ(away.status, 2);
    EXPECT_NE(away.err.find("cannot connect to the database"), std::string::npos) << away.err;
}

// The sales dictionary whose CUSTOMER data file allows duplicates in key 0 and holds CustId 1
// three times, while the dictionary still says the key is unique.
fs::path repeatedKeySet(ExportTest& t, const fs::path& d)
{
    sample::DictionaryRows loose = sample::salesDictionary();
    for (auto& i : loose.indexes)
        if (i.file == 4 && i.number == 0)
            i.flags |= 0x1;
    sample::writeDictionary(d, loose);
    sample::fillSalesData(d, loose);
    (void)t;
    dict::DictionarySet set;
    set.files = loose.files;
    set.fields = loose.fields;
    set.indexes = loose.indexes;
    const dict::Tables tables(set);
    fs::remove(d / "CUSTOMER.DAT");
    std::vector<std::vector<uint8_t>> records = sample::salesRecords("CUSTOMER");
    const std::vector<uint8_t> zero = {0, 0, 0, 0, 0, 0, 0, 0x0C};
    records.push_back(RecordBytes(66).integer(0, 4, 1).text(4, 30, "Ada again").raw(58, zero).bytes());
    records.push_back(RecordBytes(66).integer(0, 4, 1).text(4, 30, "Ada thrice").raw(58, zero).bytes());
    records.push_back(RecordBytes(66).integer(0, 4, uint32_t(-7)).text(4, 30, "Zoe again").raw(58, zero).bytes());
    EXPECT_EQ(sample::createDataFile(d / "CUSTOMER.DAT", *tables.find("CUSTOMER"), records), 0);
    sample::writeDictionary(d, sample::salesDictionary());
    return d;
}

TEST_F(ExportTest, repeatedValuesInAUniqueKeyGiveAPlainIndexAndAReportLine)
{
    const fs::path d = repeatedKeySet(*this, dir("repeated"));
    const std::string note =
        "CUSTOMER key 0 allows no duplicates, but 2 values repeat in the data: its index CUSTOMER_key0 is not "
        "unique.\n";
    const fs::path lite = mTemp.path() / "repeated.db";
    const Result toLite = run({"export", d.string(), "--no-system", "CUSTOMER", "--to", lite.string()});
    EXPECT_EQ(toLite.status, 0) << toLite.err;
    EXPECT_NE(toLite.err.find(note), std::string::npos) << toLite.err;
    EXPECT_EQ(sqliteRows(lite, "SELECT count(*) FROM CUSTOMER"), "5\n");
    EXPECT_EQ(sqliteRows(lite, "SELECT name, \"unique\" FROM pragma_index_list('CUSTOMER') ORDER BY name"),
              "CUSTOMER_key0|0\nCUSTOMER_key1|0\n");

    const std::string conn = database("repeated");
    const Result toPg = run({"export", d.string(), "CUSTOMER", "ITEMS", "--to", conn});
    EXPECT_EQ(toPg.status, 0) << toPg.err;
    EXPECT_NE(toPg.err.find(note), std::string::npos) << toPg.err;
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM \"CUSTOMER\""), "5\n");
    EXPECT_EQ(pg(conn, "SELECT c.relname, i.indisunique FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                       "WHERE c.relname LIKE 'CUSTOMER%' OR c.relname LIKE 'ITEMS%' ORDER BY 1"),
              "CUSTOMER_key0|f\nCUSTOMER_key1|f\nITEMS_key0|t\n");
}

TEST_F(ExportTest, toWritesOnlyOverARegularFileAndOverAForeignOneOnlyWithForce)
{
    const fs::path sales = salesSet("sales");
    const fs::path out = dir("out");
    const fs::path sqlite = out / "old.db", text = out / "notes.txt", empty = out / "empty.db",
                   link = out / "link.db", fifo = out / "fifo.db", folder = out / "folder.db";
    ASSERT_EQ(run({"export", sales.string(), "ITEMS", "--to", sqlite.string()}).status, 0);
    std::ofstream(text) << "precious";
    std::ofstream(empty).flush();
    fs::create_symlink(text, link);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    const struct {
        fs::path target;
        bool force;
        int status;
        const char* says;
    } cases[] = {
        {out / "new.db", false, 0, ""},
        {sqlite, false, 0, ""},
        {empty, false, 0, ""},
        {text, false, 2, "is not an SQLite database; --force replaces it"},
        {link, false, 2, "is a symbolic link"},
        {link, true, 2, "is a symbolic link"},
        {fifo, true, 2, "is not a regular file"},
        {folder, true, 2, "is not a regular file"},
        {text, true, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.filename().string() + (c.force ? " --force" : ""));
        std::vector<std::string> args = {"export", sales.string(), "CUSTOMER", "--to", c.target.string()};
        if (c.force)
            args.push_back("--force");
        const Result r = run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        if (c.status == 0) {
            EXPECT_EQ(sqliteRows(c.target, "SELECT count(*) FROM CUSTOMER"), "2\n");
            const mode_t mask = ::umask(0);
            ::umask(mask);
            EXPECT_EQ(fs::status(c.target).permissions(), fs::perms(0666 & ~mask)) << "as a file made plainly";
        }
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(folder));
    // Nothing is left beside the targets.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"empty.db", "fifo.db", "folder.db", "link.db", "new.db", "notes.txt",
                                              "old.db"}));
}

TEST_F(ExportTest, csvFilesAppearOnlyWhenTheExportFinishes)
{
    // ITEMS gets many records, so that its CSV file outgrows a small file size limit.
    const fs::path sales = salesSet("sales");
    dict::DictionarySet set;
    const sample::DictionaryRows rows = sample::salesDictionary();
    set.files = rows.files;
    set.fields = rows.fields;
    set.indexes = rows.indexes;
    const dict::Tables tables(set);
    std::vector<std::vector<uint8_t>> items;
    for (uint32_t i = 0; i < 2000; ++i)
        items.push_back(RecordBytes(47).integer(0, 4, i).text(7, 20, "a fairly long product name").text(41, 6, "00012{").bytes());
    fs::remove(sales / "ITEMS.DAT");
    ASSERT_EQ(sample::createDataFile(sales / "ITEMS.DAT", *tables.find("ITEMS"), items), 0);

    const fs::path out = dir("csv");
    std::ofstream(out / "CUSTOMER.csv") << "from before";
    // A full disk, as far as the exporting process can tell: writes beyond 16 KiB fail.
    const std::string cli = std::string(QUILLAN_BINARY_DIR) + "/cli/quillan-cli";
    const std::string command = "trap '' XFSZ; ulimit -f 16; QUILLAN_RECORD_MANAGER=embedded '" + cli +
                                "' export '" + sales.string() + "' CUSTOMER ITEMS ORDERS --force --csv '" +
                                out.string() + "' 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(("bash -c \"" + command + "\"").c_str())), 2);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(out))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"CUSTOMER.csv"});
    EXPECT_EQ(readFile(out / "CUSTOMER.csv"), "from before");

    // An existing CSV file is replaced only with --force, as an existing database is.
    const Result refused = run({"export", sales.string(), "CUSTOMER", "ITEMS", "--csv", out.string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("CUSTOMER.csv exists; --force replaces them"), std::string::npos)
        << refused.err;
    EXPECT_EQ(readFile(out / "CUSTOMER.csv"), "from before");

    // What a killed export left (its folder here, its database file beside OUT.db) goes, named.
    fs::create_directory(out / ".export-Ab12Cd");
    std::ofstream(out / ".export-Ab12Cd" / "CUSTOMER.csv") << "half";
    std::ofstream(out / "keep.db.export-Zz9Yy8") << "half a database";
    std::ofstream(out / ".export-notes.txt") << "not a leftover";
    const Result r = run({"export", sales.string(), "CUSTOMER", "ITEMS", "--force", "--csv", out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("removed " + (out / ".export-Ab12Cd").string() +
                         ", left by an export that did not finish"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readFile(out / "CUSTOMER.csv").rfind("CustId,Name,City,Since,Balance\r\n", 0), 0u);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(std::ifstream(out / "ITEMS.csv").rdbuf()), {}, '\n'), 2001);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 4);
    const Result db = run({"export", sales.string(), "CUSTOMER", "--to", (out / "keep.db").string()});
    EXPECT_EQ(db.status, 0) << db.err;
    EXPECT_NE(db.err.find("removed " + (out / "keep.db.export-Zz9Yy8").string()), std::string::npos)
        << db.err;
    EXPECT_FALSE(fs::exists(out / "keep.db.export-Zz9Yy8"));
    EXPECT_TRUE(fs::exists(out / ".export-notes.txt"));
}

TEST_F(ExportTest, everyTableGetsItsTableAndSqlAndExportChooseTheSameTables)
{
    sample::DictionaryRows rows = sample::salesDictionary();
    rows.files.push_back({7, "GHOST", "GHOST.DAT"});
    rows.fields.push_back({40, 7, "Id", 1, 0, 4, 0, 0});
    const fs::path d = salesSet("ghost", rows);
    const std::string conn = database("ghost");
    const struct {
        std::vector<std::string> choice;
        const char* tables;
    } cases[] = {
        {{}, "X$FILE;X$FIELD;X$INDEX;CUSTOMER;ORDERS;ITEMS;GHOST;"},
        {{"--no-system"}, "CUSTOMER;ORDERS;ITEMS;GHOST;"},
        {{"ghost", "ITEMS"}, "GHOST;ITEMS;"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tables);
        std::vector<std::string> sql = {"sql", d.string()};
        sql.insert(sql.end(), c.choice.begin(), c.choice.end());
        const Result printed = run(sql);
        ASSERT_EQ(printed.status, 0) << printed.err;
        std::string names;
        for (std::size_t at = 0; (at = printed.out.find("CREATE TABLE \"", at)) != std::string::npos;) {
            at += 14;
            names += printed.out.substr(at, printed.out.find('"', at) - at) + ";";
        }
        EXPECT_EQ(names, c.tables);

        const fs::path db = mTemp.path() / ("ghost" + std::to_string(n) + ".db");
        std::vector<std::string> args = {"export", d.string()};
        args.insert(args.end(), c.choice.begin(), c.choice.end());
        args.insert(args.end(), {"--to", db.string()});
        const Result r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("GHOST: the location GHOST.DAT cannot be opened: status 12 (file not found); its "
                             "table is empty.\n"),
                  std::string::npos)
            << r.err;
        std::string exported = sqliteRows(db, "SELECT group_concat(name, ';') || ';' FROM sqlite_master WHERE "
                                              "type = 'table' ORDER BY rowid");
        exported.pop_back();
        EXPECT_EQ(exported, c.tables);
        // The same statements as sql prints.
        std::istringstream statements(sqliteRows(db, "SELECT replace(sql, char(10), '~') FROM sqlite_master "
                                                     "WHERE type = 'table'"));
        for (std::string line; std::getline(statements, line);) {
            std::replace(line.begin(), line.end(), '~', '\n');
            EXPECT_NE(printed.out.find(line + ";\n"), std::string::npos) << line;
        }
        ++n;
    }
    const Result toPg = run({"export", d.string(), "--no-system", "--to", conn});
    EXPECT_EQ(toPg.status, 1);
    EXPECT_EQ(pg(conn, "SELECT string_agg(table_name, ';' ORDER BY table_name) FROM information_schema.tables "
                       "WHERE table_schema = 'public'"),
              "CUSTOMER;GHOST;ITEMS;ORDERS\n");
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM \"GHOST\""), "0\n");
}

TEST_F(ExportTest, locationsWrittenOnWindowsAreFoundInAnyLetterCase)
{
    sample::DictionaryRows rows = sample::salesDictionary();
    for (auto& f : rows.files)
        if (f.name == "ITEMS")
            f.loc = "misc\\items.dat";
    const fs::path d = dir("windows");
    sample::writeDictionary(d, sample::salesDictionary());
    sample::fillSalesData(d, sample::salesDictionary());
    fs::create_directory(d / "Misc");
    fs::rename(d / "ITEMS.DAT", d / "Misc" / "Items.DAT");
    sample::writeDictionary(d, rows);

    const Result check = run({"check", d.string()});
    EXPECT_EQ(check.out, "No findings.\n");
    const Result r = run({"export", d.string(), "ITEMS", "--csv", dir("csv").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("ITEMS: 2 records exported."), std::string::npos) << r.err;
}

} // namespace

namespace {

// check on dictionaries that other programs wrote: each case one change to the sound sales
// dictionary, whose data files stay as the sound one made them; the whole output expected.
TEST_F(ExportTest, checkSaysWhatIsWrongOnceAndComparesKeysByTheDictionarysNumbering)
{
    using Rows = sample::DictionaryRows;
    const struct {
        const char* what;
        void (*change)(Rows&);
        std::string out;
    } cases[] = {
        {"keys numbered from 1",
         [](Rows& r) {
             for (auto& i : r.indexes)
                 if (i.file > 3)
                     ++i.number;
         },
         "INDEX.DDF numbers the keys of the tables from 1, not from 0: each key N is compared with the data "
         "file's "
         "key N-1.\n1 finding.\n"},
        {"keys numbered from 1, one of them left out",
         [](Rows& r) {
             for (auto& i : r.indexes)
                 if (i.file > 3)
                     ++i.number;
             std::erase_if(r.indexes, [](auto& i) { return i.file == 4 && i.number == 2; });
         },
         "INDEX.DDF numbers the keys of the tables from 1, not from 0: each key N is compared with the data "
         "file's "
         "key N-1.\nCUSTOMER key 2: The data file has this key (its key 1), but INDEX.DDF does not describe "
         "it.\n"
         "2 findings.\n"},
        {"a field of size 0",
         [](Rows& r) {
             r.fields.push_back({40, 4, "Pad", 0, 66, 0, 0, 0});
         },
         "CUSTOMER.Pad: The field has size 0: it takes no byte of the record (offset 66), so it holds no "
         "value.\n"
         "1 finding.\n"},
        {"a negative offset",
         [](Rows& r) {
             r.fields.push_back({40, 4, "Before", 0, -2, 1, 0, 0});
         },
         "CUSTOMER.Before: The field starts at offset -2, before the start of the record.\n1 finding.\n"},
        {"a Float of 21 bytes",
         [](Rows& r) {
             std::find_if(r.fields.begin(), r.fields.end(), [](auto& f) { return f.name == "Product"; })->dataType = 2;
         },
         "ITEMS.Product: A field of type Float cannot have size 21; the type takes 4 or 8 bytes.\n1 "
         "finding.\n"},
        {"a Date of 3 bytes",
         [](Rows& r) {
             r.fields.push_back({40, 4, "Day", 3, 55, 3, 0, 0});
         },
         "CUSTOMER.Day: A field of type Date cannot have size 3; the type takes 4 bytes.\n"
         "CUSTOMER.Day: The field (offset 55, size 3) overlaps field Since (offset 54, size 4).\n2 "
         "findings.\n"},
        {"an unknown type code",
         [](Rows& r) {
             std::find_if(r.fields.begin(), r.fields.end(), [](auto& f) { return f.name == "City"; })->dataType = 99;
         },
         "CUSTOMER.City: The field's type code 99 is no type the catalogue knows.\n1 finding.\n"},
        {"control characters in names",
         [](Rows& r) {
             std::find_if(r.files.begin(), r.files.end(), [](auto& f) { return f.name == "ORDERS"; })->name =
                 "ORD\tERS";
             std::find_if(r.fields.begin(), r.fields.end(), [](auto& f) { return f.name == "City"; })->name =
                 "Ci\x01ty";
         },
         "CUSTOMER.Ci\\x01ty: The field's name holds a control character.\n"
         "ORD\\x09ERS: The table's name holds a control character.\n2 findings.\n"},
        {"names written as C strings over older bytes",
         [](Rows& r) {
             std::find_if(r.files.begin(), r.files.end(), [](auto& f) { return f.name == "ORDERS"; })->name =
                 std::string("ORD\0OLD", 7);
             std::find_if(r.fields.begin(), r.fields.end(), [](auto& f) { return f.name == "City"; })->name =
                 std::string("Ci\0\0ty", 6);
         },
         "CUSTOMER.Ci: The field's name ends at a NUL byte; the bytes after it are left out of the name: "
         "\\x00\\x00ty.\nORD: The table's name ends at a NUL byte; the bytes after it are left out of the "
         "name: "
         "\\x00OLD.\n2 findings.\n"},
        {"key flags that differ only in the extended-type and next-segment bits",
         [](Rows& r) {
             for (auto& i : r.indexes)
                 if (i.file > 3)
                     i.flags = static_cast<int16_t>(i.flags ^ dict::KeyExtendedType ^
                                                    (i.part ? 0 : dict::KeySegmented));
         },
         "No findings.\n"},
        {"segments numbered from 1, the second naming no field",
         [](Rows& r) {
             for (auto& i : r.indexes)
                 if (i.file == 5 && i.number == 1)
                     i.field = static_cast<int16_t>(++i.part == 2 ? 99 : i.field);
         },
         "ORDERS key 1: Segment 1 names field id 99, which does not exist.\n1 finding.\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path d = salesSet("check" + std::to_string(n++));
        Rows rows = sample::salesDictionary();
        c.change(rows);
        sample::writeDictionary(d, rows);
        const Result r = run({"check", d.string()});
        EXPECT_EQ(r.status, c.out == "No findings.\n" ? 0 : 1);
        EXPECT_EQ(r.out, c.out);
    }
}

} // namespace

namespace {

// Binary COPY against the server's own reading of the same values as CSV text: many records of
// random values of every type with an encoding of its own (decimals, big and small integers,
// dates, times, floats to the bit, Latin-1 text with separators and escapes).
TEST_F(ExportTest, binaryCopyAgreesWithTheServersReadingOfTheCsvText)
{
    sample::DictionaryRows rows = sample::selfDescription();
    rows.writeExtensions = true;
    dict::FileRecord file;
    file.id = 4;
    file.name = "VALS";
    file.loc = "VALS.DAT";
    rows.files.push_back(file);
    const struct {
        const char* name;
        uint8_t type;
        int16_t offset, size;
        uint8_t dec;
    } fields[] = {{"Dec", 5, 0, 10, 4},  {"Money", 6, 10, 8, 0}, {"Big", 14, 18, 8, 0}, {"Neg", 1, 26, 8, 0},
                  {"Small", 1, 34, 2, 0}, {"Day", 3, 36, 4, 0},  {"At", 4, 40, 4, 0},   {"F8", 2, 44, 8, 0},
                  {"F4", 2, 52, 4, 0},    {"Yes", 7, 56, 1, 0},  {"Num", 8, 57, 6, 2},  {"Name", 0, 63, 12, 0},
                  {"U1", 14, 75, 1, 0}};
    int16_t id = 18;
    for (const auto& f : fields)
        rows.fields.push_back({id++, 4, f.name, f.type, f.offset, f.size, f.dec, 0});
    rows.indexes.push_back({4, 18, 0, 0, 0x101});
    const fs::path d = dir("vals");
    sample::writeDictionary(d, rows);

    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    auto packed = [&](std::size_t size) {
        std::vector<uint8_t> b(size);
        const unsigned zeros = next() % 4 == 0 ? static_cast<unsigned>(next() % (2 * size)) : 0; // leading zeros
        for (std::size_t i = 0; i < 2 * size - 1; ++i) {
            const uint8_t digit = i < zeros ? 0 : static_cast<uint8_t>(next() % 10);
            b[i / 2] |= i % 2 ? digit : static_cast<uint8_t>(digit << 4);
        }
        b[size - 1] |= next() % 2 ? 0xD : 0xC;
        return b;
    };
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 600; ++i) {
        RecordBytes r(76);
        r.raw(0, packed(10)).raw(10, packed(8)).integer(18, 8, next()).integer(26, 8, next() >> (next() % 64));
        r.integer(34, 2, next());
        const int year = 1 + static_cast<int>(next() % 9999), month = 1 + static_cast<int>(next() % 12),
                  day = 1 + static_cast<int>(next() % 28);
        r.raw(36, {uint8_t(day), uint8_t(month), uint8_t(year), uint8_t(year >> 8)});
        r.raw(40, {uint8_t(next() % 100), uint8_t(next() % 60), uint8_t(next() % 60), uint8_t(next() % 24)});
        r.integer(44, 8, next()).integer(52, 4, next()).integer(56, 1, next() % 3);
        std::string num;
        for (int k = 0; k < 5; ++k)
            num += static_cast<char>('0' + next() % 10);
        num += "{ABCDEFGHI}JKLMNOPQR"[next() % 20];
        r.text(57, 6, num);
        std::string name;
        for (int k = 0; k < 12; ++k)
            name += static_cast<char>(1 + next() % 255);
        r.text(63, 12, name).integer(75, 1, next());
        records.push_back(r.bytes());
    }
    dict::DictionarySet set;
    set.files = rows.files;
    set.fields = rows.fields;
    set.indexes = rows.indexes;
    const dict::Tables tables(set);
    ASSERT_EQ(sample::createDataFile(d / "VALS.DAT", *tables.find("VALS"), records), 0);

    const std::string conn = database("binary");
    // Random bits make a few floats that are no number: those are NULL on both sides.
    const Result r = run({"export", d.string(), "VALS", "--to", conn});
    ASSERT_NE(r.status, 2) << r.err;
    ASSERT_EQ(run({"export", d.string(), "VALS", "--csv", dir("csv").string()}).status, r.status);
    pg(conn, "CREATE TABLE text_copy (LIKE \"VALS\")");
    // The server reads the file as its own user, from its own directory.
    const fs::path csv = server()->directory() / "VALS.csv";
    fs::copy_file(mTemp.path() / "csv" / "VALS.csv", csv, fs::copy_options::overwrite_existing);
    pg(conn, "COPY text_copy FROM '" + csv.string() + "' (FORMAT csv, HEADER)");
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM \"VALS\""), "600\n");
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM (SELECT * FROM \"VALS\" EXCEPT ALL SELECT * FROM text_copy) AS a"),
              "0\n");
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM (SELECT * FROM text_copy EXCEPT ALL SELECT * FROM \"VALS\") AS b"),
              "0\n");
    // Not all alike: the values do vary.
    EXPECT_EQ(pg(conn, "SELECT count(DISTINCT \"Dec\") > 500, count(DISTINCT \"Day\") > 500, "
                       "bool_or(\"Dec\" < 0) AND bool_or(\"Dec\" > 0) FROM \"VALS\""),
              "t|t|t\n");
}

} // namespace

namespace {

TEST_F(ExportTest, optionsThatDoNotSuitTheTargetAndTextsPostgresqlCannotHold)
{
    const fs::path sales = salesSet("sales");
    const std::string conn = database("options");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--to", conn, "--force"}, "--force is for --to OUT.db"},
        {{"--csv", dir("csv").string(), "--replace"}, "--replace is for a PostgreSQL database"},
        {{"NOPE", "--to", conn}, "the dictionary has no table NOPE"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"export", sales.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(pg(conn, "SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'"), "0\n");

    // A NUL inside a text: SQLite keeps it, PostgreSQL text cannot, so it is NULL there and counted.
    fs::remove(sales / "CUSTOMER.DAT");
    sample::DictionaryRows rows = sample::salesDictionary();
    dict::DictionarySet set;
    set.files = rows.files;
    set.fields = rows.fields;
    set.indexes = rows.indexes;
    const dict::Tables tables(set);
    const std::vector<uint8_t> zero = {0, 0, 0, 0, 0, 0, 0, 0x0C};
    ASSERT_EQ(sample::createDataFile(sales / "CUSTOMER.DAT", *tables.find("CUSTOMER"),
                                     {RecordBytes(66).integer(0, 4, 1).text(4, 30, std::string("Ada\0Byron", 9))
                                          .raw(58, zero).bytes(),
                                      RecordBytes(66).integer(0, 4, 2).text(4, 30, "Tab\there\\").raw(58, zero).bytes()}),
              0);
    const Result r = run({"export", sales.string(), "CUSTOMER", "--to", conn});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("CUSTOMER: 1 text holds a NUL character, which PostgreSQL text cannot hold, and was "
                         "written as NULL."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(pg(conn, "SELECT \"CustId\", \"Name\" IS NULL, replace(\"Name\", E'\\t', '<tab>') FROM \"CUSTOMER\""),
              "1|t|NULL\n2|f|Tab<tab>here\\\n");
}

} // namespace
