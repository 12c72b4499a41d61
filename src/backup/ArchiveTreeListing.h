#pragma once

#include "FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One thing to go into an archive.
struct ArchiveItem
{
    enum class Kind { Folder, File, Link };
    Kind kind = Kind::File;
    std::size_t source = 0;           ///< which of the archive's source folders it comes from
    std::string path;                 ///< full path on disk
    std::string name;                 ///< name in the archive: "<top>/<relative path>", folders ending in "/"
    std::int64_t modifiedSeconds = 0; ///< seconds since 1970-01-01 UTC
    std::uint32_t mode = 0;           ///< permission bits
    std::uint64_t size = 0;           ///< files: size when listed
    std::string linkTarget;           ///< links: the target as written in the link
};

/// The folder `root` listed for an archive, folders before what they hold, names sorted.
struct ArchiveTreeListing
{
    bool reachable = false;            ///< `root` is a folder that could be read
    std::string error;                 ///< why not, when not reachable
    std::vector<ArchiveItem> items;    ///< the top folder first; empty when not reachable
    std::vector<FileFailure> failures; ///< what was found but cannot go into the archive
};

/// Lists `root` recursively for the archive: the top folder entry `topName` + "/" (no top folder when
/// `topName` is empty: the contents sit at the top of the archive), then every file, subfolder and symbolic
/// link below it. Links are recorded as links and never followed. Devices, pipes and sockets are listed as
/// failures, and so are folders that cannot be read (their entry is kept, empty). Files that are the same as
/// one of `skipPaths` (the archive being written and the one it replaces, when the destination lies inside
/// the source) are left out.
ArchiveTreeListing listTreeForArchive(const FileSystem& fileSystem, const std::string& root, const std::string& topName,
                                      std::size_t source, const std::vector<std::string>& skipPaths);
