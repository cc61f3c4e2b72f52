#include "TypeMappingLine.h"

#include <gtest/gtest.h>

using namespace dict;

namespace {

TEST(MappingLine, getWordReadsNumberedWordsAndGivesZeroForMissingOnes)
{
    const std::tuple<const char*, int, int> cases[] = {
        {"1 21 8", 1, 21}, {"1 21 8", 0, 1},   {"1 21 8", 2, 8}, {"1 21 8", 3, 0},
        {"0 -1 4", 1, -1}, {"1  3   5", 2, 5}, {" 7 8 9", 0, 7}, {"", 0, 0},
        {"1 1", 2, 0},     {"   ", 0, 0},      {"1 +2 3", 1, 2},
    };
    for (const auto& [line, n, value] : cases)
        EXPECT_EQ(GetWord(line, n), value) << '"' << line << "\" word " << n;
}

TEST(MappingLine, aWordThatIsNotADecimalIntegerIsAConversionError)
{
    for (const char* word : {"x", "4a", "$10", "2147483648", "-", "1.5"}) {
        const std::string line = std::string("1 ") + word + " 4";
        try {
            GetWord(line, 1);
            ADD_FAILURE() << word;
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + word + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(GetWord("1 -2147483648 0", 1), -2147483648);
}

TEST(MappingLine, putWordReplacesOneWordAndKeepsTheRestByteForByte)
{
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"0 0 0", 2, 15, "0 0 15"},
        {"1 1 4", 0, 0, "0 1 4"},
        {"0 0 0", 1, 19, "0 19 0"},
        {"1  21   8 extra", 1, 3, "1  3   8 extra"},
        {" 1 2 3", 0, 0, " 0 2 3"},
        {"1 123456 4", 1, -1, "1 -1 4"},
        {"1", 2, 5, "1 0 5"},
        {"1 ", 1, 7, "1 7"},
        {"", 0, 1, "1"},
    };
    for (const auto& [line, n, value, expected] : cases)
        EXPECT_EQ(PutWord(line, n, value), expected) << '"' << line << "\" word " << n;
}

TEST(MappingFile, shortFilesAndShortLinesAreCompletedWithDefaults)
{
    const std::vector<std::string> lines = readTypeMapping("1 3 4\r\n0 1\r\n\r\n1\n  \r\n1 2 3 4\n");
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7),
              (std::vector<std::string>{"1 3 4", "0 1 0", "0 0 0", "1 0 0", "0 0 0", "1 2 3 4", "0 0 0"}));
    EXPECT_EQ(lines.back(), "0 0 0");
    EXPECT_EQ(readTypeMapping(""), defaultTypeMapping());
}

TEST(MappingFile, linesBeyondTheTwentyNinthAreIgnoredAndWritingEndsEachWithCrLf)
{
    std::string text;
    for (int k = 0; k < 31; ++k)
        text += std::to_string(k) + " 1 2\n";
    const std::vector<std::string> lines = readTypeMapping(text);
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[28], "28 1 2");
    EXPECT_EQ(readTypeMapping(writeTypeMapping(lines)), lines);
    EXPECT_EQ(writeTypeMapping({"0 0 0", "1 1 4"}), "0 0 0\r\n1 1 4\r\n");
}

TEST(MappingFile, typesAreTickedByLinesBeginningWithOne)
{
    std::vector<std::string> lines = defaultTypeMapping();
    lines[6] = "1 1 4";
    lines[7] = "10 1 4";
    lines[8] = " 1 1 4";
    lines.resize(20);
    const TypeMap map = typeMapFromLines(lines);
    EXPECT_TRUE(map.ticked[6]);
    EXPECT_TRUE(map.ticked[7]); // the first character decides, as the tick boxes do
    EXPECT_FALSE(map.ticked[8]);
    EXPECT_FALSE(map.ticked[28]);
    EXPECT_EQ(map.lines[28], "0 0 0");
}

} // namespace
