// The entry point by which SQLite loads libquillan_sqlite.so (`.load libquillan_sqlite` in the
// sqlite3 shell, `connection.load_extension(...)` in Python).
#include "Quillan.h"

#include <sqlite3.h>

extern "C" {

__attribute__((visibility("default"))) int sqlite3_quillansqlite_init(sqlite3* db, char** error, const void*)
{
    const int rc = query::registerQuillan(db);
    if (rc != SQLITE_OK && error)
        *error = sqlite3_mprintf("quillan: %s", sqlite3_errstr(rc));
    return rc;
}

__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error, const void* api)
{
    return sqlite3_quillansqlite_init(db, error, api);
}
}
