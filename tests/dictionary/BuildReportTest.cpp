#include "BuildReport.h"
#include "Status.h"

#include <gtest/gtest.h>

using namespace dict;

namespace {

std::string meaning(int status)
{
    return btr::statusMeaning(status);
}

TEST(BuildReport, nothingRefusedMeansNothingToSay)
{
    BuildReport report;
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(report.text(true), "");
}

TEST(BuildReport, refusedRowsAreGroupedByFileAndStatusInTheOrderMet)
{
    BuildReport report;
    report.rowRefused("FILE.DDF", 4, 5);
    report.fileNotCreated("INDEX.DDF", 18);
    report.rowRefused("FILE.DDF", 7, 5);
    report.rowRefused("FILE.DDF", 9, 22);
    report.fileNotOpened("FIELDEXT.DDF", 12);
    EXPECT_FALSE(report.empty());
    EXPECT_EQ(report.text(true), "FILE.DDF: rows 4 and 7 were not written: status 5 (" + meaning(5) + ").\n" +
                                     "INDEX.DDF was not created: status 18 (" + meaning(18) + ").\n" +
                                     "FILE.DDF: row 9 was not written: status 22 (" + meaning(22) + ").\n" +
                                     "FIELDEXT.DDF was not opened: status 12 (" + meaning(12) + ").");
}

TEST(BuildReport, aLongRowListNamesTenRowsAndCountsTheRest)
{
    BuildReport report;
    for (int row = 1; row <= 1000; ++row)
        report.rowRefused("FIELD.DDF", row, 5);
    EXPECT_EQ(report.text(true),
              "FIELD.DDF: rows 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 990 more were not written: status 5 (" +
                  meaning(5) + ").");
}

} // namespace

namespace {

TEST(BuildReport, rowsLeftOutAreGroupedByFileAndReasonBesideTheRefusedOnes)
{
    BuildReport report;
    report.rowLeftOut("INDEX.DDF", 3, "no table of that name");
    report.rowRefused("INDEX.DDF", 4, 5);
    report.rowLeftOut("INDEX.DDF", 8, "no field of that name");
    report.rowLeftOut("INDEX.DDF", 9, "no table of that name");
    EXPECT_EQ(report.text(true), "INDEX.DDF: rows 3 and 9 were left out: no table of that name.\n"
                                 "INDEX.DDF: row 4 was not written: status 5 (" +
                                     meaning(5) +
                                     ").\n"
                                     "INDEX.DDF: row 8 was left out: no field of that name.");
}

} // namespace
