#pragma once

#include <string>

/// Path rules of this platform. Folders are written without a trailing separator,
/// except the root of the file system ("/").
namespace Paths {

/// The separator between path components on this platform.
inline constexpr char separator = '/';

/// `folder` + separator + `name`; no doubled separator when `folder` already ends in one.
std::string join(const std::string& folder, const std::string& name);

/// The text after the last separator ("" when the path ends in a separator);
/// the whole path when it has no separator.
std::string lastComponent(const std::string& path);

/// True when the path holds at least one separator.
bool hasSeparator(const std::string& path);

} // namespace Paths
