#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// An archive as an independent reader sees it: unzip (Info-ZIP) and Python's zipfile, never our own code.
namespace ZipReadBack {

struct Entry
{
    std::string name;
    unsigned flags = 0;
    int method = 0; ///< 0 stored, 8 deflated
    std::uint64_t size = 0;
    std::string localTime; ///< "yyyy-mm-dd hh:mm:ss", from the DOS date
    unsigned mode = 0;     ///< Unix type and permission bits
    int hostSystem = 0;    ///< 3 = Unix
};

/// The entries as Python's zipfile lists them, in archive order.
std::vector<Entry> entries(const std::string& archive);
/// The names as `unzip -Z1` lists them.
std::vector<std::string> unzipNames(const std::string& archive);
/// True when `unzip -tq` finds the archive and every entry's data sound.
bool unzipTestPasses(const std::string& archive);
/// True when Python's zipfile unpacks every entry with the right CRC.
bool pythonTestPasses(const std::string& archive);
/// Unpacks with Python's zipfile into `folder`.
void extractWithPython(const std::string& archive, const std::string& folder);
/// Unpacks with unzip into `folder` (symbolic links come out as links).
void extractWithUnzip(const std::string& archive, const std::string& folder);

/// Every file and folder below `folder`: relative path -> content ("<folder>" for folders).
std::map<std::string, std::string> treeContents(const std::string& folder);

/// Output of a shell command; `exitCode` receives its exit status.
std::string run(const std::string& command, int* exitCode = nullptr);
/// `text` quoted for the shell.
std::string quoted(const std::string& text);

} // namespace ZipReadBack
