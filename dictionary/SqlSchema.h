#pragma once
// The SQL shape of dictionary tables: one column per field, typed from the field's type, and
// one index per key (unique where the key allows no duplicates). Column and table names are the
// dictionary's, made unique where the dictionary repeats one, so that the statements always run.
#include "DictionarySet.h"
#include "FieldValue.h"

#include <string>
#include <string_view>
#include <vector>

namespace dict {

enum class Dialect { Sqlite, Postgresql };

struct ColumnPlan {
    const FieldDef* field;
    std::string name; // UTF-8
    ValueClass valueClass;
};

struct IndexPlan {
    int keyNumber;
    std::string name;
    bool unique;
    std::vector<std::pair<std::string, bool>> columns; // column name, descending
};

struct TablePlan {
    const TableDef* table;
    std::string name; // UTF-8
    std::vector<ColumnPlan> columns;
    std::vector<IndexPlan> indexes;
    std::vector<std::string> notes; // keys that could not become indexes, as sentences
};

// Plans for the given tables, in the order given.
std::vector<TablePlan> planTables(const std::vector<const TableDef*>& tables);

std::string quoteIdentifier(std::string_view name);
// A text as an SQL string literal ('it''s').
std::string quoteLiteral(std::string_view text);
std::string columnType(const ColumnPlan& column, Dialect dialect);
std::string createTableSql(const TablePlan& table, Dialect dialect);
std::string createIndexSql(const TablePlan& table, const IndexPlan& index, Dialect dialect, bool unique);
// The values of a table's records, column by column, as every reader of the data in SQL form
// (export, the SQL query module) takes them: a field decoded by its type in the code page; a field
// reaching beyond the record, or of no bytes, and a value that does not decode are NULL (the
// latter counted by the caller as not decoding).
class ColumnDecoder {
public:
    // recordLength: the bytes every record handed to decode() holds.
    ColumnDecoder(const TablePlan& table, std::size_t recordLength, const CodePage& page);
    std::size_t columns() const { return mSlices.size(); }
    // Column i of the record into out; Undecodable for a value that is NULL because it does not
    // decode or does not fit in the record.
    DecodeOutcome decode(std::size_t i, const uint8_t* record, FieldValue& out) const;

private:
    struct Slice {
        int type;
        std::size_t offset;
        std::size_t size;
        int decimals;
        bool fits;
    };
    std::vector<Slice> mSlices;
    const CodePage& mPage;
};

// A query (either dialect) for the number of distinct values of the index's columns that more
// than one row holds; rows with a NULL in any of them never clash in a unique index.
std::string repeatedValuesSql(const TablePlan& table, const IndexPlan& index);

} // namespace dict
