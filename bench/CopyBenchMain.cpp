// Runs one copy-mode backup of the folders given on the command line into a destination folder, the way the
// program does, without a window: the benchmark times this process against cp.
#include "BackupHost.h"
#include "BackupSettings.h"
#include "FolderBackupRun.h"
#include "MessageBoxService.h"
#include "Pause.h"
#include "PlatformServices.h"
#include "PowerControl.h"
#include "RemoteShutdown.h"
#include "SystemPlatform.h"
#include "WebOpener.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

/// A host without a window: the list comes from the command line, work runs on this thread.
class BenchHost : public BackupHost
{
public:
    explicit BenchHost(std::vector<std::string> folders) : m_folders(std::move(folders)) {}
    int folderCount() const override { return static_cast<int>(m_folders.size()); }
    std::string folderEntry(int index) const override
    {
        return index < folderCount() ? m_folders[static_cast<size_t>(index)] : std::string();
    }
    std::vector<std::string> refusedFolderEntries() const override { return {}; }
    void setBusyPointer(bool) override {}
    void processEvents() override {}
    void runWork(const std::function<void()>& work) override { work(); }
    void reportProgress(const RunProgress&) override {}
    void setStatusLine(const std::string&) override {}
    void setNextRunLine(const std::string&) override {}
    void setLampColour(std::uint32_t) override {}
    void runFinished(const RunReport&) override {}
    void showBackUpNowButton() override {}
    void startDailySchedule() override {}
    void showWindow() override {}
    void armNetworkShutdown(bool) override {}

private:
    std::vector<std::string> m_folders;
};

/// Nothing in a benchmark may show a box, shut down or open anything.
class Inert : public MessageBoxService, public PowerControl, public WebOpener, public RemoteShutdown, public Pause
{
public:
    Result shutDown(const std::string&) override { return Result::failure("not in a benchmark"); }
    void processEventsOnce() override {}
    void sleepFor(std::chrono::milliseconds) override {}
    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&, const std::string&, MessageIcon) override { return false; }
    Result shutDownThisComputer() override { return Result::failure("not in a benchmark"); }
    Result openUrl(const std::string&) override { return Result::failure("not in a benchmark"); }
    Result openFolder(const std::string&) override { return Result::failure("not in a benchmark"); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DESTINATION SOURCE...\n", argv[0]);
        return 2;
    }
    SystemPlatform system;
    Inert inert;
    const PlatformServices platform{system.appInfo,
                                    system.clock,
                                    system.fileSystem,
                                    system.launcher,
                                    system.terminator,
                                    system.instanceLock,
                                    inert,
                                    inert,
                                    inert,
                                    system.networkHosts,
                                    inert,
                                    system.connectivity,
                                    system.http,
                                    inert,
                                    system.mail,
                                    system.secrets,
                                    system.objectStore};

    BackupSettings settings;
    settings.BackupDir = argv[1];
    settings.NacinBackupa = 1;
    BenchHost host(std::vector<std::string>(argv + 2, argv + argc));
    const RunReport report = RunFolderBackup(settings, host, platform);
    for (const SourceFailure& failure : report.failed)
        std::fprintf(stderr, "not backed up: %s: %s\n", failure.source.c_str(), failure.reason.c_str());
    return report.hasFailures() ? 1 : 0;
}
