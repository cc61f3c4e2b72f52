// The command dispatch of quillan-cli and its top-level help.
#include "Commands.h"

#include <filesystem>
#include <ostream>

namespace cli {
namespace {

constexpr const char* kHelp = R"(Usage: quillan-cli COMMAND [ARGS...]

Commands:
  dump DIR [--json]                     the dictionary set in DIR as text or JSON
  check DIR [--json] [--data [--sample N]]
                                        the dictionary's consistency and its data files;
                                        with --data, records decoded by the fields
  diff DIR1 DIR2                        tables, fields and keys added, removed and changed
  sql DIR [TABLE...] [--dialect sqlite|postgresql] [--no-system]
                                        CREATE TABLE and CREATE INDEX statements
  export DIR [TABLE...] --to OUT.db | --to postgresql://... | --csv OUTDIR
                                        the tables' records into SQLite, PostgreSQL or CSV
  scan FILE [--mapping FILE] [--json]   the records of a Pascal source, as the Utils page
                                        finds them
  restore DIR [FILE] [--list]           the backup copies of the dictionary files, and
                                        putting one back
  infer FILE [--json] [--table NAME] [--sample N]
                                        a first draft of the fields of a data file's records

Each command takes --help; --version prints the version. Exit status: 0 success, 1 findings
or differences, 2 usage or I/O error. Files are reached through the record manager that
QUILLAN_RECORD_MANAGER chooses (the embedded one when no real one is installed).
A dictionary whose last Build was cut off (power cut, kill) is first made whole again, and the
command says so.
)";

} // namespace

int runCli(const std::vector<std::string>& argv, CliIo& io)
{
    const std::vector<std::string> rest(argv.size() > 2 ? argv.begin() + 2 : argv.end(), argv.end());
    const std::string command = argv.size() > 1 ? argv[1] : "";
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            io.out << kHelp;
            return kExitOk;
        }
        if (command == "--version") {
            io.out << "quillan-cli " QUILLAN_VERSION "\n";
            return kExitOk;
        }
        if (command != "scan")
            finishInterruptedBuilds(rest, io);
        if (command == "restore")
            return runRestore(rest, io);
        if (command == "dump")
            return runDump(rest, io);
        if (command == "check")
            return runCheck(rest, io);
        if (command == "diff")
            return runDiff(rest, io);
        if (command == "sql")
            return runSql(rest, io);
        if (command == "export")
            return runExport(rest, io);
        if (command == "scan")
            return runScan(rest, io);
        if (command == "infer")
            return runInfer(rest, io);
        throw CliError(command.empty() ? "no command given (see quillan-cli --help)"
                                       : "unknown command " + command + " (see quillan-cli --help)");
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
