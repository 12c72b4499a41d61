#include "OffsiteCheck.h"

#include "FileSystem.h"
#include "ObjectStore.h"
#include "OffsiteSender.h"
#include "StoreProblem.h"

#include <memory>

namespace {

/// Writes the probe's few bytes; the reason when it cannot.
Result writeProbe(FileSystem& disk, const std::string& path, std::chrono::sys_seconds utcNow)
{
    std::string error;
    std::unique_ptr<OutputFile> file = disk.createFile(path, error);
    if (!file)
        return Result::failure(error);
    const std::string text = "Kopirko, provjera " + OffsiteSender::isoMoment(utcNow) + "\n";
    if (Result written = file->write(text.data(), text.size()); !written)
        return written;
    return file->close();
}

} // namespace

OffsiteCheck::Findings OffsiteCheck::run(ObjectStore& store, FileSystem& disk, const OffsiteSettings& settings,
                                         const std::string& probeFile, std::chrono::sys_seconds utcNow)
{
    Findings findings;
    std::string& text = findings.text;
    auto line = [&text](const std::string& said) { text += (text.empty() ? "" : "\r\n") + said; };
    if (const Result valid = OffsiteSettingsStore::check(settings); !valid) {
        line(valid.error());
        return findings;
    }
    for (const std::string& warning : OffsiteSettingsStore::warnings(settings))
        line(warning);
    const ObjectStoreAccount account = settings.account();

    if (const StoreAnswer bucket = store.checkBucket(account); !bucket.result) {
        line("Bucket \"" + settings.Bucket + "\" se ne moze koristiti: " + StoreProblem::describe(bucket));
        return findings;
    }
    line("Bucket \"" + settings.Bucket + "\" odgovara.");

    const std::string probeKey = settings.Prefiks + "/kopirko-proba.txt";
    if (const Result written = writeProbe(disk, probeFile, utcNow); !written) {
        line("Probna datoteka se ne moze napisati: " + written.error());
        return findings;
    }
    const std::optional<FileStat> stat = disk.statFile(probeFile);
    const StoreAnswer put = store.putObject(account, probeKey, {probeFile, 0, stat ? stat->size : 0}, {});
    (void)disk.removeFile(probeFile, RemoveMode::Forced);
    if (!put.result) {
        line("Kljuc ne moze pisati u bucket: " + StoreProblem::describe(put));
        return findings;
    }
    // With a default lock of the bucket the probe stays until it runs out; that is no fault of the settings.
    (void)store.deleteObject(account, probeKey);
    line("Kljuc moze pisati u bucket (probni objekat \"" + probeKey + "\").");
    findings.canSend = true;

    bool locking = false;
    if (const StoreAnswer lock = store.bucketHasObjectLock(account, locking); !lock.result) {
        line("Ne moze se provjeriti zakljucavanje (Object Lock): " + StoreProblem::describe(lock));
    } else if (locking) {
        line(settings.ZakljucatiDana > 0
                 ? "Bucket ima zakljucavanje (Object Lock): svaki objekat ce biti zakljucan " +
                       std::to_string(settings.ZakljucatiDana) + " dana."
                 : "Bucket ima zakljucavanje (Object Lock), ali ZakljucatiDana je 0: objekti se ne zakljucavaju.");
    } else if (settings.ZakljucatiDana > 0) {
        line("Upozorenje: bucket nema zakljucavanje (Object Lock), a ZakljucatiDana je " +
             std::to_string(settings.ZakljucatiDana) +
             ": skladiste ce odbiti slanje. Napravite bucket sa ukljucenim Object Lock ili postavite 0.");
        findings.canSend = false;
    } else {
        line("Bucket nema zakljucavanje (Object Lock): kljuc ovog racunara moze brisati poslane kopije.");
    }
    return findings;
}
