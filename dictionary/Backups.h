#pragma once
// Copies of dictionary files taken before a Build (or a restore) replaces them. They live in the
// user's data directory (on Linux $XDG_DATA_HOME/Quillan, else ~/.local/share/Quillan; on macOS
// ~/Library/Application Support/Quillan; on Windows %APPDATA%\Quillan) under "backups", one
// folder per database directory, named after the directory's path with a short hash of it
// ("data_sales-1f3a9c02"); each copy is the file's name followed by the time it was taken
// ("FILE.DDF.20261207-101512-042"), so the names sort oldest first. Window and command line
// share them.
#include <cstdint>
#include <string>
#include <vector>

namespace dict {

constexpr int kBackupsKept = 10;

// The folder that holds the backups of the files of `directory` (an absolute path). Empty when
// the user's data directory cannot be found (no HOME).
std::string backupFolder(const std::string& directory);

// Copies the file at `path` (matched in its directory ignoring letter case) into its backup
// folder, synced, and drops the oldest copies of that file beyond `keep`, except that the newest
// copy whose content differs from the file as it is now is always kept: copies of an emptied
// file never push out the last copy that held something else. A file that does not exist needs
// no copy. Returns an empty string on success, otherwise why the copy failed.
std::string backUpFile(const std::string& path, int keep = kBackupsKept);

struct BackupCopy {
    std::string path;     // of the copy
    std::string fileName; // the file it is a copy of, "FIELD.DDF"
    std::string taken;    // "2026-12-07 10:15:12"
    std::uintmax_t size = 0;
    long long records = -1; // from the record manager's statistics; -1 when they cannot be read
};

// The copies of `fileName` (all files when empty; letter case ignored) taken from the files of
// `directory`, oldest first.
std::vector<BackupCopy> listBackups(const std::string& directory, const std::string& fileName = {});

// Puts a copy back as its file in `directory`: the file as it is now is backed up first (when it
// exists), the record manager's journal beside it removed (a journal left by a crash would
// otherwise be played back into the restored file), and the copy written under a temporary name,
// synced and renamed over the file. Empty on success, otherwise why not (nothing was replaced).
std::string restoreBackup(const BackupCopy& copy, const std::string& directory);

// The number of records the record manager's statistics give for a file; -1 when it cannot be
// opened or read.
long long recordCountOf(const std::string& path);

} // namespace dict
