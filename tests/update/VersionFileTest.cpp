#include "VersionFile.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase
{
    std::string text;
    std::optional<std::int32_t> number;
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c)
{
    return out << testing::PrintToString(c.text);
}

class ParseVersionNumber : public testing::TestWithParam<ParseCase>
{};

TEST_P(ParseVersionNumber, ReadsTheFirstFieldAsA32BitWholeNumber)
{
    EXPECT_EQ(parseVersionNumber(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseVersionNumber,
                         testing::Values(ParseCase{"1016\r\n", 1016}, ParseCase{"1016", 1016},
                                         ParseCase{" \t1016 \t\r\n", 1016}, ParseCase{"1017,2,3\r\n", 1017},
                                         ParseCase{"1017\n999\n", 1017},
                                         ParseCase{"\xEF\xBB\xBF"
                                                   "1018\r\n",
                                                   1018},
                                         ParseCase{"+1019", 1019}, ParseCase{"-7", -7},
                                         ParseCase{"2147483647", 2147483647}, ParseCase{"-2147483648", INT32_MIN},
                                         ParseCase{"2147483648", std::nullopt}, ParseCase{"99999999999", std::nullopt},
                                         ParseCase{"", std::nullopt}, ParseCase{"\r\n1016", std::nullopt},
                                         ParseCase{",1016", std::nullopt}, ParseCase{"   ", std::nullopt},
                                         ParseCase{"10.5", std::nullopt}, ParseCase{"10a", std::nullopt},
                                         ParseCase{"1 016", std::nullopt}, ParseCase{"+-1", std::nullopt},
                                         ParseCase{"0x10", std::nullopt}, ParseCase{"<html>", std::nullopt},
                                         ParseCase{std::string("10\0"
                                                               "16",
                                                               5),
                                                   std::nullopt}));

} // namespace
