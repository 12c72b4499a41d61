// Times the sending of one day's backups to an S3-compatible store, for bench/offsite.sh.
// Usage: kopirko_offsite_bench SERVER_INI BACKUP_DIR DD_MM_YYYY PREFIX
// SERVER_INI is what scripts/s3-test-server writes; BACKUP_DIR holds the day's backups. Prints the seconds the
// sending took and what it did; exits 1 when it was not whole.
#include "OffsiteSender.h"
#include "ServerIni.h"
#include "SystemPlatform.h"

#include <chrono>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: kopirko_offsite_bench SERVER_INI BACKUP_DIR DD_MM_YYYY PREFIX\n";
        return 2;
    }
    const ObjectStoreAccount account = testStoreAccount(argv[1]);
    const std::string stamp = argv[3];
    OffsiteDayRequest day;
    day.settings.Adresa = account.endpoint;
    day.settings.Regija = account.region;
    day.settings.Bucket = account.bucket;
    day.settings.Kljuc = account.accessKey;
    day.settings.Tajna = account.secretKey;
    day.settings.Prefiks = argv[4];
    day.backupDir = argv[2];
    day.dates = {std::chrono::year_month_day{std::chrono::year{std::stoi(stamp.substr(6, 4))},
                                             std::chrono::month{static_cast<unsigned>(std::stoi(stamp.substr(3, 2)))},
                                             std::chrono::day{static_cast<unsigned>(std::stoi(stamp.substr(0, 2)))}}};
    day.today = day.dates.front();
    day.utcNow = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());

    SystemFileSystem files;
    SystemObjectStore store{files};
    const auto started = std::chrono::steady_clock::now();
    const OffsiteOutcome outcome = OffsiteSender(store, files, {}).sendDay(day);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::cout << took.count() << " s: " << outcome.summary() << "\n";
    return outcome.whole() ? 0 : 1;
}
