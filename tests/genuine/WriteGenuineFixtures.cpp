// Writes the genuine test files: the 6.0 and 8.0 dictionary sets (FILE.DDF, FIELD.DDF,
// INDEX.DDF) into <dir>/ddf60 and <dir>/ddf80, and the fuzzer's seed files into <dir>/seeds.
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
    fs::create_directories(dir / "seeds");
    const std::pair<const char*, genuinetest::DictionarySet> sets[] = {
        {"ddf60", genuinetest::buildDictionary6x()}, {"ddf80", genuinetest::buildDictionary8x()}};
    for (const auto& [name, set] : sets) {
        fs::create_directories(dir / name);
        genuinetest::writeFile((dir / name / "FILE.DDF").string(), set.fileDdf);
        genuinetest::writeFile((dir / name / "FIELD.DDF").string(), set.fieldDdf);
        genuinetest::writeFile((dir / name / "INDEX.DDF").string(), set.indexDdf);
    }
    for (const auto& [name, bytes] : genuinetest::seedFiles())
        genuinetest::writeFile((dir / "seeds" / name).string(), bytes);
    return 0;
}
