#pragma once

#include <string>
#include <vector>

/// Small helpers for the real files of a test.
namespace TestFiles {
void write(const std::string& path, const std::string& content);
std::string read(const std::string& path);
/// Creates the folder and its missing parents.
void makeFolder(const std::string& path);
bool exists(const std::string& path);
/// The names of what `folder` holds, sorted.
std::vector<std::string> names(const std::string& folder);
/// Every file (links too) below `folder`, relative to it with "/" between parts, sorted.
std::vector<std::string> files(const std::string& folder);
/// The full path of the program `name` built beside the tests (".exe" added on Windows).
std::string programBeside(const std::string& name);
} // namespace TestFiles
