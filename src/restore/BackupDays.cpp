#include "BackupDays.h"

#include "Paths.h"

#include <algorithm>
#include <map>

namespace {

std::optional<int> digits(const std::string& text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t k = at; k < at + count; ++k) {
        if (text[k] < '0' || text[k] > '9')
            return std::nullopt;
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

std::optional<DatedBackupName> parseDatedBackupName(const std::string& entryName)
{
    DatedBackupName parsed;
    std::string rest = entryName;
    if (endsWith(rest, ".zip")) {
        parsed.archive = true;
        rest.resize(rest.size() - 4);
    }
    const std::string tail = "_backup";
    // "dd_MM_yyyy" and "_" before the name, which may be empty (a folder at the root of a drive)
    if (rest.size() < 11 + tail.size() || !endsWith(rest, tail) || rest[2] != '_' || rest[5] != '_' || rest[10] != '_')
        return std::nullopt;
    const std::optional<int> day = digits(rest, 0, 2);
    const std::optional<int> month = digits(rest, 3, 2);
    const std::optional<int> year = digits(rest, 6, 4);
    if (!day || !month || !year)
        return std::nullopt;
    parsed.date =
        std::chrono::year_month_day{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                                    std::chrono::day(static_cast<unsigned>(*day))};
    if (!parsed.date.ok())
        return std::nullopt;
    parsed.name = rest.substr(11, rest.size() - 11 - tail.size());
    return parsed;
}

BackupDayList listBackupDays(const FileSystem& fileSystem, const std::string& destination,
                             std::optional<std::chrono::year_month_day> lastWholeDay)
{
    BackupDayList list;
    const FolderListing listing = fileSystem.listFolder(destination);
    list.error = listing.error;
    std::map<std::chrono::year_month_day, BackupDay> days;
    for (const FolderEntry& entry : listing.entries) {
        const std::optional<DatedBackupName> parsed = parseDatedBackupName(entry.name);
        if (!parsed || entry.kind != (parsed->archive ? FolderEntry::Kind::File : FolderEntry::Kind::Folder))
            continue;
        BackupDay& day = days[parsed->date];
        day.date = parsed->date;
        day.places.push_back(Paths::join(destination, entry.name));
    }
    for (auto at = days.rbegin(); at != days.rend(); ++at) {
        at->second.notWhole = lastWholeDay && at->first > *lastWholeDay;
        list.days.push_back(std::move(at->second));
    }
    return list;
}
