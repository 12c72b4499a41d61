#pragma once

#include "FileSystem.h"

/// The disk through POSIX calls. Copies go through a temporary file (TemporaryNames) in the target folder, written
/// with copy_file_range (plain reads where it cannot), synced (in a tree copy, small files a batch at a time with
/// syncfs), and renamed over the target when complete; syncFolder makes the renames durable (fsync of the folder).
class PosixFileSystem : public FileSystem
{
public:
    bool exists(const std::string& path) const override;
    bool isDirectory(const std::string& path) const override;
    bool isRegularFile(const std::string& path) const override;
    std::optional<FileStat> statFile(const std::string& path) const override;
    std::optional<FolderEntry> examine(const std::string& path, bool followLinks) const override;
    std::optional<FileIdentity> identity(const std::string& path) const override;
    FolderListing listFolder(const std::string& folder) const override;
    Result createDirectory(const std::string& path) override;
    Result removeTree(const std::string& path, RemoveMode mode) override;
    Result removeFile(const std::string& path, RemoveMode mode) override;
    Result rename(const std::string& from, const std::string& to) override;
    Result setModifiedTime(const std::string& path, std::int64_t modifiedNs) override;
    Result copyFile(const std::string& source, const std::string& target, const CopyCheck& check = {}) override;
    /// Copies smaller than 8 MiB on the disk of `folder` are written through together, by one syncfs per batch.
    std::unique_ptr<CopyBatch> startCopyBatch(const std::string& folder) override;
    void syncFolder(const std::string& folder) override;
    Result copyLink(const std::string& source, const std::string& target) override;
    TreeCopyOutcome copyTreeContents(const std::string& source, const std::string& target,
                                     const ProgressCallback& progress) override;
    std::vector<std::string> listFiles(const std::string& folder) const override;
    std::optional<std::string> readFile(const std::string& path) const override;
    Result writeFileAtomically(const std::string& path, const std::string& content) override;
    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) const override;
    std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) override;
    /// True on the file systems of local disks (ext2-4, XFS, Btrfs, F2FS, FAT, exFAT, NTFS, ZFS, overlay); false on
    /// shares, FUSE mounts, memory file systems and whatever this list does not know.
    bool readsAheadCheaply(const std::string& folder) const override;
    /// Opens the file without waiting on it and asks the kernel to read its first `size` bytes ahead.
    void readSoon(const std::string& path, std::uint64_t size) const override;
};
