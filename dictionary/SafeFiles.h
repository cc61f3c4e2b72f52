#pragma once
// Replacing files so that a crash leaves either the old content or the new: content is written
// under a temporary name beside the file, synced, renamed over it, and the directory synced.
// Plain C++ over the system calls; every step a crash could cut off passes writeStep(), which
// tests use to stop a process at a chosen point.
#include <functional>
#include <string>

namespace dict {

// Called with a short name of the step ("insert", "sync", "rename", ...) after each step of a
// file replacement. Tests only: one hook for the process, none by default.
void setWriteStepHookForTesting(std::function<void(const char* step)> hook);
void writeStep(const char* step);
// Turns the syncs of syncFile and syncDirectory off (they still count as steps). Tests only:
// for tests that kill a process, where the page cache survives and a sync proves nothing.
void setSyncsForTesting(bool on);

// Flushes a file's content (or a directory's entries) to the disk. False when it cannot be
// opened or synced. Directories are not synced on Windows, where a rename is already durable
// once it returns.
bool syncFile(const std::string& path);
bool syncDirectory(const std::string& directory);

// Renames `from` over `to` (replacing it) and syncs the directory of `to`. Empty on success,
// otherwise the system's reason.
std::string renameDurably(const std::string& from, const std::string& to);

// Copies `source` to `target` the safe way: a temporary copy beside the target, synced, renamed
// over it, the directory synced. Empty on success, otherwise the system's reason.
std::string copyDurably(const std::string& source, const std::string& target);

// Gives `replacement`, a new file about to be renamed over `original`, the permission bits of
// `original` and, where the process may set them, its owner and group. When `original` does not
// exist it takes the permission bits most of the other (not hidden) files of its directory
// have; in a directory without such files it keeps those it was created with. Best effort:
// what cannot be set stays as it is.
void takeModeFor(const std::string& replacement, const std::string& original);

// Whether two files hold the same bytes (false when either cannot be read).
bool sameContent(const std::string& a, const std::string& b);

// The directory part of a path ("." for a bare name).
std::string directoryOf(const std::string& path);

} // namespace dict
