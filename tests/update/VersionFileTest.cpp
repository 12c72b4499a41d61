#include "VersionFile.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseVersionNumber, ReadsTheFirstFieldAsA32BitWholeNumber)
{
    const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases = {{"1016\r\n", 1016},
                                                                                    {" \t1016 \t\r\n", 1016},
                                                                                    {"1017,2,3\r\n", 1017},
                                                                                    {"1017\n999\n", 1017},
                                                                                    {"\xEF\xBB\xBF"
                                                                                     "1018",
                                                                                     1018},
                                                                                    {"+1019", 1019},
                                                                                    {"-7", -7},
                                                                                    {"2147483647", 2147483647},
                                                                                    {"-2147483648", INT32_MIN},
                                                                                    {"2147483648", {}},
                                                                                    {"99999999999", {}},
                                                                                    {"", {}},
                                                                                    {"\r\n1016", {}},
                                                                                    {",1016", {}},
                                                                                    {"   ", {}},
                                                                                    {"10.5", {}},
                                                                                    {"10a", {}},
                                                                                    {"1 016", {}},
                                                                                    {"+-1", {}},
                                                                                    {"0x10", {}},
                                                                                    {std::string("10\0"
                                                                                                 "16",
                                                                                                 5),
                                                                                     {}}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(parseVersionNumber(text), number) << testing::PrintToString(text);
}

} // namespace
