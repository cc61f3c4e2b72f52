// Constraints on a key's leading segments are answered by the record manager's key operations:
// on a file of a million records a point query, an IN list, a narrow range and ORDER BY ... LIMIT
// each touch a handful of records (counted at the record manager's entry point), and what they
// give is right.
#include "GeneratedFiles.h"
#include "QueryFixture.h"

#include "Status.h"

#include <cstdlib>
#include <map>

namespace fs = std::filesystem;
using querytest::Db;

namespace {

const int kRecords =
    std::getenv("QUILLAN_KEY_RECORDS") ? std::atoi(std::getenv("QUILLAN_KEY_RECORDS")) : 1000000;

class KeyReadTest : public querytest::QueryFixture {
protected:
    // Record-manager calls that read a record (Get and Step operations) during the query, and its
    // rows.
    uint64_t readsFor(const Db& db, const std::string& sql, std::string& rows)
    {
        querytest::callsByOperation().clear();
        rows = db.rows(sql);
        uint64_t reads = 0;
        for (const auto& [op, n] : querytest::callsByOperation())
            if ((op >= btr::OpGetEqual && op <= btr::OpGetLast) || op == btr::OpStepNext ||
                op == btr::OpStepFirst)
                reads += n;
        return reads;
    }
};

std::vector<uint8_t> record(int id)
{
    std::vector<uint8_t> r(24, ' ');
    for (int i = 0; i < 4; ++i)
        r[static_cast<std::size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(id) >> (8 * i));
    const int group = id % 1000;
    r[4] = static_cast<uint8_t>(group);
    r[5] = static_cast<uint8_t>(group >> 8);
    const std::string name = "N" + std::to_string(id % 5000);
    std::copy(name.begin(), name.end(), r.begin() + 6);
    return r;
}

TEST_F(KeyReadTest, keyConstraintsOnAMillionRecordsTouchAHandfulOfThem)
{
    querytest::GenTable t;
    t.id = 20;
    t.name = "BIG";
    t.location = "BIG.DAT";
    t.recordLength = 24;
    t.fields = {{"Id", 1, 0, 4}, {"Grp", 1, 4, 2}, {"Name", 0, 6, 18}};
    t.keys = {{{0, 0}},
              {{1, btr::keyflag::Duplicates}, {0, btr::keyflag::Duplicates | btr::keyflag::Descending}},
              {{2, btr::keyflag::Duplicates}}};
    const fs::path d = dir("big");
    querytest::writeGeneratedDictionary(d, {t});
    std::vector<std::vector<uint8_t>> records;
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i)
        records.push_back(
            record(static_cast<int>(int64_t{i} * 7919 % kRecords))); // every id once, not in key order
    querytest::createNativeFile(d / "BIG.DAT", t, records);

    Db db;
    ASSERT_EQ(db.value("SELECT quillan_attach('" + d.string() + "')"), "4");
    std::string rows;
    EXPECT_LE(readsFor(db, "SELECT Id, Grp, Name FROM BIG WHERE Id = 777777", rows), 2u);
    EXPECT_EQ(rows, "i:777777|i:777|t:N2777\n");
    EXPECT_LE(readsFor(db, "SELECT Id FROM BIG WHERE Id IN (999999, 5, 123456, -1) ORDER BY Id", rows), 8u);
    EXPECT_EQ(rows, "i:5\ni:123456\ni:999999\n");
    EXPECT_LE(readsFor(db, "SELECT count(*) FROM BIG WHERE Id BETWEEN 1000 AND 1099", rows), 102u);
    EXPECT_EQ(rows, "i:100\n");
    EXPECT_LE(readsFor(db, "SELECT Id FROM BIG WHERE Id > 10 AND Id < 14", rows), 5u);
    EXPECT_EQ(rows, "i:11\ni:12\ni:13\n");
    EXPECT_LE(readsFor(db, "SELECT Id FROM BIG ORDER BY Id DESC LIMIT 3", rows), 4u);
    EXPECT_EQ(rows, "i:999999\ni:999998\ni:999997\n");
    // Equality on the first segment, a range on the descending second one, in the key's order.
    EXPECT_LE(readsFor(db, "SELECT Id FROM BIG WHERE Grp = 7 AND Id >= 997000 ORDER BY Grp, Id DESC", rows),
              4u);
    EXPECT_EQ(rows, "i:999007\ni:998007\ni:997007\n");
    // A String key: equality only, whatever the padding; the record manager positions, SQLite checks.
    EXPECT_LE(readsFor(db, "SELECT count(*) FROM BIG WHERE Name = 'N4999'", rows), 202u);
    EXPECT_EQ(rows, "i:200\n");
    EXPECT_EQ(db.rows("EXPLAIN QUERY PLAN SELECT Id FROM BIG ORDER BY Id DESC").find("TEMP B-TREE"),
              std::string::npos);
}

} // namespace
