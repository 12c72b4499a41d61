#include "StartupSequence.h"

#include "AppContext.h"
#include "AppInfo.h"
#include "BackupHost.h"
#include "DatabaseBackupRun.h"
#include "FileSystem.h"
#include "FolderBackupRun.h"
#include "HttpClient.h"
#include "InstanceLock.h"
#include "MessageBoxService.h"
#include "Paths.h"
#include "Pause.h"
#include "PlatformServices.h"
#include "ProcessTerminator.h"
#include "RunCancellation.h"
#include "StartupWindow.h"
#include "UpdateCheck.h"

#include <exception>

namespace {

/// Runs one step; whatever it throws is absorbed so that the next step runs.
template <typename Step>
void absorb(Step&& step)
{
    try {
        step();
    } catch (...) {
    }
}

/// Downloads of the update check, each run to its end off the window's thread while the window stays usable.
class OffThreadHttpClient : public HttpClient
{
public:
    OffThreadHttpClient(HttpClient& http, BackupHost& host) : m_http(http), m_host(host) {}
    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override
    {
        DownloadOutcome outcome;
        m_host.runWork([&] { outcome = m_http.download(url, destination, options); });
        return outcome;
    }
    bool removeFromCache(const std::string& url) override { return m_http.removeFromCache(url); }

private:
    HttpClient& m_http;
    BackupHost& m_host;
};

/// The update check's waits, spent off the window's thread.
class OffThreadPause : public Pause
{
public:
    OffThreadPause(Pause& pause, BackupHost& host) : m_pause(pause), m_host(host) {}
    void processEventsOnce() override { m_pause.processEventsOnce(); }
    void sleepFor(std::chrono::milliseconds duration) override
    {
        m_host.runWork([&] { m_pause.sleepFor(duration); });
    }

private:
    Pause& m_pause;
    BackupHost& m_host;
};

/// The update hand-off ends the program with its icon in the notification area: the icon goes first.
class IconRemovingTerminator : public ProcessTerminator
{
public:
    IconRemovingTerminator(ProcessTerminator& terminator, StartupWindow& window)
        : m_terminator(terminator), m_window(window)
    {}
    void endNow(int exitCode) override
    {
        m_window.removeTrayIcon();
        m_terminator.endNow(exitCode);
    }

private:
    ProcessTerminator& m_terminator;
    StartupWindow& m_window;
};

/// The update check once the window is there: its downloads and waits do not hold the window, and its
/// question comes when the answer is in (after any backup that started meanwhile, which sits above it on the
/// stack). What it does with the answer is unchanged: on Yes the updater takes over and the program ends.
bool checkForUpdateBehindTheWindow(AppContext& context, StartupWindow& window)
{
    const PlatformServices& platform = context.platform;
    OffThreadHttpClient http(platform.http, window.backupHost());
    OffThreadPause pause(platform.pause, window.backupHost());
    IconRemovingTerminator terminator(platform.terminator, window);
    const PlatformServices behind{platform.appInfo,
                                  platform.clock,
                                  platform.fileSystem,
                                  platform.launcher,
                                  terminator,
                                  platform.instanceLock,
                                  platform.messages,
                                  platform.power,
                                  platform.web,
                                  platform.networkHosts,
                                  platform.remoteShutdown,
                                  platform.connectivity,
                                  http,
                                  pause,
                                  platform.mail,
                                  platform.secrets,
                                  platform.objectStore};
    return CheckForUpdate(behind, context.settingsStore, context.URLUpdate);
}

} // namespace

StartupSequence::StartupSequence(AppContext& context, std::string builtInUpdateAddress, WindowFactory windowFactory)
    : m_context(context), m_updateAddress(std::move(builtInUpdateAddress)), m_windowFactory(std::move(windowFactory))
{}

std::string StartupSequence::versionLine(int major, int minor, int revision)
{
    return std::to_string(major) + std::to_string(minor) + std::to_string(revision) + "\r\n";
}

std::unique_ptr<StartupWindow> StartupSequence::run()
{
    const PlatformServices& platform = m_context.platform;

    absorb([&] { m_context.settingsStore.setIniFilePath(Paths::join(m_context.programFolder, "KOPIRKO.ini")); });
    absorb([&] {
        const ProgramVersion version = platform.appInfo.version();
        platform.fileSystem.writeFileAtomically("version.txt",
                                                versionLine(version.major, version.minor, version.revision));
    });
    absorb([&] { m_context.settingsStore.WriteIniValue("POD", "URLUpdate", m_updateAddress); });
    absorb([&] { m_context.URLUpdate = m_updateAddress; });

    absorb([&] { m_context.WindowTitle = windowTitle; });

    bool alone = true;
    absorb([&] { alone = platform.instanceLock.tryAcquire(m_context.WindowTitle); });
    if (!alone) {
        absorb([&] { platform.messages.showMessage(alreadyRunning); });
        platform.terminator.endNow(0);
        return nullptr;
    }

    absorb([&] { m_context.settingsStore.LoadSettings(m_context.backupSettings, m_context.programFolder); });

    std::unique_ptr<StartupWindow> window;
    absorb([&] { window = m_windowFactory(); });
    if (!window)
        return nullptr;
    absorb([&] { window->load(); });

    const BackupSettings& settings = m_context.backupSettings;
    if (settings.NacinBackupa == 1) {
        RunReport report;
        absorb([&] {
            report = settings.OpsegBackupa == 0 ? RunDatabaseBackup(settings, window->backupHost(), platform)
                                                : RunFolderBackup(settings, window->backupHost(), platform);
        });
        if (!RunCancellation::requested()) // stopped: the program is ending
            absorb([&] { platform.messages.showMessage(completionMessage(report)); });
    }

    absorb([&] { window->showWindow(); });

    // The icon and the window come first: a server that accepts and never answers must not hide them.
    bool handedOver = false;
    absorb([&] { handedOver = checkForUpdateBehindTheWindow(m_context, *window); });
    if (handedOver)
        return nullptr;
    return window;
}
