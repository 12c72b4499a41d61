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
#include "WindowsNames.h"
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
/// together, the first under its own name and each later one under "<name> (2)", "<name> (3)", ... Names are
/// compared as Windows compares them (WindowsNames::sameName) on every platform: "Dokumenti" and "dokumenti" are one
/// file on Windows' disks, and on a share, FAT or exFAT disk mounted here, so the second archive would replace the
/// first; where the disk tells them apart, one archive for both loses nothing. For the same reason no two top names
/// in one archive differ only in case: it must unpack whole on Windows too.
std::vector<ArchiveGroup> groupByArchiveName(const std::vector<std::string>& sources)
{
    std::vector<ArchiveGroup> groups;
    std::vector<std::string> groupSuffixes;
    for (std::size_t index = 0; index < sources.size(); ++index) {
        const std::string& source = sources[index];
        // An entry without a separator, or whose last name cannot be part of a backup's name, cannot be named; it
        // stays alone and fails on its own.
        const bool named = Paths::hasSeparator(source) && !BackupNames::sourceNameProblem(source);
        const std::string suffix = named ? WindowsNames::comparisonKey(BackupNames::SourceFolderSuffix(source)) : "";
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
            for (int copy = 2; used.count(WindowsNames::comparisonKey(name)) != 0; ++copy)
                name = base + " (" + std::to_string(copy) + ")";
            used.insert(WindowsNames::comparisonKey(name));
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
    // A folder that is the destination or lies in it is left out of the group; the others go on without it.
    std::vector<ZipSource> kept;
    std::vector<std::size_t> keptMembers;
    for (std::size_t k = 0; k < group.sources.size(); ++k) {
        if (liesInside(fileSystem, group.sources[k].path, settings.BackupDir)) {
            results[k] = SourceFailure{group.sources[k].path, RunTexts::insideDestination, {}};
        } else {
            kept.push_back(group.sources[k]);
            keptMembers.push_back(k);
        }
    }
    if (kept.empty())
        return results;

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
        ZipFolders(fileSystem, kept, archiveBase, ZipOptions{}, [&](const ZipProgress& progress) {
            host.reportProgress(
                RunProgress{kept[progress.source].path, progress.currentFile, progress.filesDone, progress.bytesDone});
        });

    for (std::size_t j = 0; j < kept.size(); ++j) {
        const std::size_t k = keptMembers[j];
        const ZipSourceOutcome& source = outcome.sources[j];
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

RunReport RunZipBackup(const BackupSettings& savedSettings, BackupHost& host, const PlatformServices& platform)
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
    // Read once, up to the first empty entry: sources that share an archive are written together.
    std::vector<std::string> sources = listedFolders(host);
    if (!readyToRun(report, settings, sources, host, platform))
        sources.clear();

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
