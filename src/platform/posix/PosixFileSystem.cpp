#include "PosixFileSystem.h"

#include "BufferedOutputFile.h"
#include "ChangeCheck.h"
#include "CopyBatch.h"
#include "FailureReason.h"
#include "Paths.h"
#include "TemporaryNames.h"
#include "TreeCopy.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace {

using FileStatus = struct stat;

FailureKind kindOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FailureKind::Missing;
    case EACCES:
    case EPERM:
    case EROFS:
        return FailureKind::NoPermission;
    case ENOSPC:
    case EDQUOT:
        return FailureKind::DiskFull;
    case EBUSY:
    case ETXTBSY:
        return FailureKind::InUse;
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ENOTCONN:
    case ESTALE:
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
        return FailureKind::Unreachable;
    default:
        return FailureKind::Other;
    }
}

std::string describe(const std::string& what, const std::string& path, int error)
{
    return FailureReason::describe(what, path, kindOf(error), std::strerror(error));
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

bool isReadOnly(const struct stat& info)
{
    return (info.st_mode & S_IWUSR) == 0;
}

FileStat fileStateOf(const FileStatus& info)
{
    return FileStat{static_cast<std::uint64_t>(info.st_size),
                    clampedNanoseconds(info.st_mtim.tv_sec, info.st_mtim.tv_nsec)};
}

std::optional<FileStat> fileStateOf(int fd)
{
    FileStatus info{};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return fileStateOf(info);
}

/// One nanosecond before `time`: the date of a copy that is not whole (see copyPass).
struct timespec justBefore(struct timespec time)
{
    if (time.tv_nsec > 0) {
        --time.tv_nsec;
    } else {
        --time.tv_sec;
        time.tv_nsec = 999999999;
    }
    return time;
}

/// Writes `size` bytes of `data` to `out`; 0, or the error.
int writeAll(int out, const char* data, std::size_t size)
{
    std::size_t written = 0;
    while (written < size) {
        const ssize_t put = ::write(out, data + written, size - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<std::size_t>(put);
    }
    return 0;
}

/// Copies `in` from where it stands to its end into `out`, in pieces of 1 MiB, telling `check` after each; 0, or
/// the error. `stopped` when `check` said no. copy_file_range copies in the kernel where it can; its "nothing
/// more" is then made sure of with plain reads, because it says so too early for files whose size the system
/// does not know (as under /proc) and the file may have grown meanwhile.
int copyToEnd(int in, int out, std::uint64_t& bytes, const FileSystem::CopyCheck& check, bool& stopped)
{
    constexpr std::size_t piece = 1 << 20;
    auto counted = [&](std::size_t more) {
        bytes += more;
        stopped = check && !check(bytes);
        return !stopped;
    };
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, piece, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
                break;
            return errno;
        }
        if (copied == 0)
            break;
        if (!counted(static_cast<std::size_t>(copied)))
            return 0;
    }
    static thread_local std::vector<char> buffer(piece);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (const int error = writeAll(out, buffer.data(), static_cast<std::size_t>(got)); error != 0)
            return error;
        if (!counted(static_cast<std::size_t>(got)))
            return 0;
    }
}

/// Files smaller than this may wait for a batch's writing through; a larger one is written through on its own,
/// which costs it little against its own writing and keeps the bytes a batch holds unwritten small.
constexpr std::uint64_t largestWaitingFile = 8u << 20;

/// One reading of `source` into the new file `temporary`: contents to the end, modification time and permissions,
/// written through to the disk, except a file smaller than largestWaitingFile on the disk `waitOn` (when given):
/// that one is left for a CopyBatch to write through, and `writtenThrough` says which it was.
CopyPass copyPass(const std::string& source, const std::string& temporary, const std::string& target,
                  const FileSystem::CopyCheck& check, std::optional<dev_t> waitOn, bool& writtenThrough)
{
    writtenThrough = true;
    CopyPass pass;
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        pass.result = Result::failure(describe("cannot open", source, errno));
        return pass;
    }
    FileStatus info{};
    if (::fstat(in.get(), &info) != 0) {
        pass.result = Result::failure(describe("cannot examine", source, errno));
        return pass;
    }
    if (!S_ISREG(info.st_mode)) {
        pass.result = Result::failure("\"" + source + "\" is not a regular file");
        return pass;
    }
    pass.before = fileStateOf(info);
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        pass.result = Result::failure(describe("cannot create the copy", target, errno));
        return pass;
    }
    bool stopped = false;
    if (const int error = copyToEnd(in.get(), out.get(), pass.bytes, check, stopped); error != 0 || stopped) {
        pass.result = Result::failure(stopped ? "\"" + source + "\": the copy was stopped"
                                              : describe("cannot copy", source, error));
        return pass;
    }
    if (::fstat(in.get(), &info) == 0)
        pass.after = fileStateOf(info);
    // Only a whole copy is given the source's time: a later run keeps a copy whose time and size match its source.
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (!sameFileState(pass.before, pass.after))
        times[1] = justBefore(info.st_mtim);
    ::futimens(out.get(), times);
    ::fchmod(out.get(), info.st_mode & 07777);
    FileStatus written{};
    if (waitOn && pass.bytes < largestWaitingFile && ::fstat(out.get(), &written) == 0 && written.st_dev == *waitOn)
        writtenThrough = false;
    // Written through before the rename (here, or by the batch before it renames): after a power cut the name holds
    // the new copy or the earlier one, never an empty file.
    if ((writtenThrough && ::fsync(out.get()) != 0) || out.closeNow() != 0)
        pass.result = Result::failure(describe("cannot finish writing", target, errno));
    return pass;
}

/// Copies as copyFile does; with `waitOn`, a copy that copyPass left unwritten-through is not renamed but named in
/// `waiting` (see CopyBatch::copy).
Result copyRegularFile(const std::string& source, const std::string& target, const FileSystem::CopyCheck& check,
                       std::optional<dev_t> waitOn = std::nullopt, std::string* waiting = nullptr)
{
    bool writtenThrough = true;
    CopySteps steps;
    steps.pass = [&](const std::string& temporary) {
        return copyPass(source, temporary, target, check, waitOn, writtenThrough);
    };
    steps.targetExists = [&] {
        FileStatus info{};
        return ::lstat(target.c_str(), &info) == 0;
    };
    steps.putInPlace = [&](const std::string& temporary) {
        if (!writtenThrough && waiting) {
            *waiting = temporary;
            return Result::success();
        }
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            return Result::failure(describe("cannot replace", target, errno));
        return Result::success();
    };
    steps.discard = [](const std::string& temporary) { ::unlink(temporary.c_str()); };
    return copyWithChangeCheck(source, target, steps, check);
}

/// Leaves the small copies on one disk unwritten-through and writes them through with one syncfs for the whole
/// disk. The descriptor is opened before any copy is written: syncfs tells of a failed write on the disk only to
/// descriptors opened before it happened, and only once.
class PosixCopyBatch : public CopyBatch
{
public:
    /// Takes `folder`, open, at `path` on the disk `device` the copies go to.
    PosixCopyBatch(int folder, std::string path, dev_t device)
        : m_folder(folder), m_path(std::move(path)), m_device(device)
    {}

    Result copy(const std::string& source, const std::string& target, const FileSystem::CopyCheck& check,
                std::string& waiting) override
    {
        waiting.clear();
        // After a failure the disk has told of, or a syncfs that stood still, copies are written through one by one
        // again.
        const bool mayWait = !m_failed.load() && !m_eachThrough.load();
        return copyRegularFile(source, target, check, mayWait ? std::optional<dev_t>(m_device) : std::nullopt,
                               &waiting);
    }

    Result writeThrough() override
    {
        // One at a time: a failure is told to one call only, and must fail every copy written before it. A call
        // that waits behind a syncfs that was given up fails instead of standing still as well.
        std::unique_lock lock(m_mutex, std::defer_lock);
        while (!m_eachThrough.load() && !lock.try_lock_for(std::chrono::milliseconds(100))) {
        }
        if (m_eachThrough.load())
            return Result::failure(describe("cannot finish writing to the disk of", m_path, ETIMEDOUT));
        if (!m_failed.load() && ::syncfs(m_folder.get()) != 0) {
            m_error = errno;
            m_failed = true;
        }
        if (m_failed.load())
            return Result::failure(describe("cannot finish writing to the disk of", m_path, m_error));
        return Result::success();
    }

    void writeEachThrough() override { m_eachThrough = true; }

private:
    FileDescriptor m_folder;
    const std::string m_path;
    const dev_t m_device;
    std::timed_mutex m_mutex;
    std::atomic<bool> m_failed = false;
    std::atomic<bool> m_eachThrough = false;
    int m_error = 0; ///< guarded by m_mutex
};

Result copySymlink(const std::string& source, const std::string& target)
{
    std::string link(4096, '\0');
    const ssize_t length = ::readlink(source.c_str(), link.data(), link.size());
    if (length < 0)
        return Result::failure(describe("cannot read the link", source, errno));
    link.resize(static_cast<size_t>(length));
    const std::string temporary = TemporaryNames::beside(target);
    if (::symlink(link.c_str(), temporary.c_str()) != 0)
        return Result::failure(describe("cannot create the link", target, errno));
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Result::failure(describe("cannot replace", target, error));
    }
    return Result::success();
}

FolderEntry::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FolderEntry::Kind::File;
    if (S_ISDIR(mode))
        return FolderEntry::Kind::Folder;
    if (S_ISLNK(mode))
        return FolderEntry::Kind::Link;
    return FolderEntry::Kind::Other;
}

std::optional<std::string> readLink(const std::string& path)
{
    std::string link(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0)
        return std::nullopt;
    link.resize(static_cast<size_t>(length));
    return link;
}

FolderEntry entryOf(const std::string& name, const std::string& path, const FileStatus& info)
{
    FolderEntry entry;
    entry.name = name;
    entry.kind = kindOf(info.st_mode);
    entry.size = entry.kind == FolderEntry::Kind::File ? static_cast<std::uint64_t>(info.st_size) : 0;
    entry.modifiedNs = clampedNanoseconds(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    entry.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    if (entry.kind == FolderEntry::Kind::Link)
        entry.linkTarget = readLink(path).value_or("");
    return entry;
}

/// Reads a file with pread; the descriptor is closed with the object.
class PosixInputFile : public InputFile
{
public:
    PosixInputFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

    std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t size, std::string& error) override
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got =
                ::pread(m_fd.get(), static_cast<char*>(buffer) + done, size - done, static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                error = describe("cannot read", m_path, errno);
                return std::nullopt;
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    std::optional<FileStat> stat() const override { return fileStateOf(m_fd.get()); }

    void readSoon(std::uint64_t size) override
    {
        ::posix_fadvise(m_fd.get(), 0, static_cast<off_t>(size), POSIX_FADV_WILLNEED);
    }

private:
    FileDescriptor m_fd;
    std::string m_path;
};

/// A new file written with pwrite, synced with fsync.
class PosixOutputFile : public BufferedOutputFile
{
public:
    PosixOutputFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

protected:
    Result writeAt(std::uint64_t at, const char* data, std::size_t size) override
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t put = ::pwrite(m_fd.get(), data + done, size - done, static_cast<off_t>(at + done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return Result::failure(describe("cannot write", m_path, errno));
            }
            done += static_cast<std::size_t>(put);
        }
        return Result::success();
    }

    Result syncAndClose() override
    {
        if (::fsync(m_fd.get()) != 0 || m_fd.closeNow() != 0)
            return Result::failure(describe("cannot finish writing", m_path, errno));
        return Result::success();
    }

private:
    FileDescriptor m_fd;
    std::string m_path;
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
    return fileStateOf(info);
}

std::optional<FolderEntry> PosixFileSystem::examine(const std::string& path, bool followLinks) const
{
    FileStatus info{};
    if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0)
        return std::nullopt;
    return entryOf(Paths::lastComponent(path), path, info);
}

std::optional<FileIdentity> PosixFileSystem::identity(const std::string& path) const
{
    FileStatus info{};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

FolderListing PosixFileSystem::listFolder(const std::string& folder) const
{
    FolderListing listing;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        listing.error = describe("cannot read the folder", folder, errno);
        return listing;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    if (errno != 0)
        listing.error = describe("cannot read the whole folder", folder, errno);
    std::sort(names.begin(), names.end());
    listing.entries.reserve(names.size());
    // Examined relative to the open folder: the system need not walk the whole path again for every name.
    const int at = ::dirfd(directory);
    for (std::string& name : names) {
        FileStatus info{};
        if (::fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since the folder was read: nothing to report.
            if (errno != ENOENT) {
                const std::string path = Paths::join(folder, name);
                listing.unexamined.push_back({path, describe("cannot examine", path, errno)});
            }
            continue;
        }
        listing.entries.push_back(entryOf(name, Paths::join(folder, name), info));
    }
    ::closedir(directory);
    return listing;
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

Result PosixFileSystem::rename(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Result::failure(describe("cannot rename", from, errno) + " (to \"" + to + "\")");
    return Result::success();
}

Result PosixFileSystem::setModifiedTime(const std::string& path, std::int64_t modifiedNs)
{
    std::int64_t seconds = modifiedNs / 1000000000;
    std::int64_t nanoseconds = modifiedNs % 1000000000;
    if (nanoseconds < 0) {
        --seconds;
        nanoseconds += 1000000000;
    }
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(nanoseconds);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return Result::failure(describe("cannot set the time of", path, errno));
    return Result::success();
}

Result PosixFileSystem::copyFile(const std::string& source, const std::string& target, const CopyCheck& check)
{
    return copyRegularFile(source, target, check);
}

std::unique_ptr<CopyBatch> PosixFileSystem::startCopyBatch(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FileStatus info{};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0)
            ::close(fd);
        return FileSystem::startCopyBatch(folder); // each copy written through on its own, as always possible
    }
    return std::make_unique<PosixCopyBatch>(fd, folder, info.st_dev);
}

void PosixFileSystem::syncFolder(const std::string& folder)
{
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

Result PosixFileSystem::copyLink(const std::string& source, const std::string& target)
{
    return copySymlink(source, target);
}

TreeCopyOutcome PosixFileSystem::copyTreeContents(const std::string& source, const std::string& target,
                                                  const ProgressCallback& progress)
{
    return copyTreeWith(*this, source, target, progress);
}

bool PosixFileSystem::readsAheadCheaply(const std::string& folder) const
{
    struct statfs info
    {};
    if (::statfs(folder.c_str(), &info) != 0)
        return false;
    // The magic numbers of linux/magic.h, written out because not every one is in every version of it.
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // XFS
    case 0x9123683EUL: // Btrfs
    case 0xF2F52010UL: // F2FS
    case 0x4D44UL:     // FAT
    case 0x2011BAB0UL: // exFAT
    case 0x7366746EUL: // NTFS (ntfs3)
    case 0x2FC12FC1UL: // ZFS
    case 0x794C7630UL: // overlay (a container's files over a local disk)
        return true;
    default:
        return false;
    }
}

void PosixFileSystem::readSoon(const std::string& path, std::uint64_t size) const
{
    // Without waiting: a pipe put in the file's place since it was listed must not hold the caller.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    FileStatus info{};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    ::posix_fadvise(fd.get(), 0, static_cast<off_t>(size), POSIX_FADV_WILLNEED);
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
    const std::string temporary = TemporaryNames::beside(path);
    mode_t mode = 0644;
    FileStatus existing{};
    if (::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return Result::failure(describe("cannot create", path, errno));
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

std::unique_ptr<InputFile> PosixFileSystem::openForReading(const std::string& path, std::string& error) const
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = describe("cannot open", path, errno);
        return nullptr;
    }
    return std::make_unique<PosixInputFile>(fd, path);
}

std::unique_ptr<OutputFile> PosixFileSystem::createFile(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = describe("cannot create", path, errno);
        return nullptr;
    }
    return std::make_unique<PosixOutputFile>(fd, path);
}
