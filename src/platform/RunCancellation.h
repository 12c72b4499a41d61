#pragma once

/// The request to stop the backup run in progress (the user ends the program while it works). The window asks;
/// the runs look between sources, the copies under them between files, and an archive between the pieces of a
/// large file, and stop there: a file being copied is finished or dropped, a temporary archive is removed, and
/// backups made earlier stay as they were. Only one run works at a time, so the program has one request.
namespace RunCancellation {

/// Asks the run in progress to stop. Safe from any thread.
void request();
/// True from request() until clear().
bool requested();
/// Forgets an earlier request; every run does this when it starts.
void clear();

} // namespace RunCancellation
