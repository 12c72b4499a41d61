#include "BackupRecords.h"

#include "IniNumber.h"
#include "SettingsStore.h"

namespace {
constexpr const char* settingsSection = "BACKUP";
constexpr const char* recordsSection = "EVIDENCIJA";
} // namespace

WatchSettings BackupRecords::loadWatchSettings() const
{
    WatchSettings settings;
    const auto catchUp = parseIniInteger(m_store.ReadIniValue(settingsSection, "Nadoknaditi"));
    if (catchUp && (*catchUp == 0 || *catchUp == 1))
        settings.catchUp = *catchUp == 1;
    const auto days = parseIniInteger(m_store.ReadIniValue(settingsSection, "UpozorenjeDana"));
    if (days && *days >= 0)
        settings.warningDays = *days;
    return settings;
}

Result BackupRecords::saveWatchSettings(const WatchSettings& settings)
{
    if (settings.warningDays < 0)
        return Result::failure("the number of days before the warning cannot be negative");
    Result written = m_store.WriteIniValue(settingsSection, "Nadoknaditi", settings.catchUp ? "1" : "0");
    if (!written)
        return written;
    return m_store.WriteIniValue(settingsSection, "UpozorenjeDana", std::to_string(settings.warningDays));
}

std::optional<LocalDateTime> BackupRecords::lastTimedRun() const
{
    return moment("ZakazanaKopija");
}

Result BackupRecords::recordTimedRun(const LocalDateTime& started)
{
    return recordMoment("ZakazanaKopija", started);
}

std::optional<LocalDateTime> BackupRecords::lastWholeBackup() const
{
    return moment("PotpunaKopija");
}

Result BackupRecords::recordWholeBackup(const LocalDateTime& ended)
{
    return recordMoment("PotpunaKopija", ended);
}

LocalDateTime BackupRecords::watchedSince(const LocalDateTime& now)
{
    if (const auto since = moment("PracenjeOd"))
        return *since;
    recordMoment("PracenjeOd", now);
    return now;
}

std::optional<LocalDateTime> BackupRecords::moment(const char* key) const
{
    return parseRecordedMoment(m_store.ReadIniValue(recordsSection, key));
}

Result BackupRecords::recordMoment(const char* key, const LocalDateTime& moment)
{
    return m_store.WriteIniValue(recordsSection, key, formatRecordedMoment(moment));
}
