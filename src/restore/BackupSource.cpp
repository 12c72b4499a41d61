#include "BackupSource.h"

#include "Paths.h"

#include <algorithm>

void addArchiveBackups(DayBackups& found, const std::string& name, const std::string& place,
                       const std::shared_ptr<const ArchiveIndex>& index, std::chrono::year_month_day date)
{
    const std::vector<const ArchiveEntry*> top = index->children("");
    const bool looseFiles =
        std::any_of(top.begin(), top.end(), [](const ArchiveEntry* entry) { return !entry->folder; });
    if (looseFiles) { // the contents of one folder at the top of the archive
        found.sources.push_back({name, place, {}, index, date});
        return;
    }
    for (const ArchiveEntry* entry : top)
        found.sources.push_back({entry->path, place, entry->path, index, date});
}

DayBackups backupsOfPlaces(
    const FileSystem& fileSystem, const BackupDay& day,
    const std::function<void(DayBackups& found, const std::string& place, const std::string& name)>& addFolder,
    const std::function<std::optional<ArchiveAtHand>(DayBackups& found, const std::string& place)>& archiveAtHand)
{
    DayBackups found;
    for (const std::string& place : day.places) {
        if (found.stopped)
            break;
        const std::optional<DatedBackupName> parsed = parseDatedBackupName(Paths::lastComponent(place));
        if (!parsed)
            continue;
        if (!parsed->archive) {
            addFolder(found, place, parsed->name);
            continue;
        }
        const std::optional<ArchiveAtHand> archive = archiveAtHand(found, place);
        if (!archive)
            continue;
        std::string error;
        std::shared_ptr<const ArchiveIndex> index = ArchiveIndex::read(fileSystem, archive->path, error);
        if (!index) {
            found.unreadable.push_back({archive->name, error});
            continue;
        }
        const std::size_t first = found.sources.size();
        addArchiveBackups(found, parsed->name, archive->path, index, day.date);
        for (std::size_t k = first; k < found.sources.size(); ++k)
            found.sources[k].fetched = archive->fetched;
    }
    return found;
}

DayBackups backupsOfDay(const FileSystem& fileSystem, const BackupDay& day)
{
    return backupsOfPlaces(
        fileSystem, day,
        [&](DayBackups& found, const std::string& place, const std::string& name) {
            found.sources.push_back({name, place, {}, nullptr, day.date});
        },
        [](DayBackups&, const std::string& place) {
            return ArchiveAtHand{place, place};
        });
}
