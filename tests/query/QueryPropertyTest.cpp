// Random WHERE clauses (equality, ranges, BETWEEN, IN, conjunctions, ORDER BY, LIMIT) over key and
// non-key columns of generated files, native and genuine, whose keys allow duplicates, descend,
// ignore case, use an ACS or leave out null values: the module gives exactly the rows SQLite gives
// over the exported copy of the same data.
#include "GeneratedFiles.h"
#include "QueryFixture.h"

#include "Status.h"

#include <algorithm>
#include <random>

namespace fs = std::filesystem;
using querytest::Db;

namespace {

constexpr int kDatabases = 4;
constexpr int kQueriesEach = 260;

const std::vector<std::string> kNames = {"ab", "AB", "Ab", "abc", "ABC",      "b",
                                         "B",  "",   "zz", "a b", "\xE9t\xE9"};

struct Column {
    std::string name;
    enum Kind { Int, Text, Decimal } kind;
    int lo, hi; // the values generated, for Int
};

// One table of the database of this seed: its columns, keys and records.
querytest::GenTable makeTable(std::mt19937& rng, std::vector<std::vector<uint8_t>>& records)
{
    using K = int;
    const auto flip = [&](K flag) { return rng() % 2 ? flag : K{0}; };
    querytest::GenTable t;
    t.id = 30;
    t.name = "T";
    t.location = "T.DAT";
    const int idSize = std::vector<int>{2, 4, 8}[rng() % 3];
    t.fields = {{"Id", 1, 0, idSize},
                {"Grp", 1, idSize, 1},
                {"Code", 14, idSize + 1, 2},
                {"Name", 0, idSize + 3, 8},
                {"Amount", 5, idSize + 11, 4, 2},
                {"Neg", 1, idSize + 15, 2},
                {"Note", 11, idSize + 17, 6}};
    t.recordLength = idSize + 23 + static_cast<int>(rng() % 4);
    using namespace btr::keyflag;
    const K dup = Duplicates;
    std::vector<std::vector<querytest::GenSegment>> keys = {
        {{0, flip(Descending)}},
        {{1, dup | flip(Descending)}, {2, dup | flip(Descending)}},
        {{3, dup | CaseInsensitive | flip(Descending)}},
        {{3, dup | Acs}},
        {{1, dup | NullAll, 0}},
        {{5, dup | flip(Descending)}},
        {{3, dup}, {5, dup | flip(Descending)}},
        {{2, dup | NullAny, static_cast<uint8_t>(rng() % 3)}, {1, dup | NullAny}},
    };
    std::shuffle(keys.begin() + 1, keys.end(), rng);
    keys.resize(2 + rng() % (keys.size() - 1));
    t.keys = keys;

    const int count = 200 + static_cast<int>(rng() % 400);
    std::vector<int64_t> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(static_cast<int64_t>(i * 3) - 150 * (idSize > 2 ? 7 : 1));
    std::shuffle(ids.begin(), ids.end(), rng);
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> r(static_cast<std::size_t>(t.recordLength), 0);
        const auto put = [&](int offset, int size, int64_t v) {
            for (int b = 0; b < size; ++b)
                r[static_cast<std::size_t>(offset + b)] =
                    static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * b));
        };
        put(0, idSize, ids[static_cast<std::size_t>(i)]);
        put(idSize, 1, static_cast<int64_t>(rng() % 10) - 3);
        put(idSize + 1, 2, static_cast<int64_t>(rng() % 40));
        std::string name = kNames[rng() % kNames.size()];
        while (name.size() < 8)
            name += rng() % 3 ? ' ' : '\0';
        std::copy(name.begin(), name.end(), r.begin() + idSize + 3);
        // Packed decimal, sign in the last nibble; now and then a digit that is not one.
        const int cents = static_cast<int>(rng() % 100000);
        const int digits[7] = {
            cents / 1000000 % 10, cents / 100000 % 10, cents / 10000 % 10, cents / 1000 % 10,
            cents / 100 % 10,     cents / 10 % 10,     cents % 10};
        for (int b = 0; b < 3; ++b)
            r[static_cast<std::size_t>(idSize + 11 + b)] =
                static_cast<uint8_t>(digits[2 * b] << 4 | digits[2 * b + 1]);
        r[static_cast<std::size_t>(idSize + 14)] =
            static_cast<uint8_t>(digits[6] << 4 | (rng() % 20 == 0 ? 0x0
                                                   : rng() % 2     ? 0xC
                                                                   : 0xD));
        put(idSize + 15, 2, static_cast<int64_t>(rng() % 601) - 300);
        const std::string note = std::string(1, static_cast<char>('a' + rng() % 4)) + (rng() % 2 ? "x" : "");
        std::copy(note.begin(), note.end(), r.begin() + idSize + 17);
        records.push_back(std::move(r));
    }
    return t;
}

std::string intValue(std::mt19937& rng, const Column& c)
{
    const int v = c.lo - 2 + static_cast<int>(rng() % static_cast<unsigned>(c.hi - c.lo + 5));
    switch (rng() % 16) {
    case 0:
        return std::to_string(v) + ".5";
    case 1:
        return "'" + std::to_string(v) + "'";
    case 2:
        return "NULL";
    case 3: // text that reads as a number, or not; a blob
        return "'" + std::to_string(v) + ".5'";
    case 4:
        return "' " + std::to_string(v) + "'";
    case 5:
        return "'x" + std::to_string(v) + "'";
    case 6:
        return "x'0" + std::to_string(v & 7) + "'";
    default:
        return std::to_string(v);
    }
}

std::string textValue(std::mt19937& rng)
{
    std::string s = kNames[rng() % kNames.size()];
    if (rng() % 10 == 0)
        s += ' ';
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

std::string valueFor(std::mt19937& rng, const Column& c)
{
    if (c.kind == Column::Text)
        return textValue(rng);
    if (c.kind == Column::Decimal)
        return std::to_string(rng() % 1000) + "." + std::to_string(rng() % 100);
    return intValue(rng, c);
}

std::string predicate(std::mt19937& rng, const std::vector<Column>& columns)
{
    const Column& c = columns[rng() % columns.size()];
    const std::string name = "\"" + c.name + "\"";
    static const char* const kOps[] = {"=", "<", "<=", ">", ">="};
    switch (rng() % 6) {
    case 0:
    case 1:
        return name + " " + kOps[rng() % 5] + " " + valueFor(rng, c);
    case 2:
        return name + " = " + valueFor(rng, c);
    case 3:
        return name + " BETWEEN " + valueFor(rng, c) + " AND " + valueFor(rng, c);
    case 4: {
        std::string in = name + " IN (";
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < n; ++i)
            in += (i ? ", " : "") + valueFor(rng, c);
        return in + ")";
    }
    default:
        return name + (rng() % 2 ? " IS NOT NULL" : " <> " + valueFor(rng, c));
    }
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        out.push_back(text.substr(from, nl - from));
    return out;
}

// The first n '|'-separated fields of a line.
std::string prefix(const std::string& line, int n)
{
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        at = line.find('|', at);
        if (at == std::string::npos)
            return line;
        ++at;
    }
    return line.substr(0, at);
}

class QueryPropertyTest : public querytest::QueryFixture {};

TEST_F(QueryPropertyTest, randomWhereClausesGiveTheRowsSqliteGivesOverTheExport)
{
    int queries = 0, keyServed = 0;
    for (int seed = 1; seed <= kDatabases; ++seed) {
        std::mt19937 rng(static_cast<unsigned>(seed) * 7877u);
        std::vector<std::vector<uint8_t>> records;
        const querytest::GenTable table = makeTable(rng, records);
        const fs::path d = dir("db" + std::to_string(seed));
        querytest::writeGeneratedDictionary(d, {table});
        const bool genuine = seed % 2 == 0;
        if (genuine)
            querytest::createGenuineFile(d / "T.DAT", table, records, seed % 4 == 0);
        else
            querytest::createNativeFile(d / "T.DAT", table, records);
        const fs::path out = d / "export.db";
        const Result r = run({"export", d.string(), "T", "--to", out.string()});
        ASSERT_NE(r.status, 2) << r.err;
        Db reference(out.string());
        Db live;
        ASSERT_EQ(live.value("SELECT quillan_attach('" + d.string() + "')"), "4");

        const int idSize = table.fields[0].size;
        const int idHigh = static_cast<int>(records.size()) * 3 - 150 * (idSize > 2 ? 7 : 1);
        const std::vector<Column> columns = {{"Id", Column::Int, -150 * (idSize > 2 ? 7 : 1), idHigh},
                                             {"Grp", Column::Int, -3, 6},
                                             {"Code", Column::Int, 0, 39},
                                             {"Name", Column::Text, 0, 0},
                                             {"Amount", Column::Decimal, 0, 0},
                                             {"Neg", Column::Int, -300, 300},
                                             {"Note", Column::Text, 0, 0}};
        for (int q = 0; q < kQueriesEach; ++q, ++queries) {
            std::string where;
            const int terms = 1 + static_cast<int>(rng() % 3);
            for (int i = 0; i < terms; ++i)
                where += (i ? " AND " : "") + predicate(rng, columns);
            std::vector<std::string> order;
            const int orderTerms = static_cast<int>(rng() % 3);
            for (int i = 0; i < orderTerms; ++i)
                order.push_back("\"" + columns[rng() % 3 == 0 ? rng() % columns.size() : rng() % 3].name +
                                "\"" + (rng() % 2 ? " DESC" : ""));
            const int limit = rng() % 3 == 0 ? static_cast<int>(rng() % 10) : -1;
            std::string select = "SELECT ";
            for (const std::string& o : order)
                select += o.substr(0, o.find(' ')) + ", ";
            std::string sql = select + "* FROM T WHERE " + where;
            const std::string unlimited = sql;
            if (!order.empty()) {
                sql += " ORDER BY ";
                for (std::size_t i = 0; i < order.size(); ++i)
                    sql += (i ? ", " : "") + order[i];
            }
            if (limit >= 0)
                sql += " LIMIT " + std::to_string(limit);
            if (live.rows("EXPLAIN QUERY PLAN " + sql).find("INDEX 0:") == std::string::npos)
                ++keyServed;

            const std::string expectedText = reference.rows(sql), actualText = live.rows(sql);
            ASSERT_EQ(actualText.rfind("error", 0), std::string::npos) << sql << "\n" << actualText;
            std::vector<std::string> expected = lines(expectedText), actual = lines(actualText);
            const int k = static_cast<int>(order.size());
            if (k > 0) {
                // The ORDER BY values in the same sequence; rows equal apart from the order of ties
                // (and, under LIMIT, which of the last tie group's rows come).
                ASSERT_EQ(actual.size(), expected.size()) << sql;
                for (std::size_t i = 0; i < actual.size(); ++i)
                    ASSERT_EQ(prefix(actual[i], k), prefix(expected[i], k)) << sql;
                if (limit >= 0 && !actual.empty()) {
                    const std::string last = prefix(actual.back(), k);
                    const auto notLast = [&](const std::string& l) { return prefix(l, k) == last; };
                    actual.erase(std::remove_if(actual.begin(), actual.end(), notLast), actual.end());
                    expected.erase(std::remove_if(expected.begin(), expected.end(), notLast), expected.end());
                }
            } else if (limit >= 0) {
                // Any rows of the unlimited answer, as many as the limit allows.
                std::vector<std::string> all = lines(reference.rows(unlimited));
                ASSERT_EQ(actual.size(), std::min<std::size_t>(all.size(), static_cast<std::size_t>(limit)))
                    << sql;
                std::sort(all.begin(), all.end());
                std::sort(actual.begin(), actual.end());
                ASSERT_TRUE(std::includes(all.begin(), all.end(), actual.begin(), actual.end())) << sql;
                continue;
            }
            std::sort(actual.begin(), actual.end());
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(actual, expected) << sql << (genuine ? " (genuine file)" : " (native file)");
        }
    }
    EXPECT_GE(queries, 1000);
    // Enough of them went through a key for the key reads to be what is tested.
    EXPECT_GE(keyServed, queries / 4);
}

} // namespace
