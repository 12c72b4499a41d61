#pragma once

#include <cstdint>
#include <string>

/// The one settings record of the program: zero at start, filled from section "BACKUP" of the INI file.
struct BackupSettings
{
    std::string VrijemeBackupa;            ///< time of the daily backup, "HH:mm"
    std::string BackupDir;                 ///< destination folder
    std::int16_t NacinBackupa = 0;         ///< 0 at a set time, 1 at program start, 2 by hand
    std::int16_t OpsegBackupa = 0;         ///< at start: 0 database backup, 1 folder backup
    std::int16_t Brisati = 0;              ///< 1: delete the backup of exactly Starost days ago
    std::int16_t Starost = 0;              ///< age in days of the backup to delete
    std::int16_t GasitiRacunar = 0;        ///< 1: shut this computer down after a timed run
    std::int16_t GasenjeRacunaraMreze = 0; ///< 1: shut the network computers down after a run
    std::int16_t ZIPOVANJE = 0;            ///< 1: the timer and the button make ZIP archives
    std::string AppFolderSuffix;           ///< "_" + last component of the program folder; not stored
};
