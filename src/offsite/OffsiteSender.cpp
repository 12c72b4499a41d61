#include "OffsiteSender.h"

#include "FileSystem.h"
#include "LocalDateTime.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

namespace {

constexpr const char* mtimeKey = "kopirko-mtime";
/// The store's limits of a multipart upload.
constexpr std::uint64_t mostParts = 10000;
constexpr std::uint64_t smallestPart = 5ull * 1024 * 1024;
/// Bytes read at once while a file is hashed: the memory each hashing thread holds.
constexpr std::size_t hashPiece = 256 * 1024;

/// Whether `etag` is what a store gives for an object sent in one request: the hex MD5 of its bytes.
bool isPlainMd5(const std::string& etag)
{
    return etag.size() == 32 && etag.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string lowerHex(const ContentDigest::Md5& md5)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : md5) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

bool sameMd5(const std::string& etag, const ContentDigest::Md5& md5)
{
    std::string lower = etag;
    for (char& c : lower)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return lower == lowerHex(md5);
}

/// Runs `work(i)` for i = 0..count-1 on up to `threads` threads; each index once.
void inParallel(int threads, std::size_t count, const std::function<void(std::size_t)>& work)
{
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    const std::size_t extra = std::min<std::size_t>(std::max(1, threads), count) - (count > 0 ? 1 : 0);
    for (std::size_t t = 0; t < extra; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool)
        thread.join();
}

std::string megabytes(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

} // namespace

struct OffsiteSender::Run
{
    const OffsiteDayRequest& request;
    ObjectStoreAccount account;
    std::string prefix;
    PutOptions putOptions; ///< the lock, when asked for; the metadata is each file's own
    std::mutex mutex;
    OffsiteOutcome outcome;
    std::atomic<bool> storeFailed{false};
    std::atomic<std::uint64_t> filesDone{0};
    std::atomic<std::uint64_t> bytesSent{0};
    std::uint64_t filesTotal = 0;
};

OffsiteSender::OffsiteSender(ObjectStore& store, const FileSystem& disk, Options options)
    : m_store(store), m_disk(disk), m_options(std::move(options))
{}

std::string OffsiteSender::isoMoment(std::chrono::sys_seconds moment)
{
    const auto day = std::chrono::floor<std::chrono::days>(moment);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{moment - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::optional<std::chrono::sys_seconds> OffsiteSender::parseIsoMoment(const std::string& text)
{
    int year = 0, hour = 0, minute = 0, second = 0;
    unsigned month = 0, day = 0;
    char tail = 0;
    if (text.size() < 20 ||
        std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &tail) !=
            7 ||
        (tail != 'Z' && tail != '.'))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    return std::chrono::sys_days{date} + std::chrono::hours{hour} + std::chrono::minutes{minute} +
           std::chrono::seconds{second};
}

std::uint64_t OffsiteSender::partSizeFor(std::uint64_t size, std::uint64_t partSize)
{
    std::uint64_t part = std::max(partSize, smallestPart);
    if ((size + part - 1) / part > mostParts) {
        const std::uint64_t mebibyte = 1024 * 1024;
        part = ((size + mostParts - 1) / mostParts + mebibyte - 1) / mebibyte * mebibyte;
    }
    return part;
}

std::string OffsiteOutcome::summary() const
{
    if (!problems.empty())
        return problems.front();
    std::string line = "Slanje van lokala je zavrseno: poslano " + std::to_string(filesSent) + " datoteka (" +
                       megabytes(bytesSent) + "), " + std::to_string(filesUnchanged) + " vec postoji";
    if (daysRemoved > 0)
        line += ", obrisano starih dana: " + std::to_string(daysRemoved);
    return line + ".";
}

bool OffsiteSender::stopping(Run& run) const
{
    return run.storeFailed || (m_options.stop && m_options.stop());
}

StoreAnswer OffsiteSender::retried(Run& run, const std::function<StoreAnswer()>& request)
{
    return StoreProblem::withRetries(m_options.retry, request, [this, &run] { return stopping(run); });
}

void OffsiteSender::fail(Run& run, const std::string& what, const StoreAnswer& answer)
{
    const bool wholeStore = StoreProblem::stopsTheSending(answer);
    std::lock_guard lock(run.mutex);
    if (wholeStore && run.storeFailed.exchange(true))
        return; // the store's failure is said once; what failed with it is no news
    run.outcome.problems.push_back("Slanje van lokala nije uspjelo: " + what + ": " + StoreProblem::describe(answer));
}

void OffsiteSender::abortLeftovers(Run& run)
{
    std::vector<std::pair<std::string, std::string>> uploads;
    const StoreAnswer listed =
        retried(run, [&] { return m_store.listMultipartUploads(run.account, run.prefix + "/", uploads); });
    if (!listed.result) {
        // A store that keeps no list of unfinished uploads may still take the day; one that fails as a whole not.
        if (StoreProblem::stopsTheSending(listed))
            fail(run, "popis nezavrsenih slanja", listed);
        return;
    }
    for (const auto& upload : uploads) {
        const std::string& key = upload.first; // a name of its own: clang before 16 cannot capture a structured binding
        const StoreAnswer aborted =
            retried(run, [&] { return m_store.abortMultipartUpload(run.account, key, upload.second); });
        if (!aborted.result && aborted.status != 404)
            fail(run, "prekid nezavrsenog slanja " + key, aborted);
    }
}

StoreAnswer OffsiteSender::uploadWhole(Run& run, const OffsiteFile& file, const PutOptions& options)
{
    PutOptions hashed = options;
    hashed.sha256 = file.sha256;
    hashed.md5 = file.md5;
    return retried(run, [&] { return m_store.putObject(run.account, file.key, {file.path, 0, file.size}, hashed); });
}

StoreAnswer OffsiteSender::uploadInParts(Run& run, const OffsiteFile& file, const PutOptions& options)
{
    std::string uploadId;
    StoreAnswer answer =
        retried(run, [&] { return m_store.startMultipartUpload(run.account, file.key, options, uploadId); });
    if (!answer.result)
        return answer;
    const std::uint64_t part = partSizeFor(file.size, m_options.partSize);
    const std::size_t parts = static_cast<std::size_t>((file.size + part - 1) / part);
    std::vector<std::string> etags(parts);
    std::mutex failureMutex;
    std::optional<StoreAnswer> failure;
    inParallel(m_options.transfers, parts, [&](std::size_t index) {
        {
            std::lock_guard lock(failureMutex);
            if (failure)
                return;
        }
        if (stopping(run)) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = StoreAnswer{Result::failure("slanje je zaustavljeno"), 0, {}};
            return;
        }
        const std::uint64_t offset = index * part;
        const FileSlice slice{file.path, offset, std::min(part, file.size - offset)};
        const StoreAnswer sent = retried(run, [&] {
            return m_store.putPart(run.account, file.key, uploadId, static_cast<int>(index + 1), slice, etags[index]);
        });
        if (!sent.result) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = sent;
            return;
        }
        run.bytesSent += slice.length;
        if (m_options.progress)
            m_options.progress({run.filesDone, run.filesTotal, run.bytesSent});
    });
    if (!failure) {
        answer = retried(run, [&] { return m_store.completeMultipartUpload(run.account, file.key, uploadId, etags); });
        if (answer.result)
            return answer;
        failure = answer;
    }
    // An unfinished upload keeps its parts (and costs) until it is aborted; the next sending tries again if this
    // abort does not go through.
    (void)retried(run, [&] { return m_store.abortMultipartUpload(run.account, file.key, uploadId); });
    return *failure;
}

bool OffsiteSender::readFile(Run& run, OffsiteFile& file)
{
    if (stopping(run))
        return false;
    const auto unreadable = [&](const std::string& why) {
        std::lock_guard lock(run.mutex);
        run.outcome.problems.push_back("Slanje van lokala: datoteka " + file.path + " se ne moze procitati" + why +
                                       ".");
        return false;
    };
    const std::optional<FileStat> stat = m_disk.statFile(file.path);
    if (!stat)
        return unreadable("");
    file.size = stat->size;
    file.modifiedNs = stat->modifiedNs;
    file.sha256.reset();
    file.md5.reset();
    ContentDigest digest;
    if (file.size > m_options.partSize || !digest.ready())
        return true; // parts are hashed one by one as they go; without hashes the store says why it cannot send
    std::string error;
    const std::unique_ptr<InputFile> input = m_disk.openForReading(file.path, error);
    if (!input)
        return unreadable(": " + error);
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(hashPiece, file.size)));
    for (std::uint64_t done = 0; done < file.size;) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.size - done));
        const auto got = input->readAt(done, buffer.data(), wanted, error);
        if (!got)
            return unreadable(": " + error);
        if (*got == 0)
            return unreadable(": got shorter while it was read");
        digest.add(buffer.data(), *got);
        done += *got;
    }
    digest.finish(file.sha256.emplace(), file.md5.emplace());
    return true;
}

void OffsiteSender::countUnchanged(Run& run)
{
    {
        std::lock_guard lock(run.mutex);
        ++run.outcome.filesUnchanged;
    }
    ++run.filesDone;
    if (m_options.progress)
        m_options.progress({run.filesDone, run.filesTotal, run.bytesSent});
}

bool OffsiteSender::needsSending(Run& run, const OffsiteFile& file, const std::vector<StoredObject>& listed)
{
    if (stopping(run))
        return false;
    const auto there =
        std::lower_bound(listed.begin(), listed.end(), file.key,
                         [](const StoredObject& object, const std::string& key) { return object.key < key; });
    if (there == listed.end() || there->key != file.key || there->size != file.size)
        return true;
    // An object sent in one request is judged by its bytes, which the listing gives as an MD5: no request more.
    if (file.md5 && isPlainMd5(there->etag)) {
        if (!sameMd5(there->etag, *file.md5))
            return true;
        countUnchanged(run);
        return false;
    }
    // One sent in parts (a large file, whose ETag is no MD5 of its bytes) by its modification time.
    StoredObject described;
    const StoreAnswer head = retried(run, [&] { return m_store.headObject(run.account, file.key, described); });
    if (!head.result && head.status != 404) {
        fail(run, file.key, head);
        return false;
    }
    const auto mtime = described.metadata.find(mtimeKey);
    if (!head.result || mtime == described.metadata.end() || mtime->second != std::to_string(file.modifiedNs))
        return true;
    countUnchanged(run);
    return false;
}

void OffsiteSender::sendFile(Run& run, const OffsiteFile& file)
{
    if (stopping(run))
        return;
    PutOptions options = run.putOptions;
    options.metadata[mtimeKey] = std::to_string(file.modifiedNs);
    const StoreAnswer sent =
        file.size > m_options.partSize ? uploadInParts(run, file, options) : uploadWhole(run, file, options);
    if (!sent.result) {
        // Told to stop, the upload was broken off and aborted on purpose: the outcome says once that it stopped.
        if (!(m_options.stop && m_options.stop()))
            fail(run, file.key, sent);
        return;
    }
    if (file.size <= m_options.partSize)
        run.bytesSent += file.size;
    const std::optional<FileStat> after = m_disk.statFile(file.path);
    {
        std::lock_guard lock(run.mutex);
        ++run.outcome.filesSent;
        run.outcome.bytesSent += file.size;
        // The object keeps the older time, so the next sending takes the file again.
        if (!after || after->size != file.size || after->modifiedNs != file.modifiedNs)
            run.outcome.problems.push_back("Slanje van lokala: datoteka " + file.path +
                                           " se mijenjala dok je slana; salje se ponovo sljedeci put.");
    }
    ++run.filesDone;
    if (m_options.progress)
        m_options.progress({run.filesDone, run.filesTotal, run.bytesSent});
}

void OffsiteSender::removeEarlierVersions(Run& run, const std::string& day)
{
    std::vector<StoredVersion> versions;
    const std::string start = run.prefix + "/" + day;
    if (!retried(run, [&] { return m_store.listObjectVersions(run.account, start, versions); }).result)
        return; // a store that keeps no versions may not list them either; its lifecycle rules are the backstop
    for (const StoredVersion& version : versions) {
        if (OffsiteDay::dayNameOfKey(version.key, run.prefix) != day || stopping(run))
            continue;
        // A version still locked stays until its date; a later run takes it.
        (void)retried(run, [&] { return m_store.deleteObjectVersion(run.account, version.key, version.versionId); });
    }
}

void OffsiteSender::removeOldDays(Run& run)
{
    const OffsiteDayRequest& request = run.request;
    if (request.Brisati != 1 || request.Starost <= 0 || stopping(run))
        return;
    const auto newestToGo = std::chrono::sys_days{addDays(request.today, -request.Starost)};
    std::vector<StoredObject> objects;
    const StoreAnswer listed =
        retried(run, [&] { return m_store.listObjects(run.account, run.prefix + "/", objects); });
    if (!listed.result) {
        fail(run, "popis starih dana", listed);
        return;
    }
    std::map<std::string, std::vector<std::string>> oldDays;
    for (const StoredObject& object : objects) {
        const std::string day = OffsiteDay::dayNameOfKey(object.key, run.prefix);
        const auto date = OffsiteDay::dateOfBackupName(day);
        if (date && std::chrono::sys_days{*date} <= newestToGo)
            oldDays[day].push_back(object.key);
    }
    for (const auto& [day, keys] : oldDays) {
        if (stopping(run))
            return;
        // A day goes whole or not at all: no object of it may still be locked.
        bool locked = false;
        std::vector<StoredObject> found;
        for (const std::string& key : keys) {
            StoredObject& described = found.emplace_back();
            const StoreAnswer head = retried(run, [&] { return m_store.headObject(run.account, key, described); });
            if (!head.result && head.status != 404) {
                fail(run, "stari dan " + day, head);
                return;
            }
            if (!head.result) { // gone meanwhile
                found.pop_back();
                continue;
            }
            described.key = key;
            const auto until = parseIsoMoment(described.retainUntil);
            if (!described.retainUntil.empty() && (!until || *until > request.utcNow)) {
                locked = true;
                break;
            }
        }
        if (locked) {
            std::lock_guard lock(run.mutex);
            ++run.outcome.daysStillLocked;
            continue;
        }
        bool removed = true;
        for (const StoredObject& object : found) {
            // The version itself goes where the bucket keeps versions: a delete marker alone frees nothing.
            const StoreAnswer deleted = retried(run, [&] {
                return object.versionId.empty()
                           ? m_store.deleteObject(run.account, object.key)
                           : m_store.deleteObjectVersion(run.account, object.key, object.versionId);
            });
            if (!deleted.result && deleted.status != 404) {
                // A lock the store keeps beyond what it said (its own default retention) is no failure.
                removed = false;
                if (deleted.status != 403 || deleted.code != "AccessDenied")
                    fail(run, "brisanje starog dana " + day, deleted);
                break;
            }
        }
        if (removed)
            removeEarlierVersions(run, day);
        std::lock_guard lock(run.mutex);
        ++(removed ? run.outcome.daysRemoved : run.outcome.daysStillLocked);
    }
}

void OffsiteSender::listDays(Run& run, std::vector<StoredObject>& listed)
{
    abortLeftovers(run);
    for (const auto& date : run.request.dates) {
        if (stopping(run))
            break;
        std::vector<StoredObject> ofDate;
        const std::string start = run.prefix + "/" + formatDateStamp(date) + "_";
        const StoreAnswer answer = retried(run, [&] { return m_store.listObjects(run.account, start, ofDate); });
        if (!answer.result)
            fail(run, "popis dana " + formatDateStamp(date), answer);
        listed.insert(listed.end(), ofDate.begin(), ofDate.end());
    }
    std::sort(listed.begin(), listed.end(), [](const StoredObject& a, const StoredObject& b) { return a.key < b.key; });
}

OffsiteOutcome OffsiteSender::sendDay(const OffsiteDayRequest& request)
{
    Run run{request, request.settings.account(), request.settings.Prefiks, {}, {}, {}, {}, {}, {}, 0};
    if (request.settings.ZakljucatiDana > 0)
        run.putOptions.retention = ObjectRetention{
            "COMPLIANCE", isoMoment(request.utcNow + std::chrono::days{request.settings.ZakljucatiDana})};

    OffsiteDay::Collected day = OffsiteDay::collect(m_disk, request.backupDir, request.dates, run.prefix);
    for (const FileFailure& failure : day.failures)
        run.outcome.problems.push_back("Slanje van lokala: " + failure.path +
                                       " se ne moze procitati: " + failure.reason);
    run.filesTotal = day.files.size();

    // The store lists the day while the files are read and hashed here: neither waits for the other.
    std::vector<StoredObject> listed;
    std::thread lister([&] { listDays(run, listed); });
    std::vector<char> readable(day.files.size(), 0);
    inParallel(m_options.hashes, day.files.size(), [&](std::size_t i) { readable[i] = readFile(run, day.files[i]); });
    lister.join();

    // The few large files are asked many at once (small requests, whose time is mostly the way to the store); then
    // the small files go several at once, and each large one in parts that go several at once.
    std::vector<char> needed(day.files.size(), 0);
    inParallel(m_options.checks, day.files.size(),
               [&](std::size_t i) { needed[i] = readable[i] && needsSending(run, day.files[i], listed); });
    std::vector<const OffsiteFile*> small, large;
    for (std::size_t i = 0; i < day.files.size(); ++i)
        if (needed[i])
            (day.files[i].size > m_options.partSize ? large : small).push_back(&day.files[i]);
    if (!stopping(run))
        inParallel(m_options.transfers, small.size(), [&](std::size_t i) { sendFile(run, *small[i]); });
    for (const OffsiteFile* file : large)
        sendFile(run, *file);

    removeOldDays(run);
    if (m_options.stop && m_options.stop() && !run.storeFailed)
        run.outcome.problems.push_back("Slanje van lokala je zaustavljeno prije kraja; nastavlja se sljedeci put.");
    return std::move(run.outcome);
}
