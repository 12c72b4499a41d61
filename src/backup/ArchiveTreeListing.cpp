#include "ArchiveTreeListing.h"

#include "Paths.h"

#include <optional>

namespace {

std::int64_t secondsOf(std::int64_t nanoseconds)
{
    // Floor, not truncation: a time before 1970 stays in its own second.
    return nanoseconds >= 0 ? nanoseconds / 1000000000 : -((-nanoseconds + 999999999) / 1000000000);
}

class Lister
{
public:
    Lister(const FileSystem& fileSystem, ArchiveTreeListing& listing, std::size_t source,
           const std::vector<std::string>& skipPaths)
        : m_fileSystem(fileSystem), m_listing(listing), m_source(source)
    {
        for (const std::string& skip : skipPaths) {
            if (const auto identity = m_fileSystem.identity(skip))
                m_skips.push_back({Paths::lastComponent(skip), *identity});
        }
    }

    /// Lists what folder `path` holds, named `prefix` + name in the archive. The reason when the folder
    /// itself cannot be read.
    std::optional<std::string> listFolder(const std::string& path, const std::string& prefix)
    {
        FolderListing listing = m_fileSystem.listFolder(path);
        if (!listing.ok() && listing.entries.empty() && listing.unexamined.empty())
            return listing.error;
        if (!listing.ok())
            fail(path, listing.error);
        for (const FileFailure& unexamined : listing.unexamined)
            fail(unexamined.path, unexamined.reason);
        for (FolderEntry& entry : listing.entries)
            listChild(Paths::join(path, entry.name), prefix + entry.name, entry);
        return std::nullopt;
    }

private:
    struct Skip
    {
        std::string name;
        FileIdentity identity;
    };

    void fail(const std::string& path, const std::string& reason) { m_listing.failures.push_back({path, reason}); }

    bool skipped(const std::string& path, const std::string& name) const
    {
        for (const Skip& skip : m_skips) {
            if (name == skip.name && m_fileSystem.identity(path) == skip.identity)
                return true;
        }
        return false;
    }

    void listChild(const std::string& path, const std::string& name, FolderEntry& entry)
    {
        ArchiveItem item;
        item.source = m_source;
        item.path = path;
        item.mode = entry.mode;
        item.modifiedSeconds = secondsOf(entry.modifiedNs);
        switch (entry.kind) {
        case FolderEntry::Kind::Folder: {
            item.kind = ArchiveItem::Kind::Folder;
            item.name = name + "/";
            m_listing.items.push_back(std::move(item));
            if (const auto error = listFolder(path, name + "/"))
                fail(path, *error);
            return;
        }
        case FolderEntry::Kind::File:
            if (skipped(path, entry.name))
                return;
            item.kind = ArchiveItem::Kind::File;
            item.name = name;
            item.size = entry.size;
            m_listing.items.push_back(std::move(item));
            return;
        case FolderEntry::Kind::Link:
            item.kind = ArchiveItem::Kind::Link;
            item.name = name;
            item.mode = 0777;
            item.linkTarget = std::move(entry.linkTarget);
            m_listing.items.push_back(std::move(item));
            return;
        case FolderEntry::Kind::Other:
            fail(path, "\"" + path + "\" is a device, pipe or socket: not archived");
            return;
        }
    }

    const FileSystem& m_fileSystem;
    ArchiveTreeListing& m_listing;
    std::size_t m_source;
    std::vector<Skip> m_skips;
};

} // namespace

ArchiveTreeListing listTreeForArchive(const FileSystem& fileSystem, const std::string& root, const std::string& topName,
                                      std::size_t source, const std::vector<std::string>& skipPaths)
{
    ArchiveTreeListing listing;
    const std::optional<FolderEntry> top = fileSystem.examine(root, true);
    if (!top) {
        const std::string reason = fileSystem.listFolder(root).error;
        listing.error = reason.empty() ? "cannot reach \"" + root + "\"" : reason;
        return listing;
    }
    if (top->kind != FolderEntry::Kind::Folder) {
        listing.error = "\"" + root + "\" is not a folder";
        return listing;
    }

    Lister lister(fileSystem, listing, source, skipPaths);
    if (!topName.empty()) {
        ArchiveItem item;
        item.kind = ArchiveItem::Kind::Folder;
        item.source = source;
        item.path = root;
        item.name = topName + "/";
        item.mode = top->mode;
        item.modifiedSeconds = secondsOf(top->modifiedNs);
        listing.items.push_back(std::move(item));
    }
    if (const auto error = lister.listFolder(root, topName.empty() ? std::string() : topName + "/")) {
        listing.items.clear();
        listing.failures.clear();
        listing.error = *error;
        return listing;
    }
    listing.reachable = true;
    return listing;
}
