#include "TreeCopy.h"

#include "CopyBatch.h"
#include "OneByOneCopyBatch.h"
#include "Paths.h"
#include "RunCancellation.h"
#include "StallWatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace {

struct Job
{
    std::string from;
    std::string to;
};

/// A copy whole under its temporary name, waiting for its batch to be written through before it is renamed.
struct Waiting
{
    std::string from;
    std::string temporary;
    std::string to;
    std::uint64_t bytes = 0;
    bool counted = false; ///< counted as copied (not a copy put in place with a failure that says it kept changing)
};

/// Bytes of one file copied so far; guarded by the copier's mutex.
struct InFlight
{
    std::uint64_t bytes = 0;
    std::string error; ///< why the copy was stopped from our side (the progress display failed)
};

/// The text of what an exception says.
std::string describeException(const std::exception_ptr& caught)
{
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an unknown error";
    }
}

/// "60 s", or "300 ms" for a limit that is no whole number of seconds.
std::string durationText(std::chrono::milliseconds limit)
{
    const auto count = limit.count();
    return count % 1000 == 0 ? std::to_string(count / 1000) + " s" : std::to_string(count) + " ms";
}

/// What the copying threads share with the run and the watch. Every thread holds a share, so that one left in a
/// read that never returns still finds it whenever it ends, long after the run.
struct CopierState : std::enable_shared_from_this<CopierState>
{
    CopierState(FileSystem& fs, const FileSystem::ProgressCallback& callback, std::unique_ptr<CopyBatch> copies)
        : fileSystem(fs), progress(callback), batch(std::move(copies))
    {}

    /// A batch is written through once it holds this many files or bytes: few enough names to hold, and few
    /// enough bytes that the writing through does not stand still for long.
    static constexpr std::size_t batchFiles = 1000;
    static constexpr std::uint64_t batchBytes = std::uint64_t{256} << 20;

    FileSystem& fileSystem;
    const FileSystem::ProgressCallback progress;
    const std::unique_ptr<CopyBatch> batch;
    std::mutex mutex;
    std::condition_variable jobReady;
    std::condition_variable queueHasRoom;
    std::condition_variable threadEnded;
    std::deque<Job> jobs;
    bool noMoreJobs = false;
    bool open = true;     ///< false once the run has its outcome: nothing reaches the caller any more
    unsigned working = 0; ///< threads that take jobs: neither ended nor given up
    unsigned idle = 0;    ///< threads waiting for a job
    std::uint64_t partialBytes = 0;
    std::vector<Waiting> waiting; ///< copies not yet in place, in the order they were made
    std::uint64_t waitingBytes = 0;
    TreeCopyOutcome outcome;

    /// Tells the caller where the copy stands; under the mutex. What the display throws comes back as its text.
    std::optional<std::string> report(const std::string& file)
    {
        if (!progress || !open)
            return std::nullopt;
        try {
            progress(CopyProgress{file, outcome.filesCopied, outcome.bytesCopied + partialBytes});
        } catch (...) {
            return describeException(std::current_exception());
        }
        return std::nullopt;
    }

    void fail(const std::string& path, const std::string& reason)
    {
        std::lock_guard lock(mutex);
        outcome.failures.push_back({path, reason});
    }

    /// Takes the copies waiting when there are enough of them, or all of them when `all`; under the mutex.
    std::vector<Waiting> takeWaiting(bool all)
    {
        std::vector<Waiting> taken;
        if (all || waiting.size() >= batchFiles || waitingBytes >= batchBytes) {
            taken.swap(waiting);
            waitingBytes = 0;
        }
        return taken;
    }

    /// Writes the copies `taken` through to the disk at once, then renames each over its target; a copy that
    /// cannot be put in place is removed, and no longer counted as copied but reported. Not under the mutex.
    void putInPlace(std::vector<Waiting> taken)
    {
        if (taken.empty())
            return;
        const auto shared = std::make_shared<const std::vector<Waiting>>(std::move(taken));
        const std::optional<Result> written = writeThroughInTime(shared);
        if (!written)
            return; // given up and reported
        for (const Waiting& copy : *shared) {
            const Result placed = *written ? fileSystem.rename(copy.temporary, copy.to) : *written;
            if (placed)
                continue;
            fileSystem.removeFile(copy.temporary, RemoveMode::Forced);
            std::lock_guard lock(mutex);
            if (copy.counted) {
                --outcome.filesCopied;
                outcome.bytesCopied -= copy.bytes;
            }
            outcome.failures.push_back({copy.from, placed.error()});
        }
    }

    /// The batch's writeThrough(), on a thread of its own, waited for as long as the stall limit and a second for
    /// every MiB of `taken` (a disk slower than that is taken for one that stopped answering). Nothing when it was
    /// given up: `taken` is then reported as not saved, later copies are written through one by one, and the
    /// thread left behind removes the temporary files of `taken` should its call ever return.
    std::optional<Result> writeThroughInTime(const std::shared_ptr<const std::vector<Waiting>>& taken)
    {
        struct Call
        {
            std::mutex mutex;
            std::condition_variable ended;
            std::optional<Result> result;
            bool givenUp = false;
        };
        const auto call = std::make_shared<Call>();
        try {
            std::thread([self = shared_from_this(), call, taken] {
                Result written = Result::success();
                try {
                    written = self->batch->writeThrough();
                } catch (...) {
                    written = Result::failure(describeException(std::current_exception()));
                }
                {
                    std::lock_guard lock(call->mutex);
                    if (!call->givenUp) {
                        call->result = std::move(written);
                        call->ended.notify_all();
                        return;
                    }
                }
                for (const Waiting& copy : *taken)
                    self->fileSystem.removeFile(copy.temporary, RemoveMode::Forced);
            }).detach();
        } catch (const std::system_error&) {
            return batch->writeThrough(); // no thread to be had: written through here, unwatched
        }
        std::uint64_t bytes = 0;
        for (const Waiting& copy : *taken)
            bytes += copy.bytes;
        const auto limit = fileSystem.stallLimit() + std::chrono::seconds(bytes >> 20);
        {
            std::unique_lock lock(call->mutex);
            if (call->ended.wait_for(lock, limit, [&] { return call->result.has_value(); }))
                return call->result;
            call->givenUp = true;
        }
        batch->writeEachThrough();
        std::lock_guard lock(mutex);
        outcome.leftBehind = true;
        for (const Waiting& copy : *taken) {
            if (copy.counted) {
                --outcome.filesCopied;
                outcome.bytesCopied -= copy.bytes;
            }
            outcome.failures.push_back({copy.from, stalledWriteReason(copy.from, fileSystem.stallLimit())});
        }
        return std::nullopt;
    }

    /// A file (or link) is done: counted and shown.
    void done(const std::string& path, std::uint64_t bytes)
    {
        std::lock_guard lock(mutex);
        ++outcome.filesCopied;
        outcome.bytesCopied += bytes;
        if (const auto error = report(path))
            outcome.failures.push_back({path, "the copy stopped at \"" + path + "\": " + *error});
    }
};

/// Copies the files it is given on a few threads, each file watched by a StallWatch.
class FileCopier
{
public:
    /// Copies through `batch`.
    FileCopier(FileSystem& fileSystem, const FileSystem::ProgressCallback& progress, unsigned threads,
               std::unique_ptr<CopyBatch> batch)
        : m_state(std::make_shared<CopierState>(fileSystem, progress, std::move(batch))),
          m_watch(fileSystem.stallLimit())
    {
        std::lock_guard lock(m_state->mutex);
        for (unsigned i = 0; i < threads; ++i)
            startThread(m_state, m_watch);
    }
    ~FileCopier()
    {
        if (m_state->open)
            finish();
    }
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    CopierState& state() { return *m_state; }

    /// Queues a file. A full queue is let run down to half before more are queued, and a thread is woken only
    /// when one waits: with many small files, waking a thread for each one would cost more than its copy.
    void add(Job job)
    {
        std::unique_lock lock(m_state->mutex);
        if (m_state->jobs.size() >= queueLimit)
            m_state->queueHasRoom.wait(lock, [this] { return m_state->jobs.size() <= queueLimit / 2; });
        m_state->jobs.push_back(std::move(job));
        const bool wake = m_state->idle > 0;
        lock.unlock();
        if (wake)
            m_state->jobReady.notify_one();
    }

    /// Waits until every queued file is copied or given up, and every copy made is in place (also when the run
    /// was stopped: those copies are whole); the outcome, failures sorted by path.
    TreeCopyOutcome finish()
    {
        std::unique_lock lock(m_state->mutex);
        m_state->noMoreJobs = true;
        m_state->jobReady.notify_all();
        m_state->threadEnded.wait(lock, [this] { return m_state->working == 0; });
        const std::vector<Waiting> last = m_state->takeWaiting(true);
        lock.unlock();
        m_state->putInPlace(last);
        lock.lock();
        m_state->open = false;
        TreeCopyOutcome outcome = std::move(m_state->outcome);
        // Threads finish in any order: the report lists failures by path.
        std::sort(outcome.failures.begin(), outcome.failures.end(),
                  [](const FileFailure& a, const FileFailure& b) { return a.path < b.path; });
        return outcome;
    }

private:
    static constexpr std::size_t queueLimit = 256;

    /// Starts a copying thread; under the state's mutex.
    static void startThread(const std::shared_ptr<CopierState>& state, StallWatch& watch)
    {
        std::thread(work, state, std::ref(watch)).detach();
        ++state->working;
    }

    /// A copying thread: takes jobs until there are none. `watch` is used only while this thread counts as
    /// working, when the copier (which owns it) waits for it.
    static void work(std::shared_ptr<CopierState> state, StallWatch& watch)
    {
        for (;;) {
            Job job;
            bool roomMade = false;
            {
                std::unique_lock lock(state->mutex);
                ++state->idle;
                state->jobReady.wait(lock, [&] { return !state->jobs.empty() || state->noMoreJobs; });
                --state->idle;
                if (state->jobs.empty()) {
                    --state->working;
                    state->threadEnded.notify_all();
                    return;
                }
                job = std::move(state->jobs.front());
                state->jobs.pop_front();
                roomMade = state->jobs.size() == queueLimit / 2;
            }
            if (roomMade)
                state->queueHasRoom.notify_one();
            if (RunCancellation::requested())
                continue; // the files not begun are left as they were
            if (!copy(state, watch, job))
                return; // given up: another thread took this one's place
        }
    }

    /// Copies one file; false when the copy was given up meanwhile.
    static bool copy(const std::shared_ptr<CopierState>& state, StallWatch& watch, const Job& job)
    {
        const auto inFlight = std::make_shared<InFlight>();
        const std::shared_ptr<StallWatch::Call> call =
            watch.watch([state, inFlight, from = job.from, &watch, limit = state->fileSystem.stallLimit()] {
                std::lock_guard lock(state->mutex);
                state->partialBytes -= inFlight->bytes;
                state->outcome.failures.push_back({from, stalledReadReason(from, limit)});
                state->outcome.leftBehind = true;
                --state->working;
                startThread(state, watch);
            });
        Result copied = Result::success();
        std::string waiting;
        try {
            copied = state->batch->copy(
                job.from, job.to,
                [&](std::uint64_t bytes) {
                    call->progressed();
                    std::lock_guard lock(state->mutex);
                    if (call->givenUp() || !inFlight->error.empty())
                        return false;
                    if (RunCancellation::requested()) { // a large file stops between its pieces
                        inFlight->error = "the copy of \"" + job.from + "\" was stopped before it was complete";
                        return false;
                    }
                    state->partialBytes += bytes - inFlight->bytes;
                    inFlight->bytes = bytes;
                    if (const auto error = state->report(job.from))
                        inFlight->error = "the copy stopped at \"" + job.from + "\": " + *error;
                    return inFlight->error.empty();
                },
                waiting);
        } catch (...) { // an exception must never leave a copying thread: that would end the whole program
            copied = Result::failure("the copy stopped at \"" + job.from +
                                     "\": " + describeException(std::current_exception()));
        }
        // A copy given up (reported by the watch) or stopped from our side is never put in place.
        const bool givenUp = !call->finish();
        if (!waiting.empty() && (givenUp || !inFlight->error.empty())) {
            state->fileSystem.removeFile(waiting, RemoveMode::Forced);
            waiting.clear();
        }
        if (givenUp)
            return false;
        std::uint64_t bytes = 0;
        {
            std::lock_guard lock(state->mutex);
            state->partialBytes -= inFlight->bytes;
            bytes = inFlight->bytes;
        }
        if (!inFlight->error.empty())
            state->fail(job.from, inFlight->error);
        else if (!copied)
            state->fail(job.from, copied.error());
        else
            state->done(job.from, bytes);
        if (!waiting.empty()) {
            std::vector<Waiting> taken;
            {
                std::lock_guard lock(state->mutex);
                state->waiting.push_back(Waiting{job.from, std::move(waiting), job.to, bytes, bool(copied)});
                state->waitingBytes += bytes;
                taken = state->takeWaiting(false);
            }
            // Written through outside the watch: the watch is for a source that stopped answering.
            state->putInPlace(taken);
        }
        return true;
    }

    std::shared_ptr<CopierState> m_state;
    StallWatch m_watch;
};

/// Lists one folder at a time on a thread of its own, made at the first listing and kept for the rest, so that
/// the walk lists another folder meanwhile.
class FolderLister
{
public:
    explicit FolderLister(const FileSystem& fileSystem) : m_fileSystem(fileSystem) {}
    ~FolderLister()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    FolderLister(const FolderLister&) = delete;
    FolderLister& operator=(const FolderLister&) = delete;

    /// Begins listing `folder`, for take(); a listing begun before and not taken is dropped. False when no thread
    /// can be had: the caller lists the folder itself.
    bool start(const std::string& folder)
    {
        std::unique_lock lock(m_mutex);
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                return false;
            }
        }
        m_changed.wait(lock, [this] { return !m_request; });
        m_result.reset();
        m_failure = nullptr;
        m_request = folder;
        m_changed.notify_all();
        return true;
    }

    /// The listing begun last; waits for it. What the listing threw is thrown here.
    FolderListing take()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_result || m_failure; });
        if (m_failure)
            std::rethrow_exception(std::exchange(m_failure, nullptr));
        FolderListing listing = std::move(*m_result);
        m_result.reset();
        return listing;
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_request || m_stopping; });
            if (m_stopping)
                return;
            const std::string folder = *m_request;
            lock.unlock();
            std::optional<FolderListing> listing;
            std::exception_ptr failure;
            try {
                listing = m_fileSystem.listFolder(folder);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            m_result = std::move(listing);
            m_failure = failure;
            m_request.reset();
            m_changed.notify_all();
        }
    }

    const FileSystem& m_fileSystem;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::string> m_request; ///< the folder being listed
    std::optional<FolderListing> m_result;
    std::exception_ptr m_failure;
    bool m_stopping = false;
    std::thread m_thread; ///< last: started once the rest is there
};

class TreeCopy
{
public:
    TreeCopy(FileSystem& fileSystem, const FileSystem::ProgressCallback& progress, const FileIdentity& target,
             const std::optional<FileIdentity>& destination, const std::string& targetPath)
        : m_fileSystem(fileSystem), m_copier(fileSystem, progress, workerCount, fileSystem.startCopyBatch(targetPath)),
          m_state(m_copier.state()), m_target(target), m_destination(destination)
    {}

    TreeCopyOutcome run(const std::string& source, const std::string& target)
    {
        // Whatever stops the walk (the progress display failing, memory running out) is reported like any
        // other failure, and the copies under way still finish.
        m_readAhead = m_fileSystem.readsAheadCheaply(source);
        try {
            copyFolder(source, target, false);
        } catch (...) {
            m_state.fail(source,
                         "the copy stopped at \"" + source + "\": " + describeException(std::current_exception()));
        }
        TreeCopyOutcome outcome = m_copier.finish();
        if (RunCancellation::requested())
            outcome.failures.push_back({source, "the copy of \"" + source + "\" was stopped before it was complete"});
        // Once per folder rather than after every rename: as safe (each file was written through before its rename,
        // so its name holds the new copy or the earlier one) and a fraction of the cost.
        for (const std::string& folder : m_foldersWithFiles)
            m_fileSystem.syncFolder(folder);
        return outcome;
    }

private:
    static constexpr unsigned workerCount = 4;
    /// Small files are asked for as they are queued (see readSoon): each copying thread waits on one file's read at
    /// a time, while the disk serves many requests at once; this keeps up to the queue's worth in flight. Larger
    /// files are read ahead by the system as they are read.
    static constexpr std::uint64_t readAheadLimit = std::uint64_t{1} << 20;

    /// The copy of the folder `from` in `to`: an existing folder, or one made now (`made`); false (reported) when
    /// there can be none. `existing` is what the listing of the target folder showed under that name; nothing
    /// when it showed none, though `targetListed` says whether the listing can be trusted on that.
    bool prepareFolder(const std::string& from, const std::string& to, const FolderEntry* existing, bool targetListed,
                       bool& made)
    {
        std::optional<FolderEntry> examined;
        if (!existing && !targetListed) {
            examined = m_fileSystem.examine(to, false);
            existing = examined ? &*examined : nullptr;
        }
        made = !existing;
        if (existing) {
            if (existing->kind == FolderEntry::Kind::Folder)
                return true;
            m_state.fail(from, "\"" + to + "\" exists and is not a folder");
            return false;
        }
        if (Result created = m_fileSystem.createDirectory(to); !created) {
            m_state.fail(from, created.error());
            return false;
        }
        return true;
    }

    /// True when `copy` already holds the file `file` lists: a regular file of the same size, modification time
    /// (as precise as the disk keeps it) and permissions. copyFile gives a copy the source's time only when the
    /// copy is whole, so a copy that is not whole never passes.
    bool holdsCopy(const std::string& from, const FolderEntry& file, const FolderEntry* copy) const
    {
        if (!copy || copy->kind != FolderEntry::Kind::File || copy->size != file.size ||
            copy->modifiedNs != file.modifiedNs || copy->mode != file.mode)
            return false;
        if (m_fileSystem.listingIsCurrent())
            return true;
        const std::optional<FileStat> now = m_fileSystem.statFile(from);
        return now && now->size == file.size && now->modifiedNs == file.modifiedNs;
    }

    /// Copies the folder `source` into the folder `target`; `targetIsNew` when this run has just made it, so that
    /// nothing in it needs looking at.
    void copyFolder(const std::string& source, const std::string& target, bool targetIsNew)
    {
        // What the target holds already, listed once rather than examined name by name, and beside the source's
        // listing: a run over an unchanged tree does little else than these two, each waiting on its own disk reads.
        const bool presentLater = !targetIsNew && m_lister.start(target);
        FolderListing listing = m_fileSystem.listFolder(source);
        if (!listing.ok())
            m_state.fail(source, listing.error);
        for (const FileFailure& unexamined : listing.unexamined)
            m_state.fail(unexamined.path, unexamined.reason);

        // Both listings are sorted by name, so one pass over each finds every pair.
        FolderListing present;
        if (!targetIsNew)
            present = presentLater ? m_lister.take() : m_fileSystem.listFolder(target);
        const bool targetListed = targetIsNew || present.ok();
        auto next = present.entries.cbegin();
        const auto presentAs = [&](const std::string& name) -> const FolderEntry* {
            next = std::lower_bound(next, present.entries.cend(), name,
                                    [](const FolderEntry& entry, const std::string& key) { return entry.name < key; });
            return next != present.entries.cend() && next->name == name ? &*next : nullptr;
        };

        bool withFiles = false;
        for (const FolderEntry& entry : listing.entries) {
            if (RunCancellation::requested())
                break;
            const std::string from = Paths::join(source, entry.name);
            const std::string to = Paths::join(target, entry.name);
            const FolderEntry* existing = targetIsNew ? nullptr : presentAs(entry.name);
            switch (entry.kind) {
            case FolderEntry::Kind::Folder: {
                // The backup folder, or the destination that holds it and the earlier backups, may lie inside the
                // source: copied into itself it would never end, and every backup would hold all those before it.
                if (const std::optional<FileIdentity> met = m_fileSystem.identity(from);
                    met && (*met == m_target || met == m_destination))
                    continue;
                bool made = false;
                if (prepareFolder(from, to, existing, targetListed, made))
                    copyFolder(from, to, made);
                break;
            }
            case FolderEntry::Kind::Link:
                withFiles = true;
                if (Result copied = m_fileSystem.copyLink(from, to); !copied)
                    m_state.fail(from, copied.error());
                else
                    m_state.done(from, 0);
                break;
            case FolderEntry::Kind::File:
                // Today's copy from an earlier run that the source has not changed since: rewriting it would cost
                // the whole file again for the same bytes.
                if (holdsCopy(from, entry, existing)) {
                    m_state.done(from, entry.size);
                    break;
                }
                withFiles = true;
                if (m_readAhead && entry.size > 0 && entry.size <= readAheadLimit)
                    m_fileSystem.readSoon(from, entry.size);
                m_copier.add(Job{from, to});
                break;
            case FolderEntry::Kind::Other:
                m_state.fail(from, "\"" + from + "\" is a device, pipe or socket: not copied");
                break;
            }
        }
        if (withFiles)
            m_foldersWithFiles.push_back(target);
    }

    FileSystem& m_fileSystem;
    FileCopier m_copier;
    CopierState& m_state;
    const FileIdentity m_target;
    const std::optional<FileIdentity> m_destination; ///< the folder `target` lies in
    std::vector<std::string> m_foldersWithFiles;
    FolderLister m_lister{m_fileSystem};
    bool m_readAhead = false; ///< whether the source's disk is worth asking ahead (readsAheadCheaply)
};

} // namespace

std::string stalledReadReason(const std::string& path, std::chrono::milliseconds limit)
{
    return "\"" + path + "\": citanje je stalo (" + durationText(limit) + " bez napretka), datoteka je preskocena";
}

std::string stalledWriteReason(const std::string& path, std::chrono::milliseconds limit)
{
    return "\"" + path + "\": pisanje kopije na disk je stalo (" + durationText(limit) +
           " bez napretka), kopija nije spremljena";
}

TreeCopyOutcome copyTreeWith(FileSystem& fileSystem, const std::string& source, const std::string& target,
                             const FileSystem::ProgressCallback& progress)
{
    TreeCopyOutcome outcome;
    const std::optional<FileIdentity> targetIdentity = fileSystem.identity(target);
    if (!targetIdentity || !fileSystem.isDirectory(target)) {
        outcome.failures.push_back({target, "the backup folder \"" + target + "\" does not exist or is not a folder"});
        return outcome;
    }
    const std::optional<FolderEntry> sourceEntry = fileSystem.examine(source, true);
    if (!sourceEntry) {
        std::string reason = fileSystem.listFolder(source).error;
        outcome.failures.push_back({source, reason.empty() ? "cannot reach \"" + source + "\"" : reason});
        return outcome;
    }
    if (sourceEntry->kind != FolderEntry::Kind::Folder) {
        outcome.failures.push_back({source, "\"" + source + "\" is not a folder"});
        return outcome;
    }
    const std::string destination = Paths::parent(target);
    const std::optional<FileIdentity> destinationIdentity =
        destination.empty() ? std::nullopt : fileSystem.identity(destination);
    return TreeCopy(fileSystem, progress, *targetIdentity, destinationIdentity, target).run(source, target);
}

Result copyFileWithTimeLimit(FileSystem& fileSystem, const std::string& source, const std::string& target)
{
    // One file gains nothing from a batch.
    FileCopier copier(fileSystem, {}, 1, std::make_unique<OneByOneCopyBatch>(fileSystem));
    copier.add(Job{source, target});
    const TreeCopyOutcome outcome = copier.finish();
    if (!outcome.failures.empty())
        return Result::failure(outcome.failures.front().reason);
    return Result::success();
}
