#pragma once

#include "FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

/// Walks the folder `root` for an archive, a few items at a time, so that what is held at once depends on the
/// depth of the tree and the size of its folders, never on the number of files. The items come in the order of
/// the archive: the top folder entry `topName` + "/" (none when `topName` is empty: the contents sit at the top
/// of the archive), then every file, subfolder and symbolic link below it, each folder before what it holds,
/// names sorted. Links are recorded as links and never followed. Devices, pipes and sockets are listed as
/// failures, and so are folders that cannot be read (their entry is kept, empty). Files that are the same as
/// one of `skipPaths` (the archive being written and the one it replaces, when the destination lies inside
/// the source) are left out, and so is the folder `skipFolder` (the destination, with the earlier backups in it)
/// with everything in it; both are compared by identity, not by how their paths are written.
class ArchiveTreeWalker
{
public:
    /// Looks at `root` and reads its top folder: whether it can be archived is known from here on.
    ArchiveTreeWalker(const FileSystem& fileSystem, const std::string& root, const std::string& topName,
                      std::size_t source, const std::vector<std::string>& skipPaths,
                      const std::string& skipFolder = {});

    /// `root` is a folder that could be read.
    bool reachable() const { return m_error.empty(); }
    /// Why not, when not reachable.
    const std::string& error() const { return m_error; }

    /// Puts the next items (up to `count`; fewer only at the end) in `items`, emptied first, and adds what was
    /// found but cannot go into the archive to `failures`. False when nothing was left.
    bool next(std::vector<ArchiveItem>& items, std::size_t count, std::vector<FileFailure>& failures);

private:
    /// A folder being walked: its entries, and how far.
    struct Level
    {
        std::string path;
        std::string prefix; ///< its name in the archive, with "/"; "" at the top without a top folder
        std::vector<FolderEntry> entries;
        std::size_t next = 0;
    };
    struct Skip
    {
        std::string name;
        std::string path;
    };

    /// Reads the folder `path` and walks it next; the reason when it cannot be read at all.
    std::optional<std::string> enter(const std::string& path, const std::string& prefix,
                                     std::vector<FileFailure>& failures);
    bool skipped(const std::string& path, const std::string& name) const;

    const FileSystem& m_fileSystem;
    std::size_t m_source;
    std::string m_error;
    std::vector<Skip> m_skips;
    std::optional<FileIdentity> m_skipFolder;
    std::vector<Level> m_levels;
    std::vector<ArchiveItem> m_pending;  ///< the top folder entry, until it is asked for
    std::vector<FileFailure> m_failures; ///< found in the top folder, until items are asked for
};
