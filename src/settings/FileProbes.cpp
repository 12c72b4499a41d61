#include "FileProbes.h"

#include "FileSystem.h"

bool FileExists(const FileSystem& fileSystem, const std::string& path)
{
    return !path.empty() && fileSystem.isRegularFile(path);
}

bool FolderExists(const FileSystem& fileSystem, const std::string& path)
{
    const auto start = path.find_first_not_of(' ');
    if (start == std::string::npos)
        return false;
    const auto end = path.find_last_not_of(' ');
    return fileSystem.isDirectory(path.substr(start, end - start + 1));
}
