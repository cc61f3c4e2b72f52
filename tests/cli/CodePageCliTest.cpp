// quillan-cli on dictionaries whose names and texts are stored in a DOS or Windows code page:
// --codepage reads them, table names on the command line match the text, and every name and
// value that leaves the program is UTF-8.
#include "Binding.h"
#include "CliFixture.h"
#include "Commands.h"
#include "SampleDictionary.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// One generated database per page: a table, two fields and a text value, each given as the
// bytes the page stores and the text they are.
struct Stored {
    const char* bytes;
    const char* text;
};
struct PageCase {
    const char* page;
    Stored table, field, value;
};

const PageCase kCases[] = {
    {"866",
     {"\x91\xE2\xA0\xE2\xEC\xA8_\xE0\xA0\xE1\xE5\xAE\xA4\xAE\xA2", "Статьи_расходов"},
     {"\x8A\xAB\xA8\xA5\xAD\xE2", "Клиент"},
     {"\x88\x97\x8F \"\x83\x85\x8E\"", "ИЧП \"ГЕО\""}},
    {"1251",
     {"\xD1\xF2\xE0\xF2\xFC\xE8_\xF0\xE0\xF1\xF5\xEE\xE4\xEE\xE2", "Статьи_расходов"},
     {"\xCA\xEB\xE8\xE5\xED\xF2", "Клиент"},
     {"\xC8\xD7\xCF \"\xC3\xC5\xCE\"", "ИЧП \"ГЕО\""}},
    {"437",
     {"Gr\x94\xE1"
      "en",
      "Größen"},
     {"Stra\xE1"
      "e",
      "Straße"},
     {"\x9B 5, \x9C 3 \x81", "¢ 5, £ 3 ü"}},
};

using clitest::Result;

class CodePageCli : public clitest::CliFixture {
protected:
    // The self-description and table 4 (location T4.DAT): an Integer id, the named String field
    // of 24 bytes, and a ZString "Note"; two records, the first holding the value.
    fs::path database(const PageCase& c)
    {
        const fs::path d = mTemp.path() / c.page;
        fs::create_directories(d);
        sample::DictionaryRows rows = sample::selfDescription();
        dict::FileRecord f;
        f.id = 4;
        f.name = c.table.bytes;
        f.loc = "T4.DAT";
        rows.files.push_back(f);
        rows.fields.push_back({18, 4, "Id", 1, 0, 4, 0, 0});
        rows.fields.push_back({19, 4, c.field.bytes, 0, 4, 24, 0, 0});
        rows.fields.push_back({20, 4, "Note", 11, 28, 10, 0, 0});
        rows.indexes.push_back({4, 18, 0, 0, 0x100});
        sample::writeDictionary(d, rows);
        const dict::Tables tables(sample::setOf(rows));
        const std::vector<std::vector<uint8_t>> records = {
            sample::RecordBytes(38)
                .integer(0, 4, 1)
                .text(4, 24, c.value.bytes)
                .text(28, 10, "ok", '\0')
                .bytes(),
            sample::RecordBytes(38).integer(0, 4, 2).text(4, 24, "plain").bytes()};
        EXPECT_EQ(sample::createDataFile(d / "T4.DAT", tables.all().back(), records), 0);
        return d;
    }

};

using testsupport::readFile;

TEST_F(CodePageCli, dumpJsonGivesTheNamesAsTextOfThePage)
{
    for (const PageCase& c : kCases) {
        const Result r = run({"dump", database(c).string(), "--json", "--codepage", c.page});
        ASSERT_EQ(r.status, 0) << r.err;
        const QJsonArray tables =
            QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["tables"].toArray();
        ASSERT_EQ(tables.size(), 4) << r.out;
        const QJsonObject t = tables.last().toObject();
        EXPECT_EQ(t["name"].toString().toStdString(), c.table.text) << c.page;
        EXPECT_EQ(t["fields"].toArray()[1].toObject()["name"].toString().toStdString(), c.field.text)
            << c.page;
    }
}

TEST_F(CodePageCli, dumpTextPadsNameColumnsByCharacters)
{
    const Result r = run({"dump", database(kCases[0]).string(), "--codepage=866"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("table Статьи_расходов (id 4)\n"), std::string::npos) << r.out;
    // "Клиент" is 6 characters (12 bytes): padded to 21 characters like the ASCII names.
    EXPECT_NE(r.out.find("    19    Клиент               String               4    24"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("    20    Note                 ZString             28    10"), std::string::npos)
        << r.out;
}

TEST_F(CodePageCli, exportNamesTablesColumnsAndValuesInUtf8)
{
    for (const PageCase& c : kCases) {
        const fs::path d = database(c);
        const fs::path out = mTemp.path() / (std::string(c.page) + ".db");
        // The table is named on the command line as text, in another letter case where ASCII.
        const Result r =
            run({"export", d.string(), c.table.text, "--to", out.string(), "--codepage", c.page});
        ASSERT_EQ(r.status, 0) << c.page << ": " << r.err;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(out.string().c_str(), &db), SQLITE_OK);
        const std::string sql =
            "SELECT \"" + std::string(c.field.text) + "\" FROM \"" + c.table.text + "\" ORDER BY Id";
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        std::vector<std::string> values;
        while (sqlite3_step(st) == SQLITE_ROW)
            values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        EXPECT_EQ(values, (std::vector<std::string>{c.value.text, "plain"})) << c.page;

        const fs::path csv = mTemp.path() / (std::string(c.page) + "-csv");
        ASSERT_EQ(run({"export", d.string(), "--csv", csv.string(), "--codepage", c.page}).status, 0);
        const std::string text = readFile(csv / (std::string(c.table.text) + ".csv"));
        EXPECT_EQ(text.rfind("Id," + std::string(c.field.text) + ",Note\r\n", 0), 0u) << c.page << "\n"
                                                                                      << text;
        std::string quoted = "\"";
        for (const char* ch = c.value.text; *ch; ++ch)
            quoted += *ch == '"' ? std::string("\"\"") : std::string(1, *ch);
        EXPECT_NE(text.find("\r\n1," + quoted + "\",ok\r\n"), std::string::npos) << c.page << "\n" << text;
    }
}

TEST_F(CodePageCli, tableNamesOnTheCommandLineMatchOnlyTheReadText)
{
    const fs::path d = database(kCases[0]);
    const fs::path out = mTemp.path() / "x.db";
    Result r = run({"export", d.string(), "Статьи_расходов", "--to", out.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no table Статьи_расходов"), std::string::npos) << r.err;
    r = run({"export", d.string(), "СТАТЬИ_РАСХОДОВ", "--to", out.string(), "--codepage", "cp866"});
    EXPECT_EQ(r.status, 2) << "letter case is ignored for ASCII letters only";
    r = run({"dump", d.string(), "--codepage", "no-such-page"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown code page no-such-page"), std::string::npos) << r.err;
}

TEST_F(CodePageCli, checkSuggestsThePageWithoutSwitchingToIt)
{
    const fs::path cyrillic = database(kCases[0]);
    Result r = run({"check", cyrillic.string()});
    EXPECT_NE(r.out.find("Code page: names read as Cyrillic under 866"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Статьи"), std::string::npos) << "names stay in the page in use\n" << r.out;
    r = run({"check", cyrillic.string(), "--codepage", "866"});
    EXPECT_EQ(r.out.find("Code page:"), std::string::npos) << r.out;
    r = run({"check", database(kCases[1]).string(), "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(r.out))
                  .object()["codePageSuggestion"]
                  .toString()
                  .toStdString()
                  .rfind("names read as Cyrillic under 1251", 0),
              0u)
        << r.out;
}

TEST_F(CodePageCli, sqlAndDiffReadNamesInThePage)
{
    const fs::path a = database(kCases[0]), b = database(kCases[1]);
    Result r = run({"sql", a.string(), "--codepage", "866"});
    EXPECT_NE(r.out.find("CREATE TABLE \"Статьи_расходов\" (\n  \"Id\" INTEGER,\n  \"Клиент\" TEXT"),
              std::string::npos)
        << r.out;
    // The same names in two pages: the same dictionary once each is read in its own.
    r = run({"diff", a.string(), b.string(), "--codepage", "866"});
    EXPECT_EQ(r.status, 1);
    r = run({"diff", a.string(), a.string(), "--codepage", "866"});
    EXPECT_EQ(r.status, 0) << r.out;
}

} // namespace

namespace {

TEST_F(CodePageCli, inferChoosesATableByItsNameInThePage)
{
    for (const PageCase& c : kCases) {
        const fs::path d = database(c);
        const Result r = run({"infer", d.string(), "--table", c.table.text, "--json", "--codepage", c.page});
        ASSERT_EQ(r.status, 0) << c.page << ": " << r.err;
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        EXPECT_EQ(o["table"].toString().toStdString(), c.table.text) << c.page;
        EXPECT_EQ(o["records"].toInt(), 2);
    }
}

TEST_F(CodePageCli, onlySingleBytePagesWhoseLowHalfIsAsciiAreTaken)
{
    const fs::path d = database(kCases[0]);
    for (const char* page : {"utf-16", "UTF-16LE", "UTF-8", "Shift_JIS", "cp1200", "utf-32"}) {
        SCOPED_TRACE(page);
        const Result r = run({"dump", d.string(), "--codepage", page});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is not one the dictionary files can hold"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("866"), std::string::npos) << "the choices are named";
        EXPECT_EQ(r.out, "");
    }
    for (const char* page :
         {"437", "850", "852", "866", "1250", "1251", "1252", "Latin-1", "KOI8-R", "cp737"}) {
        SCOPED_TRACE(page);
        EXPECT_TRUE(cli::singleByteAsciiPage(*dict::CodePage::named(page)));
    }
}

} // namespace
