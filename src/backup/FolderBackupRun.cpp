#include "FolderBackupRun.h"

#include "BackupHost.h"
#include "BackupNames.h"
#include "BackupSettings.h"
#include "Clock.h"
#include "FileProbes.h"
#include "FileSystem.h"
#include "LocalDateTime.h"
#include "Paths.h"
#include "PlatformServices.h"
#include "RunCancellation.h"
#include "RunEndSteps.h"
#include "RunGuard.h"
#include "RunLeftovers.h"
#include "RunPreconditions.h"

#include <optional>

namespace {

/// Backs up one source; returns the failure, if any. Runs off the user-interface thread.
std::optional<SourceFailure> backUpSource(const std::string& source, const BackupSettings& settings, BackupHost& host,
                                          const PlatformServices& platform)
{
    FileSystem& fileSystem = platform.fileSystem;
    auto failed = [&](std::string reason) { return SourceFailure{source, std::move(reason), {}}; };

    if (settings.BackupDir.empty())
        return failed("odredisna fascikla nije podesena");
    if (!Paths::hasSeparator(source))
        return failed("nije putanja do fascikle");
    if (const auto problem = BackupNames::sourceNameProblem(source))
        return failed(*problem);
    if (liesInside(fileSystem, source, settings.BackupDir))
        return failed(RunTexts::insideDestination);

    if (settings.Brisati == 1 && settings.Starost > 0) {
        const auto oldDate = addDays(platform.clock.now().date, -settings.Starost);
        const std::string oldFolder = BackupNames::backupFolder(settings.BackupDir, oldDate, source);
        if (FolderExists(fileSystem, oldFolder)) {
            if (Result removed = fileSystem.removeTree(oldFolder, RemoveMode::NotForced); !removed)
                return failed("stara rezervna kopija nije obrisana: " + removed.error());
        }
    }

    // An unreachable share gets no empty dated folder that would look like a backup.
    if (!FolderExists(fileSystem, source))
        return failed("fascikla nije dostupna");

    RunLeftovers::removeDead(fileSystem, settings.BackupDir);
    const std::string target = BackupNames::backupFolder(settings.BackupDir, platform.clock.now().date, source);
    if (!fileSystem.exists(target)) {
        if (Result created = fileSystem.createDirectory(target); !created)
            return failed(created.error());
    }

    const std::string mark = RunLeftovers::mark(fileSystem, target);
    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, [&](const CopyProgress& progress) {
        host.reportProgress(RunProgress{source, progress.currentFile, progress.filesDone, progress.bytesDone});
    });
    // A copy given up while its thread still waits in the system may yet leave its temporary file: the mark stays
    // until this program has ended, and a later one clears the tree.
    if (!mark.empty() && !outcome.leftBehind)
        fileSystem.removeFile(mark, RemoveMode::Forced);
    if (!outcome.complete()) {
        SourceFailure failure = failed(summariseFileFailures(outcome.failures, "nije kopirano"));
        failure.files = outcome.failures;
        return failure;
    }
    return std::nullopt;
}

} // namespace

RunReport RunFolderBackup(const BackupSettings& savedSettings, BackupHost& host, const PlatformServices& platform)
{
    RunReport report;
    RunGuard guard;
    if (!guard.entered()) {
        report.refused = true;
        return report;
    }

    // The settings and the list as they are now: what the window saves while the run works is for the next run.
    const BackupSettings settings = savedSettings;
    host.setBusyPointer(true);
    reportRefusedEntries(report, host.refusedFolderEntries());
    std::vector<std::string> sources = listedFolders(host);
    if (!readyToRun(report, settings, sources, host, platform))
        sources.clear();
    for (const std::string& source : sources) {
        host.processEvents();
        if (RunCancellation::requested())
            break;
        std::optional<SourceFailure> failure;
        host.runWork([&] {
            try {
                failure = backUpSource(source, settings, host, platform);
            } catch (const std::exception& error) { // one source's surprise must not end the run
                failure = SourceFailure{source, std::string("greska: ") + error.what(), {}};
            }
        });
        if (failure)
            report.failed.push_back(std::move(*failure));
        else
            report.backedUp.push_back(source);
    }
    if (RunCancellation::requested())
        report.runFailure = RunTexts::stopped;
    finishFolderRun(report, settings, host, platform);
    return report;
}
