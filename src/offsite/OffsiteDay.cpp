#include "OffsiteDay.h"

#include "LocalDateTime.h"
#include "Paths.h"

#include <algorithm>

namespace {

/// Adds every file below `folder` with keys "<keyBase>/<relative path>".
void collectTree(const FileSystem& disk, const std::string& folder, const std::string& keyBase,
                 OffsiteDay::Collected& collected)
{
    const FolderListing listing = disk.listFolder(folder);
    if (!listing.ok())
        collected.failures.push_back({folder, listing.error});
    for (const FileFailure& failure : listing.unexamined)
        collected.failures.push_back(failure);
    for (const FolderEntry& entry : listing.entries) {
        const std::string path = Paths::join(folder, entry.name);
        const std::string key = keyBase + "/" + entry.name;
        if (entry.kind == FolderEntry::Kind::File)
            collected.files.push_back({path, key, entry.size, entry.modifiedNs, {}, {}});
        else if (entry.kind == FolderEntry::Kind::Folder)
            collectTree(disk, path, key, collected);
    }
}

} // namespace

std::optional<std::chrono::year_month_day> OffsiteDay::dateOfBackupName(const std::string& name)
{
    std::string stem = name;
    if (stem.ends_with(".zip"))
        stem.resize(stem.size() - 4);
    // "dd_MM_yyyy" + "_" (the database root's suffix starts with it too) + at least "_backup".
    if (stem.size() < 18 || !stem.ends_with("_backup") || stem[2] != '_' || stem[5] != '_' || stem[10] != '_')
        return std::nullopt;
    for (const int i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (stem[i] < '0' || stem[i] > '9')
            return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{std::stoi(stem.substr(6, 4))},
                                           std::chrono::month{static_cast<unsigned>(std::stoi(stem.substr(3, 2)))},
                                           std::chrono::day{static_cast<unsigned>(std::stoi(stem.substr(0, 2)))}};
    if (!date.ok() || formatDateStamp(date) != stem.substr(0, 10))
        return std::nullopt;
    return date;
}

std::string OffsiteDay::dayNameOfKey(const std::string& key, const std::string& prefix)
{
    const std::string start = prefix + "/";
    if (!key.starts_with(start))
        return {};
    const size_t end = key.find('/', start.size());
    return key.substr(start.size(), end == std::string::npos ? std::string::npos : end - start.size());
}

OffsiteDay::Collected OffsiteDay::collect(const FileSystem& disk, const std::string& backupDir,
                                          const std::vector<std::chrono::year_month_day>& dates,
                                          const std::string& prefix)
{
    Collected collected;
    const FolderListing listing = disk.listFolder(backupDir);
    if (!listing.ok())
        collected.failures.push_back({backupDir, listing.error});
    for (const FolderEntry& entry : listing.entries) {
        const std::optional<std::chrono::year_month_day> date = dateOfBackupName(entry.name);
        if (!date || std::find(dates.begin(), dates.end(), *date) == dates.end())
            continue;
        const std::string path = Paths::join(backupDir, entry.name);
        const std::string key = prefix + "/" + entry.name;
        const bool archive = entry.name.ends_with(".zip");
        if (archive && entry.kind == FolderEntry::Kind::File)
            collected.files.push_back({path, key, entry.size, entry.modifiedNs, {}, {}});
        else if (!archive && entry.kind == FolderEntry::Kind::Folder)
            collectTree(disk, path, key, collected);
    }
    return collected;
}
