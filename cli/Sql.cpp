// sql: CREATE TABLE and CREATE INDEX statements for every table of the dictionary.
#include "Commands.h"
#include "SqlSchema.h"

#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli sql DIR [TABLE...] [--dialect sqlite|postgresql] [--no-system] [--codepage CP]

Prints CREATE TABLE statements for the tables of the dictionary set in DIR (all tables, or those
named): one column per field, typed from the field's type, and one index per key, unique where
the key allows no duplicates. The default dialect is sqlite. --no-system leaves out the X$
tables that describe the dictionary files.
)";

dict::Dialect parseDialect(const Args& args)
{
    const std::string* d = args.option("--dialect");
    if (!d || *d == "sqlite")
        return dict::Dialect::Sqlite;
    if (*d == "postgresql" || *d == "postgres")
        return dict::Dialect::Postgresql;
    throw CliError("unknown dialect " + *d + " (sqlite or postgresql)");
}

int runSql(const Invocation& in)
{
    CliIo& io = in.io;
    const dict::Dialect dialect = parseDialect(in.args);
    const std::vector<const dict::TableDef*> tables =
        chooseTables(in.dictionary(), in.positionalsFrom(1), in.args.has("--no-system"));
    bool first = true;
    for (const dict::TablePlan& p : dict::planTables(tables)) {
        io.out << (first ? "" : "\n") << dict::createTableSql(p, dialect);
        first = false;
        for (const dict::IndexPlan& ix : p.indexes)
            io.out << dict::createIndexSql(p, ix, dialect, ix.unique);
        for (const std::string& note : p.notes)
            io.out << "-- " << note << '\n';
    }
    return kExitOk;
}

} // namespace

const Command kSqlCommand{
    .name = "sql",
    .synopsis = "sql DIR [TABLE...] [--dialect sqlite|postgresql] [--no-system]",
    .summary = "CREATE TABLE and CREATE INDEX statements",
    .help = kHelp,
    .flags = {"--no-system"},
    .options = {"--dialect"},
    .codePage = true,
    .leastPositionals = 1,
    .mostPositionals = kAnyNumber,
    .needs = "a directory",
    .dictionaries = 1,
    .run = runSql,
};

} // namespace cli
