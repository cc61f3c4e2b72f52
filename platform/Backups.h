#pragma once
// Copies of dictionary files taken before a Build replaces them. They live in the user's data
// directory (QStandardPaths::AppDataLocation, e.g. ~/.local/share/Quillan on Linux) under
// "backups", one folder per database directory, named after the directory's path with a short
// hash of it ("data_sales-1f3a9c02"); each copy is the file's name followed by the time it was
// taken ("FILE.DDF.20261207-101512-042"), so the names sort oldest first.
#include <QString>

namespace platform {

constexpr int kBackupsKept = 10;

// The folder that holds the backups of the files of `directory` (an absolute path).
QString backupFolder(const QString& directory);

// Copies the file at `path` (matched in its directory ignoring letter case) into its backup
// folder and drops the oldest copies of that file beyond `keep`. A file that does not exist
// needs no copy. Returns an empty string on success, otherwise why the copy failed.
QString backUpFile(const QString& path, int keep = kBackupsKept);

} // namespace platform
