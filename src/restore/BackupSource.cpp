#include "BackupSource.h"

#include "Paths.h"

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
        const std::vector<const ArchiveEntry*> top = index->children("");
        const bool looseFiles =
            std::any_of(top.begin(), top.end(), [](const ArchiveEntry* entry) { return !entry->folder; });
        if (looseFiles) { // the contents of one folder at the top of the archive
            found.sources.push_back({parsed->name, place, {}, index, day.date});
            continue;
        }
        for (const ArchiveEntry* entry : top)
            found.sources.push_back({entry->path, place, entry->path, index, day.date});
    }
    return found;
}
