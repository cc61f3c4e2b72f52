#include "AddComp.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct FlagCase {
    int shift;
    qint32 before;  // value written first
    qint32 written; // value written second
    bool checked;   // box state after the second write
    int clicks;     // click events the second write runs
};

class FlagWordWrite : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagWordWrite, writingRunsTheClickHandlerExactlyWhenTheBoxFlips)
{
    const FlagCase& c = GetParam();
    TVarCheckBox box(QStringLiteral("b"), static_cast<quint16>(c.shift));
    box.setValue(c.before);
    QSignalSpy clicks(&box, &QCheckBox::clicked);
    box.setValue(c.written);
    EXPECT_EQ(box.isChecked(), c.checked);
    EXPECT_EQ(clicks.size(), c.clicks);
    EXPECT_EQ(box.FlagWord, c.written);
}

INSTANTIATE_TEST_SUITE_P(Values, FlagWordWrite,
                         ::testing::Values(FlagCase{2, 0, 5, true, 1},     // bit 2 of 5 set: flips on
                                           FlagCase{2, 4, 5, true, 0},     // already on: nothing runs
                                           FlagCase{2, 4, 3, false, 1},    // flips off
                                           FlagCase{0, 0, 2, false, 0},    // other bits only
                                           FlagCase{11, 0, 2048, true, 1}, // high bit of a 16-bit word
                                           FlagCase{31, 0, INT32_MIN, true, 1}));

TEST(FlagCheckBox, readingStoresTheBoxStateIntoItsBitOnly)
{
    TVarCheckBox box(QStringLiteral("b"), 2);
    box.setValue(5);
    ASSERT_TRUE(box.isChecked());
    QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center() - QPoint(box.width() / 2 - 6, 0));
    if (box.isChecked()) // the indicator may sit elsewhere in this style; fall back to a key press
        QTest::keyClick(&box, Qt::Key_Space);
    ASSERT_FALSE(box.isChecked());
    EXPECT_EQ(box.Value().toInt(), 1);
    EXPECT_EQ(box.FlagWord, 1);
}

TEST(FlagCheckBox, nonIntegerTextRaisesTheConversionError)
{
    TVarCheckBox box(QStringLiteral("b"), 0);
    EXPECT_THROW(box.setValue(QStringLiteral("x")), text::ConversionError);
    EXPECT_FALSE(box.isChecked());
}

} // namespace
