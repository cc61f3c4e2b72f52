// What every quillan-cli test stands on: the embedded record manager behind the binding, a
// scratch directory, and the program run in-process with its output captured.
#pragma once

#include "Binding.h"
#include "Commands.h"
#include "SampleDictionary.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override { btrieve::setRecordManagerForTesting(&QuillanEngineCall); }
    void TearDown() override { btrieve::setRecordManagerForTesting(nullptr); }

    // quillan-cli with these arguments: its exit status, standard output and standard error.
    Result run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "quillan-cli");
        std::ostringstream out, err;
        cli::CliIo io{out, err};
        const int status = cli::runCli(args, io);
        return {status, out.str(), err.str()};
    }

    // A directory of that name in the scratch directory, made when missing.
    std::filesystem::path dir(const std::string& name)
    {
        std::filesystem::path p = mTemp.path() / name;
        std::filesystem::create_directories(p);
        return p;
    }

    // The sales dictionary with its three data files filled.
    std::filesystem::path salesSet(const std::string& name,
                                   const sample::DictionaryRows& rows = sample::salesDictionary())
    {
        const std::filesystem::path d = dir(name);
        sample::writeDictionary(d, rows);
        sample::fillSalesData(d, rows);
        return d;
    }

    testsupport::TempDir mTemp;
};

} // namespace clitest
