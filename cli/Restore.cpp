// restore: the backup copies of a dictionary's files, and putting one back; and, before every
// command that reads a dictionary, finishing a Build of it that was cut off.
#include "Backups.h"
#include "Commands.h"
#include "SetWriter.h"
#include "Status.h"

#include <filesystem>
#include <iomanip>
#include <ostream>

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp = R"(Usage: quillan-cli restore DIR [FILE] [--list] [--force]

Lists the backup copies of the dictionary files of DIR that Quillan took before its Builds
replaced them, oldest first, with the time each was taken, its size and its number of records:
  COPY                              TAKEN                BYTES   RECORDS
  FIELD.DDF.20261207-101512-042     2026-12-07 10:15:12  6619136 30000
FILE limits the list to one file (FIELD.DDF). A FILE that names a copy as listed
(FIELD.DDF.20261207-101512-042) puts that copy back as its file in DIR; a FILE that names a
dictionary file puts back its newest copy. The file as it is then goes into the backups first,
a journal a crash left beside it is removed, and the copy is written under a temporary name and
renamed over the file, so the file is never left half restored. --list only lists.
RECORDS counts the records a copy gives when read to its end; a copy that does not open or
stops before its end is marked "unusable" with the reason, and is put back only with --force.
)";

// What reading a copy to its end gives.
struct CopyState {
    long long records = 0; // the records that read
    std::string unusable;  // why the copy cannot stand in for its file; empty when it can
};

CopyState readCopy(const dict::BackupCopy& copy)
{
    CopyState state;
    uint64_t records = 0;
    std::vector<uint32_t> damaged;
    const int status = readPastDamage(copy.path, records, damaged);
    state.records = static_cast<long long>(records);
    if (records == 0 && status != btr::StatusEndOfFile && status != btr::StatusSuccess)
        state.unusable = "does not open or read: " + statusWords(status);
    else if (!damaged.empty())
        state.unusable = "its " + pageList(damaged) + (damaged.size() == 1 ? " is" : " are") + " damaged";
    else if (status != btr::StatusEndOfFile)
        state.unusable =
            "reading stopped after " + std::to_string(records) + " records: " + statusWords(status);
    return state;
}

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return text;
}

std::string copyName(const dict::BackupCopy& copy)
{
    return fs::path(copy.path).filename().string();
}

void list(const std::vector<dict::BackupCopy>& copies, std::ostream& out)
{
    out << std::left << std::setw(34) << "COPY" << std::setw(21) << "TAKEN" << std::right << std::setw(12)
        << "BYTES" << std::setw(10) << "RECORDS" << '\n';
    for (const dict::BackupCopy& c : copies) {
        const CopyState state = readCopy(c);
        out << std::left << std::setw(34) << copyName(c) << std::setw(21) << c.taken << std::right
            << std::setw(12) << c.size << std::setw(10) << state.records;
        if (!state.unusable.empty())
            out << "  unusable: " << state.unusable;
        out << '\n';
    }
}

} // namespace

void finishInterruptedBuilds(const std::vector<std::string>& args, CliIo& io)
{
    for (const std::string& arg : args) {
        std::error_code ec;
        if (arg.empty() || arg[0] == '-' || !fs::is_directory(arg, ec))
            continue;
        const std::string done = dict::finishInterruptedSet(arg);
        if (!done.empty())
            io.err << "quillan-cli: " << arg << ": " << done << '\n';
    }
}

namespace {

int runRestore(const Invocation& in)
{
    const Args& args = in.args;
    CliIo& io = in.io;
    const std::string& dirArg = args.positionals[0];
    std::error_code ec;
    if (!fs::is_directory(dirArg, ec))
        throw CliError(dirArg + " is not a directory");
    const std::string dir = fs::absolute(dirArg, ec).lexically_normal().string();
    const std::string wanted = args.positionals.size() > 1 ? upper(args.positionals[1]) : std::string();

    std::vector<dict::BackupCopy> copies = dict::listBackups(dir);
    const dict::BackupCopy* chosen = nullptr;
    std::vector<dict::BackupCopy> shown;
    for (const dict::BackupCopy& c : copies) {
        if (!wanted.empty() && upper(copyName(c)) == wanted)
            chosen = &c;
        if (wanted.empty() || upper(c.fileName) == wanted || upper(copyName(c)) == wanted)
            shown.push_back(c);
    }
    if (!wanted.empty() && !chosen)
        for (const dict::BackupCopy& c : copies)
            if (upper(c.fileName) == wanted)
                chosen = &c; // the newest: copies come oldest first
    if (args.has("--list") || wanted.empty()) {
        if (shown.empty()) {
            io.err << "quillan-cli: no backup copies of "
                   << (wanted.empty() ? std::string("the dictionary files") : wanted) << " of " << dir
                   << '\n';
            return kExitFindings;
        }
        list(shown, io.out);
        return kExitOk;
    }
    if (!chosen)
        throw CliError("no backup copy " + args.positionals[1] + " of " + dir + " (see quillan-cli restore " +
                       dirArg + " --list)");
    const CopyState state = readCopy(*chosen);
    if (!state.unusable.empty() && !args.has("--force"))
        throw CliError(chosen->fileName + " was not restored: its copy " + copyName(*chosen) + " " +
                       state.unusable + " (--force puts it back anyway)");
    if (const std::string why = dict::restoreBackup(*chosen, dir); !why.empty())
        throw CliError(chosen->fileName + " was not restored: " + why);
    io.out << chosen->fileName << " restored from its copy of " << chosen->taken << " (" << state.records
           << " records" << (state.unusable.empty() ? "" : "; the copy " + state.unusable) << ")\n";
    return kExitOk;
}

} // namespace

const Command kRestoreCommand{
    .name = "restore",
    .synopsis = "restore DIR [FILE] [--list] [--force]",
    .summary = "the backup copies of the dictionary files, and\nputting one back",
    .help = kHelp,
    .flags = {"--list", "--force"},
    .leastPositionals = 1,
    .mostPositionals = 2,
    .needs = "a directory and at most one file",
    .run = runRestore,
};

} // namespace cli
