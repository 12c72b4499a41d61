#pragma once

#include <string>

/// Path rules of this platform. Folders are written without a trailing separator, except a root ("/", "C:\").
/// On Windows both "\" and "/" separate components (what Windows itself accepts), "C:\" and "C:" are the root
/// of a drive and "\\computer\share" the root of a network share.
namespace Paths {

/// The separator this platform writes between path components.
#ifdef _WIN32
inline constexpr char separator = '\\';
#else
inline constexpr char separator = '/';
#endif

/// True for a character that separates path components here.
constexpr bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

/// `folder` + separator + `name`; no doubled separator when `folder` already ends in one.
std::string join(const std::string& folder, const std::string& name);

/// The text after the last separator ("" when the path ends in a separator);
/// the whole path when it has no separator.
std::string lastComponent(const std::string& path);

/// The folder `path` lies in: the path without its last component and the separators before it, a root written
/// with its separator ("/a" gives "/", "C:\a" gives "C:\"). "" for a root and for a path without a separator.
std::string parent(const std::string& path);

/// True when the path holds at least one separator.
bool hasSeparator(const std::string& path);

/// True for a path that does not count from a folder: "/..."; on Windows also "C:\...", "C:/...", "C:",
/// "\\computer\share\..." and "\..." (from the root of the current drive).
bool isAbsolute(const std::string& path);

/// The name a root goes by, for naming its backup: on Windows the drive letter of "D:\" or "D:" ("D") and the
/// share of "\\computer\share" or "\\computer\share\" ("share"), also when written "\\?\D:\", "\\.\D:\" or
/// "\\?\UNC\computer\share"; "" for anything that is not such a root.
std::string rootName(const std::string& path);

} // namespace Paths
