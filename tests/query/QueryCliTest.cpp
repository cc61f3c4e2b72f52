// quillan-cli query: the readable table, JSON lines and CSV; one line and exit status 2 for an SQL
// error; values that do not decode counted as export counts them; progress on stderr for a long
// scan and none for a key read.
#include "GeneratedFiles.h"
#include "QueryFixture.h"

#include "SampleDictionary.h"
#include "Status.h"

namespace fs = std::filesystem;

namespace {

class QueryCliTest : public querytest::QueryFixture {};

TEST_F(QueryCliTest, printsATableJsonLinesOrCsv)
{
    const fs::path d = salesSet("sales");
    const std::string sql = "SELECT CustId, Name, Balance, Since FROM CUSTOMER ORDER BY CustId";
    Result r = run({"query", d.string(), sql, "--codepage", "1252"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CustId  Name          Balance     Since\n"
                     "------  ------------  ----------  ----------\n"
                     "    -7  Zoë                -0.05  NULL\n"
                     "     1  Ada Lovelace  1234567.89  1815-12-10\n");
    r = run({"query", d.string(), sql, "--json", "--codepage", "1252"});
    EXPECT_EQ(
        r.out,
        "{\"CustId\": -7, \"Name\": \"Zoë\", \"Balance\": -0.05, \"Since\": null}\n"
        "{\"CustId\": 1, \"Name\": \"Ada Lovelace\", \"Balance\": 1234567.89, \"Since\": \"1815-12-10\"}\n");
    r = run({"query", d.string(),
             "SELECT Name, 'a,\"b' AS q, x'00ff' AS b, NULL AS n FROM CUSTOMER WHERE CustId = 1", "--csv"});
    EXPECT_EQ(r.out, "Name,q,b,n\r\nAda Lovelace,\"a,\"\"b\",00ff,\r\n");
    EXPECT_EQ(run({"query", d.string(), sql, "--csv", "--json"}).status, 2);
}

TEST_F(QueryCliTest, anSqlErrorIsOneLineAndStatusTwo)
{
    const fs::path d = salesSet("sales");
    for (const std::vector<std::string>& sql :
         {std::vector<std::string>{"SELECT nosuch FROM CUSTOMER", "no such column: nosuch"},
          {"DELETE FROM ORDERS",
           "ORDERS is read-only: quillan reads the Btrieve files and never writes them"},
          {"SELECT 1; SELECT 2", "query runs one statement; the SQL holds more"}}) {
        const Result r = run({"query", d.string(), sql[0]});
        EXPECT_EQ(r.status, 2) << sql[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "quillan-cli: " + sql[1] + "\n");
    }
    fs::remove(d / "ITEMS.DAT");
    const Result r = run({"query", d.string(), "SELECT count(*) FROM ITEMS"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quillan-cli: ITEMS: " + (d / "ITEMS.DAT").string() +
                         " cannot be opened: status 12 (file not found)\n");
}

TEST_F(QueryCliTest, valuesThatDoNotDecodeAreCountedAsExportCountsThem)
{
    const fs::path d = salesSet("sales");
    const Result exported = run({"export", d.string(), "--to", (mTemp.path() / "out.db").string()});
    std::string expected;
    std::istringstream lines(exported.err);
    for (std::string line; std::getline(lines, line);)
        if (const auto at = line.find(" written as NULL."); at != std::string::npos)
            expected += line.substr(0, at) + " read as NULL.\n";
    ASSERT_NE(expected, "");
    std::string counted;
    for (const char* table : {"CUSTOMER", "ORDERS", "ITEMS"}) {
        const Result r = run({"query", d.string(), std::string("SELECT * FROM ") + table});
        EXPECT_EQ(r.status, r.err.empty() ? 0 : 1);
        counted += r.err;
    }
    EXPECT_EQ(counted, expected);
}

TEST_F(QueryCliTest, aLongScanShowsProgressAndAKeyReadDoesNot)
{
    querytest::GenTable t;
    t.id = 40;
    t.name = "LONG";
    t.location = "LONG.DAT";
    t.recordLength = 8;
    t.fields = {{"Id", 1, 0, 4}, {"Value", 1, 4, 4}};
    t.keys = {{{0, 0}}};
    const fs::path d = dir("long");
    querytest::writeGeneratedDictionary(d, {t});
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 20000; ++i)
        records.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0, 0, 7, 0, 0, 0});
    querytest::createNativeFile(d / "LONG.DAT", t, records);
    Result r = run({"query", d.string(), "SELECT count(*) FROM LONG WHERE Value = 7"});
    EXPECT_EQ(r.out, "count(*)\n--------\n   20000\n");
    EXPECT_NE(r.err.find("LONG: 10% (2000 of 20000 records)\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("LONG: 90% (18000 of 20000 records)\n"), std::string::npos) << r.err;
    r = run({"query", d.string(), "SELECT Value FROM LONG WHERE Id BETWEEN 100 AND 19000", "--csv"});
    EXPECT_EQ(r.err, "");
}

} // namespace
