// Writes the genuine test files: the 6.0 dictionary set (FILE.DDF, FIELD.DDF, INDEX.DDF) into
// <dir>/ddf60 and the fuzzer's seed files into <dir>/seeds.
#include "Fixtures.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: write_genuine_fixtures <dir>\n";
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = argv[1];
    fs::create_directories(dir / "ddf60");
    fs::create_directories(dir / "seeds");
    const genuinetest::DictionarySet set = genuinetest::buildDictionary6x();
    genuinetest::writeFile((dir / "ddf60" / "FILE.DDF").string(), set.fileDdf);
    genuinetest::writeFile((dir / "ddf60" / "FIELD.DDF").string(), set.fieldDdf);
    genuinetest::writeFile((dir / "ddf60" / "INDEX.DDF").string(), set.indexDdf);
    for (const auto& [name, bytes] : genuinetest::seedFiles())
        genuinetest::writeFile((dir / "seeds" / name).string(), bytes);
    return 0;
}
