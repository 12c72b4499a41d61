#include "TestChild.h"

#include "Utf8Path.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

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
    writeFileWhole(pidFile, std::to_string(currentProcessId()));
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
    writeFileWhole(pidFile + ".starter", std::to_string(currentProcessId()));
    if (!startCopyOfSelf({"hold", pidFile}))
        return 3;
    for (int i = 0; i < 2000 && !std::filesystem::exists(Utf8Path::toPath(pidFile)); ++i)
        std::this_thread::sleep_for(10ms);
    writeOut("started\n");
    if (stay)
        std::this_thread::sleep_for(60s);
    return 0;
}

} // namespace

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
