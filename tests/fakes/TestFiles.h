#pragma once

#include <string>

/// Small helpers for the real files of a test.
namespace TestFiles {
void write(const std::string& path, const std::string& content);
std::string read(const std::string& path);
/// Creates the folder and its missing parents.
void makeFolder(const std::string& path);
bool exists(const std::string& path);
} // namespace TestFiles
