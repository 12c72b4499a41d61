#include "ZipReadBack.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace ZipReadBack {

namespace {

/// `text` in single quotes for the shell (no test path holds one).
std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

/// What a shell command writes (errors included); throws unless it exits with 0.
std::string run(const std::string& command)
{
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[65536];
    while (const std::size_t got = pipe ? std::fread(buffer, 1, sizeof buffer, pipe) : 0)
        output.append(buffer, got);
    const int status = pipe ? ::pclose(pipe) : -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(command + " failed: " + output);
    return output;
}

} // namespace

std::vector<Entry> entries(const std::string& archive)
{
    std::istringstream in(run("PYTHONIOENCODING=utf-8 python3 " + quoted(ZIPCHECK_SCRIPT) + " " + quoted(archive)));
    std::vector<Entry> result;
    for (Entry entry;
         std::getline(in, entry.name, '\t') && in >> entry.flags >> entry.size >> entry.host >> entry.method;
         in.ignore())
        result.push_back(entry);
    return result;
}

std::multiset<std::string> unzipNames(const std::string& archive)
{
    std::istringstream in(run("unzip -Z1 " + quoted(archive)));
    std::multiset<std::string> names;
    for (std::string line; std::getline(in, line);)
        names.insert(line);
    return names;
}

void unzipTest(const std::string& archive)
{
    run("unzip -tq " + quoted(archive));
    run("7z t -bd " + quoted(archive));
    run("python3 " + quoted(ZIPCHECK_SCRIPT) + " --test " + quoted(archive));
}

void extract(const std::string& archive, const std::string& folder, const std::string& unpacker)
{
    run(unpacker == "7z" ? "7z x -y -bd -o" + quoted(folder) + " " + quoted(archive)
                         : "unzip -q -o " + quoted(archive) + " -d " + quoted(folder));
}

} // namespace ZipReadBack
