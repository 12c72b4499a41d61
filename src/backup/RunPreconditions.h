#pragma once

#include <optional>
#include <string>

struct BackupSettings;
class BackupHost;
class FileSystem;
struct PlatformServices;
struct RunReport;

/// Why no backup can be written into the destination folder `backupDir`, one line in the window's language;
/// nothing when one can: it is set, it is a folder (a share that is down counts as missing), and a file can
/// be made in it (a hidden probe file, removed at once).
std::optional<std::string> destinationProblem(FileSystem& fileSystem, const std::string& backupDir);

/// What a folder or archive run checks before it touches anything: a folder listed (the folder list up to its first
/// empty entry), and a destination that can take backups. When one is missing the cause goes once into
/// `report.runFailure`, every listed folder into `report.failed` without a reason of its own, and the result is
/// false: the run backs nothing up. The disk is probed through `host.runWork`, off the window's thread.
bool readyToRun(RunReport& report, const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);
