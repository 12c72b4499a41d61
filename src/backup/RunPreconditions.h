#pragma once

#include <optional>
#include <string>
#include <vector>

struct BackupSettings;
class BackupHost;
class FileSystem;
struct PlatformServices;
struct RunReport;

/// Why no backup can be written into the destination folder `backupDir`, one line in the window's language;
/// nothing when one can: it is set, it is a folder (a share that is down counts as missing), and a file can
/// be made in it (a hidden probe file, removed at once).
std::optional<std::string> destinationProblem(FileSystem& fileSystem, const std::string& backupDir);

/// The folders of the list as they are now (the folder list up to its first empty entry): a run works on these, so that
/// an entry removed or added while it works never shifts the ones it has not reached (the edit is for the next run).
std::vector<std::string> listedFolders(const BackupHost& host);

/// What a folder or archive run checks before it touches anything: a folder listed in `sources` (the run's
/// listedFolders), and a destination that can take backups. When one is missing the cause goes once into
/// `report.runFailure`, every listed folder into `report.failed` without a reason of its own, and the result is
/// false: the run backs nothing up. The disk is probed through `host.runWork`, off the window's thread.
bool readyToRun(RunReport& report, const BackupSettings& settings, const std::vector<std::string>& sources,
                BackupHost& host, const PlatformServices& platform);

/// True when `folder` is the folder `destination` or lies anywhere inside it: its backup would be written into
/// itself. Compared by what the paths lead to on the disk (not by how they are written: case, "\\?\" forms and
/// links differ), from `folder` up to its root. False when `destination` cannot be examined.
bool liesInside(const FileSystem& fileSystem, const std::string& folder, const std::string& destination);
