// The command table of quillan-cli, the opening every command shares, and the general help.
#include "Commands.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

namespace cli {
namespace {

const Command* const kCommands[] = {&kDumpCommand, &kCheckCommand,   &kDiffCommand,
                                    &kSqlCommand,  &kExportCommand,  &kQueryCommand,
                                    &kScanCommand, &kRestoreCommand, &kInferCommand};

constexpr const char* kHelpHead = R"(Usage: quillan-cli COMMAND [ARGS...]

Commands:
)";

constexpr const char* kHelpTail = R"(
Each command takes --help; --version prints the version. Exit status: 0 success, 1 findings
or differences, 2 usage or I/O error. Files are reached through the record manager that
QUILLAN_RECORD_MANAGER chooses (the embedded one when no real one is installed).
A dictionary whose last Build was cut off (power cut, kill) is first made whole again, and the
command says so.
)";

// The column at which the list of commands says what each does.
constexpr std::size_t kSummaryColumn = 40;

int open(const Command& command, const std::vector<std::string>& rest, CliIo& io)
{
    if (command.finishesBuilds)
        finishInterruptedBuilds(rest, io);
    std::set<std::string> options = command.options;
    if (command.codePage)
        options.insert(kCodePageOption);
    const Args args = parseArgs(rest, command.flags, options);
    if (args.help) {
        io.out << command.help;
        if (command.codePage)
            io.out << kCodePageHelp;
        return kExitOk;
    }
    const std::size_t count = args.positionals.size();
    if (count < command.leastPositionals || count > command.mostPositionals)
        throw CliError(std::string(command.name) + " needs " + std::string(command.needs) +
                       " (see quillan-cli " + std::string(command.name) + " --help)");
    Invocation in{args, codePageOf(args), {}, io};
    for (std::size_t i = 0; i < command.dictionaries && i < count; ++i)
        in.dictionaries.push_back(loadDictionary(args.positionals[i], in.page));
    return command.run(in);
}

} // namespace

std::vector<std::string> Invocation::positionalsFrom(std::size_t first) const
{
    const std::vector<std::string>& p = args.positionals;
    return std::vector<std::string>(p.begin() + static_cast<std::ptrdiff_t>(std::min(first, p.size())),
                                    p.end());
}

std::span<const Command* const> commands()
{
    return kCommands;
}

const Command* findCommand(std::string_view name)
{
    for (const Command* c : kCommands)
        if (c->name == name)
            return c;
    return nullptr;
}

std::string generalHelp()
{
    std::string help = kHelpHead;
    const std::string indent(kSummaryColumn, ' ');
    for (const Command* c : kCommands) {
        std::string line = "  " + std::string(c->synopsis);
        if (line.size() + 1 >= kSummaryColumn) {
            help += line + '\n';
            line = indent;
        }
        line.resize(kSummaryColumn, ' ');
        std::string_view summary = c->summary;
        for (std::size_t end; (end = summary.find('\n')) != std::string_view::npos;
             summary.remove_prefix(end + 1)) {
            help += line + std::string(summary.substr(0, end)) + '\n';
            line = indent;
        }
        help += line + std::string(summary) + '\n';
    }
    return help + kHelpTail;
}

namespace {

// The status of a command whose output could not all be written is 2, whatever it found.
int written(int status, CliIo& io)
{
    errno = 0;
    io.out.flush();
    if (io.out)
        return status;
    const int error = errno;
    io.err << "quillan-cli: the output cannot be written"
           << (error ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
    return kExitError;
}

} // namespace

int runCli(const std::vector<std::string>& argv, CliIo& io)
{
    const std::vector<std::string> rest(argv.size() > 2 ? argv.begin() + 2 : argv.end(), argv.end());
    const std::string name = argv.size() > 1 ? argv[1] : "";
    try {
        if (name == "--help" || name == "-h" || name == "help") {
            io.out << generalHelp();
            return written(kExitOk, io);
        }
        if (name == "--version") {
            io.out << "quillan-cli " QUILLAN_VERSION "\n";
            return written(kExitOk, io);
        }
        if (const Command* command = findCommand(name))
            return written(open(*command, rest, io), io);
        throw CliError(name.empty() ? "no command given (see quillan-cli --help)"
                                    : "unknown command " + name + " (see quillan-cli --help)");
    } catch (const CliError& e) {
        io.err << "quillan-cli: " << e.what() << '\n';
    } catch (const std::filesystem::filesystem_error& e) {
        io.err << "quillan-cli: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        io.err << "quillan-cli: out of memory\n";
    } catch (const std::exception& e) {
        io.err << "quillan-cli: " << e.what() << '\n';
    }
    return kExitError;
}

} // namespace cli
