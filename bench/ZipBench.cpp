// Runs one compressed backup of one folder, as the window's button would, for bench/compressed.sh to time.
// Usage: zip_bench SOURCE_FOLDER BACKUP_FOLDER
#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "TestPlatform.h"
#include "ZipBackupRun.h"

#include <cstdio>

namespace {

/// The test host keeps every progress report; a benchmark of memory must not.
struct BenchHost : FakeBackupHost
{
    void reportProgress(const RunProgress&) override {}
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_FOLDER BACKUP_FOLDER\n", argv[0]);
        return 2;
    }
    TestPlatform platform;
    BenchHost host;
    host.folders = {argv[1]};
    BackupSettings settings;
    settings.BackupDir = argv[2];
    settings.NacinBackupa = 1; // no message box, no shutdown

    const RunReport report = RunZipBackup(settings, host, platform.services);
    for (const SourceFailure& failure : report.failed)
        std::fprintf(stderr, "not backed up: %s: %s\n", failure.source.c_str(), failure.reason.c_str());
    return report.backedUp.size() == 1 && report.failed.empty() ? 0 : 1;
}
