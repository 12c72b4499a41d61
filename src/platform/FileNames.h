#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

/// The rules of this platform for a name that comes from outside (a row of the server database, an entry of the
/// folder list) when the program makes a file or folder under it: on Windows those of WindowsNames; elsewhere only
/// what would take the name out of its folder.
namespace FileNames {

/// Why `name` cannot be one file or folder directly in a folder here, as a clause in the window's language that
/// follows the name ("sadrzi znak :"); nothing when it can. On Windows WindowsNames::problem(); elsewhere an empty
/// name, "." and "..", and a name holding "/" or NUL.
std::optional<std::string> problem(const std::string& name);

/// The form in which this platform's disks compare names: WindowsNames::comparisonKey() on Windows, the name itself
/// elsewhere. Names with equal keys would be one file or folder.
std::string comparisonKey(const std::string& name);

/// True when `path` is `folder`, a separator and one name for which problem() finds nothing: what is made at
/// `path` lands directly in `folder`, however the system reads the path, never beside or above it. False for an
/// empty `folder`.
bool isDirectlyInside(const std::string& folder, const std::string& path);

/// The longest name a file may have: 255 bytes on the disks of Linux, 255 UTF-16 units on Windows' (NTFS, FAT, exFAT).
inline constexpr std::size_t longest = 255;

/// The length of `name` (UTF-8) in the units `longest` counts.
std::size_t length(std::string_view name);

} // namespace FileNames
