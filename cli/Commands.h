#pragma once
// The commands of quillan-cli: one table (commands()) of descriptors, each with the command's
// name, its line in the general help, its own --help text, the arguments it takes and its entry
// point. runCli does the opening every command shares from the descriptor: it parses the
// arguments, answers --help, checks the number of positionals, finishes a Build that was cut off,
// reads the code page and the dictionary directories; the entry point then does only its own
// work. Each writes its result to io.out and its messages to io.err, and returns the exit status:
// 0 success, 1 findings or differences, 2 usage or I/O error (thrown as CliError and turned into
// one line by runCli).
#include "CliSupport.h"

#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// What the shared opening hands a command.
struct Invocation {
    const Args& args;
    dict::CodePage page; // --codepage, Latin-1 when the command takes none or none is given
    // The first positionals read as dictionary sets, when the command reads dictionaries.
    std::vector<LoadedDictionary> dictionaries;
    CliIo& io;

    const LoadedDictionary& dictionary(std::size_t i = 0) const { return dictionaries.at(i); }
    // The positionals from the index first on (the table names after DIR).
    std::vector<std::string> positionalsFrom(std::size_t first) const;
};

struct Command {
    std::string_view name;
    // The general help's line for it: the usage and, beside it ('\n' between lines), what it does.
    std::string_view synopsis;
    std::string_view summary;
    // quillan-cli NAME --help; the --codepage paragraph follows when codePage.
    std::string_view help;
    std::set<std::string> flags{};   // --json
    std::set<std::string> options{}; // with a value: --to FILE; --codepage added when codePage
    bool codePage = false;
    // How many positionals it takes, and what the message for another number says it needs
    // ("one directory").
    std::size_t leastPositionals = 0;
    std::size_t mostPositionals = 0;
    std::string_view needs;
    // How many leading positionals are dictionary directories the opening reads (0 to 2).
    std::size_t dictionaries = 0;
    // Whether a Build of a directory among the arguments that was cut off is first finished.
    bool finishesBuilds = true;
    int (*run)(const Invocation&) = nullptr;
};

constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

// The commands, in the order the general help lists them.
std::span<const Command* const> commands();
// The command of that name, nullptr when there is none.
const Command* findCommand(std::string_view name);
// quillan-cli --help: the list of commands made from the table.
std::string generalHelp();

extern const Command kDumpCommand;    // Dump.cpp
extern const Command kCheckCommand;   // Check.cpp
extern const Command kDiffCommand;    // Diff.cpp
extern const Command kSqlCommand;     // Sql.cpp
extern const Command kExportCommand;  // Export.cpp
extern const Command kScanCommand;    // Scan.cpp
extern const Command kRestoreCommand; // Restore.cpp
extern const Command kInferCommand;   // Infer.cpp
extern const Command kQueryCommand;   // Query.cpp

// Finishes or undoes, in every directory among the arguments, a Build that was cut off, and says
// so on io.err (Restore.cpp).
void finishInterruptedBuilds(const std::vector<std::string>& args, CliIo& io);

// The whole program: argv[0] is the program name, argv[1] the command.
int runCli(const std::vector<std::string>& argv, CliIo& io);

} // namespace cli
