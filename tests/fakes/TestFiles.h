#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// A fresh folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    /// path() + separator + `relative`, whose "/" become this platform's separators.
    std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};

/// Small helpers for the real files of a test.
namespace TestFiles {
/// `path` with every "/" as this platform's separator.
std::string native(std::string path);
void write(const std::string& path, const std::string& content);
std::string read(const std::string& path);
/// Creates the folder and its missing parents.
void makeFolder(const std::string& path);
bool exists(const std::string& path);
/// The names of what `folder` holds, sorted.
std::vector<std::string> names(const std::string& folder);
/// Every file (links too) below `folder`, relative to it with "/" between parts, sorted.
std::vector<std::string> files(const std::string& folder);
/// Every file, folder and link below `folder`: relative path ("/" between parts) -> content, "<folder>" or
/// "<link to TARGET>".
std::map<std::string, std::string> tree(const std::string& folder);
/// The full path of the program `name` built beside the tests (".exe" added on Windows).
std::string programBeside(const std::string& name);
/// Makes `link` a symbolic link to `target` (written as given; `folder`: it points to a folder). False where
/// this platform makes none: Wine 8 answers CreateSymbolicLinkW with success and makes nothing.
bool makeLink(const std::string& target, const std::string& link, bool folder);
/// Sets the modification time of `path` to `seconds` since 1970 (std::filesystem cannot go past the year 2262).
void setModified(const std::string& path, std::int64_t seconds);
/// The target of the link `link` as written in it; "" when it is no link.
std::string linkTarget(const std::string& link);
/// `size` bytes that do not compress: the same for the same `seed`, others for another.
std::string noise(std::size_t size, unsigned seed = 7);
} // namespace TestFiles
