#pragma once

#include "HttpClient.h"
#include "Result.h"

#include <chrono>
#include <string>

struct PlatformServices;
class SettingsStore;

/// Limits of an update check. A server that accepts and never answers, or answers a byte at a time, must not
/// hold the start of the program: every download has a total time limit besides the client's own connect and
/// stall limits, and a size limit, and the whole check has one more.
struct UpdateLimits
{
    DownloadOptions versionFile{4096, std::chrono::seconds(10), DownloadedFileKind::Data};
    DownloadOptions updater{32u * 1024 * 1024, std::chrono::seconds(60), DownloadedFileKind::Program};
    /// The updater's signature, "updater.exe.minisig": two comment lines and two lines of base64 (minisign's own
    /// limit for the trusted comment is 8 KiB).
    DownloadOptions signature{16384, std::chrono::seconds(10), DownloadedFileKind::Data};
    /// The whole check, the pauses before the downloads included: a download gets what is left of it when that
    /// is less than its own limit, and none starts once it is over.
    std::chrono::milliseconds wholeCheck{std::chrono::seconds(30)};
};

/// The question asked when the server offers a newer version.
inline constexpr const char* updateQuestion =
    "Na raspolaganju je nova verzija programa.\r\nDa li želite da nadogradite Vaš program ? ";

/// Said, followed by the reason, when the user takes an offered update but the updater in the program's folder does
/// not carry a good signature of the key built into the program.
inline constexpr const char* updateNotVerified = "Nova verzija se ne moze provjeriti, pa nadogradnja nije pokrenuta: ";

/// The maker's public key built into this program (CMake's KOPIRKO_UPDATE_PUBLIC_KEY, minisign's public key line);
/// "" when the program was built without one, and then it never starts an updater.
const char* builtInUpdatePublicKey();

/// Looks for a newer version at "http://" + urlUpdate and, on the user's Yes, hands over to the updater and
/// ends the process. In order: nothing when not connected; RefreshUpdater; "/version.txt" fetched into
/// "versiontmp.txt" and compared as a number with "version.txt" (both in the working folder); only a higher
/// server version asks the user. On Yes the updater in the program's folder is checked against its signature
/// "updater.exe.minisig" and the key `publicKey` (minisign's public key line; builtInUpdatePublicKey() in the
/// overload without it) right before it would start: without a good signature the user is told why
/// (updateNotVerified), nothing is written and nothing started. With one, "update.ini" in the program's folder gets
/// url, cilj and prog under "update", "updater.exe" is started from the program's folder, and the process ends at
/// once.
/// A version file that cannot be fetched, is empty or no number ends the check without a message; a failed
/// fetch removes the copy an earlier check left ("versionutmp.txt", "versiontmp.txt"), and so does a check
/// that ends before it: such a copy must never stand for the server's answer. When the hand-off
/// file cannot be written or the updater cannot be started, the user is told and the program goes on: ending
/// without an updater to take over would leave the user with no program at all.
/// True when it handed over (the caller stops then: with a test's terminator the call returns); false in every
/// other case, failures included. The settings store's IniFilePath is as it was when the call returns.
bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate);
bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate,
                    const UpdateLimits& limits, const std::string& publicKey);

/// Brings "updater.exe" in the program's folder up to date: "/versionu.txt" is fetched into "versionutmp.txt"
/// and compared with "versionu.txt" (0 when that file is missing); only a higher server number fetches
/// "/updater.exe.minisig" and "/updater.exe", each under a temporary name beside its place. Only when the
/// signature verifies over the updater with `publicKey` do both replace the old ones; otherwise both downloads are
/// thrown away and the old updater and signature stay as they were (with no key nothing is fetched: nothing could
/// be kept). Fails, naming the file, when a version file that should be there cannot be fetched or read as a
/// number; an updater that was not fetched or not kept is no failure (the old one stays). Nothing is fetched after
/// `deadline`.
Result RefreshUpdater(const PlatformServices& platform, const std::string& urlUpdate, const UpdateLimits& limits,
                      const std::string& publicKey, std::chrono::steady_clock::time_point deadline);
