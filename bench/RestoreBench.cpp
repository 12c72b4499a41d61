// Restores the whole first backup of the newest day in a destination folder into an empty folder, the way the page
// "Vracanje" does, without a window: the benchmark times this process against cp -a of the same backup folder.
#include "BackupDays.h"
#include "BackupSource.h"
#include "BackupTree.h"
#include "RestorePlan.h"
#include "RestoreRun.h"
#include "SystemPlatform.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DESTINATION TARGET\n", argv[0]);
        return 2;
    }
    SystemFileSystem disk;
    const BackupDayList days = listBackupDays(disk, argv[1], std::nullopt);
    if (days.days.empty()) {
        std::fprintf(stderr, "no backups in %s\n", argv[1]);
        return 1;
    }
    const DayBackups backups = backupsOfDay(disk, days.days.front());
    if (backups.sources.empty()) {
        std::fprintf(stderr, "the newest day has no readable backup\n");
        return 1;
    }
    const BackupTree tree(disk, backups.sources.front());
    const RestorePlan plan = planRestore(disk, tree, {""}, argv[2], RestorePlacement::OriginalPlace);
    const RestoreOutcome outcome = carryOutRestore(disk, tree, plan, DifferentFiles::KeepBoth);
    for (const std::string& line : restoreFailureLines(outcome))
        std::fprintf(stderr, "%s\n", line.c_str());
    std::printf("%llu files restored\n", static_cast<unsigned long long>(outcome.written));
    return outcome.complete() ? 0 : 1;
}
