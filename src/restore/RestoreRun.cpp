#include "RestoreRun.h"

#include "ArchiveReadStream.h"
#include "CopyBatch.h"
#include "FailureReason.h"
#include "Paths.h"
#include "RestoreTexts.h"
#include "RunCancellation.h"
#include "RunGuard.h"
#include "StoreBackups.h"
#include "TemporaryNames.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace {

/// Files of a backup folder copied as one batch, written through to the disk together before they are renamed.
constexpr std::size_t waitingAtMost = 256;
/// Copies (or fetches from the store) in flight at once: with many small files the time goes into waiting for the
/// disk, or for the store's answers.
constexpr unsigned copyingThreads = 4;

/// Calls `work` for each of 0 .. count-1, on up to copyingThreads threads (this one among them), and returns when
/// every call has.
void inParallel(std::size_t count, const std::function<void(std::size_t)>& work)
{
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t k; (k = next++) < count;)
            work(k);
    };
    std::vector<std::thread> workers;
    for (unsigned k = 1; k < copyingThreads && k < count; ++k)
        workers.emplace_back(take);
    take();
    for (std::thread& worker : workers)
        worker.join();
}

/// Reads the data of archive entries for the restore, one after another through one open archive.
class EntryReader
{
public:
    EntryReader(const FileSystem& fileSystem, const std::string& archive) : m_stream(fileSystem), m_archive(archive)
    {
        m_zip = m_stream.open(archive);
    }
    ~EntryReader()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    /// Writes the data of `entry` into `out`; `check` is told the bytes so far and answers whether to go on.
    /// The reason on failure; `damaged` when the archive's data is at fault.
    Result unpack(const ArchiveEntry& entry, OutputFile& out, const std::function<bool(std::uint64_t)>& check,
                  bool& damaged)
    {
        damaged = false;
        const std::string name = "\"" + m_archive + ": " + entry.path + "\": ";
        if (!m_zip)
            return Result::failure("\"" + m_archive + "\": " + RestoreTexts::unreadableArchive);
        unz64_file_pos position{entry.directoryOffset, entry.fileNumber};
        if (unzGoToFilePos64(m_zip, &position) != UNZ_OK || unzOpenCurrentFile(m_zip) != UNZ_OK) {
            damaged = true;
            return Result::failure(name + RestoreTexts::damagedEntry);
        }
        std::vector<char> buffer(1 << 20);
        std::uint64_t done = 0;
        while (true) {
            const int got = unzReadCurrentFile(m_zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (got == 0)
                break;
            if (got < 0) {
                unzCloseCurrentFile(m_zip);
                damaged = m_stream.error().empty();
                return Result::failure(damaged ? name + RestoreTexts::damagedEntry : name + m_stream.error());
            }
            if (Result written = out.write(buffer.data(), static_cast<std::size_t>(got)); !written) {
                unzCloseCurrentFile(m_zip);
                return written;
            }
            done += static_cast<std::uint64_t>(got);
            if (!check(done)) {
                unzCloseCurrentFile(m_zip);
                return Result::failure(RestoreTexts::stopped);
            }
        }
        if (unzCloseCurrentFile(m_zip) != UNZ_OK || done != entry.size) {
            damaged = true;
            return Result::failure(name + RestoreTexts::damagedEntry);
        }
        return Result::success();
    }

private:
    ArchiveReadStream m_stream;
    std::string m_archive;
    unzFile m_zip = nullptr;
};

class Restorer
{
public:
    Restorer(FileSystem& fileSystem, const BackupTree& tree, const RestorePlan& plan,
             const RestoreProgressCallback& progress, RestoreOutcome& outcome)
        : m_fileSystem(fileSystem), m_tree(tree), m_outcome(outcome), m_report(progress)
    {
        m_progress.filesTotal = plan.files.size();
        for (const WholeFolder& folder : plan.wholeFolders)
            m_progress.filesTotal += folder.files;
        m_progress.bytesTotal = plan.bytes;
    }

    ~Restorer()
    {
        finishWaiting();
        finishFetching();
    }

    void makeFolder(const std::string& folder)
    {
        if (m_fileSystem.isDirectory(folder))
            return;
        const std::string parent = Paths::parent(folder);
        if (!parent.empty() && parent != folder && !m_fileSystem.isDirectory(parent))
            makeFolder(parent);
        if (Result made = m_fileSystem.createDirectory(folder); !made && !m_fileSystem.isDirectory(folder))
            fail(folder, made.error());
    }

    void restore(const PlannedFile& file, DifferentFiles different)
    {
        {
            const std::lock_guard lock(m_progressMutex);
            m_progress.currentFile = file.target;
        }
        if (file.what == RestoreCase::Same) {
            ++m_outcome.leftAlone;
            done(0);
            return;
        }
        const bool replace = file.what == RestoreCase::Different && different == DifferentFiles::Replace;
        const std::string target = file.what == RestoreCase::New || replace ? file.target : file.besideTarget;
        const std::optional<FolderEntry> there = m_fileSystem.examine(target, false);
        if (there && !replace) { // a program made it since the plan: it is not the user's word to replace it
            fail(target, RestoreTexts::appearedMeanwhile);
            done(file.item.size);
            return;
        }
        if (there && (there->kind != FolderEntry::Kind::File || (there->mode & 0222) == 0)) {
            fail(target, there->kind == FolderEntry::Kind::Folder ? RestoreTexts::folderInTheWay
                                                                  : RestoreTexts::readOnlyTarget);
            done(file.item.size);
            return;
        }
        std::uint64_t* count = file.what == RestoreCase::New ? &m_outcome.written
                               : replace                     ? &m_outcome.replaced
                                                             : &m_outcome.beside;
        if (m_tree.source().stored)
            fetch(file, target, *count);
        else if (m_tree.source().archive)
            unpack(file, target, *count);
        else
            copy(file, target, *count);
    }

    bool stopped() const { return RunCancellation::requested(); }

    /// Copies a folder missing at its target whole, as a backup copies a folder.
    void copyWhole(const WholeFolder& folder)
    {
        makeFolder(folder.target);
        if (!m_fileSystem.isDirectory(folder.target))
            return;
        std::uint64_t filesBefore = 0;
        std::uint64_t bytesBefore = 0;
        {
            const std::lock_guard lock(m_progressMutex);
            filesBefore = m_progress.filesDone;
            bytesBefore = m_progress.bytesDone;
        }
        const TreeCopyOutcome copied =
            m_fileSystem.copyTreeContents(folder.source, folder.target, [&](const CopyProgress& progress) {
                const std::lock_guard lock(m_progressMutex);
                m_progress.filesDone = filesBefore + progress.filesDone;
                m_progress.bytesDone = bytesBefore + progress.bytesDone;
                m_progress.currentFile = progress.currentFile;
                report();
            });
        m_outcome.written += copied.filesCopied;
        m_outcome.bytes += copied.bytesCopied;
        for (const FileFailure& failure : copied.failures)
            fail(failure.path, failure.reason);
    }

    /// Copies the files gathered from a backup folder, several at a time, and puts them into place once the batch
    /// has written them through to the disk.
    void finishWaiting()
    {
        if (m_jobs.empty())
            return;
        if (!m_batch)
            m_batch = m_fileSystem.startCopyBatch(Paths::parent(m_jobs.front().target));
        inParallel(m_jobs.size(), [&](std::size_t k) {
            Job& job = m_jobs[k];
            if (stopped())
                return;
            std::uint64_t told = 0;
            job.result = m_batch->copy(
                job.source, job.target, [&](std::uint64_t bytes) { return movedSoFar(bytes, told); }, job.waiting);
            job.tried = true;
            moved(job.size - std::min(job.size, told), true);
        });
        retryWhatDidNotFit(m_jobs, [&](Job& job) {
            job.result = m_batch->copy(
                job.source, job.target, [&](std::uint64_t) { return !stopped(); }, job.waiting);
        });
        const bool anyWaiting = std::any_of(m_jobs.begin(), m_jobs.end(),
                                            [](const Job& job) { return job.result.ok() && !job.waiting.empty(); });
        const Result through = anyWaiting ? m_batch->writeThrough() : Result::success();
        for (const Job& job : m_jobs) {
            if (!job.tried)
                continue;
            Result placed = job.result;
            if (placed && !job.waiting.empty())
                placed = through ? m_fileSystem.rename(job.waiting, job.target) : through;
            if (placed) {
                ++*job.count;
                m_outcome.bytes += job.size;
                m_folders.insert(Paths::parent(job.target));
                continue;
            }
            if (!job.waiting.empty())
                m_fileSystem.removeFile(job.waiting, RemoveMode::Forced);
            if (!stopped() || job.waiting.empty())
                fail(job.target, placed.error());
        }
        m_jobs.clear();
    }

    /// Fetches the files gathered from a copy in the store, several at a time; each arrives whole under a temporary
    /// name beside its target, written through, gets its time and is renamed into place on its own. They are counted
    /// and named in the plan's order.
    void finishFetching()
    {
        if (m_fetches.empty())
            return;
        inParallel(m_fetches.size(), [&](std::size_t k) {
            Job& job = m_fetches[k];
            if (stopped())
                return;
            job.result = fetchOne(job, true);
            job.tried = true;
        });
        retryWhatDidNotFit(m_fetches, [&](Job& job) { job.result = fetchOne(job, false); });
        for (const Job& job : m_fetches) {
            if (!job.tried)
                continue;
            if (job.result) {
                ++*job.count;
                m_outcome.bytes += job.size;
                m_folders.insert(Paths::parent(job.target));
            } else if (!stopped()) {
                fail(job.target, job.result.error());
            }
        }
        m_fetches.clear();
    }

    void syncFolders()
    {
        for (const std::string& folder : m_folders)
            m_fileSystem.syncFolder(folder);
    }

private:
    /// A file of a backup folder to be copied.
    struct Job
    {
        std::string source;
        std::string target;
        std::uint64_t size = 0;
        std::uint64_t* count = nullptr;
        bool tried = false;
        Result result = Result::success();
        std::string waiting;         ///< its copy, whole, waiting for the batch's writing through
        std::int64_t modifiedNs = 0; ///< fetches: the time the file gets; 0 when the plan did not know it
    };

    /// A file that found the disk full while others were written beside it may have met their temporary copies, or
    /// the one of a file that could never fit: now that those failed copies are gone, each is tried once more by
    /// `again`, alone and smallest first, so that what fits is restored whatever order the threads took.
    void retryWhatDidNotFit(std::vector<Job>& jobs, const std::function<void(Job&)>& again)
    {
        std::vector<Job*> full;
        for (Job& job : jobs)
            if (job.tried && !job.result &&
                job.result.error().find(FailureReason::words(FailureKind::DiskFull)) != std::string::npos)
                full.push_back(&job);
        if (full.size() < 2)
            return; // alone it met the same disk: another try would fail the same way
        std::stable_sort(full.begin(), full.end(), [](const Job* a, const Job* b) { return a->size < b->size; });
        for (Job* job : full) {
            if (stopped())
                return;
            again(*job); // its bytes were counted as done after the first try
        }
    }

    void copy(const PlannedFile& file, const std::string& target, std::uint64_t& count)
    {
        m_jobs.push_back(
            {m_tree.locate(file.item.relative), target, file.item.size, &count, false, Result::success(), {}});
        if (m_jobs.size() >= waitingAtMost)
            finishWaiting();
    }

    /// A copy or fetch has `bytes` of its file so far (`told`: what was counted of it before; a fetch asked again
    /// starts from 0): counts what is new, once; answers whether to go on.
    bool movedSoFar(std::uint64_t bytes, std::uint64_t& told)
    {
        moved(bytes - std::min(bytes, told), false);
        told = std::max(told, bytes);
        return !stopped();
    }

    /// `bytes` more were copied, and with `fileDone` a file is finished. From any copying thread.
    void moved(std::uint64_t bytes, bool fileDone)
    {
        const std::lock_guard lock(m_progressMutex);
        m_progress.bytesDone += bytes;
        m_progress.filesDone += fileDone ? 1 : 0;
        report();
    }

    void unpack(const PlannedFile& file, const std::string& target, std::uint64_t& count)
    {
        if (!m_reader)
            m_reader = std::make_unique<EntryReader>(m_fileSystem, m_tree.source().place);
        const ArchiveEntry* entry = m_tree.source().archive->find(m_tree.locate(file.item.relative));
        const std::string temporary = TemporaryNames::beside(target);
        std::string error;
        std::unique_ptr<OutputFile> out = entry ? m_fileSystem.createFile(temporary, error) : nullptr;
        Result result = entry ? Result::success() : Result::failure(RestoreTexts::notInBackup);
        if (entry && !out)
            result = Result::failure(error);
        const std::uint64_t before = m_progress.bytesDone;
        if (out) {
            bool damaged = false;
            result = m_reader->unpack(
                *entry, *out,
                [&](std::uint64_t bytes) {
                    m_progress.bytesDone = before + bytes;
                    report();
                    return !stopped();
                },
                damaged);
            Result closed = out->close();
            if (result && !closed)
                result = closed;
            if (result)
                result = m_fileSystem.setModifiedTime(temporary, entry->modifiedNs);
            if (result)
                result = m_fileSystem.rename(temporary, target);
            if (!result)
                m_fileSystem.removeFile(temporary, RemoveMode::Forced);
        }
        m_progress.bytesDone = before;
        settled(file, target, count, result);
    }

    /// Gathers a file of a copy in the store to be fetched with others (finishFetching()).
    void fetch(const PlannedFile& file, const std::string& target, std::uint64_t& count)
    {
        m_fetches.push_back(
            {file.item.relative, target, file.item.size, &count, false, Result::success(), {}, file.item.modifiedNs});
        if (m_fetches.size() >= waitingAtMost)
            finishFetching();
    }

    /// Fetches `job` under a temporary name beside its target, sets its time and renames it into place; nothing is
    /// left beside the target when it fails. Once the store failed as a whole it is not asked again. `counted`: the
    /// progress is told of it (false for a second try). From any fetching thread.
    Result fetchOne(const Job& job, bool counted)
    {
        const StoredFolderBackup& stored = *m_tree.source().stored;
        {
            const std::lock_guard lock(m_progressMutex);
            m_progress.currentFile = job.target;
            if (!m_storeFailure.empty()) {
                if (counted) {
                    ++m_progress.filesDone;
                    m_progress.bytesDone += job.size;
                    report();
                }
                return Result::failure(m_storeFailure);
            }
        }
        std::vector<std::int64_t> times{job.modifiedNs};
        Result result = Result::success();
        bool wholeStore = false;
        if (job.modifiedNs == 0) // not known at planning: the store did not answer then
            result = stored.modificationTimes({job.source}, times, &wholeStore);
        const std::string temporary = TemporaryNames::beside(job.target);
        std::uint64_t told = counted ? 0 : job.size; // a second try counts nothing again
        if (result)
            result =
                fetchStoredObject(stored.access(), stored.key(job.source), temporary, wholeStore,
                                  [&](std::uint64_t received, std::uint64_t) {
                                      return movedSoFar(std::min(received, job.size), told); // no more than planned
                                  });
        if (wholeStore) {
            const std::lock_guard lock(m_progressMutex);
            if (m_storeFailure.empty())
                m_storeFailure = result.error();
        }
        if (result && times.front() != 0)
            result = m_fileSystem.setModifiedTime(temporary, times.front());
        if (result)
            result = m_fileSystem.rename(temporary, job.target);
        if (!result)
            m_fileSystem.removeFile(temporary, RemoveMode::Forced);
        if (counted)
            moved(job.size - std::min(job.size, told), true);
        return result;
    }

    /// Counts a file written one at a time (`result`: whether it was put in place), or names it.
    void settled(const PlannedFile& file, const std::string& target, std::uint64_t& count, const Result& result)
    {
        if (result) {
            ++count;
            m_outcome.bytes += file.item.size;
            m_folders.insert(Paths::parent(target));
        } else if (!stopped()) {
            fail(target, result.error());
        }
        done(file.item.size);
    }

    void fail(const std::string& path, const std::string& reason)
    {
        if (reason.find(FailureReason::words(FailureKind::InUse)) != std::string::npos)
            m_outcome.heldByProgram = true;
        m_outcome.failures.push_back({path, reason});
    }

    void done(std::uint64_t bytes)
    {
        const std::lock_guard lock(m_progressMutex);
        ++m_progress.filesDone;
        m_progress.bytesDone += bytes;
        report();
    }

    void report()
    {
        if (m_report)
            m_report(m_progress);
    }

    FileSystem& m_fileSystem;
    const BackupTree& m_tree;
    RestoreOutcome& m_outcome;
    const RestoreProgressCallback& m_report;
    RestoreProgress m_progress;
    std::mutex m_progressMutex;
    std::unique_ptr<CopyBatch> m_batch;
    std::vector<Job> m_jobs;
    std::vector<Job> m_fetches; ///< files of a copy in the store, `source` their relative path
    std::unique_ptr<EntryReader> m_reader;
    std::set<std::string> m_folders;
    /// The store is down or refuses the key: the files after are not asked for, and fail with this. Guarded by
    /// m_progressMutex.
    std::string m_storeFailure;
};

} // namespace

RestoreOutcome carryOutRestore(FileSystem& fileSystem, const BackupTree& tree, const RestorePlan& plan,
                               DifferentFiles different, const RestoreProgressCallback& progress)
{
    RestoreOutcome outcome;
    const RunGuard guard;
    if (!guard.entered()) {
        outcome.refused = true;
        return outcome;
    }
    RunCancellation::clear();
    outcome.failures = plan.problems;
    {
        Restorer restorer(fileSystem, tree, plan, progress, outcome);
        for (const std::string& folder : plan.folders)
            restorer.makeFolder(folder);
        for (const WholeFolder& folder : plan.wholeFolders)
            if (!restorer.stopped())
                restorer.copyWhole(folder);
        for (const PlannedFile& file : plan.files) {
            if (restorer.stopped())
                break;
            restorer.restore(file, different);
        }
        restorer.finishWaiting();
        restorer.finishFetching();
        restorer.syncFolders();
    }
    outcome.stopped = RunCancellation::requested();
    RunCancellation::clear();
    return outcome;
}

std::vector<std::string> restoreFailureLines(const RestoreOutcome& outcome)
{
    std::vector<std::string> lines;
    if (outcome.refused)
        lines.push_back(RestoreTexts::backupInProgress);
    for (const FileFailure& failure : outcome.failures)
        lines.push_back(failure.path.empty() || failure.reason.find(failure.path) != std::string::npos
                            ? failure.reason
                            : failure.path + ": " + failure.reason);
    if (outcome.heldByProgram)
        lines.push_back(RestoreTexts::closeTheProgram);
    if (outcome.stopped)
        lines.push_back(RestoreTexts::stopped);
    return lines;
}
