// Program entry of quillan-cli: the record manager, then the command.
#include "Binding.h"
#include "Commands.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::string error;
    if (!btrieve::initRecordManager(&error)) {
        std::cerr << "quillan-cli: " << error << '\n';
        return cli::kExitError;
    }
    cli::CliIo io{std::cout, std::cerr};
    const int status = cli::runCli(std::vector<std::string>(argv, argv + argc), io);
    std::cout.flush();
    return status;
}
