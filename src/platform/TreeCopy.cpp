#include "TreeCopy.h"

#include "Paths.h"
#include "RunCancellation.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace {

class TreeCopy
{
public:
    TreeCopy(FileSystem& fileSystem, const FileSystem::ProgressCallback& progress, const FileIdentity& target)
        : m_fileSystem(fileSystem), m_progress(progress), m_target(target)
    {}

    TreeCopyOutcome run(const std::string& source, const std::string& target)
    {
        for (unsigned i = 0; i < workerCount; ++i)
            m_workers.emplace_back([this] { work(); });
        // Whatever stops the walk (the progress display failing, memory running out) is reported like any
        // other failure, and the workers still finish and are joined.
        guarded(source, [&] { copyFolder(source, target); });
        {
            std::lock_guard lock(m_mutex);
            m_walkDone = true;
        }
        m_jobReady.notify_all();
        for (std::thread& worker : m_workers)
            worker.join();
        if (RunCancellation::requested())
            fail(source, "the copy of \"" + source + "\" was stopped before it was complete");
        // Workers finish in any order: the report lists failures by path.
        std::sort(m_outcome.failures.begin(), m_outcome.failures.end(),
                  [](const FileFailure& a, const FileFailure& b) { return a.path < b.path; });
        return std::move(m_outcome);
    }

private:
    static constexpr unsigned workerCount = 4;
    static constexpr size_t queueLimit = 256;

    struct Job
    {
        std::string from;
        std::string to;
        std::uint64_t size = 0;
    };

    void fail(const std::string& path, const std::string& reason)
    {
        std::lock_guard lock(m_mutex);
        m_outcome.failures.push_back({path, reason});
    }

    void done(const std::string& file, std::uint64_t bytes)
    {
        std::lock_guard lock(m_mutex);
        ++m_outcome.filesCopied;
        m_outcome.bytesCopied += bytes;
        if (m_progress)
            m_progress(CopyProgress{file, m_outcome.filesCopied, m_outcome.bytesCopied});
    }

    void enqueue(Job job)
    {
        std::unique_lock lock(m_mutex);
        m_queueHasRoom.wait(lock, [this] { return m_jobs.size() < queueLimit; });
        m_jobs.push_back(std::move(job));
        lock.unlock();
        m_jobReady.notify_one();
    }

    void work()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_jobReady.wait(lock, [this] { return !m_jobs.empty() || m_walkDone; });
            if (m_jobs.empty())
                return;
            Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            m_queueHasRoom.notify_one();
            if (RunCancellation::requested())
                continue; // the files not begun are left as they were

            // An exception must never leave a worker thread: that would end the whole program.
            guarded(job.from, [&] {
                if (Result copied = m_fileSystem.copyFile(job.from, job.to); !copied)
                    fail(job.from, copied.error());
                else
                    done(job.from, job.size);
            });
        }
    }

    /// Runs `step`; an exception it throws becomes a failure of `path`.
    template <typename Step>
    void guarded(const std::string& path, Step&& step)
    {
        try {
            step();
        } catch (const std::exception& error) {
            fail(path, std::string("the copy stopped at \"") + path + "\": " + error.what());
        } catch (...) {
            fail(path, "the copy stopped at \"" + path + "\" on an unknown error");
        }
    }

    /// Makes `to` a folder for the folder `from`; false (reported) when it cannot be one.
    bool prepareFolder(const std::string& from, const std::string& to)
    {
        if (const std::optional<FolderEntry> existing = m_fileSystem.examine(to, false)) {
            if (existing->kind == FolderEntry::Kind::Folder)
                return true;
            fail(from, "\"" + to + "\" exists and is not a folder");
            return false;
        }
        if (Result created = m_fileSystem.createDirectory(to); !created) {
            fail(from, created.error());
            return false;
        }
        return true;
    }

    void copyFolder(const std::string& source, const std::string& target)
    {
        FolderListing listing = m_fileSystem.listFolder(source);
        if (!listing.ok())
            fail(source, listing.error);
        for (const FileFailure& unexamined : listing.unexamined)
            fail(unexamined.path, unexamined.reason);

        for (const FolderEntry& entry : listing.entries) {
            if (RunCancellation::requested())
                return;
            const std::string from = Paths::join(source, entry.name);
            const std::string to = Paths::join(target, entry.name);
            switch (entry.kind) {
            case FolderEntry::Kind::Folder:
                // The backup folder itself may lie inside the source: copying it into itself would never end.
                if (m_fileSystem.identity(from) == m_target)
                    continue;
                if (prepareFolder(from, to))
                    copyFolder(from, to);
                break;
            case FolderEntry::Kind::Link:
                if (Result copied = m_fileSystem.copyLink(from, to); !copied)
                    fail(from, copied.error());
                else
                    done(from, 0);
                break;
            case FolderEntry::Kind::File:
                enqueue(Job{from, to, entry.size});
                break;
            case FolderEntry::Kind::Other:
                fail(from, "\"" + from + "\" is a device, pipe or socket: not copied");
                break;
            }
        }
    }

    FileSystem& m_fileSystem;
    const FileSystem::ProgressCallback& m_progress;
    const FileIdentity m_target;
    TreeCopyOutcome m_outcome;
    std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_queueHasRoom;
    std::deque<Job> m_jobs;
    bool m_walkDone = false;
    std::vector<std::thread> m_workers;
};

} // namespace

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
    return TreeCopy(fileSystem, progress, *targetIdentity).run(source, target);
}
