// The declarations a resolving scan reads: comments blanked, the const and type sections found
// among other code, and integer constant expressions evaluated or refused with the name and the
// reason.
#include "PascalDeclarations.h"
#include "PascalScanner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The value of `expression` as a bound placed after `declarations`, or "<name>: <reason>".
std::string boundValue(const std::string& declarations, const std::string& expression)
{
    const std::string source = dict::blankPascalComments(declarations + "\nX = " + expression + ";\n");
    dict::PascalDeclarations decls(source);
    const std::size_t at = source.rfind("X = ") + 4;
    const std::vector<dict::PascalToken> tokens = dict::lexPascal(source, at, source.size() - 2);
    std::size_t i = 0;
    const auto v = decls.evaluate(tokens, i);
    if (!v.value)
        return v.unresolved.name + ": " + std::string(dict::reasonText(v.unresolved.reason));
    if (i != tokens.size())
        return "stopped at " + std::string(tokens[i].text);
    return std::to_string(*v.value);
}

TEST(PascalConstants, expressionsOverLiteralsAndEarlierConstants)
{
    const std::string consts = "const A = 10; b = $1F; C = a * 2 + B; Neg = -A; Deep = ((C));\n"
                               "  Title = 'text'; Rate = 1.5; Typed: Integer = 3;\n"
                               "type TColor = (Red, Green = 5, Blue);\n";
    const std::pair<const char*, const char*> cases[] = {
        {"42", "42"},
        {"$ff", "255"},
        {"$7FFFFFFF", "2147483647"},
        {"20-1", "19"},
        {"2 + 3 * 4", "14"},
        {"(2 + 3) * 4", "20"},
        {"17 div 5", "3"},
        {"17 MOD 5", "2"},
        {"-7 div 2", "-3"},
        {"- -3", "3"},
        {"A", "10"},
        {"a + b", "41"},
        {"C", "51"},
        {"Neg", "-10"},
        {"Deep - 1", "50"},
        {"Green", "5"},
        {"Blue", "6"},
        {"Red", "0"},
        {"Title", "Title: not an integer constant"},
        {"Rate", "Rate: not an integer constant"},
        {"Typed", "Typed: not an integer constant"},
        {"Missing + 1", "Missing: not declared in this unit"},
        {"High(A)", "A: not an integer constant"},
        {"1 div 0", "div: beyond 32 bits or divided by zero"},
        {"$7FFFFFFFFFFFFFFF * 2", "*: beyond 32 bits or divided by zero"},
        {"99999999999999999999", "99999999999999999999: beyond 32 bits or divided by zero"},
        {"(1 + 2", "(: not an integer constant"},
    };
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(boundValue(consts, expression), expected) << expression;
}

// Ord, Succ, Pred and Chr of constants; High and Low of ordinal types, arrays and string types.
// SizeOf needs the type mapping and is the scanner's (PascalScannerTest); without it, unresolved.
TEST(PascalConstants, intrinsicsOfConstantsAndTypes)
{
    const std::string decls =
        "const A = 10;\n"
        "type TColor = (Red, Green = 5, Blue); TSmall = 1..20; TArr = array[TColor] of Byte;\n"
        "  TIdx = packed array[-2..A - 3, 1..4] of Char; TName = string[30]; TSame = TSmall;\n"
        "  TOther = array[TMissing] of Byte; TLetters = 'a'..'z';\n";
    const std::pair<const char*, const char*> cases[] = {
        {"Ord('A')", "65"},
        {"Ord(Blue) + Ord(True) + Ord(false)", "7"},
        {"Succ(A) * 2", "22"},
        {"Pred(Low(TSmall))", "0"},
        {"Chr(65)", "65"},
        {"Ord(Chr(Pred(Ord('b'))))", "97"},
        {"High(TSmall) - Low(TSmall)", "19"},
        {"High(TSame)", "20"},
        {"Low(TColor)", "0"},
        {"High(TColor)", "6"},
        {"High(TArr)", "6"},
        {"Low(TIdx)", "-2"},
        {"High(TIdx)", "7"},
        {"High(TName)", "30"},
        {"High(TLetters)", "122"},
        {"High(Byte) + High(ShortInt)", "382"},
        {"Low(SmallInt)", "-32768"},
        {"High(Integer)", "Integer: depends on the compiler"},
        {"High(TOther)", "TMissing: not declared in this unit"},
        {"Low(TUnknown)", "TUnknown: not declared in this unit"},
        {"SizeOf(TSmall)", "TSmall: a form of type not sized"},
        {"Ord(Missing)", "Missing: not declared in this unit"},
        {"Succ($7FFFFFFFFFFFFFFF)", "Succ: beyond 32 bits or divided by zero"},
        {"Chr(70000)", "Chr: beyond 32 bits or divided by zero"},
        {"High(1)", "High: not an integer constant"},
        {"Length('abc')", "Length: not an integer constant"},
        {"Ord(1", "Ord: not an integer constant"},
    };
    for (const auto& [expression, expected] : cases)
        EXPECT_EQ(boundValue(decls, expression), expected) << expression;
}

TEST(PascalConstants, laterAndCircularConstantsAreReportedNotGuessed)
{
    EXPECT_EQ(boundValue("const A = B + 1; B = 2;", "A"), "B: declared after its use");
    EXPECT_EQ(boundValue("const A = A + 1;", "A"), "A: circular declaration");
    EXPECT_EQ(boundValue("const A = 1;", "Z") , "Z: not declared in this unit");
    // A name declared twice is the one declared last before its use.
    EXPECT_EQ(boundValue("const N = 1; type T = record end; const N = 2;", "N"), "2");
    // Long chains of constants resolve (each is evaluated once, in order); deep parentheses end
    // with a reason instead of exhausting the stack.
    std::string chain = "const C0 = 1;";
    for (int k = 1; k <= 500; ++k)
        chain += " C" + std::to_string(k) + " = C" + std::to_string(k - 1) + " + 1;";
    EXPECT_EQ(boundValue(chain, "C500"), "501");
    EXPECT_EQ(boundValue("", std::string(5000, '(') + "1" + std::string(5000, ')')).find("nested too deeply") !=
                  std::string::npos,
              true);
}

TEST(PascalConstants, onlyConstAndTypeSectionsDeclare)
{
    const std::string source = dict::blankPascalComments(
        "unit U; interface const K = 1; { N = 5; } // M = 6;\n"
        "type TC = class(TObject) private const Inner = 7; public procedure P; end;\n"
        "  TF = class; TM = class of TC; TAfter = 0..K;\n"
        "var V = 3;\n"
        "procedure Q; const Local = 4; begin if V = 2 then ; end;\n"
        "implementation const Impl = 8; end.\n");
    dict::PascalDeclarations decls(source);
    const auto declared = [&](const char* name) { return decls.find(name, source.size()) >= 0; };
    for (const char* name : {"K", "TC", "TF", "TM", "TAfter", "Local", "Impl", "k", "tafter"})
        EXPECT_TRUE(declared(name)) << name;
    for (const char* name : {"N", "M", "V", "Inner", "P", "Q"})
        EXPECT_FALSE(declared(name)) << name;
}

TEST(PascalComments, allThreeKindsAreBlankedAndQuotedTextIsKept)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a{b}c", "a   c"},
        {"a(*b*)c", "a     c"},
        {"a//b\nc", "a   \nc"},
        {"a//b\r\nc", "a   \r\nc"},
        {"'{'{x}'//'", "'{'   '//'"},
        {"{ (* } x", "       x"},
        {"(* { *) x", "        x"},
        {"a\tb", "a b"},
        {"{ never closed", "              "},
        {"'open { quote\n{x}", "'open { quote\n   "},
    };
    for (const auto& [source, blanked] : cases) {
        EXPECT_EQ(dict::blankPascalComments(source), blanked) << source;
        EXPECT_EQ(dict::blankPascalComments(source).size(), source.size());
    }
}

// Without resolving, a scan is what it always was; resolving changes sizes only where the
// declarations or the Pascal reading of a type decide them.
TEST(PascalResolving, plainRecordsScanAlikeWithAndWithoutTheOption)
{
    std::vector<std::string> lines = dict::defaultTypeMapping();
    lines[6] = "1 1 4";   // Integer
    lines[10] = "1 14 1"; // Byte
    lines[19] = "1 0 1";  // String
    const dict::TypeMap map = dict::typeMapFromLines(lines);
    const std::string plain = "type\n  TA = record X, Y: Integer; S: String[20]; B: array[1..4] of Byte; end;\n"
                              "  TB = packed record Z: Byte; end;\n";
    dict::ScanOptions resolve;
    resolve.resolve = true;
    EXPECT_EQ(dict::scanPascalRecords(plain, map, resolve).records, dict::scanPascalRecords(plain, map).records);

    // An unknown name in a later record never stops the records after it.
    const std::string later = "type TA = record A: TOther; end; TB = record B: Integer; end;\n";
    const dict::ScanResult result = dict::scanPascalRecords(later, map, resolve);
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.records[0].Unresolved,
              (std::vector<dict::UnresolvedField>{{"A", "TOther", "not declared in this unit"}}));
    EXPECT_EQ(result.records[1].Fields[0].Size, 4);
}

} // namespace
