#pragma once

#include <string>

class FileSystem;

/// What runs that were cut off (a power cut, an ended program) leave in the destination, and how a later run
/// clears it. Temporary files (TemporaryNames) carry the process that writes them. A copy-mode run writes its
/// temporary files all over the tree of a backup folder, so it also marks that folder, with the empty file
/// ".<folder>.kopirko-run-<process>" beside it, while it writes there: a later run then knows which trees to look
/// through without reading every backup. Only the leftovers of processes that have ended are touched: never a
/// file that this or another running program is writing.
namespace RunLeftovers {

/// Removes from `folder` (the destination) our temporary files whose process has ended and, for every mark of a
/// process that has ended, our temporary files of ended processes below the marked backup folder, then the mark.
/// Nothing that cannot be removed stops the run.
void removeDead(FileSystem& fileSystem, const std::string& folder);

/// Marks `backupFolder` as being written by this process; the mark's path, "" when none could be made.
std::string mark(FileSystem& fileSystem, const std::string& backupFolder);

} // namespace RunLeftovers
