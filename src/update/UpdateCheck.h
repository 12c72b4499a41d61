#pragma once

#include <string>

struct PlatformServices;
class SettingsStore;

/// Looks for a newer version at "http://" + urlUpdate and, on the user's Yes, hands over to the updater and
/// ends the process. True when it handed over (the caller stops then: with a test's terminator the call
/// returns); false in every other case, failures included.
bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate);
