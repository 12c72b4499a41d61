#pragma once

#include "RestorePlan.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// What becomes of a file that differs from the one at its target.
enum class DifferentFiles {
    KeepBoth, ///< the file at the target stays; the restored one is written beside it (PlannedFile::besideTarget)
    Replace   ///< the restored file takes its place (never a read-only file, nor one a program holds)
};

/// How far a restore is.
struct RestoreProgress
{
    std::string currentFile; ///< the target being written
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0; ///< of the plan, the ones left alone included
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0; ///< of the files to be written
};

/// What a restore did.
struct RestoreOutcome
{
    std::uint64_t written = 0;   ///< files written where nothing was
    std::uint64_t beside = 0;    ///< files written beside a different one
    std::uint64_t replaced = 0;  ///< files that replaced a different one
    std::uint64_t leftAlone = 0; ///< files already there, the same
    std::uint64_t bytes = 0;
    std::vector<FileFailure> failures; ///< every file (or folder) not restored, and why, the plan's problems first
    bool refused = false;              ///< a backup was in progress: nothing was done
    bool stopped = false;              ///< the user stopped it: the files not reached are in no list
    bool heldByProgram = false;        ///< some file could not be replaced because a program holds it

    bool complete() const { return failures.empty() && !stopped && !refused; }
};

using RestoreProgressCallback = std::function<void(const RestoreProgress&)>;

/// Carries out `plan` (made by planRestore from `tree`): the missing folders are made, each file is written under a
/// temporary name beside its target, written through to the disk, given the modification time it has in the
/// backup, and only then renamed into place, so that a name never holds half a file. A file left alone is not
/// touched; a file in the way is never replaced unless `different` says so, and a read-only one never. A file or
/// archive entry that fails does not stop the rest: it is named in the outcome with the reason in the window's
/// language (an archive entry whose data is damaged among them). Looks for RunCancellation between files and while
/// a file is copied; what was put in place stays. Refused while a backup runs (RunGuard), and a backup is refused
/// while this runs. `progress` (may be empty) is called on the calling thread, or on a copying thread of the
/// platform, one call at a time.
RestoreOutcome carryOutRestore(FileSystem& fileSystem, const BackupTree& tree, const RestorePlan& plan,
                               DifferentFiles different, const RestoreProgressCallback& progress = {});

/// The lines of a result the user reads: one per file not restored, "path: reason"; the advice to close the program
/// that holds a file, when one did; "Vracanje je prekinuto." when stopped.
std::vector<std::string> restoreFailureLines(const RestoreOutcome& outcome);
