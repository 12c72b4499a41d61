#pragma once

#include "FileSystem.h"

/// The disk through the wide Win32 API. Every path goes to Windows in the "\\?\" form, so trees deeper than 260
/// characters are handled like any other. Copies go through a temporary file (TemporaryNames) in the target folder,
/// read and written in pieces of 1 MiB (contents, modification time and attributes, read-only included; not
/// CopyFileExW, whose progress and cancelling Wine leaves out, so that what the tests check is what runs),
/// flushed to the disk and moved over the target with MoveFileExW when complete; a read-only earlier copy is
/// replaced all the same.
/// Symbolic links and junctions are described and copied as what they are, never followed; other reparse
/// points (files kept by a cloud service, deduplicated files) are files and folders like any other. A file
/// that another program holds locked is reported as in use, by name.
class WinFileSystem : public FileSystem
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
    void syncFolder(const std::string& folder) override;
    Result copyLink(const std::string& source, const std::string& target) override;
    TreeCopyOutcome copyTreeContents(const std::string& source, const std::string& target,
                                     const ProgressCallback& progress) override;
    std::vector<std::string> listFiles(const std::string& folder) const override;
    std::optional<std::string> readFile(const std::string& path) const override;
    Result writeFileAtomically(const std::string& path, const std::string& content) override;
    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) const override;
    std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) override;
    /// A folder's entry for a file held open for writing shows its size and time only now and then.
    bool listingIsCurrent() const override { return false; }
};
