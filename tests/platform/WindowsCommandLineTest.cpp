#include "WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace {

// How arguments are quoted is checked where it counts, on Windows: every argument of up to five characters of
// letters, blanks, tabs, quotes and backslashes is read back whole by CommandLineToArgvW (WinServicesTest.cpp), and
// arguments reach a started program whole (ProcessLauncherTest, CommandRunnerTest).
// A NUL or a quote cannot be carried, and a batch file would be run by cmd.exe with its own rules.
TEST(WindowsCommandLineTest, RefusesWhatACommandLineCannotCarryExactly)
{
    for (const std::string& program :
         {std::string(), std::string("a\"b.exe"), std::string("a\0b.exe", 7), std::string("C:\\x\\run.bat"),
          std::string("run.CMD"), std::string("C:\\x\\run.bat. ")})
        EXPECT_NE(WindowsCommandLine::problem(program, {}), "") << testing::PrintToString(program);
    EXPECT_NE(WindowsCommandLine::problem("C:\\x\\tool.exe", {"ok", std::string("a\0b", 3)}), "");

    EXPECT_EQ(WindowsCommandLine::problem("C:\\Program Files\\Kopirko\\updater.exe", {}), "");
    EXPECT_EQ(WindowsCommandLine::problem("cmd.exe", {"/c", "exit 0"}), "");
    EXPECT_EQ(WindowsCommandLine::problem("backup.bat.exe", {"\"", ""}), "");
    EXPECT_EQ(WindowsCommandLine::problem("kopirko", {"x\\"}), "");
}

} // namespace
