#pragma once

#include "TestFiles.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

/// An archive as independent readers see it: unzip (Info-ZIP) and Python's zipfile, never our own code.
namespace ZipReadBack {

/// `text` in single quotes for the shell (no test path holds one).
inline std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

/// What a shell command writes (errors included); throws unless it exits with 0.
inline std::string run(const std::string& command)
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

struct Entry
{
    std::string name;
    unsigned flags = 0;
    std::uint64_t size = 0;
};

/// The entries as Python's zipfile lists them, in archive order.
inline std::vector<Entry> entries(const std::string& archive)
{
    std::istringstream in(run("PYTHONIOENCODING=utf-8 python3 " + quoted(ZIPCHECK_SCRIPT) + " " + quoted(archive)));
    std::vector<Entry> result;
    for (Entry entry; std::getline(in, entry.name, '\t') && in >> entry.flags >> entry.size; in.ignore())
        result.push_back(entry);
    return result;
}

/// The names as `unzip -Z1` lists them (a name written twice is there twice).
inline std::multiset<std::string> unzipNames(const std::string& archive)
{
    std::istringstream in(run("unzip -Z1 " + quoted(archive)));
    std::multiset<std::string> names;
    for (std::string line; std::getline(in, line);)
        names.insert(line);
    return names;
}

/// Throws unless `unzip -t` finds the archive and the data of every entry sound.
inline void unzipTest(const std::string& archive)
{
    run("unzip -tq " + quoted(archive));
}

/// Unpacks with unzip into `folder` (which checks every CRC): links come out as links, times and permissions as
/// archived.
inline void extract(const std::string& archive, const std::string& folder)
{
    run("unzip -q -o " + quoted(archive) + " -d " + quoted(folder));
}

/// Every file, folder and link below `folder`: relative path -> content, "<folder>" or "<link to TARGET>".
inline std::map<std::string, std::string> treeContents(const std::string& folder)
{
    std::map<std::string, std::string> result;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        result[std::filesystem::relative(entry.path(), folder).string()] =
            entry.is_symlink()     ? "<link to " + std::filesystem::read_symlink(entry.path()).string() + ">"
            : entry.is_directory() ? "<folder>"
                                   : TestFiles::read(entry.path().string());
    }
    return result;
}

} // namespace ZipReadBack
