// A key as the dictionary describes it against its data file's key: the findings check and the
// window's Build share.
#include "KeyComparison.h"
#include "Records.h"

#include <gtest/gtest.h>

namespace {

using dict::DescribedSegment;

// The data file: key 0 of two segments (1+4, 5+2), key 1 of one (9+8).
dict::DataFileLayout dataFile()
{
    dict::DataFileLayout file;
    file.keyCount = 2;
    const auto spec = [](uint16_t position, uint16_t length, uint16_t flags) {
        dict::KeySpec s;
        s.position = position;
        s.length = length;
        s.flags = flags;
        return s;
    };
    file.segments = {{0, 0, spec(1, 4, dict::KeyDuplicates | dict::KeySegmented | dict::KeyExtendedType)},
                     {0, 1, spec(5, 2, dict::KeyDuplicates | dict::KeyExtendedType)},
                     {1, 0, spec(9, 8, dict::KeyModifiable)}};
    return file;
}

struct Case {
    const char* name;
    std::vector<std::optional<DescribedSegment>> segments;
    int fileKey;
    bool compareFlags;
    std::vector<std::pair<int, std::string>> found;
};

TEST(KeyComparison, namesWhatDiffersFromTheDataFilesKey)
{
    const DescribedSegment first{1, 4, dict::KeyDuplicates}, second{5, 2, dict::KeyDuplicates};
    const Case cases[] = {
        {"the same, the bits each side sets its own way aside", {first, second}, 0, true, {}},
        {"no such key",
         {first},
         2,
         true,
         {{-1, "The key is in INDEX.DDF but the data file has no such key."}}},
        {"one segment fewer",
         {first},
         0,
         true,
         {{-1, "The key has 1 segments in INDEX.DDF and 2 in the data file."}}},
        {"flags",
         {first, DescribedSegment{5, 2, dict::KeyModifiable}},
         0,
         true,
         {{1, "Segment 1 differs from the data file: flags 2 in INDEX.DDF, 257 in the data file."}}},
        {"flags not compared", {first, DescribedSegment{5, 2, dict::KeyModifiable}}, 0, false, {}},
        {"place and flags in one sentence",
         {DescribedSegment{9, 4, 0}},
         1,
         true,
         {{0, "Segment 0 differs from the data file: length 4 in INDEX.DDF, 8 in the data file; flags 0 in "
              "INDEX.DDF, 2 in the data file."}}},
        {"a segment without a field is not compared",
         {std::nullopt, DescribedSegment{6, 2, 1}},
         0,
         true,
         {{1, "Segment 1 differs from the data file: position 6 in INDEX.DDF, 5 in the data file."}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<int, std::string>> found;
        for (const dict::KeyDifference& d :
             dict::compareKeyWithDataFile(c.segments, dataFile(), c.fileKey, c.compareFlags))
            found.emplace_back(d.segment, d.message);
        EXPECT_EQ(found, c.found) << c.name;
    }
}

TEST(KeyComparison, keysNumberedFromOneMeanTheDataFilesKeyBelowUnlessTheTableHasAKeyZero)
{
    EXPECT_FALSE(dict::keysNumberedFromOne({}));
    EXPECT_FALSE(dict::keysNumberedFromOne({1, 0, 2}));
    EXPECT_TRUE(dict::keysNumberedFromOne({1, 2, 1}));
    EXPECT_EQ(dict::dataFileKeyNumber(2, true, false), 1);
    EXPECT_EQ(dict::dataFileKeyNumber(2, true, true), 2);
    EXPECT_EQ(dict::dataFileKeyNumber(2, false, false), 2);
    EXPECT_TRUE(dict::describesDictionary("x$Mine  ", "MINE.DAT"));
    EXPECT_TRUE(dict::describesDictionary("Mine", "sub/index.ddf"));
    EXPECT_FALSE(dict::describesDictionary("X", "X$.DAT"));
}

} // namespace
