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
#include <random>
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
                   (f.Variant < 0 ? "" : "|" + escaped(dict::variantName(record, f))) + "\n";
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

// ---- Variant records, generated ----

// A record with a variant part written at random, and the layout Pascal gives it, worked out here
// independently: fixed fields one after another, the named tag after them, each variant's fields
// from where the tag ends, nested variant parts inside variants, the size the fixed part plus the
// largest variant.
class VariantRecordWriter {
public:
    explicit VariantRecordWriter(unsigned seed) : mRandom(seed) {}

    struct Expected {
        std::string name, variant;
        std::int32_t offset, size;
    };
    std::string source;
    std::vector<Expected> fields;

    // Writes the field list of a record or a variant from `start`; returns where it ends.
    std::int32_t fieldList(std::int32_t start, const std::string& variant, int depth, bool last)
    {
        std::int32_t offset = start;
        for (int n = pick(0, 3); n > 0; --n)
            offset = field(offset, variant);
        if (depth >= 3 || pick(0, 2) == 0) {
            if (!last && !source.empty() && source.back() == ';')
                source.pop_back(); // the last field before ")" needs no ";"
            return offset;
        }
        source += " case ";
        if (pick(0, 1)) {
            const std::string tag = "Tag" + std::to_string(mNames++);
            source += tag + ": Byte of";
            fields.push_back({tag, variant, offset, 1});
            ++offset;
        } else {
            source += pick(0, 1) ? "Integer of" : "Boolean of";
        }
        std::int32_t end = offset;
        for (int v = pick(1, 3); v > 0; --v) {
            std::string labels;
            for (int l = pick(1, 3); l > 0; --l)
                labels += (labels.empty() ? "" : ",") + std::to_string(mLabels++);
            std::string spaced = labels;
            for (std::size_t p = 0; (p = spaced.find(',', p)) != std::string::npos; p += 2)
                spaced.insert(p + 1, " ");
            source += "\n " + spaced + ": (";
            const std::string name = variant.empty() ? labels : variant + "/" + labels;
            end = std::max(end, fieldList(offset, name, depth + 1, false));
            source += ")";
            if (v > 1 || pick(0, 1))
                source += ";";
        }
        return end;
    }

private:
    std::int32_t field(std::int32_t offset, const std::string& variant)
    {
        const std::string name = "F" + std::to_string(mNames++);
        std::int32_t size = 0;
        std::string type;
        switch (pick(0, 5)) {
        case 0:
            type = "Byte", size = 1;
            break;
        case 1:
            type = "Word", size = 2;
            break;
        case 2:
            type = "LongInt", size = 4;
            break;
        case 3:
            size = pick(1, 40), type = "String[" + std::to_string(size) + "]", ++size;
            break;
        case 4:
            size = pick(1, 9), type = "array[1.." + std::to_string(size) + "] of Char";
            break;
        default: {
            const int lo = pick(-3, 3), hi = lo + pick(0, 5);
            type = "array[" + std::to_string(lo) + ".." + std::to_string(hi) + "] of Word";
            size = 2 * (hi - lo + 1);
        }
        }
        source += "\n  " + name + ": " + type + ";";
        fields.push_back({name, variant, offset, size});
        return offset + size;
    }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mRandom); }

    std::mt19937 mRandom;
    int mNames = 0;
    int mLabels = 1;
};

TEST(PascalResolving, generatedVariantRecordsGetTheLayoutPascalGivesThem)
{
    const dict::TypeMap map =
        dict::typeMapFromLines(dict::readTypeMapping(testsupport::readFile(kCases / "mapping.rec")));
    dict::ScanOptions resolve;
    resolve.resolve = true;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        VariantRecordWriter writer(seed);
        writer.source = "type\n TRec = record";
        const std::int32_t size = writer.fieldList(0, {}, 0, true);
        writer.source += "\n end;\n TWrap = packed record Inner: TRec; After: Byte; end;\n";
        const dict::ScanResult result = dict::scanPascalRecords(writer.source, map, resolve);
        ASSERT_EQ(result.records.size(), 2u) << "seed " << seed << "\n" << writer.source;
        std::vector<VariantRecordWriter::Expected> got;
        for (const dict::ScannedField& f : result.records[0].Fields)
            got.push_back({f.Name, std::string(dict::variantName(result.records[0], f)), f.Offset, f.Size});
        const auto text = [](const std::vector<VariantRecordWriter::Expected>& fields) {
            std::string out;
            for (const auto& f : fields)
                out += f.name + "|" + f.variant + "|" + std::to_string(f.offset) + "|" +
                       std::to_string(f.size) + "\n";
            return out;
        };
        EXPECT_EQ(text(got), text(writer.fields)) << "seed " << seed << "\n" << writer.source;
        EXPECT_TRUE(result.records[0].Unresolved.empty()) << "seed " << seed;
        ASSERT_EQ(result.records[1].Fields.size(), 2u) << "seed " << seed;
        EXPECT_EQ(result.records[1].Fields[0].Size, size) << "seed " << seed << "\n" << writer.source;
        EXPECT_EQ(result.records[1].Fields[1].Offset, size) << "seed " << seed;
        // Without resolving, the scan is the token scanner's, which knows no variants.
        for (const dict::ScannedRecord& r : dict::scanPascalRecords(writer.source, map).records)
            for (const dict::ScannedField& f : r.Fields)
                EXPECT_EQ(f.Variant, -1);
    }
}

// ---- Several names before one ":" ----

// The same record written twice: groups of names sharing one type ("A, B: T") and each name with
// its own ("A: T; B: T"). The commas are spaced every way, the types are of every kind the scan
// sizes or leaves unsized, and resolving scans put groups inside variants and nested variants.
struct NameGroupWriter {
    explicit NameGroupWriter(unsigned seed, bool resolve) : random(seed), resolve(resolve) {}

    std::mt19937 random;
    bool resolve;
    std::string grouped, split;
    int names = 0;
    int labels = 1;

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); }

    std::string type()
    {
        static const char* const kPlain[] = {"Byte", "Word", "SmallInt", "LongInt", "Double", "Cardinal"};
        static const char* const kResolved[] = {
            "TName", "TKind", "^Byte", "record Lo, Hi: Byte; end", "array[1..Count] of Word", "TPoint"};
        switch (pick(0, resolve ? 3 : 2)) {
        case 0:
            return kPlain[pick(0, 5)];
        case 1:
            return "String[" + std::to_string(pick(1, 30)) + "]";
        case 2: {
            const int lo = pick(-2, 3);
            return "array[" + std::to_string(lo) + ".." + std::to_string(lo + pick(0, 6)) + "] of " +
                   (pick(0, 1) ? "Char" : "Word");
        }
        default:
            return kResolved[pick(0, 5)];
        }
    }

    void group(const std::string& indent)
    {
        const std::string t = type();
        grouped += indent;
        for (int n = pick(1, 4), k = 0; k < n; ++k) {
            const std::string name = "F" + std::to_string(names++);
            if (k > 0) {
                static const char* const kCommas[] = {",", ", ", " ,", " , ", ",\n      "};
                grouped += kCommas[pick(0, 4)];
            }
            grouped += name;
            split += indent + name + ": " + t + ";";
        }
        grouped += ": " + t + ";";
    }

    void fieldList(int depth)
    {
        const std::string indent = "\n" + std::string(2 * depth + 4, ' ');
        for (int n = pick(depth == 0 ? 1 : 0, 4); n > 0; --n)
            group(indent);
        if (!resolve || depth >= 2 || pick(0, 2) == 0)
            return;
        const std::string head =
            indent + (pick(0, 1) ? "case Tag" + std::to_string(names++) + ": Byte of" : "case Integer of");
        grouped += head;
        split += head;
        for (int v = pick(1, 3); v > 0; --v) {
            const std::string label = indent + std::to_string(labels++) + ": (";
            grouped += label;
            split += label;
            fieldList(depth + 1);
            grouped += ");";
            split += ");";
        }
    }
};

TEST(PascalScanner, severalNamesBeforeOneTypeGiveTheFieldsOfOneNameEach)
{
    const dict::TypeMap map =
        dict::typeMapFromLines(dict::readTypeMapping(testsupport::readFile(kCases / "mapping.rec")));
    const std::string declarations = "const Count = 3;\ntype TName = String[8]; TKind = (kA, kB);\n"
                                     "  TPoint = record X, Y: SmallInt; end;\n";
    for (const bool resolve : {false, true}) {
        dict::ScanOptions options;
        options.resolve = resolve;
        for (unsigned seed = 1; seed <= 200; ++seed) {
            NameGroupWriter writer(seed, resolve);
            writer.fieldList(0);
            const auto scan = [&](const std::string& fields) {
                return dict::scanPascalRecords(declarations + "  TRec = record" + fields +
                                                   "\n  end;\n  TNext = record Z: Word; end;\n",
                                               map, options);
            };
            const dict::ScanResult grouped = scan(writer.grouped);
            const dict::ScanResult split = scan(writer.split);
            ASSERT_EQ(split.records.size(), 3u) << "seed " << seed << writer.split;
            EXPECT_EQ(split.records[1].Fields.size(), static_cast<std::size_t>(writer.names))
                << "seed " << seed;
            EXPECT_EQ(describe(grouped), describe(split))
                << (resolve ? "resolving, " : "") << "seed " << seed << writer.grouped;
        }
    }
}

// Variant parts that are not whole, or nested beyond what is followed, end the scan of their
// record without running past it; the records after them are read as always.
TEST(PascalResolving, brokenAndDeepVariantPartsLeaveTheNextRecordAlone)
{
    const dict::TypeMap map =
        dict::typeMapFromLines(dict::readTypeMapping(testsupport::readFile(kCases / "mapping.rec")));
    dict::ScanOptions resolve;
    resolve.resolve = true;
    std::string deep = "type TDeep = record A: Byte;";
    for (int k = 0; k < 300; ++k)
        deep += " case Integer of 1: (B" + std::to_string(k) + ": Byte;";
    deep += std::string(300, ')') + " end;\n TWrap = record D: TDeep; E: Byte end;\n";
    const std::string broken[] = {
        "type TBroken = record A: Byte; case of end;\n",
        "type TBroken = record A: Byte; case Tag: Byte end;\n",
        "type TBroken = record A: Byte; case Integer of 1 (B: Byte); 2: ); end;\n",
        "type TBroken = record A: Byte; case Integer of 1: (B: Byte; 2: (C: Word) end;\n",
        deep,
    };
    for (const std::string& source : broken) {
        const dict::ScanResult result =
            dict::scanPascalRecords(source + "type TNext = record Z: Word; end;\n", map, resolve);
        ASSERT_FALSE(result.records.empty()) << source;
        EXPECT_FALSE(result.error);
        const dict::ScannedRecord& next = result.records.back();
        EXPECT_EQ(next.Name, "TNext") << source;
        EXPECT_EQ(next.Fields, (std::vector<dict::ScannedField>{{"Z", " Word", "Unsigned", 0, 2, -1}}))
            << source;
        EXPECT_EQ(result.records.front().Fields.front().Size, 1) << source;
    }
    // The deep record is not sized, never guessed.
    const dict::ScanResult deepResult = dict::scanPascalRecords(deep, map, resolve);
    ASSERT_EQ(deepResult.records.size(), 2u);
    EXPECT_EQ(deepResult.records[1].Unresolved,
              (std::vector<dict::UnresolvedField>{{"D", "case", "nested too deeply"}}));
}

} // namespace
