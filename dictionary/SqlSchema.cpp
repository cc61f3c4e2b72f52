#include "SqlSchema.h"

#include "DataTypes.h"

#include <algorithm>
#include <set>

namespace dict {
namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

// name, or name_<id> (then name_<id>_2, ...) when one like it is taken; SQL names ignore case.
std::string uniqueName(std::string name, int id, const char* fallback, std::set<std::string>& taken)
{
    if (name.empty())
        name.append(fallback).append(std::to_string(id));
    std::string candidate = name;
    for (int n = 1; taken.count(upper(candidate)); ++n) {
        candidate = name;
        candidate.append("_").append(std::to_string(id));
        if (n > 1)
            candidate.append("_").append(std::to_string(n));
    }
    taken.insert(upper(candidate));
    return candidate;
}

// Digits and decimal places of a field holding exact decimals.
std::pair<int, int> precisionOf(const FieldDef& f)
{
    const int size = f.record.size, type = f.typeCode();
    int digits = type == kDecimal || type == kMoney ? 2 * size - 1 : type == kNumericSts ? size - 1 : size;
    const int scale = type == kMoney && f.record.dec == 0 ? 2 : f.record.dec;
    if (type == 14) // unsigned 8 bytes
        digits = 20;
    return {std::max({digits, scale, 1}), scale};
}

} // namespace

std::vector<TablePlan> planTables(const std::vector<const TableDef*>& tables)
{
    std::vector<TablePlan> plans;
    std::set<std::string> tableNames, indexNames;
    for (const TableDef* t : tables) {
        TablePlan p;
        p.table = t;
        p.name = uniqueName(t->name, t->record.id, "table_", tableNames);
        std::set<std::string> columnNames;
        for (const FieldDef& f : t->fields)
            p.columns.push_back({&f, uniqueName(f.name, f.record.id, "field_", columnNames),
                                 valueClassOf(f.typeCode(), f.record.size)});
        for (const KeyDef& k : t->keys) {
            IndexPlan ix;
            ix.keyNumber = k.number;
            ix.unique = !k.duplicates();
            bool complete = !k.segments.empty();
            for (const KeySegmentDef& s : k.segments) {
                auto c = std::find_if(p.columns.begin(), p.columns.end(),
                                      [&](const ColumnPlan& col) { return col.field == s.field; });
                if (!s.field || c == p.columns.end()) {
                    complete = false;
                    break;
                }
                ix.columns.emplace_back(c->name, (s.record.flags & 0x40) != 0);
            }
            if (!complete) {
                p.notes.push_back("Key " + std::to_string(k.number) + " of " + p.name +
                                  " names a field that does not exist; it has no index.");
                continue;
            }
            ix.name = uniqueName(p.name + "_key" + std::to_string(k.number), k.number, "key_", indexNames);
            p.indexes.push_back(std::move(ix));
        }
        plans.push_back(std::move(p));
    }
    return plans;
}

ColumnDecoder::ColumnDecoder(const TablePlan& table, std::size_t recordLength, const CodePage& page)
    : mPage(page)
{
    for (const ColumnPlan& c : table.columns) {
        const FieldRecord& r = c.field->record;
        const bool fits =
            r.offset >= 0 && r.size > 0 &&
            static_cast<std::size_t>(r.offset) + static_cast<std::size_t>(r.size) <= recordLength;
        mSlices.push_back({c.field->typeCode(), static_cast<std::size_t>(std::max<int>(r.offset, 0)),
                           static_cast<std::size_t>(std::max<int>(r.size, 0)), r.dec, fits});
    }
}

DecodeOutcome ColumnDecoder::decode(std::size_t i, const uint8_t* record, FieldValue& out) const
{
    const Slice& s = mSlices[i];
    if (!s.fits) {
        out.kind = FieldValue::Kind::Null;
        return DecodeOutcome::Undecodable;
    }
    return decodeFieldValue(s.type, std::span<const uint8_t>(record + s.offset, s.size), s.decimals, out,
                            mPage);
}

namespace {

std::string quotedWith(std::string_view text, char quote)
{
    std::string s(1, quote);
    for (char c : text) {
        if (c == quote)
            s += quote;
        s += c;
    }
    return s + quote;
}

} // namespace

std::string quoteIdentifier(std::string_view name)
{
    return quotedWith(name, '"');
}

std::string quoteLiteral(std::string_view text)
{
    return quotedWith(text, '\'');
}

std::string columnType(const ColumnPlan& c, Dialect dialect)
{
    const bool pg = dialect == Dialect::Postgresql;
    const int size = c.field->record.size;
    const int type = c.field->typeCode();
    switch (c.valueClass) {
    case ValueClass::Integer:
        if (!pg)
            return "INTEGER";
        if (type == 14) // unsigned: one size up
            return size <= 1 ? "smallint" : size <= 2 ? "integer" : "bigint";
        return size <= 2 ? "smallint" : size <= 4 ? "integer" : "bigint";
    case ValueClass::UnsignedBig:
    case ValueClass::Decimal: {
        const auto [digits, scale] = precisionOf(*c.field);
        return (pg ? "numeric(" : "NUMERIC(") + std::to_string(digits) + "," + std::to_string(scale) + ")";
    }
    case ValueClass::Real:
        return pg ? (size == 4 && type == 2 ? "real" : "double precision") : "REAL";
    case ValueClass::Text:
        return pg ? "varchar(" + std::to_string(std::max(size, 1)) + ")" : "TEXT";
    case ValueClass::Date:
        return pg ? "date" : "DATE";
    case ValueClass::Time:
        return pg ? "time" : "TIME";
    case ValueClass::Boolean:
        return pg ? "boolean" : "BOOLEAN";
    case ValueClass::Blob:
        return pg ? "bytea" : "BLOB";
    }
    return "BLOB";
}

std::string createTableSql(const TablePlan& t, Dialect dialect)
{
    std::string s = "CREATE TABLE " + quoteIdentifier(t.name) + " (";
    if (t.columns.empty())
        s += "\n  " + quoteIdentifier("record") + (dialect == Dialect::Postgresql ? " bytea" : " BLOB");
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        s += (i ? ",\n  " : "\n  ") + quoteIdentifier(t.columns[i].name) + " " +
             columnType(t.columns[i], dialect);
    return s + "\n);\n";
}

std::string createIndexSql(const TablePlan& t, const IndexPlan& ix, Dialect, bool unique)
{
    std::string s = std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                    quoteIdentifier(ix.name) + " ON " + quoteIdentifier(t.name) + " (";
    for (std::size_t i = 0; i < ix.columns.size(); ++i)
        s += (i ? ", " : "") + quoteIdentifier(ix.columns[i].first) + (ix.columns[i].second ? " DESC" : "");
    return s + ");\n";
}

std::string repeatedValuesSql(const TablePlan& t, const IndexPlan& ix)
{
    std::string columns, present;
    for (std::size_t i = 0; i < ix.columns.size(); ++i) {
        const std::string c = quoteIdentifier(ix.columns[i].first);
        columns += (i ? ", " : "") + c;
        present += (i ? " AND " : "") + c + " IS NOT NULL";
    }
    return "SELECT count(*) FROM (SELECT 1 FROM " + quoteIdentifier(t.name) + " WHERE " + present +
           " GROUP BY " + columns + " HAVING count(*) > 1) AS repeated";
}

} // namespace dict
