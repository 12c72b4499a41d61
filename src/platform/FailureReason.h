#pragma once

#include <string>

/// The failures a user meets most often, told apart by each platform from its own error codes.
enum class FailureKind {
    Other,        ///< anything else: the system's own words are shown
    Missing,      ///< the file or folder is not there
    NoPermission, ///< access is denied (permissions, a write-protected disk)
    DiskFull,     ///< no room left on the disk (or over the user's quota)
    InUse,        ///< another program holds the file locked
    Unreachable   ///< the network share, computer or disk cannot be reached
};

namespace FailureReason {

/// The one-line reason a file operation on `path` failed, as the user reads it: for the common kinds the path
/// and words in the window's language ("\"D:\\Kopije\": ne postoji"); for the rest `what` (what was being
/// done), the path and the system's own text (`systemText`), since no translation of ours would be better.
std::string describe(const std::string& what, const std::string& path, FailureKind kind, const std::string& systemText);

/// The words for a common kind ("ne postoji", "nema dozvole za pristup", ...); "" for FailureKind::Other.
const char* words(FailureKind kind);

} // namespace FailureReason
