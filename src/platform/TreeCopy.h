#pragma once

#include "FileSystem.h"

#include <string>

/// The recursive copy behind FileSystem::copyTreeContents, the same on every platform, over the operations of
/// `fileSystem`: the walk (folders, links) runs on the calling thread; regular files go to a few worker threads,
/// because with many small files the time goes into waiting for the disk, and several files in flight keep it
/// busy. Each file goes through `fileSystem.copyFile` (temporary name, then rename), each link through
/// `copyLink`. A folder that is `target` itself (the backup lying inside the source) is not copied into itself.
/// `progress` is called after every file, under a lock, from the calling thread or a worker.
TreeCopyOutcome copyTreeWith(FileSystem& fileSystem, const std::string& source, const std::string& target,
                             const FileSystem::ProgressCallback& progress);
