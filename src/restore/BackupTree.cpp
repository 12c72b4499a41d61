#include "BackupTree.h"

#include "Paths.h"
#include "RestoreTexts.h"

namespace {

std::string lastPart(const std::string& relative)
{
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string joinRelative(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "/" + name;
}

} // namespace

BackupTree::BackupTree(const FileSystem& fileSystem, BackupSource source)
    : m_fileSystem(fileSystem), m_source(std::move(source))
{}

std::string BackupTree::locate(const std::string& relative) const
{
    if (m_source.archive)
        return m_source.top.empty() ? relative : relative.empty() ? m_source.top : m_source.top + "/" + relative;
    std::string path = m_source.place;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        path = Paths::join(path, relative.substr(start, end - start));
        start = end + 1;
    }
    return path;
}

std::optional<BackupItem> BackupTree::fromArchive(const ArchiveEntry& entry) const
{
    const std::size_t cut = m_source.top.empty() ? 0 : m_source.top.size() + 1;
    if (entry.path.size() < cut)
        return std::nullopt;
    const std::string relative = entry.path.substr(cut);
    return BackupItem{lastPart(relative), relative, entry.folder, entry.size, entry.modifiedNs, entry.timeStepNs};
}

BackupFolderContents BackupTree::children(const std::string& relative) const
{
    BackupFolderContents contents;
    if (m_source.archive) {
        for (const ArchiveEntry* entry : m_source.archive->children(locate(relative)))
            if (std::optional<BackupItem> item = fromArchive(*entry))
                contents.items.push_back(std::move(*item));
        return contents;
    }
    const std::string folder = locate(relative);
    FolderListing listing = m_fileSystem.listFolder(folder);
    contents.error = listing.error;
    contents.skipped = std::move(listing.unexamined);
    for (const FolderEntry& entry : listing.entries) {
        if (entry.kind != FolderEntry::Kind::File && entry.kind != FolderEntry::Kind::Folder) {
            contents.skipped.push_back({Paths::join(folder, entry.name), RestoreTexts::linkNotRestored});
            continue;
        }
        const bool isFolder = entry.kind == FolderEntry::Kind::Folder;
        contents.items.push_back(
            {entry.name, joinRelative(relative, entry.name), isFolder, isFolder ? 0 : entry.size, entry.modifiedNs, 1});
    }
    return contents;
}

std::optional<BackupItem> BackupTree::item(const std::string& relative) const
{
    if (m_source.archive) {
        if (relative.empty())
            return BackupItem{m_source.name, "", true, 0, 0, 1};
        const ArchiveEntry* entry = m_source.archive->find(locate(relative));
        return entry ? fromArchive(*entry) : std::nullopt;
    }
    const std::optional<FolderEntry> entry = m_fileSystem.examine(locate(relative), false);
    if (!entry || (entry->kind != FolderEntry::Kind::File && entry->kind != FolderEntry::Kind::Folder))
        return std::nullopt;
    const bool isFolder = entry->kind == FolderEntry::Kind::Folder;
    return BackupItem{relative.empty() ? m_source.name : lastPart(relative),
                      relative,
                      isFolder,
                      isFolder ? 0 : entry->size,
                      entry->modifiedNs,
                      1};
}
