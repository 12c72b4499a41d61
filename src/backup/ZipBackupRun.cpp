#include "ZipBackupRun.h"

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
#include "RunPreconditions.h"
#include "ZipFolder.h"

#include <exception>
#include <optional>
#include <set>

namespace {

/// Sources of one run that share an archive name, and the top-level name each gets in it.
struct ArchiveGroup
{
    std::vector<std::size_t> members; ///< indexes into the run's source list, in list order
    std::vector<ZipSource> sources;
};

/// Groups the sources whose paths end in the same name: they map to the same archive, so they go into it
/// together, the first under its own name and each later one under "<name> (2)", "<name> (3)", ...
std::vector<ArchiveGroup> groupByArchiveName(const std::vector<std::string>& sources)
{
    std::vector<ArchiveGroup> groups;
    std::vector<std::string> groupSuffixes;
    for (std::size_t index = 0; index < sources.size(); ++index) {
        const std::string& source = sources[index];
        // An entry without a separator, or whose last name cannot be part of a backup's name, cannot be named; it
        // stays alone and fails on its own.
        const bool named = Paths::hasSeparator(source) && !BackupNames::sourceNameProblem(source);
        const std::string suffix = named ? BackupNames::SourceFolderSuffix(source) : "";
        std::size_t group = groups.size();
        if (!suffix.empty()) {
            for (std::size_t k = 0; k < groups.size(); ++k) {
                if (groupSuffixes[k] == suffix)
                    group = k;
            }
        }
        if (group == groups.size()) {
            groups.emplace_back();
            groupSuffixes.push_back(suffix);
        }
        groups[group].members.push_back(index);
    }
    for (ArchiveGroup& group : groups) {
        std::set<std::string> used;
        for (std::size_t index : group.members) {
            const std::string base = archiveTopName(sources[index]);
            std::string name = base;
            for (int copy = 2; used.count(name) != 0; ++copy)
                name = base + " (" + std::to_string(copy) + ")";
            used.insert(name);
            group.sources.push_back(ZipSource{sources[index], name});
        }
    }
    return groups;
}

/// Backs up one group of sources into today's archive; one result per member, nothing when it is whole.
/// Runs off the user-interface thread.
std::vector<std::optional<SourceFailure>> archiveGroup(const ArchiveGroup& group, const BackupSettings& settings,
                                                       BackupHost& host, const PlatformServices& platform)
{
    std::vector<std::optional<SourceFailure>> results(group.sources.size());
    auto failAll = [&](const std::string& reason) {
        for (std::size_t k = 0; k < group.sources.size(); ++k)
            results[k] = SourceFailure{group.sources[k].path, reason, {}};
        return results;
    };
    const std::string& first = group.sources.front().path;
    if (settings.BackupDir.empty())
        return failAll("odredisna fascikla nije podesena");
    if (!Paths::hasSeparator(first))
        return failAll("nije putanja do fascikle");
    if (const auto problem = BackupNames::sourceNameProblem(first))
        return failAll(*problem);

    FileSystem& fileSystem = platform.fileSystem;
    if (settings.Brisati == 1 && settings.Starost > 0) {
        const auto oldDate = addDays(platform.clock.now().date, -settings.Starost);
        const std::string oldArchive = BackupNames::backupFolder(settings.BackupDir, oldDate, first) + ".zip";
        if (FileExists(fileSystem, oldArchive)) {
            if (Result removed = fileSystem.removeFile(oldArchive, RemoveMode::Forced); !removed)
                return failAll("stara rezervna kopija nije obrisana: " + removed.error());
        }
    }

    const std::string archiveBase = BackupNames::backupFolder(settings.BackupDir, platform.clock.now().date, first);
    const ZipOutcome outcome =
        ZipFolders(fileSystem, group.sources, archiveBase, ZipOptions{}, [&](const ZipProgress& progress) {
            host.reportProgress(RunProgress{group.sources[progress.source].path, progress.currentFile,
                                            progress.filesDone, progress.bytesDone});
        });

    for (std::size_t k = 0; k < group.sources.size(); ++k) {
        const ZipSourceOutcome& source = outcome.sources[k];
        if (!source.reachable)
            results[k] = SourceFailure{
                source.path,
                "fascikla nije dostupna: " + source.error +
                    (source.carriedOver > 0 ? " (u arhivi je zadrzana njena kopija iz ranije arhive od danas)" : ""),
                {}};
        else if (!outcome.archive)
            results[k] = SourceFailure{source.path, "arhiva nije napravljena: " + outcome.archive.error(), {}};
        else if (!source.failures.empty())
            results[k] =
                SourceFailure{source.path, summariseFileFailures(source.failures, "nije arhivirano"), source.failures};
    }
    return results;
}

} // namespace

RunReport RunZipBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform)
{
    RunReport report;
    RunGuard guard;
    if (!guard.entered()) {
        report.refused = true;
        return report;
    }

    host.setBusyPointer(true);
    reportRefusedEntries(report, host.refusedFolderEntries());
    // The list is read once, up to its first empty entry: sources that share an archive are written together.
    std::vector<std::string> sources;
    const int last = readyToRun(report, settings, host, platform) ? host.folderCount() - 1 : -1;
    for (int index = 0; index <= last; ++index) {
        std::string source = host.folderEntry(index);
        if (source.empty())
            break;
        sources.push_back(std::move(source));
    }

    for (const ArchiveGroup& group : groupByArchiveName(sources)) {
        if (RunCancellation::requested())
            break;
        std::vector<std::optional<SourceFailure>> results;
        host.runWork([&] {
            try {
                results = archiveGroup(group, settings, host, platform);
            } catch (const std::exception& error) { // no exception may reach the window's event loop
                results.assign(group.sources.size(), SourceFailure{{}, std::string("greska: ") + error.what(), {}});
                for (std::size_t k = 0; k < results.size(); ++k)
                    results[k]->source = group.sources[k].path;
            }
        });
        for (std::size_t k = 0; k < results.size(); ++k) {
            if (results[k])
                report.failed.push_back(std::move(*results[k]));
            else
                report.backedUp.push_back(group.sources[k].path);
        }
    }
    if (RunCancellation::requested())
        report.runFailure = RunTexts::stopped;
    finishFolderRun(report, settings, host, platform);
    return report;
}
