#pragma once
// Where export puts the decoded records: an SQLite database, CSV files or a PostgreSQL server.
#include "SqlSchema.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace cli {

class Sink {
public:
    virtual ~Sink() = default;
    virtual void beginTable(const dict::TablePlan& plan) = 0;
    // values: one per column; record: the whole record, written when the table has no fields.
    virtual void row(const std::vector<dict::FieldValue>& values, std::span<const uint8_t> record) = 0;
    // Ends the table: creates its indexes. Sentences for the report go to notes. False when the
    // table could not be written (a note says why) and nothing of it was kept.
    virtual bool endTable(const dict::TablePlan& plan, std::vector<std::string>& notes) = 0;
    virtual void finish() = 0;
};

// Whether --to names a PostgreSQL database (a postgresql:// URI or a libpq connection string of
// keyword=value pairs) rather than a file.
bool isPostgresTarget(const std::string& to);

// Connects (CliError when it cannot) and refuses tables that exist already unless replace,
// before anything is written. Each table is then written in a transaction of its own.
std::unique_ptr<Sink> makePostgresSink(const std::string& connection,
                                       const std::vector<dict::TablePlan>& plans, bool replace);

// The sentence for a unique key whose exported values repeat.
std::string repeatedKeyNote(const dict::TablePlan& plan, const dict::IndexPlan& index, long long repeated);

} // namespace cli
