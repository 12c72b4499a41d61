// Restores the whole first backup of the newest day in an S3-compatible store into an empty folder, the way the page
// "Vracanje" does, without a window, for bench/store-restore.sh.
// Usage: kopirko_store_restore_bench SERVER_INI PREFIX TARGET
// SERVER_INI is what scripts/s3-test-server writes. Prints the seconds the restore took (after the day was listed and
// planned) and the files restored; exits 1 when it was not whole.
#include "BackupTree.h"
#include "RestorePlan.h"
#include "RestoreRun.h"
#include "ServerIni.h"
#include "StoreBackups.h"
#include "SystemPlatform.h"

#include <chrono>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: kopirko_store_restore_bench SERVER_INI PREFIX TARGET\n";
        return 2;
    }
    SystemFileSystem files;
    SystemObjectStore store{files};
    StoreAccess access{&store, testStoreAccount(argv[1]), argv[2], {}};

    const BackupDayList days = listStoreDays(access);
    if (days.days.empty()) {
        std::cerr << "no days under " << access.prefix << ": " << days.error << "\n";
        return 1;
    }
    const DayBackups backups = backupsOfStoreDay(access, files, days.days.front(), argv[3]);
    if (backups.sources.empty()) {
        std::cerr << "the newest day has no readable backup\n";
        return 1;
    }
    const BackupTree tree(files, backups.sources.front());
    const RestorePlan plan = planRestore(files, tree, {""}, argv[3], RestorePlacement::IntoFolder);
    const auto started = std::chrono::steady_clock::now();
    const RestoreOutcome outcome = carryOutRestore(files, tree, plan, DifferentFiles::KeepBoth);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    for (const std::string& line : restoreFailureLines(outcome))
        std::cerr << line << "\n";
    std::cout << took.count() << " s: " << outcome.written << " files restored\n";
    return outcome.complete() ? 0 : 1;
}
