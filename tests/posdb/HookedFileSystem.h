#pragma once

#include "PosixFileSystem.h"

#include <functional>
#include <optional>

/// The real disk, with a hook in front of every single-file copy: it may change the source (a database
/// written to while it is read) or stand in for the copy with a failure.
class HookedFileSystem : public FileSystem
{
public:
    /// Called before each copyFile; a result returned here is returned instead of copying.
    std::function<std::optional<Result>(const std::string& source, const std::string& target)> beforeCopy;

    bool exists(const std::string& path) const override { return m_disk.exists(path); }
    bool isDirectory(const std::string& path) const override { return m_disk.isDirectory(path); }
    bool isRegularFile(const std::string& path) const override { return m_disk.isRegularFile(path); }
    std::optional<FileStat> statFile(const std::string& path) const override { return m_disk.statFile(path); }
    Result createDirectory(const std::string& path) override { return m_disk.createDirectory(path); }
    Result removeTree(const std::string& path, RemoveMode mode) override { return m_disk.removeTree(path, mode); }
    Result removeFile(const std::string& path, RemoveMode mode) override { return m_disk.removeFile(path, mode); }
    Result copyFile(const std::string& source, const std::string& target) override
    {
        if (beforeCopy) {
            if (std::optional<Result> instead = beforeCopy(source, target))
                return *instead;
        }
        return m_disk.copyFile(source, target);
    }
    TreeCopyOutcome copyTreeContents(const std::string& source, const std::string& target,
                                     const ProgressCallback& progress) override
    {
        return m_disk.copyTreeContents(source, target, progress);
    }
    std::vector<std::string> listFiles(const std::string& folder) const override { return m_disk.listFiles(folder); }
    std::optional<std::string> readFile(const std::string& path) const override { return m_disk.readFile(path); }
    Result writeFileAtomically(const std::string& path, const std::string& content) override
    {
        return m_disk.writeFileAtomically(path, content);
    }

private:
    PosixFileSystem m_disk;
};
