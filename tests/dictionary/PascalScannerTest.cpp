// Every folder of tests/data/pascal is one case: input.pas scanned with mapping.rec (the
// folder's own, or the shared one beside the folders) must give expected.txt, which lists
//   record <name>
//   field <Name>|<PascalType>|<BtrieveType>|<Offset>|<Size>[|<Variant>]   (the variant when it has one)
//   unresolved <Field>|<Name>|<reason>   (resolving scans: after the record's fields)
//   error <message>          (last, when the scan stops at an error)
// in order; "#" lines are comments. Texts escape a tab as \t, a backslash as \\ and other
// control or non-ASCII bytes as \xNN. A folder with a file "options" whose words include
// "resolve" is scanned resolving declarations.
#include "PascalScanner.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(QUILLAN_TEST_DATA) / "pascal";

std::string escaped(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 32 || c > 126) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string describe(const dict::ScanResult& result)
{
    std::string out;
    for (const dict::ScannedRecord& record : result.records) {
        out += "record " + escaped(record.Name) + "\n";
        for (const dict::ScannedField& f : record.Fields)
            out += "field " + escaped(f.Name) + "|" + escaped(f.PascalType) + "|" + escaped(f.BtrieveType) +
                   "|" + std::to_string(f.Offset) + "|" + std::to_string(f.Size) +
                   (f.Variant.empty() ? "" : "|" + escaped(f.Variant)) + "\n";
        for (const dict::UnresolvedField& u : record.Unresolved)
            out += "unresolved " + escaped(u.Field) + "|" + escaped(u.Name) + "|" + u.Reason + "\n";
    }
    if (result.error)
        out += "error " + escaped(*result.error) + "\n";
    return out;
}

std::string withoutComments(const std::string& text)
{
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            out += line + "\n";
    return out;
}

std::vector<std::string> caseNames()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCases))
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PascalFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(PascalFixture, scanGivesTheExpectedRecords)
{
    const fs::path dir = kCases / GetParam();
    const fs::path mapping = fs::exists(dir / "mapping.rec") ? dir / "mapping.rec" : kCases / "mapping.rec";
    ASSERT_TRUE(fs::exists(dir / "input.pas"));
    ASSERT_TRUE(fs::exists(dir / "expected.txt"));
    const dict::TypeMap map = dict::typeMapFromLines(dict::readTypeMapping(testsupport::readFile(mapping)));
    const std::string source = testsupport::readFile(dir / "input.pas");
    dict::ScanOptions options;
    options.resolve = fs::exists(dir / "options") &&
                      testsupport::readFile(dir / "options").find("resolve") != std::string::npos;
    EXPECT_EQ(describe(dict::scanPascalRecords(source, map, options)),
              withoutComments(testsupport::readFile(dir / "expected.txt")));
}

INSTANTIATE_TEST_SUITE_P(Cases, PascalFixture, ::testing::ValuesIn(caseNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(PascalFixtures, atLeastTheKnownCasesArePresent)
{
    EXPECT_GE(caseNames().size(), 20u);
}

// ---- The tokenizer on its own ----

TEST(PascalTokenizer, delimitersStandAloneAndOtherCharactersJoin)
{
    const std::pair<const char*, std::vector<std::string_view>> cases[] = {
        {"a,b a, b\n", {"a,b", "a,", "b"}},
        {"S:String[20];\n", {"S", ":", "String", "[", "20", "]", ";"}},
        {"x.y=z\n", {"x", ".", "y", "=", "z"}},
        {"f(a*b)'q' \n", {"f(a*b)'q'", ""}},
        {"a\tb\r\nc\n", {"a\tb", "c"}},
        {"(*a*) {b} (*\n", {"a*)", "b}", ""}}, // brackets separate only before a token
        {"*a\n", {"*a"}},
        {")a\n", {")a"}},
        {"abc", {"ab"}},
        {";;", {";"}},
        {"a  ", {"a", ""}},
    };
    for (const auto& [source, tokens] : cases)
        EXPECT_EQ(dict::tokenizePascal(source), tokens) << escaped(source);
}

TEST(PascalTokenizer, separatorsStopBeforeTheFinalByte)
{
    const std::string source = "   ";
    EXPECT_EQ(dict::SkipSeparators(source, 0), 2u);
    std::size_t pos = 0;
    EXPECT_EQ(dict::NextToken(source, pos), "");
    EXPECT_EQ(pos, 2u);
}

TEST(PascalScanner, theMappingDecidesByTheFirstMatchingTokenAndTheTickBox)
{
    std::vector<std::string> lines = dict::defaultTypeMapping();
    lines[6] = "1 1 4";   // Integer
    lines[10] = "1 14 1"; // Byte
    dict::TypeMap map = dict::typeMapFromLines(lines);
    const std::string source = "T = record A: Byte Integer; B: Integer Byte; end;\n";
    auto result = dict::scanPascalRecords(source, map);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].Fields[0].Size, 1);
    EXPECT_EQ(result.records[0].Fields[1].Size, 4);

    map.ticked[10] = false; // the tick box counts, not word 0 of the line
    result = dict::scanPascalRecords(source, map);
    EXPECT_EQ(result.records[0].Fields[0].BtrieveType, "Integer");
    EXPECT_EQ(result.records[0].Fields[0].Size, 4);
}

} // namespace
