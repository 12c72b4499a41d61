#pragma once

#include "FileSystem.h"

#include <string>
#include <vector>

/// A source (folder, or cash register in the database backup) that was not backed up, or not whole.
struct SourceFailure
{
    std::string source;             ///< the entry as the user knows it: folder path or register label
    std::string reason;             ///< one line, readable by the user
    std::vector<FileFailure> files; ///< files and folders that could not be copied, where known
};

/// What one run did. A run never reports a failure as success: every source that is not backed up whole
/// is in `failed`.
struct RunReport
{
    bool refused = false;              ///< another run was in progress: nothing was done
    std::vector<std::string> backedUp; ///< sources backed up whole
    std::vector<SourceFailure> failed; ///< sources not backed up, or not whole
    std::vector<std::string> warnings; ///< things that went wrong around the sources (old backup not deleted, ...)
    /// What kept the run from backing up its sources, said once: no folder listed or a destination that cannot
    /// take backups (every listed source is in `failed` then, without a reason of its own), or a stop (the
    /// sources not reached are in neither list).
    std::string runFailure;

    bool hasFailures() const { return !failed.empty() || !runFailure.empty(); }
    bool hasProblems() const { return hasFailures() || !warnings.empty(); }
};

/// Texts the runs show.
namespace RunTexts {
inline constexpr const char* completed = "Izrada rezervne kopije je zavrsena";
inline constexpr const char* notBackedUpHeading =
    "Nisu napravljene rezervne kopije  sledecih fascikli jer nisu bile dostupne";
inline constexpr const char* alreadyRunning = "Izrada rezervne kopije je vec u toku.";
/// The first line of the completion message when the run backed nothing up.
inline constexpr const char* notMade = "Rezervna kopija nije izradjena.";
inline constexpr const char* noFolders = "Na popisu nema nijedne fascikle za izradu rezervne kopije.";
inline constexpr const char* stopped = "Izrada rezervne kopije je prekinuta.";
/// Why a listed folder that is the destination, or lies inside it, is not backed up.
inline constexpr const char* insideDestination = "fascikla je unutar odredisne fascikle";
} // namespace RunTexts

/// Adds each refused entry of the folder list (BackupHost::refusedFolderEntries) to the report's failures.
void reportRefusedEntries(RunReport& report, const std::vector<std::string>& refused);

/// "Izrada rezervne kopije je zavrsena" (RunTexts::notMade and the run's failure when the run backed nothing
/// up), and, when any source failed, a blank line, the heading of the list of failed sources and one line per
/// failed source with its reason, then the warnings. Line ends are CR LF.
std::string completionMessage(const RunReport& report);

/// One line for a source some of whose files failed: the reason itself for one failure, else the count and the
/// first reason. `notDone` says what did not happen to them ("nije kopirano", "nije arhivirano").
std::string summariseFileFailures(const std::vector<FileFailure>& failures, const std::string& notDone);

/// The lines for the status page's list: one per failed source, "source: reason", then the warnings.
std::vector<std::string> failureLines(const RunReport& report);
