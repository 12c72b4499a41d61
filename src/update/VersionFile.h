#pragma once

#include <cstdint>
#include <optional>
#include <string>

class FileSystem;

/// The version number a version file holds: its first field (up to the first comma or line end), leading and
/// trailing blanks and tabs allowed, an optional sign, decimal digits, within the signed 32-bit range. A
/// leading UTF-8 byte order mark is passed over. Nothing when the text is empty or the field is no such
/// number ("1.0", "10a", "99999999999").
std::optional<std::int32_t> parseVersionNumber(const std::string& content);

/// parseVersionNumber of the file at `path`; nothing when it cannot be read.
std::optional<std::int32_t> readVersionFile(const FileSystem& fileSystem, const std::string& path);
