#pragma once

#include "BackupSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// A file or folder of a backup.
struct BackupItem
{
    std::string name;
    std::string relative; ///< its path within the backup, parts joined by "/"
    bool folder = false;
    std::uint64_t size = 0;      ///< files: bytes
    std::int64_t modifiedNs = 0; ///< nanoseconds since 1970-01-01 UTC
    std::int64_t timeStepNs = 1; ///< how precise the backup keeps that time
};

/// What a folder of a backup holds.
struct BackupFolderContents
{
    std::vector<BackupItem> items;    ///< folders and files, sorted by name
    std::vector<FileFailure> skipped; ///< links and other things that are not restored
    std::string error;                ///< why the folder could not be read, or not whole
};

/// The files and folders of one backup, read a folder at a time: from the disk for a backup folder, from the
/// archive's list for an archive (nothing is unpacked), from the keys of the store for a copy in the store (with the
/// modification times of a folder's files asked for when the folder is read).
class BackupTree
{
public:
    BackupTree(const FileSystem& fileSystem, BackupSource source);

    const BackupSource& source() const { return m_source; }
    /// What the folder `relative` ("" for the backup's top) holds.
    BackupFolderContents children(const std::string& relative) const;
    /// The item at `relative`; nothing when the backup holds none.
    std::optional<BackupItem> item(const std::string& relative) const;
    /// The file or folder `relative` as a full path on the disk (a backup folder's), as its path in the archive, or
    /// as its key in the store.
    std::string locate(const std::string& relative) const;

private:
    std::optional<BackupItem> fromArchive(const ArchiveEntry& entry) const;
    BackupFolderContents storedChildren(const std::string& relative) const;
    std::optional<BackupItem> storedItem(const std::string& relative) const;

    const FileSystem& m_fileSystem;
    BackupSource m_source;
};
