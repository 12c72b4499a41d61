#include "IniNumber.h"

#include <gtest/gtest.h>

namespace {

struct IntegerCase
{
    const char* text;
    std::optional<std::int16_t> expected;
};

void PrintTo(const IntegerCase& c, std::ostream* out)
{
    *out << '"' << c.text << '"';
}

class ParseIniIntegerTest : public ::testing::TestWithParam<IntegerCase>
{};

TEST_P(ParseIniIntegerTest, Converts)
{
    EXPECT_EQ(parseIniInteger(GetParam().text), GetParam().expected) << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Values, ParseIniIntegerTest,
                         ::testing::Values(IntegerCase{"7", 7}, IntegerCase{"  12  ", 12}, IntegerCase{"\t-3", -3},
                                           IntegerCase{"7.5", 8}, IntegerCase{"6.5", 6}, IntegerCase{"-2.5", -2},
                                           IntegerCase{"2.49", 2}, IntegerCase{"32767", 32767},
                                           IntegerCase{"-32768", -32768}, IntegerCase{"32767.4", 32767},
                                           IntegerCase{"32767.5", std::nullopt}, IntegerCase{"40000", std::nullopt},
                                           IntegerCase{"-32769", std::nullopt}, IntegerCase{"abc", std::nullopt},
                                           IntegerCase{"12 dana", std::nullopt}, IntegerCase{"", std::nullopt},
                                           IntegerCase{"   ", std::nullopt}, IntegerCase{".", std::nullopt},
                                           IntegerCase{"1e2", 100}));

struct LeadingCase
{
    const char* text;
    const char* expected;
};

void PrintTo(const LeadingCase& c, std::ostream* out)
{
    *out << '"' << c.text << '"';
}

class LeadingNumberTextTest : public ::testing::TestWithParam<LeadingCase>
{};

TEST_P(LeadingNumberTextTest, TakesTheNumberAtTheStart)
{
    EXPECT_EQ(leadingNumberText(GetParam().text), GetParam().expected) << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Values, LeadingNumberTextTest,
                         ::testing::Values(LeadingCase{"7", "7"}, LeadingCase{"  14", "14"},
                                           LeadingCase{"12 dana", "12"}, LeadingCase{"7.5", "7.5"},
                                           LeadingCase{"007", "7"}, LeadingCase{"", "0"}, LeadingCase{"abc", "0"},
                                           LeadingCase{"-3x", "-3"}, LeadingCase{"40000", "40000"},
                                           LeadingCase{"1.50", "1.5"}, LeadingCase{"-0", "0"}));

} // namespace
