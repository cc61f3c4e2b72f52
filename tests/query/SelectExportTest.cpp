// SELECT * through the module gives what export writes, row for row and value for value (types
// included), for every table of the sample dictionaries, the genuine dictionaries of tests/data
// and generated databases whose tables share data files; the tables refuse every change naming
// themselves, and a file that cannot be read is an error naming it and the status.
#include "QueryFixture.h"

#include "DictionarySet.h"
#include "SampleDictionary.h"
#include "Status.h"
#include "WinBtr.h"

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using querytest::Db;
using sample::RecordBytes;

namespace {

class SelectExportTest : public querytest::QueryFixture {
protected:
    // For every table export writes: SELECT * in the export equals SELECT * through the module,
    // or, where export wrote an empty table because the file cannot be read, the module's error
    // names the file and the status. Returns the number of tables compared.
    int expectSelectEqualsExport(const fs::path& set, const std::string& codePage = {})
    {
        const fs::path out = mTemp.path() / (set.filename().string() + ".db");
        std::vector<std::string> args{"export", set.string(), "--to", out.string()};
        if (!codePage.empty()) {
            args.push_back("--codepage");
            args.push_back(codePage);
        }
        const Result r = run(args);
        EXPECT_NE(r.status, 2) << r.err;
        Db exported(out.string());
        Db live;
        const std::string attach = "SELECT quillan_attach('" + set.string() + "', 'live'" +
                                   (codePage.empty() ? "" : ", '" + codePage + "'") + ")";
        const std::string tables =
            exported.rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
        EXPECT_EQ(live.value(attach), std::to_string(std::count(tables.begin(), tables.end(), '\n')));
        int compared = 0;
        std::istringstream names(tables);
        for (std::string line; std::getline(names, line);) {
            const std::string name = line.substr(2);
            std::string quoted = "\"";
            for (char c : name)
                quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            quoted += '"';
            const std::string expected = exported.rows("SELECT * FROM " + quoted + " ORDER BY rowid");
            const std::string actual = live.rows("SELECT * FROM live." + quoted);
            if (actual.rfind("error: ", 0) == 0) {
                EXPECT_EQ(expected, "") << name;
                EXPECT_NE(actual.find(" status "), std::string::npos) << actual;
                continue;
            }
            EXPECT_EQ(actual, expected) << name << " of " << set;
            // Column names and declared types are export's too.
            EXPECT_EQ(live.rows("SELECT name, type FROM pragma_table_info('" + name + "', 'live')"),
                      exported.rows("SELECT name, type FROM pragma_table_info('" + name + "')"))
                << name;
            ++compared;
        }
        return compared;
    }
};

// A database whose tables share data files as applications lay out several record types in one
// file: tables over SHARED.DAT read the same bytes each by its own fields (one without fields is
// the whole record), a table whose fields reach past the record and hold values that do not
// decode, two tables of one name, and a table whose file is missing. Everything random from seed.
fs::path sharedFileSet(const fs::path& d, unsigned seed)
{
    std::mt19937 rng(seed);
    sample::DictionaryRows rows = sample::selfDescription();
    rows.writeExtensions = true;
    rows.allowDuplicates = true;
    int16_t fieldId = 100;
    const auto file = [&](int16_t id, const std::string& name, const std::string& loc) {
        dict::FileRecord f;
        f.id = id;
        f.name = name;
        f.loc = loc;
        rows.files.push_back(f);
    };
    const auto field = [&](int16_t table, const std::string& name, uint8_t type, int16_t offset, int16_t size,
                           uint8_t dec = 0) {
        rows.fields.push_back({fieldId++, table, name, type, offset, size, dec, 0});
        return static_cast<int16_t>(fieldId - 1);
    };
    const int recordLength = 40 + static_cast<int>(rng() % 20);
    file(10, "Orders", "SHARED.DAT");
    const int16_t kind = field(10, "Kind", 1, 0, 2);
    field(10, "Customer", 0, 2, 20);
    field(10, "Amount", 5, 22, 6, static_cast<uint8_t>(rng() % 4));
    field(10, "Placed", 3, 28, 4);
    field(10, "Ready", 7, 32, 1);
    rows.indexes.push_back({10, kind, 0, 0, 0x101});
    file(11, "Payments", "shared.dat"); // the same file, named in another letter case
    field(11, "Kind", 1, 0, 2);
    field(11, "Code", 14, 2, 4);
    field(11, "Paid", 4, 6, 4);
    field(11, "Price", 6, 10, 8, 2);
    field(11, "Ratio", 2, 18, 8);
    field(11, "Note", 11, 26, 10);
    field(11, "Beyond", 1, static_cast<int16_t>(recordLength - 2), 4); // past the record's end
    file(12, "Raw", "SHARED.DAT");
    file(13, "Orders", "SHARED.DAT"); // a second table of the same name
    field(13, "Total", 18, 22, 6, 1);
    field(13, "Total", 17, 28, 6); // a repeated column name
    field(13, "Big", 14, 30, 8);
    file(14, "Ghost", "GHOST.DAT");
    field(14, "Id", 1, 0, 4);
    sample::writeDictionary(d, rows);

    const dict::Tables tables(sample::setOf(rows));
    std::vector<std::vector<uint8_t>> records;
    const int count = 50 + static_cast<int>(rng() % 100);
    for (int i = 0; i < count; ++i) {
        RecordBytes r(static_cast<std::size_t>(recordLength));
        for (int b = 0; b < recordLength; ++b)
            r.raw(static_cast<std::size_t>(b), {static_cast<uint8_t>(rng())});
        r.integer(0, 2, rng() % 5);
        if (rng() % 3)
            r.text(2, 20, "Cust " + std::to_string(rng() % 1000));
        if (rng() % 2) // a valid date: day, month, year
            r.raw(28,
                  {static_cast<uint8_t>(1 + rng() % 28), static_cast<uint8_t>(1 + rng() % 12), 0xE4, 0x07});
        if (rng() % 2)
            r.raw(32, {static_cast<uint8_t>(rng() % 2)});
        records.push_back(r.bytes());
    }
    const dict::TableDef& orders = tables.all()[3];
    if (int status = sample::createDataFile(d / "SHARED.DAT", orders, records))
        throw std::runtime_error("SHARED.DAT not created: status " + std::to_string(status));
    return d;
}

TEST_F(SelectExportTest, selectStarIsWhatExportWritesForEveryTable)
{
    EXPECT_EQ(expectSelectEqualsExport(salesSet("sales")), 6);
    for (const char* genuine : {"ddf60", "ddf80"}) {
        const fs::path d = dir(genuine);
        for (const auto& f : fs::directory_iterator(fs::path(QUILLAN_TEST_DATA) / "genuine" / genuine))
            fs::copy_file(f.path(), d / f.path().filename());
        EXPECT_GE(expectSelectEqualsExport(d), 3) << genuine;
    }
}

TEST_F(SelectExportTest, tablesSharingAFileEachReadItByTheirOwnFields)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const fs::path d = sharedFileSet(dir("shared" + std::to_string(seed)), seed);
        EXPECT_EQ(expectSelectEqualsExport(d), 7) << seed; // 3 self-description, 4 on SHARED.DAT
    }
    // Read in another code page, texts and names follow it as export's do.
    EXPECT_EQ(expectSelectEqualsExport(sharedFileSet(dir("shared866"), 9), "866"), 7);
}

TEST_F(SelectExportTest, tablesRefuseChangesNamingThemselves)
{
    const fs::path d = salesSet("sales");
    Db db;
    ASSERT_EQ(db.value("SELECT quillan_attach('" + d.string() + "')"), "6");
    const std::string before = db.rows("SELECT * FROM CUSTOMER");
    for (const char* change : {"INSERT INTO CUSTOMER (CustId) VALUES (99)", "UPDATE CUSTOMER SET Name = 'x'",
                               "DELETE FROM CUSTOMER"})
        EXPECT_EQ(db.rows(change),
                  "error: CUSTOMER is read-only: quillan reads the Btrieve files and never writes them")
            << change;
    EXPECT_EQ(db.rows("SELECT * FROM CUSTOMER"), before);
    // Attaching again replaces the module's tables, never a table of the user's own.
    EXPECT_EQ(db.value("SELECT quillan_attach('" + d.string() + "')"), "6");
    Db mine;
    mine.rows("CREATE TABLE orders (x)");
    mine.rows("INSERT INTO orders VALUES (1)");
    EXPECT_EQ(mine.value("SELECT quillan_attach('" + d.string() + "')"),
              "error: main.ORDERS exists already and is not a table of quillan");
    EXPECT_EQ(mine.rows("SELECT * FROM orders"), "i:1\n");
}

TEST_F(SelectExportTest, aQuerySeesTheFileAsItIsNow)
{
    const fs::path d = salesSet("sales");
    Db db;
    ASSERT_EQ(db.value("SELECT quillan_attach('" + d.string() + "')"), "6");
    ASSERT_EQ(db.value("SELECT count(*) FROM ORDERS WHERE OrderNo > 0"), "3");
    {
        TWinBtr btr;
        ASSERT_EQ(btr.Open((d / "ORDERS.DAT").string(), "", 0), 0);
        std::vector<uint8_t> record = sample::salesRecords("ORDERS")[0];
        record[0] = 9;
        btr.UseBuffer(record.data());
        ASSERT_EQ(btr.Insert(), 0);
    }
    EXPECT_EQ(db.value("SELECT count(*) FROM ORDERS WHERE OrderNo > 0"), "4");
    EXPECT_EQ(db.value("SELECT count(*) FROM ORDERS"), "4");
}

TEST_F(SelectExportTest, aFileThatCannotBeReadIsAnErrorNamingFileAndStatus)
{
    const fs::path d = salesSet("sales");
    Db db;
    ASSERT_EQ(db.value("SELECT quillan_attach('" + d.string() + "', 'sales')"), "6");
    fs::remove(d / "ITEMS.DAT");
    std::ofstream(d / "ORDERS.DAT", std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
    EXPECT_EQ(db.rows("SELECT * FROM sales.ITEMS"), "error: ITEMS: " + (d / "ITEMS.DAT").string() +
                                                        " cannot be opened: status 12 (file not found)");
    const std::string orders = db.rows("SELECT count(*) FROM sales.ORDERS WHERE OrderNo = 3");
    EXPECT_EQ(orders.rfind("error: ORDERS: " + (d / "ORDERS.DAT").string() + " cannot be opened: status ", 0),
              0u)
        << orders;
    // A dictionary or table that is not there is refused when attached.
    EXPECT_EQ(db.value("SELECT quillan_attach('" + (d / "none").string() + "')"),
              "error: " + (d / "none").string() + " is not a directory");
    EXPECT_EQ(db.rows("CREATE VIRTUAL TABLE t USING quillan('" + d.string() + "', 'NOPE')"),
              "error: the dictionary in " + d.string() + " has no table NOPE");
}

} // namespace
