#pragma once
// The SQL shape of dictionary tables: one column per field, typed from the field's type, and
// one index per key (unique where the key allows no duplicates). Column and table names are the
// dictionary's, made unique where the dictionary repeats one, so that the statements always run.
#include "DictionarySet.h"
#include "FieldValue.h"

#include <string>
#include <string_view>
#include <vector>

namespace cli {

enum class Dialect { Sqlite, Postgresql };

struct ColumnPlan {
    const dict::FieldDef* field;
    std::string name; // UTF-8
    dict::ValueClass valueClass;
};

struct IndexPlan {
    int keyNumber;
    std::string name;
    bool unique;
    std::vector<std::pair<std::string, bool>> columns; // column name, descending
};

struct TablePlan {
    const dict::TableDef* table;
    std::string name; // UTF-8
    std::vector<ColumnPlan> columns;
    std::vector<IndexPlan> indexes;
    std::vector<std::string> notes; // keys that could not become indexes, as sentences
};

// Plans for the given tables, in the order given.
std::vector<TablePlan> planTables(const std::vector<const dict::TableDef*>& tables);

std::string quoteIdentifier(std::string_view name);
std::string columnType(const ColumnPlan& column, Dialect dialect);
std::string createTableSql(const TablePlan& table, Dialect dialect);
std::string createIndexSql(const TablePlan& table, const IndexPlan& index, Dialect dialect, bool unique);
// A query (either dialect) for the number of distinct values of the index's columns that more
// than one row holds; rows with a NULL in any of them never clash in a unique index.
std::string repeatedValuesSql(const TablePlan& table, const IndexPlan& index);

} // namespace cli
