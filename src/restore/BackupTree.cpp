#include "BackupTree.h"

#include "Paths.h"
#include "RestoreTexts.h"
#include "StoreBackups.h"

#include <algorithm>
#include <set>

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
    if (m_source.stored)
        return m_source.stored->key(relative);
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
    if (m_source.stored)
        return storedChildren(relative);
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
    if (m_source.stored)
        return storedItem(relative);
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

BackupFolderContents BackupTree::storedChildren(const std::string& relative) const
{
    BackupFolderContents contents;
    const std::map<std::string, std::uint64_t>& files = m_source.stored->files();
    const std::string under = relative.empty() ? std::string() : relative + "/";
    std::set<std::string> folders;
    std::vector<std::string> filePaths;
    for (auto at = files.lower_bound(under); at != files.end() && at->first.compare(0, under.size(), under) == 0;
         ++at) {
        const std::string rest = at->first.substr(under.size());
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            folders.insert(rest.substr(0, slash));
            continue;
        }
        contents.items.push_back({rest, at->first, false, at->second, 0, 1});
        filePaths.push_back(at->first);
    }
    std::vector<std::int64_t> times;
    if (Result asked = m_source.stored->modificationTimes(filePaths, times); !asked)
        contents.error = asked.error();
    for (std::size_t k = 0; k < times.size(); ++k)
        contents.items[k].modifiedNs = times[k];
    for (const std::string& folder : folders)
        contents.items.push_back({folder, joinRelative(relative, folder), true, 0, 0, 1});
    std::sort(contents.items.begin(), contents.items.end(),
              [](const BackupItem& a, const BackupItem& b) { return a.name < b.name; });
    return contents;
}

std::optional<BackupItem> BackupTree::storedItem(const std::string& relative) const
{
    if (relative.empty() || m_source.stored->isFolder(relative))
        return BackupItem{relative.empty() ? m_source.name : lastPart(relative), relative, true, 0, 0, 1};
    const auto file = m_source.stored->files().find(relative);
    if (file == m_source.stored->files().end())
        return std::nullopt;
    std::vector<std::int64_t> times; // not known when the store did not answer: the restore asks again
    m_source.stored->modificationTimes({relative}, times);
    return BackupItem{lastPart(relative), relative, false, file->second, times.front(), 1};
}
