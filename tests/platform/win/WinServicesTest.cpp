// Windows' own services, tested only on Windows: they are Win32 calls with no Linux twin.
#include "SystemAppInfo.h"
#include "WideText.h"
#include "WinNetworkHostLookup.h"
#include "WinPrivilege.h"
#include "WindowsCommandLine.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

/// The words of `commandLine` as CommandLineToArgvW reads them.
std::vector<std::string> splitByWindows(const std::string& commandLine)
{
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(WideText::fromUtf8(commandLine).c_str(), &count);
    std::vector<std::string> result;
    for (int i = 0; words && i < count; ++i)
        result.push_back(WideText::toUtf8(words[i]));
    ::LocalFree(words);
    return result;
}

// Every argument of up to five characters made of letters, blanks, tabs, quotes and backslashes, between two others,
// after a program in a folder with a blank: Windows must read back exactly what was written.
TEST(WindowsCommandLineRoundTrip, CommandLineToArgvWReadsBackEveryArgument)
{
    const std::string program = "C:\\Program Files\\Kopirko\\updater.exe";
    const std::string alphabet = "a \t\"\\";
    std::vector<std::string> arguments = {""};
    for (size_t begin = 0, length = 0; length < 5; ++length) {
        const size_t end = arguments.size();
        for (size_t i = begin; i < end; ++i)
            for (const char c : alphabet)
                arguments.push_back(arguments[i] + c);
        begin = end;
    }
    ASSERT_EQ(arguments.size(), 1u + 5 + 25 + 125 + 625 + 3125);
    for (const std::string& argument : arguments) {
        const std::vector<std::string> given = {argument, "x y", argument};
        std::vector<std::string> expected = {program};
        expected.insert(expected.end(), given.begin(), given.end());
        ASSERT_EQ(splitByWindows(WindowsCommandLine::build(program, given)), expected)
            << testing::PrintToString(argument);
    }
}

TEST(WinPrivilegeTest, TakesTheShutdownPrivilegeAndNamesOneThatCannotBeHad)
{
    // Only the privilege is switched on: nothing is shut down.
    const Result shutdown = enablePrivilege("SeShutdownPrivilege");
    EXPECT_TRUE(shutdown) << shutdown.error();
    const Result unknown = enablePrivilege("SeKopirkoNoSuchPrivilege");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.error().find("SeKopirkoNoSuchPrivilege"), std::string::npos) << unknown.error();
}

TEST(WinNetworkHostLookupTest, TheSystemDriveIsNoShare)
{
    EXPECT_EQ(WinNetworkHostLookup::connectedShare("C:"), std::nullopt);
    EXPECT_EQ(WinNetworkHostLookup().hostOf("C:\\Windows").kind, NetworkHost::Kind::Local);
}

// Windows starts the programs of the "Run" key in its system folder: such a start counts as one in the program's
// folder. A start anywhere else (a shortcut into the point-of-sale system's folder) is kept.
TEST(SystemAppInfoTest, AStartInTheSystemFolderMovesToTheProgramsFolderAndNoOtherStartDoes)
{
    SystemAppInfo appInfo;
    wchar_t system[MAX_PATH + 1] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::string before = appInfo.workingFolder();
    const std::string elsewhere = WideText::toUtf8(_wgetenv(L"TEMP"));

    ASSERT_TRUE(::SetCurrentDirectoryW(system));
    appInfo.settleStartFolder();
    EXPECT_EQ(appInfo.workingFolder(), appInfo.programFolder());

    ASSERT_TRUE(::SetCurrentDirectoryW(WideText::fromUtf8(elsewhere).c_str()));
    appInfo.settleStartFolder();
    EXPECT_EQ(appInfo.workingFolder(), elsewhere);
    ::SetCurrentDirectoryW(WideText::fromUtf8(before).c_str());
}

} // namespace
