#include <gtest/gtest.h>

#include "common/integer_text.h"

using qmd::ParseIntegerText;

TEST(IntegerText, DecimalWithinThe32BitRange)
{
    EXPECT_EQ(ParseIntegerText("150"), 150);
    EXPECT_EQ(ParseIntegerText("-1"), -1);
    EXPECT_EQ(ParseIntegerText("+7"), 7);
    EXPECT_EQ(ParseIntegerText("2147483647"), 2147483647);
    EXPECT_EQ(ParseIntegerText("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseIntegerText("2147483648"), std::nullopt);
    EXPECT_EQ(ParseIntegerText("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseIntegerText("99999999999999999999"), std::nullopt);
}

TEST(IntegerText, HexadecimalIsTakenAsSigned32Bits)
{
    EXPECT_EQ(ParseIntegerText("0x1F"), 31);
    EXPECT_EQ(ParseIntegerText("0X1f"), 31);
    EXPECT_EQ(ParseIntegerText("$1F"), 31);
    EXPECT_EQ(ParseIntegerText("0xFFFFFFFF"), -1);
    EXPECT_EQ(ParseIntegerText("0x80000000"), INT32_MIN);
    EXPECT_EQ(ParseIntegerText("0x123456789"), std::nullopt);
    EXPECT_EQ(ParseIntegerText("0x"), std::nullopt);
    EXPECT_EQ(ParseIntegerText("$"), std::nullopt);
    EXPECT_EQ(ParseIntegerText("0xG"), std::nullopt);
}

TEST(IntegerText, AnythingElseIsNotAnInteger)
{
    for (const char* text : {"", "abc", "-", "+", "1.5", "12a", " 5", "5 ", "yes", "- 1", "--1"})
        EXPECT_EQ(ParseIntegerText(text), std::nullopt) << '"' << text << '"';
}
