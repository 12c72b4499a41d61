#include "RunLeftovers.h"

#include "FileSystem.h"
#include "Paths.h"
#include "ProcessIds.h"
#include "TemporaryNames.h"

#include <optional>

namespace RunLeftovers {

namespace {

constexpr std::string_view markTag = ".kopirko-run-";

struct Mark
{
    std::string backup; ///< the marked folder's name
    std::uint64_t pid = 0;
};

std::optional<Mark> markOf(const std::string& name)
{
    const auto at = name.rfind(markTag);
    const std::string digits = at == std::string::npos ? std::string() : name.substr(at + markTag.size());
    if (name.empty() || name[0] != '.' || at < 2 || digits.empty() || digits.size() > 19 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return Mark{name.substr(1, at - 1), std::stoull(digits)};
}

bool leftBehind(const FolderEntry& entry)
{
    if (entry.kind != FolderEntry::Kind::File && entry.kind != FolderEntry::Kind::Link)
        return false;
    const std::optional<std::uint64_t> writer = TemporaryNames::writerOf(entry.name);
    return writer && !ProcessIds::running(*writer);
}

/// Removes the temporary files of ended processes in `folder` and below it; links are not followed.
void removeBelow(FileSystem& fileSystem, const std::string& folder)
{
    for (const FolderEntry& entry : fileSystem.listFolder(folder).entries) {
        const std::string path = Paths::join(folder, entry.name);
        if (entry.kind == FolderEntry::Kind::Folder)
            removeBelow(fileSystem, path);
        else if (leftBehind(entry))
            fileSystem.removeFile(path, RemoveMode::Forced);
    }
}

} // namespace

void removeDead(FileSystem& fileSystem, const std::string& folder)
{
    for (const FolderEntry& entry : fileSystem.listFolder(folder).entries) {
        const std::string path = Paths::join(folder, entry.name);
        if (leftBehind(entry)) {
            fileSystem.removeFile(path, RemoveMode::Forced);
        } else if (const std::optional<Mark> found = markOf(entry.name);
                   found && entry.kind == FolderEntry::Kind::File && !ProcessIds::running(found->pid)) {
            removeBelow(fileSystem, Paths::join(folder, found->backup));
            fileSystem.removeFile(path, RemoveMode::Forced);
        }
    }
}

std::string mark(FileSystem& fileSystem, const std::string& backupFolder)
{
    const std::string name = Paths::lastComponent(backupFolder);
    const std::string path = backupFolder.substr(0, backupFolder.size() - name.size()) + "." + name +
                             std::string(markTag) + std::to_string(ProcessIds::current());
    std::string error;
    const std::unique_ptr<OutputFile> file = fileSystem.createFile(path, error);
    if (!file || !file->close())
        return {};
    return path;
}

} // namespace RunLeftovers
