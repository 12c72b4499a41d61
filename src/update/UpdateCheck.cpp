#include "UpdateCheck.h"

#include "AppInfo.h"
#include "DownloadFile.h"
#include "FileProbes.h"
#include "FileSystem.h"
#include "IsOnline.h"
#include "MessageBoxService.h"
#include "Paths.h"
#include "PlatformServices.h"
#include "ProcessLauncher.h"
#include "ProcessTerminator.h"
#include "SettingsStore.h"
#include "Utf8.h"
#include "VersionFile.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

/// The program's own file name, as the updater is to start it again.
#ifdef _WIN32
constexpr const char* programFileName = "Kopirko.exe";
#else
constexpr const char* programFileName = "Kopirko";
#endif

std::string serverAddress(const std::string& urlUpdate, const std::string& file)
{
    return "http://" + urlUpdate + file;
}

/// Less than this left of the whole check and no download is begun: the HTTP client's own clock may end the
/// previous download a little before the deadline, and what is left then would let a transfer slip past the end
/// of the check on one machine and not on another.
constexpr std::chrono::milliseconds shortestDownload{250};

/// Fetches `url` into `destination` within what is left until `deadline` (nothing is begun with less than
/// shortestDownload left). A version file that was not fetched is removed: a copy from an earlier check would be
/// taken for the server's answer.
Result fetch(const PlatformServices& platform, const std::string& url, const std::string& destination,
             DownloadOptions options, std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    Result fetched = Result::failure(url + ": the update check ran out of time");
    if (deadline - steady_clock::now() >= shortestDownload)
        PurgeUrlCache(platform, url);
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
    if (left >= shortestDownload) {
        options.totalTimeLimit = std::min(options.totalTimeLimit, left);
        fetched = DownloadFile(platform, url, destination, options);
    }
    if (!fetched && options.kind == DownloadedFileKind::Data)
        platform.fileSystem.removeFile(destination, RemoveMode::Forced);
    return fetched;
}

/// Puts IniFilePath back however the hand-off ends.
class IniPathRestorer
{
public:
    explicit IniPathRestorer(SettingsStore& store) : m_store(store), m_path(store.IniFilePath()) {}
    ~IniPathRestorer() { m_store.setIniFilePath(m_path); }
    IniPathRestorer(const IniPathRestorer&) = delete;
    IniPathRestorer& operator=(const IniPathRestorer&) = delete;

private:
    SettingsStore& m_store;
    std::string m_path;
};

Result writeHandOffFile(SettingsStore& settingsStore, const std::string& programFolder, const std::string& urlUpdate)
{
    // The updater reads update.ini in the ANSI code page of earlier Windows programs: a letter outside ASCII
    // would reach it as another letter, and it would install into a folder that does not exist.
    for (const std::string& value : {urlUpdate, programFolder}) {
        if (Utf8::hasNonAscii(value))
            return Result::failure("program za nadogradnju ne moze raditi sa putanjom \"" + value +
                                   "\" jer sadrzi slova kao sto su č, ć, š, ž ili đ");
    }
    settingsStore.setIniFilePath(Paths::join(programFolder, "update.ini"));
    if (Result written = settingsStore.WriteIniValue("update", "url", urlUpdate); !written)
        return written;
    if (Result written = settingsStore.WriteIniValue("update", "cilj", programFolder); !written)
        return written;
    return settingsStore.WriteIniValue("update", "prog", programFileName);
}

bool handOverToUpdater(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate)
{
    const std::string programFolder = platform.appInfo.programFolder();
    Result handedOver = Result::success();
    {
        IniPathRestorer restorer(settingsStore);
        handedOver = writeHandOffFile(settingsStore, programFolder, urlUpdate);
    }
    if (handedOver)
        handedOver = platform.launcher.startDetached(Paths::join(programFolder, "updater.exe"), {});
    if (!handedOver) {
        platform.messages.showMessage("Nadogradnja nije pokrenuta: " + handedOver.error());
        return false;
    }
    platform.terminator.endNow(0);
    return true;
}

} // namespace

Result RefreshUpdater(const PlatformServices& platform, const std::string& urlUpdate, const UpdateLimits& limits,
                      std::chrono::steady_clock::time_point deadline)
{
    const std::string programFolder = platform.appInfo.programFolder();
    const std::string serverCopy = Paths::join(programFolder, "versionutmp.txt");
    if (Result fetched =
            fetch(platform, serverAddress(urlUpdate, "/versionu.txt"), serverCopy, limits.versionFile, deadline);
        !fetched)
        return fetched;

    const std::optional<std::int32_t> serverVersion = readVersionFile(platform.fileSystem, serverCopy);
    if (!serverVersion)
        return Result::failure(serverCopy + " holds no version number");
    std::int32_t installedVersion = 0;
    const std::string installed = Paths::join(programFolder, "versionu.txt");
    if (FileExists(platform.fileSystem, installed)) {
        const std::optional<std::int32_t> number = readVersionFile(platform.fileSystem, installed);
        if (!number)
            return Result::failure(installed + " holds no version number");
        installedVersion = *number;
    }
    if (*serverVersion > installedVersion)
        fetch(platform, serverAddress(urlUpdate, "/updater.exe"), Paths::join(programFolder, "updater.exe"),
              limits.updater, deadline);
    return Result::success();
}

bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate)
{
    return CheckForUpdate(platform, settingsStore, urlUpdate, UpdateLimits{});
}

bool CheckForUpdate(const PlatformServices& platform, SettingsStore& settingsStore, const std::string& urlUpdate,
                    const UpdateLimits& limits)
{
    const auto deadline = std::chrono::steady_clock::now() + limits.wholeCheck;
    if (!IsOnline(platform))
        return false;
    if (!RefreshUpdater(platform, urlUpdate, limits, deadline)) {
        // The server's version is not asked for this time: an earlier answer must not stand for it either.
        platform.fileSystem.removeFile("versiontmp.txt", RemoveMode::Forced);
        return false;
    }
    if (!fetch(platform, serverAddress(urlUpdate, "/version.txt"), "versiontmp.txt", limits.versionFile, deadline))
        return false;
    const std::optional<std::int32_t> serverVersion = readVersionFile(platform.fileSystem, "versiontmp.txt");
    if (!serverVersion)
        return false;
    const std::optional<std::int32_t> ownVersion = readVersionFile(platform.fileSystem, "version.txt");
    if (!ownVersion || *serverVersion <= *ownVersion)
        return false;

    if (!platform.messages.askYesNo(updateQuestion, "", MessageIcon::Question))
        return false;
    return handOverToUpdater(platform, settingsStore, urlUpdate);
}
