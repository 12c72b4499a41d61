#pragma once

#include "FileSystem.h"

#include <string>

/// The recursive copy behind FileSystem::copyTreeContents, the same on every platform, over the operations of
/// `fileSystem`: the walk (folders, links) runs on the calling thread; regular files go to a few worker threads,
/// because with many small files the time goes into waiting for the disk, and several files in flight keep it
/// busy. Each file goes through `fileSystem.copyFile` (temporary name, then rename), each link through
/// `copyLink`. A folder that is `target` itself, or the folder `target` lies in (the destination lying inside the
/// source, with the earlier backups it holds), is left out, compared by identity (not by how the path is written).
/// A file whose copy makes no progress for `fileSystem.stallLimit()` is given up (see StallWatch) and reported;
/// another thread takes the place of the one it holds. `progress` is called after every file and as the bytes of
/// each file go, one call at a time, from the calling thread or a worker; never after this function returned.
/// `fileSystem` must outlive every copy given up (the program's own lives as long as the program).
TreeCopyOutcome copyTreeWith(FileSystem& fileSystem, const std::string& source, const std::string& target,
                             const FileSystem::ProgressCallback& progress);

/// Copies one file as `fileSystem.copyFile` does, with the same time limit as copyTreeWith: a copy that makes no
/// progress for `fileSystem.stallLimit()` is given up and fails with a reason that says so.
Result copyFileWithTimeLimit(FileSystem& fileSystem, const std::string& source, const std::string& target);

/// The reason given for a file whose reading stood still for `limit`.
std::string stalledReadReason(const std::string& path, std::chrono::milliseconds limit);

/// The reason given for the copy of `path` that waited for the writing through of its batch, which stood still for
/// `limit` (and longer for a large batch).
std::string stalledWriteReason(const std::string& path, std::chrono::milliseconds limit);
