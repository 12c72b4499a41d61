#pragma once

#include <string>

/// Symbolic links for tests.
namespace TestLinks {

/// Makes `link` a symbolic link to `target` (written as given; `folder`: it points to a folder). False where
/// this platform makes none: Wine 8 answers CreateSymbolicLinkW with success and makes nothing.
bool make(const std::string& target, const std::string& link, bool folder);

/// The target of the link `link` as written in it; "" when it is no link.
std::string targetOf(const std::string& link);

} // namespace TestLinks
