#include "StartupSequence.h"

#include "AppContext.h"
#include "AppInfo.h"
#include "BackupHost.h"
#include "DatabaseBackupRun.h"
#include "FileSystem.h"
#include "FolderBackupRun.h"
#include "InstanceLock.h"
#include "MessageBoxService.h"
#include "Paths.h"
#include "ProcessTerminator.h"
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

} // namespace

StartupSequence::StartupSequence(AppContext& context, std::string builtInUpdateAddress, WindowFactory windowFactory)
    : m_context(context), m_updateAddress(std::move(builtInUpdateAddress)), m_windowFactory(std::move(windowFactory))
{
}

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

    bool handedOver = false;
    absorb([&] { handedOver = CheckForUpdate(platform, m_context.settingsStore, m_context.URLUpdate); });
    if (handedOver)
        return nullptr;

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
        absorb([&] { platform.messages.showMessage(completionMessage(report)); });
    }

    absorb([&] { window->showWindow(); });
    return window;
}
