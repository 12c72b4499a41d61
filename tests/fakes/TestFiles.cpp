#include "TestFiles.h"

#include "Utf8Path.h"

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

} // namespace TestFiles
