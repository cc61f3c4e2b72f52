// quillan-cli's commands on dictionaries written by the dictionary layer's own Build code and on
// data files created and filled through TWinBtr.
#include "Binding.h"
#include "Commands.h"
#include "Fixtures.h"
#include "SampleDictionary.h"
#include "CliFixture.h"
#include "TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using sample::RecordBytes;

namespace {

using clitest::Result;

class CliTest : public clitest::CliFixture {};

// Runs the statements in a fresh in-memory database; "" or SQLite's message.
std::string sqliteError(const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    char* error = nullptr;
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    return message;
}

int lines(const std::string& s)
{
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

TEST_F(CliTest, usageAndInputErrorsExitWith2AndOneLine)
{
    const fs::path sales = salesSet("sales");
    const std::string out = (mTemp.path() / "out.db").string();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"dump"}, "needs one directory"},
        {{"dump", sales.string(), "--bogus"}, "unknown option --bogus"},
        {{"dump", (mTemp.path() / "nowhere").string()}, "is not a directory"},
        {{"check", dir("empty").string()}, "FILE.DDF cannot be opened: status 12 (file not found)"},
        {{"diff", sales.string()}, "needs two directories"},
        {{"sql", sales.string(), "--dialect", "oracle"}, "unknown dialect oracle"},
        {{"export", sales.string()}, "either --to OUT.db or --csv OUTDIR"},
        {{"export", sales.string(), "--to", out, "--csv", out}, "either --to"},
        {{"export", sales.string(), "NOPE", "--to", out}, "no table NOPE"},
        {{"export", sales.string(), "--to", (mTemp.path() / "no" / "dir.db").string()}, "cannot create"},
        {{"check", sales.string(), "--sample", "5"}, "check takes --sample only with --data"},
        {{"sql", sales.string(), "--codepage", "utf-16"}, "is not one the dictionary files can hold"},
        {{"infer", (sales / "NOWHERE.DAT").string()}, "NOWHERE.DAT cannot be opened"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.says;
    }
    EXPECT_FALSE(fs::exists(out));
    for (const char* command : {"dump", "check", "diff", "sql", "export"}) {
        const Result r = run({command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: quillan-cli ") + command, 0), 0u) << r.out;
    }
}

// Every command of the table: listed by the general help, its own help naming its usage and
// every option it takes, --codepage where and only where it reads names, and a wrong number of
// positionals refused with the command's own message before anything is read.
TEST_F(CliTest, everyCommandOfTheTableIsListedHelpedAndChecked)
{
    const std::string general = run({"--help"}).out;
    const fs::path sales = salesSet("sales");
    ASSERT_EQ(cli::commands().size(), 9u);
    for (const cli::Command* c : cli::commands()) {
        const std::string name(c->name);
        SCOPED_TRACE(name);
        EXPECT_EQ(cli::findCommand(name), c);
        EXPECT_NE(general.find("\n  " + std::string(c->synopsis)), std::string::npos) << general;

        const Result help = run({name, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: quillan-cli " + name, 0), 0u) << help.out;
        EXPECT_EQ(help.out.find(cli::kCodePageHelp) != std::string::npos, c->codePage);
        for (const std::set<std::string>* declared : {&c->flags, &c->options})
            for (const std::string& option : *declared)
                EXPECT_NE(help.out.find(option), std::string::npos) << option;
        if (!c->codePage) {
            const Result r = run({name, sales.string(), "--codepage", "866"});
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.err.find("unknown option --codepage"), std::string::npos) << r.err;
        }

        std::vector<std::vector<std::string>> wrongCounts{{name}};
        if (c->mostPositionals != cli::kAnyNumber)
            wrongCounts.push_back(std::vector<std::string>(c->mostPositionals + 1, sales.string()));
        for (std::vector<std::string> args : wrongCounts) {
            if (args.front() != name)
                args.insert(args.begin(), name);
            const Result r = run(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, "quillan-cli: " + name + " needs " + std::string(c->needs) +
                                 " (see quillan-cli " + name + " --help)\n");
            EXPECT_EQ(r.out, "");
        }
    }
    EXPECT_EQ(cli::findCommand("help"), nullptr);
}

TEST_F(CliTest, dumpShowsTablesFieldsAndKeysInWords)
{
    const Result r = run({"dump", salesSet("sales").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected : {
             "table X$FIELD (id 2)\n  location: FIELD.DDF\n  flags: 16 (Key Only)\n",
             "      2: Xe$Dec, position 30, length 1, flags 387 (Duplicates, Modifiable, RepeatDupl, "
             "ExtType)\n",
             "table ORDERS (id 5)\n  location: ORDERS.DAT\n  flags: 0\n",
             "    25    OrderDate            Integer              8     4    0      0  LongDate\n",
             "    key 1 (duplicates)\n      0: CustId, position 5, length 4, flags 273 (Duplicates, "
             "Segmented, ExtType)\n"
             "      1: OrderDate, position 9, length 4, flags 257 (Duplicates, ExtType)\n",
             "    key 0 (unique)\n      0: OrderNo, position 1, length 4, flags 272 (Segmented, ExtType)\n"
             "      1: Line, position 5, length 2, flags 256 (ExtType)\n",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\nin\n" << r.out;

    // A set without INDEX.DDF, as the window opens it (an empty Keys page): tables with no keys.
    const fs::path noKeys = salesSet("nokeys");
    fs::remove(noKeys / "INDEX.DDF");
    const Result k = run({"dump", noKeys.string()});
    ASSERT_EQ(k.status, 0) << k.err;
    EXPECT_NE(k.out.find("table ORDERS (id 5)\n  location: ORDERS.DAT\n"), std::string::npos) << k.out;
    EXPECT_EQ(k.out.find("key 0"), std::string::npos) << k.out;
}

TEST_F(CliTest, dumpJsonIsOneStableDocument)
{
    const fs::path sales = salesSet("sales");
    const Result r = run({"dump", sales.string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(run({"dump", sales.string(), "--json"}).out, r.out);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    const QJsonArray tables = doc.object()["tables"].toArray();
    ASSERT_EQ(tables.size(), 6);
    const QJsonObject orders = tables[4].toObject();
    EXPECT_EQ(orders["name"].toString(), "ORDERS");
    const QJsonObject date = orders["fields"].toArray()[2].toObject();
    EXPECT_EQ(date["name"].toString(), "OrderDate");
    EXPECT_EQ(date["type"].toString(), "Integer");
    EXPECT_EQ(date["extendedType"].toString(), "LongDate");
    EXPECT_EQ(date["offset"].toInt(), 8);
    const QJsonObject key1 = orders["keys"].toArray()[1].toObject();
    EXPECT_FALSE(key1["unique"].toBool());
    const QJsonArray segments = key1["segments"].toArray();
    ASSERT_EQ(segments.size(), 2);
    EXPECT_EQ(segments[1].toObject()["field"].toString(), "OrderDate");
    EXPECT_EQ(segments[1].toObject()["position"].toInt(), 9);
    EXPECT_EQ(segments[0].toObject()["flagWords"].toArray().size(), 3);
    EXPECT_TRUE(tables[0].toObject()["fields"].toArray()[0].toObject()["extendedType"].isNull());
}

TEST_F(CliTest, checkFindsNothingInSoundDictionaries)
{
    const fs::path self = dir("self");
    sample::writeDictionary(self, sample::selfDescription());
    for (const fs::path& d : {self, salesSet("sales")}) {
        const Result r = run({"check", d.string()});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out, "No findings.\n");
    }
}

TEST_F(CliTest, checkFindsEachProblemInABrokenCopy)
{
    sample::DictionaryRows rows = sample::salesDictionary();
    rows.allowDuplicates = true;
    rows.files.push_back({7, "GHOST", "GHOST.DAT"});
    rows.files.push_back({8, "JUNK", "JUNK.DAT"});
    rows.files.push_back({6, "ITEMS2", ""});
    rows.fields.push_back({18, 99, "Stray", 0, 0, 2, 0, 0});
    rows.fields.push_back({40, 4, "Overlap", 0, 2, 4, 0, 0});
    rows.fields.push_back({41, 4, "Tail", 0, 66, 4, 0, 0});
    std::find_if(rows.fields.begin(), rows.fields.end(), [](auto& f) { return f.id == 34; })->name = "QTY";
    rows.indexes.push_back({6, 999, 0, 2, 0x100});
    std::find_if(rows.indexes.begin(), rows.indexes.end(), [](auto& i) { return i.file == 5; })->flags =
        0x102;
    rows.indexes.erase(std::find_if(rows.indexes.begin(), rows.indexes.end(),
                                    [](auto& i) { return i.file == 4 && i.number == 1; }));
    rows.extensions.push_back({5, 777, 229});
    // The data files as the sound dictionary describes them, under the broken dictionary.
    const fs::path broken = salesSet("broken");
    sample::writeDictionary(broken, rows);
    std::ofstream(broken / "JUNK.DAT") << std::string(4096, 'j');

    const Result r = run({"check", broken.string()});
    EXPECT_EQ(r.status, 1);
    for (const char* expected : {
             "ITEMS: Table id 6 is used twice: by ITEMS and ITEMS2.\n",
             "Field id 18 is used twice: by CUSTOMER.CustId and table id 99.Stray.\n",
             "Stray: Field Stray (id 18) belongs to table id 99, which FILE.DDF does not hold.\n",
             "CUSTOMER.Overlap: The field (offset 2, size 4) overlaps field CustId (offset 0, size 4).\n",
             "CUSTOMER.Tail: The field ends at byte 70, beyond the data file's record length of 66.\n",
             "ITEMS.QTY: Two fields of the table have this name (ids 32 and 34).\n",
             "ITEMS key 0: Segment 2 names field id 999, which does not exist.\n",
             "ORDERS.OrderNo key 0: Segment 0 differs from the data file: flags 258 in INDEX.DDF, 256 in the "
             "data "
             "file.\n",
             "CUSTOMER key 1: The data file has this key, but INDEX.DDF does not describe it.\n",
             "FIELDEXT.DDF gives extended type Intel (229) to field id 777 of table id 5, which does not "
             "exist.\n",
             "GHOST: The location GHOST.DAT cannot be opened: status 12 (file not found).\n",
             "JUNK: The location JUNK.DAT cannot be opened: status 30 (",
         })
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\nin\n" << r.out;

    const Result json = run({"check", broken.string(), "--json"});
    EXPECT_EQ(json.status, 1);
    const QJsonArray findings =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["findings"].toArray();
    EXPECT_EQ(findings.size(), lines(r.out) - 1);
    EXPECT_EQ(findings[0].toObject()["table"].toString(), "ITEMS");

    // Repeated table and field names still give statements that run.
    const Result sql = run({"sql", broken.string()});
    EXPECT_NE(sql.out.find("\"QTY_34\" REAL"), std::string::npos) << sql.out;
    EXPECT_EQ(sqliteError(sql.out), "");
}

// The same dictionary with other ids.
sample::DictionaryRows renumbered(sample::DictionaryRows rows)
{
    for (auto& f : rows.files)
        f.id = f.id > 3 ? int16_t(f.id + 100) : f.id;
    for (auto& f : rows.fields) {
        f.file = f.file > 3 ? int16_t(f.file + 100) : f.file;
        f.id = f.id > 17 ? int16_t(f.id + 100) : f.id;
    }
    for (auto& i : rows.indexes) {
        i.file = i.file > 3 ? int16_t(i.file + 100) : i.file;
        i.field = i.field > 17 ? int16_t(i.field + 100) : i.field;
    }
    for (auto& x : rows.extensions)
        x = {int16_t(x.file + 100), int16_t(x.id + 100), x.dataType};
    return rows;
}

TEST_F(CliTest, diffMatchesByNameAndShowsWhatChanged)
{
    const fs::path v1 = dir("v1"), same = dir("same"), v2 = dir("v2");
    sample::writeDictionary(v1, sample::salesDictionary());
    sample::writeDictionary(same, renumbered(sample::salesDictionary()));
    const Result unchanged = run({"diff", v1.string(), same.string()});
    EXPECT_EQ(unchanged.status, 0);
    EXPECT_EQ(lines(unchanged.out), 2) << unchanged.out;

    sample::DictionaryRows rows = renumbered(sample::salesDictionary());
    rows.fields.push_back({200, 104, "Email", 0, 66, 40, 0, 0});
    rows.fields.erase(
        std::find_if(rows.fields.begin(), rows.fields.end(), [](auto& f) { return f.name == "Weight"; }));
    std::find_if(rows.fields.begin(), rows.fields.end(), [](auto& f) { return f.name == "Amount"; })->size =
        8;
    std::find_if(rows.indexes.begin(), rows.indexes.end(), [](auto& i) { return i.field == 119; })->flags =
        0x101;
    rows.extensions.clear();
    rows.files.push_back({120, "NOTES", "NOTES.DAT"});
    sample::writeDictionary(v2, rows);

    const Result r = run({"diff", v1.string(), v2.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "--- " + v1.string() + "\n+++ " + v2.string() +
                         "\n"
                         "+ field CUSTOMER.Email (String, offset 66, size 40)\n"
                         "~ key CUSTOMER 1: Name (flags 259) -> Name (flags 257)\n"
                         "~ field ORDERS.OrderDate: extended type \"LongDate\" -> \"none\"\n"
                         "~ field ORDERS.Amount: size 6 -> 8\n"
                         "- field ITEMS.Weight (Float, offset 37, size 4)\n"
                         "+ table NOTES (location NOTES.DAT, 0 fields, 0 keys)\n");
}

TEST_F(CliTest, sqlRunsInSqliteWithKeysAsIndexes)
{
    const fs::path sales = salesSet("sales");
    const Result r = run({"sql", sales.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, r.out.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    auto single = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
        std::string text;
        while (sqlite3_step(st) == SQLITE_ROW)
            text += std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + ";";
        sqlite3_finalize(st);
        return text;
    };
    EXPECT_EQ(single("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid"),
              "X$FILE;X$FIELD;X$INDEX;CUSTOMER;ORDERS;ITEMS;");
    EXPECT_EQ(single("SELECT name || '=' || \"unique\" FROM pragma_index_list('ORDERS') ORDER BY name"),
              "ORDERS_key0=1;ORDERS_key1=0;");
    EXPECT_EQ(single("SELECT name FROM pragma_index_info('ITEMS_key0') ORDER BY seqno"), "OrderNo;Line;");
    sqlite3_close(db);

    const Result pg = run({"sql", sales.string(), "--dialect", "postgresql"});
    EXPECT_NE(pg.out.find("\"Amount\" numeric(11,2),\n  \"Shipped\" boolean,\n  \"At\" time\n"),
              std::string::npos)
        << pg.out;
    EXPECT_NE(pg.out.find("CREATE UNIQUE INDEX \"ITEMS_key0\" ON \"ITEMS\" (\"OrderNo\", \"Line\");"),
              std::string::npos);
}

TEST_F(CliTest, exportedValuesReadBackThroughSqlite)
{
    const fs::path sales = salesSet("sales");
    const fs::path out = mTemp.path() / "sales.db";
    const Result r = run({"export", sales.string(), "CUSTOMER", "orders", "ITEMS", "--to", out.string()});
    EXPECT_EQ(r.status, 1) << "one date cannot be decoded";
    EXPECT_NE(
        r.err.find("ORDERS.OrderDate: 1 value could not be decoded as LongDate and was written as NULL.\n"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("ITEMS: 2 records exported.\n"), std::string::npos) << r.err;

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(out.string().c_str(), &db), SQLITE_OK);
    auto rows = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        std::string text;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto* v = sqlite3_column_text(st, c);
                text += (c ? "|" : "") + (v ? std::string(reinterpret_cast<const char*>(v)) : "NULL");
                text += sqlite3_column_type(st, c) == SQLITE_TEXT ? "'" : "";
            }
            text += "\n";
        }
        sqlite3_finalize(st);
        return text;
    };
    EXPECT_EQ(rows("SELECT * FROM CUSTOMER"), "1|Ada Lovelace'|London'|1815-12-10'|1234567.89\n"
                                              "-7|Zo\xC3\xAB'|K\xC3\xB6ln'|NULL|-0.05\n");
    EXPECT_EQ(rows("SELECT * FROM ORDERS"), "1|1|2024-12-31'|99.5|1|13:45:30.25'\n"
                                            "2|1|2024-02-29'|-1000000|0|00:00:00.00'\n"
                                            "3|-7|NULL|0|0|00:00:00.00'\n");
    EXPECT_EQ(rows("SELECT * FROM ITEMS"), "1|65535|Widget, \"large\"'|-3|10.0|2.5|-12.1\n"
                                           "1|2|'|32767|-0.75|0.00100000004749745|123\n");
    EXPECT_EQ(rows("SELECT count(*) FROM sqlite_master WHERE type = 'index'"), "5\n");
    sqlite3_close(db);
}

TEST_F(CliTest, exportToCsvQuotesTextsAndLeavesNullEmpty)
{
    const fs::path sales = salesSet("sales");
    const fs::path out = mTemp.path() / "csv";
    const Result r = run({"export", sales.string(), "ITEMS", "CUSTOMER", "--csv", out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read(out / "ITEMS.csv"), "OrderNo,Line,Product,Qty,Price,Weight,Code\r\n"
                                       "1,65535,\"Widget, \"\"large\"\"\",-3,10,2.5,-12.1\r\n"
                                       "1,2,\"\",32767,-0.75,0.0010000000474974513,123.0\r\n");
    EXPECT_EQ(read(out / "CUSTOMER.csv"), "CustId,Name,City,Since,Balance\r\n"
                                          "1,Ada Lovelace,London,1815-12-10,1234567.89\r\n"
                                          "-7,Zo\xC3\xAB,K\xC3\xB6ln,,-0.05\r\n");
}

TEST_F(CliTest, aDamagedGenuineDataFileIsExportedPastItsDamagedPagesOnlyWithSalvage)
{
    // PEOPLE.BTR: a compressed 8.x file with three damaged data pages.
    const genuinetest::DamagedFixture damaged = genuinetest::damagedFixture();
    sample::DictionaryRows rows = sample::selfDescription();
    dict::FileRecord people;
    people.id = 4;
    people.name = "PEOPLE";
    people.loc = "PEOPLE.BTR";
    rows.files.push_back(people);
    rows.fields.push_back({18, 4, "Id", 1, 0, 2, 0, 0});
    rows.fields.push_back({19, 4, "Name", 0, 2, 20, 0, 0});
    rows.fields.push_back({20, 4, "Code", 14, 22, 2, 0, 0});
    const fs::path d = dir("damaged");
    sample::writeDictionary(d, rows);
    genuinetest::writeFile((d / "PEOPLE.BTR").string(), damaged.image);
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto csvOf = [](const std::vector<genuinetest::Bytes>& records) {
        std::string csv = "Id,Name,Code\r\n";
        for (const auto& r : records) {
            const int16_t id = static_cast<int16_t>(r[0] | r[1] << 8);
            std::string name(r.begin() + 2, r.begin() + 22);
            name.erase(name.find_last_not_of(' ') + 1);
            csv += std::to_string(id) + "," + name + "," + std::to_string(r[22] | r[23] << 8) + "\r\n";
        }
        return csv;
    };
    const std::string pages = "pages " + std::to_string(damaged.pages[0]) + ", " + std::to_string(damaged.pages[1]) +
                              " and " + std::to_string(damaged.pages[2]);

    // Without --salvage the export stops at the first damaged page and names it.
    const Result plain = run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "plain").string()});
    EXPECT_EQ(plain.status, 1);
    EXPECT_NE(plain.err.find("PEOPLE: reading stopped after " + std::to_string(damaged.before[0]) +
                             " records at damaged page " + std::to_string(damaged.pages[0]) +
                             ": status 2 (I/O error); --salvage exports the records of the sound pages.\n"),
              std::string::npos)
        << plain.err;
    const std::vector<genuinetest::Bytes> beforeFirst(damaged.sound.begin(), damaged.sound.begin() + damaged.before[0]);
    EXPECT_EQ(read(mTemp.path() / "plain" / "PEOPLE.csv"), csvOf(beforeFirst));

    // With it, every sound record is written and the skipped pages and lost records are named.
    const Result salvaged =
        run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "salvaged").string(), "--salvage"});
    EXPECT_EQ(salvaged.status, 1);
    const size_t lost = damaged.live - damaged.sound.size();
    EXPECT_NE(salvaged.err.find("PEOPLE: " + pages + " are damaged and could not be read; " + std::to_string(lost) +
                                " records were not exported.\n"),
              std::string::npos)
        << salvaged.err;
    EXPECT_NE(salvaged.err.find("PEOPLE: " + std::to_string(damaged.sound.size()) + " records exported.\n"),
              std::string::npos)
        << salvaged.err;
    EXPECT_EQ(read(mTemp.path() / "salvaged" / "PEOPLE.csv"), csvOf(damaged.sound));

    // A layout whose records are known not to be readable yet says so, and why.
    genuinetest::FileDef pageCompressed = genuinetest::sampleDef(4, false);
    pageCompressed.fileFlags = 0x2000;
    genuinetest::writeFile((d / "PEOPLE.BTR").string(), genuinetest::build8x(pageCompressed));
    const Result notYet = run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "notyet").string()});
    EXPECT_EQ(notYet.status, 1);
    EXPECT_NE(
        notYet.err.find("PEOPLE: reading stopped after 0 records: status 4100 (the records of this genuine "
                        "file format are known not to be readable yet): its pages are compressed.\n"),
        std::string::npos)
        << notYet.err;
    genuinetest::writeFile((d / "PEOPLE.BTR").string(), damaged.image);

    // check names the damaged pages.
    const Result check = run({"check", d.string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("PEOPLE: The data file's " + pages + " are damaged: " +
                             std::to_string(damaged.sound.size()) + " records could be read past them.\n"),
              std::string::npos)
        << check.out;

    // A pre-6 copy cut short: without --salvage the export stops where the file ends, saying so;
    // with it, every record it holds is exported and the report says how many could be deleted
    // ones; check says the file is shorter than its control record says.
    const genuinetest::FileDef def = genuinetest::sampleDef(120, true);
    const genuinetest::Bytes whole = genuinetest::buildPre6(def);
    const size_t pagesWhole = whole.size() / 512, pagesLeft = pagesWhole - 2;
    genuinetest::writeFile((d / "PEOPLE.BTR").string(),
                           genuinetest::Bytes(whole.begin(), whole.end() - 2 * 512));
    const std::string shortText = "the file is shorter than its control record says: it ends at page " +
                                  std::to_string(pagesLeft) + ", where it should have " +
                                  std::to_string(pagesWhole) + " pages";
    const Result cutPlain =
        run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "cutplain").string()});
    EXPECT_EQ(cutPlain.status, 1);
    EXPECT_NE(cutPlain.err.find("--salvage exports the records of the sound pages."), std::string::npos)
        << cutPlain.err;
    const Result cut =
        run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "cut").string(), "--salvage"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find("the deleted-record chain breaks on page 0: "), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find(" of the records read could be deleted ones; " + shortText), std::string::npos)
        << cut.err;
    const Result cutCheck = run({"check", d.string()});
    EXPECT_NE(cutCheck.out.find("PEOPLE: The " + shortText.substr(4) + ".\n"), std::string::npos)
        << cutCheck.out;

    // A file whose records are not as many as it counts: the export says so.
    genuinetest::FileDef miscounted = genuinetest::sampleDef(8, false);
    miscounted.recordCountAdjust = 2;
    genuinetest::writeFile((d / "PEOPLE.BTR").string(), genuinetest::build6x(miscounted));
    const Result counted =
        run({"export", d.string(), "PEOPLE", "--csv", (mTemp.path() / "counted").string()});
    EXPECT_EQ(counted.status, 1);
    EXPECT_NE(
        counted.err.find("PEOPLE: reading stopped after 8 records: status 4101 (the records read are not as "
                         "many as the file's control record counts); its control record counts 10.\n"),
        std::string::npos)
        << counted.err;
    const Result countCheck = run({"check", d.string()});
    EXPECT_NE(countCheck.out.find("PEOPLE: The data file holds 8 records, not as many as its control record "
                                  "counts.\n"),
              std::string::npos)
        << countCheck.out;
}

} // namespace

namespace {

// An output stream every write to fails, as one into a full disk does.
class FullDisk : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(CliTest, everyCommandWhoseOutputCannotBeWrittenExitsWith2AndOneLine)
{
    const fs::path sales = salesSet("sales");
    const std::vector<std::vector<std::string>> cases = {
        {"--help"},
        {"--version"},
        {"dump", "--help"},
        {"dump", sales.string()},
        {"dump", sales.string(), "--json"},
        {"sql", sales.string()},
        {"check", sales.string()},
        {"check", sales.string(), "--data", "--json"},
        {"diff", sales.string(),
         [&] {
             const fs::path other = dir("other");
             sample::writeDictionary(other, sample::selfDescription());
             return other.string();
         }()},
        {"infer", (sales / "CUSTOMER.DAT").string()},
        {"infer", sales.string(), "--table", "ITEMS", "--json"},
    };
    for (std::vector<std::string> args : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        args.insert(args.begin(), "quillan-cli");
        FullDisk full;
        std::ostream out(&full);
        std::ostringstream err;
        cli::CliIo io{out, err};
        EXPECT_EQ(cli::runCli(args, io), 2);
        EXPECT_EQ(err.str(), "quillan-cli: the output cannot be written\n");
    }
    // The program itself into /dev/full: the error shows when its buffer is written out.
    if (fs::exists("/dev/full")) {
        const std::string cli = std::string(QUILLAN_BINARY_DIR) + "/cli/quillan-cli";
        const std::string command = "QUILLAN_RECORD_MANAGER=embedded '" + cli + "' dump '" + sales.string() +
                                    "' > /dev/full 2>'" + (mTemp.path() / "err.txt").string() + "'";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
        std::ifstream in(mTemp.path() / "err.txt");
        const std::string err(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(err, "quillan-cli: the output cannot be written: No space left on device\n");
    }
}

TEST_F(CliTest, aNulInsideANameEndsItEverywhereAndBreaksNoStatement)
{
    sample::DictionaryRows rows = sample::salesDictionary();
    std::find_if(rows.files.begin(), rows.files.end(), [](auto& f) { return f.name == "ORDERS"; })->name =
        std::string("ORD\0OLD NAME", 12);
    std::find_if(rows.fields.begin(), rows.fields.end(), [](auto& f) { return f.name == "City"; })->name =
        std::string("Town\0y", 6);
    const fs::path sales = salesSet("sales");
    sample::writeDictionary(sales, rows);

    const Result sql = run({"sql", sales.string()});
    ASSERT_EQ(sql.status, 0) << sql.err;
    EXPECT_EQ(sql.out.find(std::string(1, 0)), std::string::npos) << sql.out;
    EXPECT_NE(sql.out.find("CREATE TABLE \"ORD\" ("), std::string::npos) << sql.out;
    EXPECT_NE(sql.out.find("\"Town\" TEXT"), std::string::npos) << sql.out;
    EXPECT_EQ(sqliteError(sql.out), "");

    const fs::path out = mTemp.path() / "sales.db";
    const Result exported = run({"export", sales.string(), "--to", out.string(), "--no-system"});
    EXPECT_NE(exported.err.find("ORD: 3 records exported."), std::string::npos) << exported.err;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(out.string().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM ORD", -1, &st, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 3);
    sqlite3_finalize(st);
    // An ordinary page size: a small database is a small file.
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 4096);
    sqlite3_finalize(st);
    sqlite3_close(db);
    EXPECT_LT(fs::file_size(out), 64u * 1024);

    const Result dumped = run({"dump", sales.string()});
    EXPECT_NE(dumped.out.find("table ORD (id 5)"), std::string::npos) << dumped.out;
    const Result checked = run({"check", sales.string()});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find("ORD: The table's name ends at a NUL byte"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("CUSTOMER.Town: The field's name ends at a NUL byte"), std::string::npos)
        << checked.out;
}

TEST_F(CliTest, inferOnAFileWhoseReadingStopsFailsAndSaysWhereItStopped)
{
    const genuinetest::DamagedFixture damaged = genuinetest::damagedFixture();
    const fs::path file = dir("damaged") / "PEOPLE.BTR";
    genuinetest::writeFile(file.string(), damaged.image);
    const Result text = run({"infer", file.string(), "--sample", "0"});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(lines(text.err), 1) << text.err;
    EXPECT_NE(text.err.find("reading stopped after " + std::to_string(damaged.before[0]) + " records"),
              std::string::npos)
        << text.err;
    const Result json = run({"infer", file.string(), "--sample", "0", "--json"});
    EXPECT_EQ(json.status, 2);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(o["records"].toInt(), static_cast<int>(damaged.before[0]));
    EXPECT_NE(o["error"].toString().toStdString().find("reading stopped"), std::string::npos) << json.out;
}

} // namespace
