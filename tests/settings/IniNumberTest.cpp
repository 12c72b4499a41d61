#include "IniNumber.h"

#include <gtest/gtest.h>

namespace {

TEST(IniNumberTest, WholeNumbersAreRoundedHalfToEvenWithinSixteenBits)
{
    const std::pair<const char*, std::optional<std::int16_t>> cases[] = {
        {"7", 7},        {"  12  ", 12},  {"\t-3", -3},     {"7.5", 8},         {"6.5", 6},
        {"-2.5", -2},    {"2.49", 2},     {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767},
        {"1e2", 100},    {"32767.5", {}}, {"40000", {}},    {"-32769", {}},     {"abc", {}},
        {"12 dana", {}}, {"", {}},        {"   ", {}},      {".", {}}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseIniInteger(text), expected) << '"' << text << '"';
}

TEST(IniNumberTest, TheNumberAtTheStartOfATextIsTaken)
{
    const std::pair<const char*, const char*> cases[] = {
        {"7", "7"},   {"  14", "14"}, {"12 dana", "12"},  {"7.5", "7.5"},  {"007", "7"}, {"", "0"},
        {"abc", "0"}, {"-3x", "-3"},  {"40000", "40000"}, {"1.50", "1.5"}, {"-0", "0"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(leadingNumberText(text), expected) << '"' << text << '"';
}

} // namespace
