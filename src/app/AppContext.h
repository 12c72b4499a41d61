#pragma once

#include "BackupSettings.h"
#include "PlatformServices.h"
#include "SettingsStore.h"

#include <string>

/// The program-wide values, alive as long as the process: the platform services, the settings store with
/// IniFilePath, the settings record, the update address and the window title.
struct AppContext
{
    explicit AppContext(const PlatformServices& services);

    const PlatformServices& platform;
    SettingsStore settingsStore;
    BackupSettings backupSettings;
    std::string URLUpdate;
    std::string WindowTitle;
    std::string programFolder;
};
