#include "TestFiles.h"

#include "Paths.h"
#include "SystemAppInfo.h"
#include "Utf8Path.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace TestFiles {

void write(const std::string& path, const std::string& content)
{
    const std::filesystem::path file = Utf8Path::toPath(path);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string read(const std::string& path)
{
    std::ifstream in(Utf8Path::toPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void makeFolder(const std::string& path)
{
    std::filesystem::create_directories(Utf8Path::toPath(path));
}

bool exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(Utf8Path::toPath(path), error));
}

std::vector<std::string> names(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(Utf8Path::toPath(folder)))
        found.push_back(Utf8Path::fromPath(entry.path().filename()));
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> files(const std::string& folder)
{
    std::vector<std::string> found;
    const std::filesystem::path root = Utf8Path::toPath(folder);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (!entry.is_directory() || entry.is_symlink()) {
            std::string relative = Utf8Path::fromPath(std::filesystem::relative(entry.path(), root));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            found.push_back(relative);
        }
    std::sort(found.begin(), found.end());
    return found;
}

std::string programBeside(const std::string& name)
{
#ifdef _WIN32
    return Paths::join(SystemAppInfo().programFolder(), name + ".exe");
#else
    return Paths::join(SystemAppInfo().programFolder(), name);
#endif
}

} // namespace TestFiles
