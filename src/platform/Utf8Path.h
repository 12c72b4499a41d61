#pragma once

#include <filesystem>
#include <string>

/// Our paths are UTF-8 text everywhere; std::filesystem::path holds them in the platform's own form (UTF-16 on
/// Windows). A path built from a plain std::string would be read in the ANSI code page there and lose every
/// letter outside it, so paths cross over only through these two.
namespace Utf8Path {

std::filesystem::path toPath(const std::string& utf8);
std::string fromPath(const std::filesystem::path& path);

} // namespace Utf8Path
