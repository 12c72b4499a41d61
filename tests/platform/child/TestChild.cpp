// A small program the platform tests start, to see from the inside what a started program gets: its arguments,
// its input, where its output goes, what becomes of the programs it starts. Its first argument says what to do
// (see runTestChild).
#include "TestChild.h"

#include "ProcessIds.h"
#include "Utf8Path.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>
#ifdef _WIN32
#include "WideText.h"
#include "WindowsCommandLine.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <spawn.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

using namespace std::chrono_literals;

/// Starts this program again with `arguments`, with this process's output as its output, without waiting.
bool startCopyOfSelf(const std::vector<std::string>& arguments)
{
#ifdef _WIN32
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
#else
    std::vector<char*> argv{const_cast<char*>("kopirko_test_child")};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    // Output and errors are inherited as they are.
    return ::posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0;
#endif
}

/// Written whole under another name first, so that whoever waits for the file never reads half of it.
void writeFileWhole(const std::string& path, const std::string& content)
{
    {
        std::ofstream out(Utf8Path::toPath(path + ".part"), std::ios::binary);
        out << content;
    }
    std::filesystem::rename(Utf8Path::toPath(path + ".part"), Utf8Path::toPath(path));
}

bool writeOut(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

/// Writes a dot every 100 ms until nobody reads its output any more (at most ten minutes, longer than any test
/// may take): a runner that waits for the end of the output waits for good.
int hold(const std::string& pidFile)
{
    writeFileWhole(pidFile, std::to_string(ProcessIds::current()));
    for (int i = 0; i < 6000; ++i) {
        if (!writeOut("."))
            return 0;
        std::this_thread::sleep_for(100ms);
    }
    return 0;
}

/// Starts "hold", waits until it runs, says so, then ends or stays for a minute.
int starter(const std::string& pidFile, bool stay)
{
    writeFileWhole(pidFile + ".starter", std::to_string(ProcessIds::current()));
    if (!startCopyOfSelf({"hold", pidFile}))
        return 3;
    for (int i = 0; i < 2000 && !std::filesystem::exists(Utf8Path::toPath(pidFile)); ++i)
        std::this_thread::sleep_for(10ms);
    writeOut("started\n");
    if (stay)
        std::this_thread::sleep_for(60s);
    return 0;
}

/// args FILE ARG...       writes every ARG, each followed by a NUL, into FILE
/// echo CODE ARG...       reads its input to the end, writes "[ARG]" for each and "(read N bytes)" to its output,
///                        "(errors)" to its errors, and ends with CODE
/// flood BYTES            writes floodPattern(BYTES) to its output, then "end\n" to its errors
/// hold PIDFILE           see hold()
/// starter PIDFILE exit|stay   see starter()
int runTestChild(const std::vector<std::string>& arguments)
{
    const std::string mode = arguments.empty() ? std::string() : arguments[0];
    if (mode == "args" && arguments.size() >= 2) {
        std::string content;
        for (size_t i = 2; i < arguments.size(); ++i)
            content += arguments[i] + '\0';
        writeFileWhole(arguments[1], content);
        return 0;
    }
    if (mode == "echo" && arguments.size() >= 2) {
        size_t read = 0;
        for (char buffer[256]; const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);)
            read += got;
        for (size_t i = 2; i < arguments.size(); ++i)
            writeOut("[" + arguments[i] + "]");
        writeOut("(read " + std::to_string(read) + " bytes)");
        std::fputs("(errors)", stderr);
        std::fflush(stderr);
        return std::stoi(arguments[1]);
    }
    if (mode == "flood" && arguments.size() == 2) {
        if (!writeOut(floodPattern(std::stoul(arguments[1]))))
            return 4;
        std::fputs("end\n", stderr);
        std::fflush(stderr);
        return 0;
    }
    if (mode == "hold" && arguments.size() == 2)
        return hold(arguments[1]);
    if (mode == "starter" && arguments.size() == 3)
        return starter(arguments[1], arguments[2] == "stay");
    std::fputs("kopirko_test_child: unknown request\n", stderr);
    return 2;
}

} // namespace

#ifdef _WIN32
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
#else
int main(int argc, char** argv)
{
    return runTestChild(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
