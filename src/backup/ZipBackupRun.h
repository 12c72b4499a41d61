#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// The compressed twin of RunFolderBackup: for each folder of the folder list as it is when the run starts (read
/// once, up to its first empty entry; the settings too are taken then), the archive of exactly Starost days ago is
/// deleted, forced (Brisati = 1, Starost > 0), and today's archive BackupDir/dd_MM_yyyy_<last name>_backup.zip is
/// written whole and put in place before the next folder is taken (see ZipFolder). Folders whose paths end in the same
/// name (compared as Windows compares names, on every platform) share that archive: the first is stored under its own
/// name, each later one under "<name> (2)", "<name> (3)", ...; one that cannot be reached keeps in it what the earlier
/// archive of the day holds of it (see ZipFolders). One folder that fails does not stop the others; one that is the
/// destination or lies inside it is not backed up, and the destination lying inside a folder is left out of its
/// archive; every folder that is not in its archive whole is in the returned report with the reason. The end steps
/// follow (finishFolderRun), the network-shutdown timer included. Refused, with nothing done, while another run is in
/// progress.
RunReport RunZipBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);
