#include "Variant.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct IntegerCase {
    const char* text;
    std::optional<qint32> value; // nullopt: not an integer
};

class IntegerText : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerText, oneRuleDecidesWhatAnIntegerTextIs)
{
    const IntegerCase& c = GetParam();
    qint32 value = 12345;
    const bool ok = parseInteger(QString::fromUtf8(c.text), &value);
    ASSERT_EQ(ok, c.value.has_value()) << c.text;
    if (ok) {
        EXPECT_EQ(value, *c.value) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerText,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"12", 12}, IntegerCase{"-7", -7}, IntegerCase{"+7", 7},
                      IntegerCase{"   42", 42}, IntegerCase{"007", 7}, IntegerCase{"$1F", 31},
                      IntegerCase{"$ff", 255}, IntegerCase{"-$10", -16}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                      // not integers
                      IntegerCase{"", std::nullopt}, IntegerCase{" ", std::nullopt},
                      IntegerCase{"-", std::nullopt}, IntegerCase{"$", std::nullopt},
                      IntegerCase{"42 ", std::nullopt}, IntegerCase{"4 2", std::nullopt},
                      IntegerCase{"abc", std::nullopt}, IntegerCase{"1.5", std::nullopt},
                      IntegerCase{"\t1", std::nullopt}, IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483649", std::nullopt}, IntegerCase{"$100000000", std::nullopt},
                      IntegerCase{"0x1F", std::nullopt}, IntegerCase{"12a", std::nullopt},
                      IntegerCase{"--1", std::nullopt}));

std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const text::ConversionError& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(Variant, textThatIsNoIntegerRaisesInvalidVariantTypeConversion)
{
    EXPECT_EQ(messageOf([] { Variant(QStringLiteral("abc")).toInt(); }), "Invalid variant type conversion");
    EXPECT_EQ(messageOf([] { Variant(QString()).toInt(); }), "Invalid variant type conversion");
    EXPECT_EQ(Variant(QStringLiteral(" 12")).toInt(), 12);
}

TEST(Variant, strToIntNamesTheTextInItsMessage)
{
    EXPECT_EQ(messageOf([] { StrToInt(QStringLiteral("x1")); }), "'x1' is not a valid integer value");
    EXPECT_EQ(messageOf([] { StrToInt(QString()); }), "'' is not a valid integer value");
    EXPECT_EQ(StrToInt(QStringLiteral("$1F")), 31);
}

TEST(Variant, integersBecomeTheirDecimalDigits)
{
    EXPECT_EQ(Variant(12).toString(), QStringLiteral("12"));
    EXPECT_EQ(Variant(-2147483647 - 1).toString(), QStringLiteral("-2147483648"));
    EXPECT_EQ(Variant(12).toInt(), 12);
    EXPECT_TRUE(Variant(3).isInteger());
    EXPECT_FALSE(Variant(QStringLiteral("3")).isInteger());
}

} // namespace
