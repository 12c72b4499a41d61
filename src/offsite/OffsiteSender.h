#pragma once

#include "OffsiteDay.h"
#include "OffsiteSettings.h"
#include "StoreProblem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class FileSystem;

/// Where the sending of a day stands.
struct OffsiteProgress
{
    std::uint64_t filesDone = 0; ///< sent or found unchanged
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesSent = 0;
};

/// What the sending of a day did. It is whole when `problems` is empty.
struct OffsiteOutcome
{
    std::uint64_t filesSent = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t filesUnchanged = 0; ///< already in the store with the same size and modification time
    std::uint64_t daysRemoved = 0;
    std::uint64_t daysStillLocked = 0; ///< old enough to go, but their lock has not run out yet
    /// What went wrong, one line each in the window's language, the first naming the store's failure.
    std::vector<std::string> problems;

    bool whole() const { return problems.empty(); }
    /// One line for the page "Backup": what was sent, or the first problem.
    std::string summary() const;
};

/// What to send: the backups of `dates` in `backupDir`, to the store of `settings`.
struct OffsiteDayRequest
{
    OffsiteSettings settings;
    std::string backupDir;
    std::vector<std::chrono::year_month_day> dates; ///< the days the run wrote (two when it passed midnight)
    std::chrono::year_month_day today;              ///< the local date, for the removal of old days
    /// The local backups' rule "Brisati ... Starost": with Brisati = 1 and Starost > 0, the store's days at least
    /// Starost days old go too, as soon as no object of theirs is locked any longer.
    int Brisati = 0;
    int Starost = 0;
    std::chrono::sys_seconds utcNow; ///< locks run N days from this; expired locks are judged by it
};

/// Sends a day's backups to an S3-compatible store: each file whose object is missing or differs in size or bytes,
/// several at once, large ones in parts. A file sent in one request is judged by the MD5 the store's listing gives
/// (its ETag), hashed here while the store lists the day; one sent in parts by its modification time, kept in the
/// object's metadata "kopirko-mtime" (a listing gives no MD5 of such an object). So a file that was only touched is
/// not sent again unless it goes in parts, and its object keeps the older time. With
/// ZakljucatiDana > 0 each object locked in COMPLIANCE mode. Uploads left unfinished under the prefix (an earlier
/// sending that was cut off) are aborted first; an upload that fails is aborted, never left to cost money. A
/// failure of the store (down, key refused, no bucket, full, nonsense) stops the sending and is named in the
/// outcome; the local backups are only read. Safe to call from any thread; blocks until done.
class OffsiteSender
{
public:
    struct Options
    {
        int transfers = 4; ///< uploads (or parts of one) at once
        int checks = 16;   ///< questions whether a large file is there already (HEAD) at once
        int hashes = 4;    ///< files read and hashed at once (each with a buffer of at most `hashPiece` bytes)
        std::uint64_t partSize = 16ull * 1024 * 1024; ///< files above this go in parts of this size
        StoreProblem::RetryPolicy retry;
        std::function<void(const OffsiteProgress&)> progress; ///< called from the sending threads
        std::function<bool()> stop;                           ///< true: end soon, aborting what is under way
    };

    OffsiteSender(ObjectStore& store, const FileSystem& disk, Options options);

    OffsiteOutcome sendDay(const OffsiteDayRequest& request);

    /// "yyyy-MM-ddTHH:mm:ssZ" of `moment`.
    static std::string isoMoment(std::chrono::sys_seconds moment);
    /// The moment of an ISO 8601 UTC text ("2026-12-31T00:00:00Z", fractions allowed); nothing for any other.
    static std::optional<std::chrono::sys_seconds> parseIsoMoment(const std::string& text);
    /// The part size for a file of `size` bytes: `partSize`, larger where the store's 10,000 parts would not do.
    static std::uint64_t partSizeFor(std::uint64_t size, std::uint64_t partSize);

private:
    struct Run;
    void abortLeftovers(Run& run);
    /// Reads the size and time of `file` again (the metadata must describe the bytes that go) and hashes it when it
    /// goes in one request; false, with the reason recorded, when it cannot be read.
    bool readFile(Run& run, OffsiteFile& file);
    /// Aborts the unfinished uploads and lists the objects of the request's days into `listed`, sorted by key.
    void listDays(Run& run, std::vector<StoredObject>& listed);
    /// Whether `file` (as readFile() found it) is missing from `listed` or differs from its object; false, with the
    /// reason recorded, when that cannot be found out.
    bool needsSending(Run& run, const OffsiteFile& file, const std::vector<StoredObject>& listed);
    void countUnchanged(Run& run);
    void sendFile(Run& run, const OffsiteFile& file);
    StoreAnswer uploadWhole(Run& run, const OffsiteFile& file, const PutOptions& options);
    StoreAnswer uploadInParts(Run& run, const OffsiteFile& file, const PutOptions& options);
    void removeOldDays(Run& run);
    /// Deletes what a bucket that keeps versions still holds of the removed `day`: earlier versions of its files
    /// (a file sent again) and the delete markers; locked ones stay.
    void removeEarlierVersions(Run& run, const std::string& day);
    StoreAnswer retried(Run& run, const std::function<StoreAnswer()>& request);
    /// Records a failure; one that concerns the whole store stops the sending.
    void fail(Run& run, const std::string& what, const StoreAnswer& answer);
    bool stopping(Run& run) const;

    ObjectStore& m_store;
    const FileSystem& m_disk;
    Options m_options;
};
