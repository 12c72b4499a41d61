#include "TestChild.h"

#include "WideText.h"
#include "WindowsCommandLine.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

long currentProcessId()
{
    return static_cast<long>(::GetCurrentProcessId());
}

bool startCopyOfSelf(const std::vector<std::string>& arguments)
{
    wchar_t self[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4)
        return false;
    std::wstring commandLine = WideText::fromUtf8(WindowsCommandLine::build(WideText::toUtf8(self), arguments));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Our output and errors, inherited: the copy holds the same pipe.
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return false;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

// The arguments as the C runtime reads them from the command line, as most programs do.
int wmain(int argc, wchar_t** argv)
{
    // Byte for byte: no "\r" added before "\n".
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(WideText::toUtf8(argv[i]));
    return runTestChild(arguments);
}
