// sql: CREATE TABLE and CREATE INDEX statements for every table of the dictionary.
#include "Commands.h"
#include "SqlSchema.h"

#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli sql DIR [--dialect sqlite|postgresql] [--codepage CP]

Prints CREATE TABLE statements for the tables of the dictionary set in DIR: one column per
field, typed from the field's type, and one index per key, unique where the key allows no
duplicates. The default dialect is sqlite.
)";

Dialect parseDialect(const Args& args)
{
    const std::string* d = args.option("--dialect");
    if (!d || *d == "sqlite")
        return Dialect::Sqlite;
    if (*d == "postgresql" || *d == "postgres")
        return Dialect::Postgresql;
    throw CliError("unknown dialect " + *d + " (sqlite or postgresql)");
}

} // namespace

int runSql(const std::vector<std::string>& argv, CliIo& io)
{
    const Args args = parseArgs(argv, {}, {"--dialect", kCodePageOption});
    if (args.help) {
        io.out << kHelp << kCodePageHelp;
        return kExitOk;
    }
    if (args.positionals.size() != 1)
        throw CliError("sql needs one directory (see quillan-cli sql --help)");
    const Dialect dialect = parseDialect(args);
    const LoadedDictionary d = loadDictionary(args.positionals[0], codePageOf(args));
    std::vector<const dict::TableDef*> tables;
    for (const dict::TableDef& t : d.tables->all())
        tables.push_back(&t);
    bool first = true;
    for (const TablePlan& p : planTables(tables)) {
        io.out << (first ? "" : "\n") << createTableSql(p, dialect);
        first = false;
        for (const IndexPlan& ix : p.indexes)
            io.out << createIndexSql(p, ix, dialect, ix.unique);
        for (const std::string& note : p.notes)
            io.out << "-- " << note << '\n';
    }
    return kExitOk;
}

} // namespace cli
