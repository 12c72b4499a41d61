#include "PosixFileSystem.h"

#include "Paths.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

namespace {

using FileStatus = struct stat;

std::string describe(const std::string& what, const std::string& path, int error)
{
    return what + " \"" + path + "\": " + std::strerror(error);
}

/// Closes a descriptor when it goes out of scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    /// Closes now and reports the error of close itself (a full disk can show only here).
    int closeNow()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

std::string parentOf(const std::string& path)
{
    const auto position = path.rfind('/');
    if (position == std::string::npos)
        return ".";
    if (position == 0)
        return "/";
    return path.substr(0, position);
}

/// A name in the target folder that no other copy uses, hidden from a casual listing.
std::string temporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned long> counter{0};
    return Paths::join(parentOf(target), "." + Paths::lastComponent(target) + ".kopirko-tmp-" +
                                             std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

bool isReadOnly(const struct stat& info)
{
    return (info.st_mode & S_IWUSR) == 0;
}

/// Copies the bytes of `in` to `out`; copy_file_range where the kernel can, read/write otherwise.
int copyBytes(int in, int out, std::uint64_t size)
{
    std::uint64_t left = size;
    bool useRange = true;
    while (useRange && left > 0) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, std::min<std::uint64_t>(left, 1u << 30), 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
                useRange = false;
                break;
            }
            return errno;
        }
        if (copied == 0)
            return 0; // the file became shorter while it was read: what is there is copied
        left -= static_cast<std::uint64_t>(copied);
    }
    if (left == 0) {
        // The file may have grown since it was measured: take the rest with plain reads.
        useRange = false;
    }
    static thread_local std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        ssize_t written = 0;
        while (written < got) {
            const ssize_t put = ::write(out, buffer.data() + written, static_cast<size_t>(got - written));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            written += put;
        }
    }
}

Result copyRegularFile(const std::string& source, const std::string& target, std::uint64_t* bytes)
{
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return Result::failure(describe("cannot open", source, errno));
    FileStatus info{};
    if (::fstat(in.get(), &info) != 0)
        return Result::failure(describe("cannot examine", source, errno));
    if (!S_ISREG(info.st_mode))
        return Result::failure("\"" + source + "\" is not a regular file");

    const std::string temporary = temporaryNameFor(target);
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return Result::failure(describe("cannot create a file in", parentOf(target), errno));

    auto fail = [&](const std::string& reason) {
        ::unlink(temporary.c_str());
        return Result::failure(reason);
    };
    if (const int error = copyBytes(in.get(), out.get(), static_cast<std::uint64_t>(info.st_size)); error != 0)
        return fail(describe("cannot copy", source, error));
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::futimens(out.get(), times);
    ::fchmod(out.get(), info.st_mode & 07777);
    if (out.closeNow() != 0)
        return fail(describe("cannot finish writing", target, errno));
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(describe("cannot replace", target, errno));
    if (bytes)
        *bytes = static_cast<std::uint64_t>(info.st_size);
    return Result::success();
}

Result copySymlink(const std::string& source, const std::string& target)
{
    std::string link(4096, '\0');
    const ssize_t length = ::readlink(source.c_str(), link.data(), link.size());
    if (length < 0)
        return Result::failure(describe("cannot read the link", source, errno));
    link.resize(static_cast<size_t>(length));
    const std::string temporary = temporaryNameFor(target);
    if (::symlink(link.c_str(), temporary.c_str()) != 0)
        return Result::failure(describe("cannot create a link in", parentOf(target), errno));
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Result::failure(describe("cannot replace", target, error));
    }
    return Result::success();
}

/// A recursive copy. The walk (folders, links) runs on the calling thread; regular files go to a few
/// worker threads, because with many small files the time goes into waiting for the disk, and several
/// files in flight keep it busy.
class TreeCopy
{
public:
    TreeCopy(const FileSystem::ProgressCallback& progress, const FileStatus& target)
        : m_progress(progress), m_targetDevice(target.st_dev), m_targetInode(target.st_ino)
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

            // An exception must never leave a worker thread: that would end the whole program.
            guarded(job.from, [&] {
                std::uint64_t bytes = 0;
                if (Result copied = copyRegularFile(job.from, job.to, &bytes); !copied)
                    fail(job.from, copied.error());
                else
                    done(job.from, bytes);
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

    void copyFolder(const std::string& source, const std::string& target)
    {
        DIR* folder = ::opendir(source.c_str());
        if (!folder) {
            fail(source, describe("cannot read the folder", source, errno));
            return;
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = ::readdir(folder)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
            errno = 0;
        }
        const int readError = errno;
        ::closedir(folder);
        if (readError != 0)
            fail(source, describe("cannot read the whole folder", source, readError));
        std::sort(names.begin(), names.end());

        for (const std::string& name : names) {
            const std::string from = Paths::join(source, name);
            const std::string to = Paths::join(target, name);
            FileStatus info{};
            if (::lstat(from.c_str(), &info) != 0) {
                fail(from, describe("cannot examine", from, errno));
                continue;
            }
            if (S_ISDIR(info.st_mode)) {
                // The backup folder itself may lie inside the source: copying it into itself would never end.
                if (info.st_dev == m_targetDevice && info.st_ino == m_targetInode)
                    continue;
                FileStatus existing{};
                if (::lstat(to.c_str(), &existing) == 0) {
                    if (!S_ISDIR(existing.st_mode)) {
                        fail(from, "\"" + to + "\" exists and is not a folder");
                        continue;
                    }
                } else if (::mkdir(to.c_str(), (info.st_mode & 07777) | S_IRWXU) != 0) {
                    fail(from, describe("cannot create the folder", to, errno));
                    continue;
                }
                copyFolder(from, to);
            } else if (S_ISLNK(info.st_mode)) {
                if (Result copied = copySymlink(from, to); !copied)
                    fail(from, copied.error());
                else
                    done(from, 0);
            } else if (S_ISREG(info.st_mode)) {
                enqueue(Job{from, to});
            } else {
                fail(from, "\"" + from + "\" is a device, pipe or socket: not copied");
            }
        }
    }

    const FileSystem::ProgressCallback& m_progress;
    const dev_t m_targetDevice;
    const ino_t m_targetInode;
    TreeCopyOutcome m_outcome;
    std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_queueHasRoom;
    std::deque<Job> m_jobs;
    bool m_walkDone = false;
    std::vector<std::thread> m_workers;
};

/// Finds the first file without write permission below `path` (itself included).
std::optional<std::string> findReadOnly(const std::string& path)
{
    FileStatus info{};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISREG(info.st_mode) && isReadOnly(info))
        return path;
    if (!S_ISDIR(info.st_mode))
        return std::nullopt;
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        found = findReadOnly(Paths::join(path, entry->d_name));
        if (found)
            break;
    }
    ::closedir(folder);
    return found;
}

Result removeRecursively(const std::string& path)
{
    FileStatus info{};
    if (::lstat(path.c_str(), &info) != 0)
        return Result::failure(describe("cannot examine", path, errno));
    if (!S_ISDIR(info.st_mode)) {
        if (::unlink(path.c_str()) != 0)
            return Result::failure(describe("cannot delete", path, errno));
        return Result::success();
    }
    if ((info.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(path.c_str(), info.st_mode | S_IRWXU);
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return Result::failure(describe("cannot read the folder", path, errno));
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    for (const std::string& name : names) {
        if (Result removed = removeRecursively(Paths::join(path, name)); !removed)
            return removed;
    }
    if (::rmdir(path.c_str()) != 0)
        return Result::failure(describe("cannot delete the folder", path, errno));
    return Result::success();
}

} // namespace

bool PosixFileSystem::exists(const std::string& path) const
{
    FileStatus info{};
    return ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::isDirectory(const std::string& path) const
{
    FileStatus info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixFileSystem::isRegularFile(const std::string& path) const
{
    FileStatus info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<FileStat> PosixFileSystem::statFile(const std::string& path) const
{
    FileStatus info{};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStat{static_cast<std::uint64_t>(info.st_size),
                    static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

Result PosixFileSystem::createDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        return Result::failure(describe("cannot create the folder", path, errno));
    return Result::success();
}

Result PosixFileSystem::removeTree(const std::string& path, RemoveMode mode)
{
    if (!exists(path))
        return Result::failure(describe("cannot delete", path, ENOENT));
    if (mode == RemoveMode::NotForced) {
        if (const auto readOnly = findReadOnly(path))
            return Result::failure("\"" + path + "\" was not deleted: it holds the read-only file \"" + *readOnly +
                                   "\"");
    }
    return removeRecursively(path);
}

Result PosixFileSystem::removeFile(const std::string& path, RemoveMode mode)
{
    FileStatus info{};
    if (::lstat(path.c_str(), &info) != 0)
        return Result::failure(describe("cannot delete", path, errno));
    if (S_ISDIR(info.st_mode))
        return Result::failure("\"" + path + "\" is a folder, not a file");
    if (mode == RemoveMode::NotForced && S_ISREG(info.st_mode) && isReadOnly(info))
        return Result::failure("\"" + path + "\" is read-only and was not deleted");
    if (::unlink(path.c_str()) != 0)
        return Result::failure(describe("cannot delete", path, errno));
    return Result::success();
}

Result PosixFileSystem::copyFile(const std::string& source, const std::string& target)
{
    return copyRegularFile(source, target, nullptr);
}

TreeCopyOutcome PosixFileSystem::copyTreeContents(const std::string& source, const std::string& target,
                                                  const ProgressCallback& progress)
{
    TreeCopyOutcome outcome;
    FileStatus targetInfo{};
    if (::stat(target.c_str(), &targetInfo) != 0 || !S_ISDIR(targetInfo.st_mode)) {
        outcome.failures.push_back({target, "the backup folder \"" + target + "\" does not exist or is not a folder"});
        return outcome;
    }
    FileStatus sourceInfo{};
    if (::stat(source.c_str(), &sourceInfo) != 0) {
        outcome.failures.push_back({source, describe("cannot reach", source, errno)});
        return outcome;
    }
    if (!S_ISDIR(sourceInfo.st_mode)) {
        outcome.failures.push_back({source, "\"" + source + "\" is not a folder"});
        return outcome;
    }
    return TreeCopy(progress, targetInfo).run(source, target);
}

std::vector<std::string> PosixFileSystem::listFiles(const std::string& folder) const
{
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (isRegularFile(Paths::join(folder, entry->d_name)))
            names.emplace_back(entry->d_name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> PosixFileSystem::readFile(const std::string& path) const
{
    FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return content;
        content.append(buffer, static_cast<size_t>(got));
    }
}

Result PosixFileSystem::writeFileAtomically(const std::string& path, const std::string& content)
{
    const std::string temporary = temporaryNameFor(path);
    mode_t mode = 0644;
    FileStatus existing{};
    if (::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return Result::failure(describe("cannot create a file in", parentOf(path), errno));
    auto fail = [&](const std::string& reason) {
        ::unlink(temporary.c_str());
        return Result::failure(reason);
    };
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t put = ::write(out.get(), content.data() + written, content.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return fail(describe("cannot write", path, errno));
        }
        written += static_cast<size_t>(put);
    }
    ::fchmod(out.get(), mode);
    if (::fsync(out.get()) != 0)
        return fail(describe("cannot write", path, errno));
    if (out.closeNow() != 0)
        return fail(describe("cannot write", path, errno));
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail(describe("cannot replace", path, errno));
    return Result::success();
}
