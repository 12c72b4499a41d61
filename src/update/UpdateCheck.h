#pragma once

#include "HttpClient.h"
#include "Result.h"

#include <chrono>
#include <string>

struct PlatformServices;
class SettingsStore;

/// Limits of the downloads of an update check. A server that accepts and never answers must not hold the
/// start of the program: every download has a total time limit besides the client's own connect and stall
/// limits, and a size limit.
struct UpdateLimits
{
    DownloadOptions versionFile{4096, std::chrono::seconds(10), DownloadedFileKind::Data};
    DownloadOptions updater{32u * 1024 * 1024, std::chrono::seconds(60), DownloadedFileKind::Program};
};

/// The question asked when the server offers a newer version.
inline constexpr const char* updateQuestion =
    "Na raspolaganju je nova verzija programa.\r\nDa li želite da nadogradite Vaš program ? ";

/// Looks for a newer version at "http://" + urlUpdate and, on the user's Yes, hands over to the updater and
/// ends the process. In order: nothing when not connected; RefreshUpdater; "/version.txt" fetched into
/// "versiontmp.txt" and compared as a number with "version.txt" (both in the working folder); only a higher
/// server version asks the user. On Yes "update.ini" in the program's folder gets url, cilj and prog under
/// "update", "updater.exe" is started from the program's folder, and the process ends at once.
/// A version file that is missing, empty or no number ends the check without a message. When the hand-off
/// file cannot be written or the updater cannot be started, the user is told and the program goes on: ending
/// without an updater to take over would leave the user with no program at all.
/// True when it handed over (the caller stops then: with a test's terminator the call returns); false in every
/// other case, failures included. The settings store's IniFilePath is as it was when the call returns.
bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate);
bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate,
                    const UpdateLimits& limits);

/// Brings "updater.exe" in the program's folder up to date: "/versionu.txt" is fetched into "versionutmp.txt"
/// and compared with "versionu.txt" (0 when that file is missing); only a higher server number fetches
/// "/updater.exe" over the old one. Fails, naming the file, when a version file that should be there cannot be
/// read as a number; a failed download of the updater itself is no failure (the old one stays).
Result RefreshUpdater(const PlatformServices& platform, const std::string& urlUpdate, const UpdateLimits& limits);
