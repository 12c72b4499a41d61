#pragma once

#include <string>

class FileSystem;

/// True when a file (not a folder) of that path exists.
bool FileExists(const FileSystem& fileSystem, const std::string& path);

/// True when `path`, with blanks removed at both ends, names an existing folder.
bool FolderExists(const FileSystem& fileSystem, const std::string& path);
