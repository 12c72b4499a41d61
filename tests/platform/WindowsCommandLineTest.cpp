#include "WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsCommandLineTest, QuotesOnlyWhatNeedsItAndEscapesBackslashesOnlyBeforeAQuote)
{
    const std::pair<std::string, std::string> table[] = {
        {"plain", "plain"},
        {"C:\\Data\\a.txt", "C:\\Data\\a.txt"}, // backslashes stand for themselves
        {"trailing\\", "trailing\\"},           // no quotes around it: nothing to escape
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"tab\there", "\"tab\there\""},
        {"line\nend", "\"line\nend\""},
        {"\"", "\"\\\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},                         // 1 backslash before a quote: 3
        {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},                   // 2 before a quote: 5
        {"C:\\Program Files\\", "\"C:\\Program Files\\\\\""}, // before the closing quote: doubled
        {"a b\\\\", "\"a b\\\\\\\\\""},
        {"\\\\server\\share dir\\x", "\"\\\\server\\share dir\\x\""},
    };
    for (const auto& [argument, quoted] : table)
        EXPECT_EQ(WindowsCommandLine::quoteArgument(argument), quoted) << argument;
}

// A NUL or a quote cannot be carried, and a batch file would be run by cmd.exe with its own rules.
TEST(WindowsCommandLineTest, RefusesWhatACommandLineCannotCarryExactly)
{
    for (const std::string program :
         {"", "a\"b.exe", std::string("a\0b.exe", 7), "C:\\x\\run.bat", "run.CMD", "C:\\x\\run.bat. "})
        EXPECT_NE(WindowsCommandLine::problem(program, {}), "") << testing::PrintToString(program);
    EXPECT_NE(WindowsCommandLine::problem("C:\\x\\tool.exe", {"ok", std::string("a\0b", 3)}), "");

    EXPECT_EQ(WindowsCommandLine::problem("C:\\Program Files\\Kopirko\\updater.exe", {}), "");
    EXPECT_EQ(WindowsCommandLine::problem("cmd.exe", {"/c", "exit 0"}), "");
    EXPECT_EQ(WindowsCommandLine::problem("backup.bat.exe", {"\"", ""}), "");
    EXPECT_EQ(WindowsCommandLine::problem("kopirko", {"x\\"}), "");
}

} // namespace
