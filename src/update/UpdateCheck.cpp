#include "UpdateCheck.h"

// Placeholder until the update check is built: offers no update.
bool CheckForUpdate(const PlatformServices&, SettingsStore&, const std::string&)
{
    return false;
}
