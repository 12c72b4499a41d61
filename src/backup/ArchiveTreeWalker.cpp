#include "ArchiveTreeWalker.h"

#include "Paths.h"

#include <iterator>

namespace {

std::int64_t secondsOf(std::int64_t nanoseconds)
{
    // Floor, not truncation: a time before 1970 stays in its own second.
    return nanoseconds >= 0 ? nanoseconds / 1000000000 : -((-nanoseconds + 999999999) / 1000000000);
}

} // namespace

ArchiveTreeWalker::ArchiveTreeWalker(const FileSystem& fileSystem, const std::string& root, const std::string& topName,
                                     std::size_t source, const std::vector<std::string>& skipPaths,
                                     const std::string& skipFolder)
    : m_fileSystem(fileSystem), m_source(source)
{
    const std::optional<FolderEntry> top = fileSystem.examine(root, true);
    if (!top) {
        const std::string reason = fileSystem.listFolder(root).error;
        m_error = reason.empty() ? "cannot reach \"" + root + "\"" : reason;
        return;
    }
    if (top->kind != FolderEntry::Kind::Folder) {
        m_error = "\"" + root + "\" is not a folder";
        return;
    }
    for (const std::string& skip : skipPaths)
        m_skips.push_back({Paths::lastComponent(skip), skip});
    if (!skipFolder.empty())
        m_skipFolder = fileSystem.identity(skipFolder);
    if (const auto error = enter(root, topName.empty() ? std::string() : topName + "/", m_failures)) {
        m_failures.clear();
        m_error = *error;
        return;
    }
    if (!topName.empty()) {
        ArchiveItem& item = m_pending.emplace_back();
        item.kind = ArchiveItem::Kind::Folder;
        item.source = source;
        item.path = root;
        item.name = topName + "/";
        item.mode = top->mode;
        item.modifiedSeconds = secondsOf(top->modifiedNs);
    }
}

std::optional<std::string> ArchiveTreeWalker::enter(const std::string& path, const std::string& prefix,
                                                    std::vector<FileFailure>& failures)
{
    FolderListing listing = m_fileSystem.listFolder(path);
    if (!listing.ok() && listing.entries.empty() && listing.unexamined.empty())
        return listing.error;
    if (!listing.ok())
        failures.push_back({path, listing.error});
    std::move(listing.unexamined.begin(), listing.unexamined.end(), std::back_inserter(failures));
    if (!listing.entries.empty())
        m_levels.push_back(Level{path, prefix, std::move(listing.entries), 0});
    return std::nullopt;
}

bool ArchiveTreeWalker::skipped(const std::string& path, const std::string& name) const
{
    for (const Skip& skip : m_skips) {
        // Compared when met, not when the walk began: the archive being written is made after that.
        if (name == skip.name) {
            const std::optional<FileIdentity> met = m_fileSystem.identity(path);
            if (met && met == m_fileSystem.identity(skip.path))
                return true;
        }
    }
    return false;
}

bool ArchiveTreeWalker::next(std::vector<ArchiveItem>& items, std::size_t count, std::vector<FileFailure>& failures)
{
    items.clear();
    if (!reachable())
        return false;
    std::move(m_pending.begin(), m_pending.end(), std::back_inserter(items));
    m_pending.clear();
    std::move(m_failures.begin(), m_failures.end(), std::back_inserter(failures));
    m_failures.clear();
    while (items.size() < count && !m_levels.empty()) {
        Level& level = m_levels.back();
        if (level.next == level.entries.size()) {
            m_levels.pop_back();
            continue;
        }
        FolderEntry& entry = level.entries[level.next++];
        const std::string path = Paths::join(level.path, entry.name);
        std::string name = level.prefix + entry.name;
        ArchiveItem item;
        item.source = m_source;
        item.path = path;
        item.mode = entry.mode;
        item.modifiedSeconds = secondsOf(entry.modifiedNs);
        switch (entry.kind) {
        case FolderEntry::Kind::Folder:
            if (m_skipFolder && m_fileSystem.identity(path) == m_skipFolder)
                break;
            item.kind = ArchiveItem::Kind::Folder;
            item.name = name + "/";
            items.push_back(std::move(item));
            // `level` is not used past here: entering may move it.
            if (const auto error = enter(path, name + "/", failures))
                failures.push_back({path, *error});
            break;
        case FolderEntry::Kind::File:
            if (skipped(path, entry.name))
                break;
            item.kind = ArchiveItem::Kind::File;
            item.name = std::move(name);
            item.size = entry.size;
            items.push_back(std::move(item));
            break;
        case FolderEntry::Kind::Link:
            item.kind = ArchiveItem::Kind::Link;
            item.name = std::move(name);
            item.mode = 0777;
            item.linkTarget = std::move(entry.linkTarget);
            items.push_back(std::move(item));
            break;
        case FolderEntry::Kind::Other:
            failures.push_back({path, "\"" + path + "\" is a device, pipe or socket: not archived"});
            break;
        }
    }
    return !items.empty();
}
