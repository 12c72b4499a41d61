#include "ZipReadBack.h"

#include "TestFiles.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace ZipReadBack {

namespace fs = std::filesystem;

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::string run(const std::string& command, int* exitCode)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[65536];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    const int status = ::pclose(pipe);
    if (exitCode)
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

namespace {

std::string python(const std::string& arguments, int* exitCode = nullptr)
{
    return run("PYTHONIOENCODING=utf-8 python3 " + quoted(ZIPCHECK_SCRIPT) + " " + arguments + " 2>&1", exitCode);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

} // namespace

std::vector<Entry> entries(const std::string& archive)
{
    int exitCode = 0;
    const std::string output = python("entries " + quoted(archive), &exitCode);
    if (exitCode != 0)
        throw std::runtime_error("zipfile cannot read " + archive + ": " + output);
    std::vector<Entry> result;
    for (const std::string& line : lines(output)) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        if (fields.size() != 7)
            throw std::runtime_error("unexpected zipfile line: " + line);
        result.push_back(Entry{fields[0], static_cast<unsigned>(std::stoul(fields[1])), std::stoi(fields[2]),
                               std::stoull(fields[3]), fields[4],
                               static_cast<unsigned>(std::stoul(fields[5], nullptr, 8)), std::stoi(fields[6])});
    }
    return result;
}

std::vector<std::string> unzipNames(const std::string& archive)
{
    return lines(run("unzip -Z1 " + quoted(archive) + " 2>&1"));
}

bool unzipTestPasses(const std::string& archive)
{
    int exitCode = 0;
    run("unzip -tq " + quoted(archive) + " >/dev/null 2>&1", &exitCode);
    return exitCode == 0;
}

bool pythonTestPasses(const std::string& archive)
{
    int exitCode = 0;
    return python("test " + quoted(archive), &exitCode) == "OK\n" && exitCode == 0;
}

void extractWithPython(const std::string& archive, const std::string& folder)
{
    int exitCode = 0;
    const std::string output = python("extract " + quoted(archive) + " " + quoted(folder), &exitCode);
    if (exitCode != 0)
        throw std::runtime_error("zipfile cannot unpack " + archive + ": " + output);
}

void extractWithUnzip(const std::string& archive, const std::string& folder)
{
    int exitCode = 0;
    const std::string output = run("unzip -q -o " + quoted(archive) + " -d " + quoted(folder) + " 2>&1", &exitCode);
    if (exitCode != 0)
        throw std::runtime_error("unzip cannot unpack " + archive + ": " + output);
}

std::map<std::string, std::string> treeContents(const std::string& folder)
{
    std::map<std::string, std::string> result;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            result[relative] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
        else if (entry.is_directory())
            result[relative] = "<folder>";
        else
            result[relative] = TestFiles::read(entry.path().string());
    }
    return result;
}

} // namespace ZipReadBack
