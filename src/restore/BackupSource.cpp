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

DayBackups backupsOfDay(const FileSystem& fileSystem, const BackupDay& day)
{
    DayBackups found;
    for (const std::string& place : day.places) {
        const std::optional<DatedBackupName> parsed = parseDatedBackupName(Paths::lastComponent(place));
        if (!parsed)
            continue;
        if (!parsed->archive) {
            found.sources.push_back({parsed->name, place, {}, nullptr, day.date});
            continue;
        }
        std::string error;
        std::shared_ptr<const ArchiveIndex> index = ArchiveIndex::read(fileSystem, place, error);
        if (!index) {
            found.unreadable.push_back({place, error});
            continue;
        }
        addArchiveBackups(found, parsed->name, place, index, day.date);
    }
    return found;
}
