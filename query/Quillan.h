#pragma once
// SQL over the Btrieve files of a dictionary, where they lie: the SQLite virtual-table module
// "quillan" and the function quillan_attach. Each table of the dictionary becomes a read-only
// virtual table whose columns, names, types and values are those `quillan-cli export` writes;
// constraints on the leading segments of a key are answered by the record manager's key
// operations, everything else by a scan in physical order.
//
//   SELECT quillan_attach(DIR [, SCHEMA [, CODEPAGE]])
//     reads the dictionary in DIR and makes a virtual table in SCHEMA (default "main"; any other
//     name is attached as an in-memory database first) for every table, named as export names it.
//     Tables of the same names made before are replaced. Returns the number of tables.
//   CREATE VIRTUAL TABLE name USING quillan(DIR, TABLE [, CODEPAGE])
//     one table of the dictionary, TABLE being its name as export gives it.
//
// CODEPAGE is what --codepage takes (866, 'KOI8-R'); Latin-1 when not given.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;

namespace query {

// Registers the module and the function on the connection; an SQLite result code.
int registerQuillan(sqlite3* db);

// How far a long physical-order scan has come: the table, records read and the file's count.
using ScanProgress = std::function<void(const std::string& table, uint64_t read, uint64_t total)>;
// Called every tenth of a scan of more than 10,000 records on this connection (none by default).
void setScanProgress(sqlite3* db, ScanProgress progress);

// Values that did not decode (and were read as NULL) since the last reset, in one sentence per
// column: "ORDERS.OrderDate: 3 values could not be decoded as LongDate and were read as NULL."
std::vector<std::string> undecodedValues(sqlite3* db);
void resetUndecodedValues(sqlite3* db);

} // namespace query
