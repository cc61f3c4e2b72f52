// The stock sqlite3 shell (Debian's package) loads libquillan_sqlite.so and runs the README's
// example as written: the sqlite> lines of the example, run in a directory holding the sample
// sales database as `sales`, print exactly the lines the README shows after them.
#include "QueryFixture.h"

#include "SampleDictionary.h"

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The lines of the README between the example's markers.
std::vector<std::string> readmeExample()
{
    std::ifstream in(fs::path(QUILLAN_SOURCE_DIR) / "README.md");
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.find("<!-- sqlite3 example") != std::string::npos)
            inside = true;
        else if (line.find("<!-- end of the sqlite3 example") != std::string::npos)
            break;
        else if (inside && line.size() > 4)
            lines.push_back(line.substr(4)); // the block's indentation
    }
    return lines;
}

class SqliteShellTest : public querytest::QueryFixture {};

TEST_F(SqliteShellTest, theStockShellLoadsTheExtensionAndRunsTheReadmeExample)
{
#if defined(__SANITIZE_ADDRESS__)
    // The stock shell is not instrumented and refuses to load a library that is: the ordinary
    // build runs this test.
    GTEST_SKIP() << "an instrumented libquillan_sqlite.so cannot be loaded by the stock shell";
#endif
    const fs::path d = salesSet("sales");
    const std::vector<std::string> example = readmeExample();
    ASSERT_GE(example.size(), 4u);
    std::string input, expected;
    for (const std::string& line : example) {
        if (line.rfind("sqlite> ", 0) == 0) {
            std::string command = line.substr(8);
            // The README loads the extension from a release build; the test from its own build.
            if (command.rfind(".load ", 0) == 0)
                command = ".load " + std::string(QUILLAN_EXTENSION);
            input += command + "\n";
        } else if (line.rfind("$ ", 0) != 0) {
            expected += line + "\n";
        }
    }
    const fs::path script = mTemp.path() / "input.sql";
    std::ofstream(script) << input;
    const std::string command = "cd '" + mTemp.path().string() + "' && sqlite3 < input.sql 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    pclose(pipe);
    // Read from a file, the shell says where an error was; typed in, it does not.
    for (std::size_t at; (at = output.find("Runtime error near line ")) != std::string::npos;)
        output.erase(at + 13, output.find(':', at) - at - 13);
    EXPECT_EQ(output, expected);
}

} // namespace
