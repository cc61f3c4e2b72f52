#pragma once
// The commands of quillan-cli. Each takes the arguments after its name, writes its result to
// io.out and its messages to io.err, and returns the exit status: 0 success, 1 findings or
// differences, 2 usage or I/O error (thrown as CliError and turned into one line by runCli).
#include "CliSupport.h"

#include <string>
#include <vector>

namespace cli {

int runDump(const std::vector<std::string>& args, CliIo& io);
int runCheck(const std::vector<std::string>& args, CliIo& io);
int runDiff(const std::vector<std::string>& args, CliIo& io);
int runSql(const std::vector<std::string>& args, CliIo& io);
int runExport(const std::vector<std::string>& args, CliIo& io);
int runScan(const std::vector<std::string>& args, CliIo& io);
int runRestore(const std::vector<std::string>& args, CliIo& io);

// Finishes or undoes, in every directory among the arguments, a Build that was cut off, and says
// so on io.err (Restore.cpp).
void finishInterruptedBuilds(const std::vector<std::string>& args, CliIo& io);

int runInfer(const std::vector<std::string>& args, CliIo& io);

// The whole program: argv[0] is the program name, argv[1] the command.
int runCli(const std::vector<std::string>& argv, CliIo& io);

} // namespace cli
