#include "ArchiveTreeListing.h"

#include "Paths.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

std::string describe(const std::string& what, const std::string& path, const std::error_code& error)
{
    return what + " \"" + path + "\": " + error.message();
}

std::int64_t secondsSinceEpoch(fs::file_time_type time)
{
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
}

std::int64_t nowSeconds()
{
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()).time_since_epoch().count();
}

std::uint32_t modeBits(const fs::file_status& status)
{
    return static_cast<std::uint32_t>(status.permissions()) & 07777;
}

class Lister
{
public:
    Lister(ArchiveTreeListing& listing, std::size_t source, const std::vector<std::string>& skipPaths)
        : m_listing(listing), m_source(source), m_skipPaths(skipPaths)
    {}

    /// Lists what folder `path` holds, named `prefix` + name in the archive. False when the folder itself
    /// cannot be read.
    bool listFolder(const std::string& path, const std::string& prefix, std::error_code& folderError)
    {
        std::vector<std::pair<std::string, fs::file_status>> children;
        fs::directory_iterator it(path, folderError);
        if (folderError)
            return false;
        for (const fs::directory_iterator end; it != end;) {
            std::error_code error;
            const fs::file_status status = it->symlink_status(error);
            const std::string name = it->path().filename().string();
            if (error)
                fail(Paths::join(path, name), describe("cannot examine", Paths::join(path, name), error));
            else
                children.emplace_back(name, status);
            it.increment(error);
            if (error) {
                fail(path, describe("cannot read the whole folder", path, error));
                break;
            }
        }
        std::sort(children.begin(), children.end(),
                  [](const auto& left, const auto& right) { return left.first < right.first; });

        for (const auto& [name, status] : children)
            listChild(Paths::join(path, name), prefix + name, status);
        return true;
    }

private:
    void fail(const std::string& path, const std::string& reason) { m_listing.failures.push_back({path, reason}); }

    bool skipped(const std::string& path) const
    {
        for (const std::string& skip : m_skipPaths) {
            std::error_code error;
            if (Paths::lastComponent(path) == Paths::lastComponent(skip) && fs::equivalent(path, skip, error))
                return true;
        }
        return false;
    }

    void listChild(const std::string& path, const std::string& name, const fs::file_status& status)
    {
        std::error_code error;
        ArchiveItem item;
        item.source = m_source;
        item.path = path;
        switch (status.type()) {
        case fs::file_type::directory: {
            const auto modified = fs::last_write_time(path, error);
            item.kind = ArchiveItem::Kind::Folder;
            item.name = name + "/";
            item.mode = modeBits(status);
            item.modifiedSeconds = error ? nowSeconds() : secondsSinceEpoch(modified);
            m_listing.items.push_back(std::move(item));
            std::error_code folderError;
            if (!listFolder(path, name + "/", folderError))
                fail(path, describe("cannot read the folder", path, folderError));
            return;
        }
        case fs::file_type::regular: {
            if (skipped(path))
                return;
            const auto modified = fs::last_write_time(path, error);
            const auto size = error ? 0 : fs::file_size(path, error);
            if (error) {
                fail(path, describe("cannot examine", path, error));
                return;
            }
            item.kind = ArchiveItem::Kind::File;
            item.name = name;
            item.mode = modeBits(status);
            item.size = size;
            item.modifiedSeconds = secondsSinceEpoch(modified);
            m_listing.items.push_back(std::move(item));
            return;
        }
        case fs::file_type::symlink: {
            const fs::path target = fs::read_symlink(path, error);
            if (error) {
                fail(path, describe("cannot read the link", path, error));
                return;
            }
            item.kind = ArchiveItem::Kind::Link;
            item.name = name;
            item.mode = 0777;
            item.linkTarget = target.string();
            item.modifiedSeconds = nowSeconds(); // the link's own time is not to be had without following it
            m_listing.items.push_back(std::move(item));
            return;
        }
        default:
            fail(path, "\"" + path + "\" is a device, pipe or socket: not archived");
            return;
        }
    }

    ArchiveTreeListing& m_listing;
    std::size_t m_source;
    const std::vector<std::string>& m_skipPaths;
};

} // namespace

ArchiveTreeListing listTreeForArchive(const std::string& root, const std::string& topName, std::size_t source,
                                      const std::vector<std::string>& skipPaths)
{
    ArchiveTreeListing listing;
    std::error_code error;
    const fs::file_status status = fs::status(root, error);
    if (error || status.type() != fs::file_type::directory) {
        listing.error = error ? describe("cannot reach", root, error) : "\"" + root + "\" is not a folder";
        return listing;
    }

    Lister lister(listing, source, skipPaths);
    if (!topName.empty()) {
        ArchiveItem top;
        top.kind = ArchiveItem::Kind::Folder;
        top.source = source;
        top.path = root;
        top.name = topName + "/";
        top.mode = modeBits(status);
        const auto modified = fs::last_write_time(root, error);
        top.modifiedSeconds = error ? nowSeconds() : secondsSinceEpoch(modified);
        listing.items.push_back(std::move(top));
    }
    std::error_code folderError;
    if (!lister.listFolder(root, topName.empty() ? std::string() : topName + "/", folderError)) {
        listing.items.clear();
        listing.error = describe("cannot read the folder", root, folderError);
        return listing;
    }
    listing.reachable = true;
    return listing;
}
