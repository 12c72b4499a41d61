#pragma once

#include "Result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// A file or folder that could not be handled, and why.
struct FileFailure
{
    std::string path;
    std::string reason;
};

/// What a recursive copy has done so far; handed to the progress callback after each file, and while a file is
/// copied, as its bytes go.
struct CopyProgress
{
    std::string currentFile;     ///< source path of the file just handled, or being copied
    std::uint64_t filesDone = 0; ///< files finished
    std::uint64_t bytesDone = 0; ///< bytes of the finished files and of those being copied
};

/// Result of a recursive copy: every file that could not be copied is listed, the rest was copied.
struct TreeCopyOutcome
{
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    std::vector<FileFailure> failures;
    /// A copy was given up while its thread was still held by the system: that thread may yet leave its
    /// temporary file behind.
    bool leftBehind = false;
    bool complete() const { return failures.empty(); }
};

/// `seconds` and `nanoseconds` (0 to 999,999,999) since 1970-01-01 UTC as nanoseconds, held within what 64 bits
/// hold (the years 1677 to 2262): a file dated beyond keeps the nearest time there is instead of a wrapped one.
constexpr std::int64_t clampedNanoseconds(std::int64_t seconds, std::int64_t nanoseconds)
{
    constexpr std::int64_t limit = INT64_MAX / 1000000000 - 1;
    if (seconds > limit)
        return INT64_MAX;
    if (seconds < -limit)
        return INT64_MIN;
    return seconds * 1000000000 + nanoseconds;
}

/// Size and modification time of a file, to notice a file that changed while it was read.
struct FileStat
{
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; ///< nanoseconds since the epoch
};

/// One thing in a folder, as the folder's listing shows it: links are described, never followed.
struct FolderEntry
{
    enum class Kind {
        File,   ///< a regular file
        Folder, ///< a folder (on Windows: not a junction or other reparse point)
        Link,   ///< a symbolic link, or on Windows a junction or other reparse point
        Other   ///< a device, pipe or socket
    };
    std::string name;
    Kind kind = Kind::Other;
    std::uint64_t size = 0;      ///< files: bytes
    std::int64_t modifiedNs = 0; ///< nanoseconds since 1970-01-01 UTC, clampedNanoseconds()
    std::uint32_t mode = 0;      ///< permission bits as Unix has them; on Windows 0644, 0755 for folders, without
                                 ///< the write bits when the read-only attribute is set
    std::string linkTarget;      ///< links: the target as written in the link
};

/// The entries of a folder, sorted by name (byte order of the UTF-8 names).
struct FolderListing
{
    std::vector<FolderEntry> entries;
    std::vector<FileFailure> unexamined; ///< names found that could not be examined, with the reason
    std::string error; ///< why the folder could not be read, or not whole; entries holds what was read
    bool ok() const { return error.empty(); }
};

/// Which file or folder a path leads to: two paths with equal identities are the same thing on disk.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

/// A file open for reading.
class InputFile
{
public:
    virtual ~InputFile() = default;
    /// Reads up to `size` bytes from `offset` into `buffer`: the count read, fewer only at the end of the file
    /// (0 there); nothing on a read error, with the reason in `error`.
    virtual std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t size,
                                              std::string& error) = 0;
    /// Size and modification time of the open file now; nothing when they cannot be read.
    virtual std::optional<FileStat> stat() const = 0;
    /// A hint that the first `size` bytes will be read soon, so that the disk can be fetching them while other
    /// files are read: returns without waiting and never fails. Worth calling only where FileSystem::
    /// readsAheadCheaply says so; does nothing by default.
    virtual void readSoon(std::uint64_t /*size*/) {}
};

/// A new file being written, from the start, with the position movable (archives rewrite their headers).
class OutputFile
{
public:
    virtual ~OutputFile() = default;
    /// Writes all `size` bytes at the position and moves it past them; the reason on failure (a full disk).
    virtual Result write(const void* buffer, std::size_t size) = 0;
    virtual Result seek(std::uint64_t position) = 0;
    /// The end of what has been written.
    virtual std::uint64_t size() const = 0;
    virtual std::uint64_t position() const = 0;
    /// Writes everything through to the disk and closes; the file is whole only when this succeeds.
    virtual Result close() = 0;
};

class CopyBatch;

enum class RemoveMode {
    NotForced, ///< refuse (and remove nothing) when a file without write permission is in the way
    Forced     ///< remove read-only files too
};

/// The disk, as the backup runs use it. Every operation is synchronous; failures come back as results
/// with the reason, never as exceptions. Paths are full paths in this platform's form.
class FileSystem
{
public:
    using ProgressCallback = std::function<void(const CopyProgress&)>;
    /// Told, as a file copy goes, how many bytes of it are written; answers whether the copy may go on. On false
    /// the copy stops, removes its temporary file and puts nothing in place. Called on the copying thread after
    /// every piece (at most 1 MiB) and once more just before the copy is put in place.
    using CopyCheck = std::function<bool(std::uint64_t bytesDone)>;

    virtual ~FileSystem() = default;

    /// True when anything (file, folder, link, even a dangling one) has this name.
    virtual bool exists(const std::string& path) const = 0;
    /// True for an existing folder (a link to a folder counts).
    virtual bool isDirectory(const std::string& path) const = 0;
    /// True for an existing regular file (a link to one counts).
    virtual bool isRegularFile(const std::string& path) const = 0;
    /// Size and modification time; nothing when the file cannot be examined.
    virtual std::optional<FileStat> statFile(const std::string& path) const = 0;
    /// What `path` is; a link is followed when `followLinks`, else described. `name` is the path's last
    /// component. Nothing when nothing of that name can be examined.
    virtual std::optional<FolderEntry> examine(const std::string& path, bool followLinks) const = 0;
    /// The identity of what `path` leads to (links followed); nothing when it cannot be examined.
    virtual std::optional<FileIdentity> identity(const std::string& path) const = 0;
    /// Everything in `folder`, links described and never followed.
    virtual FolderListing listFolder(const std::string& folder) const = 0;

    /// Creates one folder level; the parent must exist. Fails when anything of that name exists.
    virtual Result createDirectory(const std::string& path) = 0;
    /// Deletes a folder with everything in it. Links inside are removed, never followed.
    virtual Result removeTree(const std::string& path, RemoveMode mode) = 0;
    /// Deletes one file (or link).
    virtual Result removeFile(const std::string& path, RemoveMode mode) = 0;
    /// Renames `from` to `to`, replacing a file `to`; both in the same folder or at least on the same disk.
    virtual Result rename(const std::string& from, const std::string& to) = 0;

    /// Sets the modification time of the file `path` to `modifiedNs` nanoseconds since 1970-01-01 UTC (as precise as
    /// the disk keeps it); the reason when it cannot be set.
    virtual Result setModifiedTime(const std::string& path, std::int64_t modifiedNs) = 0;

    /// Copies one file to `target` (a full file path), overwriting. The data is read to the end of the file
    /// (whatever size it was listed with), written under a temporary name in the target folder (see
    /// TemporaryNames), written through to the disk and renamed over `target` only when complete, so a failed
    /// copy leaves an earlier `target` as it was; the rename itself is on the disk once the folder is synced.
    /// The modification time is kept when the copy is whole; a copy put in place although its source changed
    /// while it was read is dated just before the source's time as last seen, so that it never passes for a whole
    /// copy of the source (see copyTreeContents). A source whose size or modification time changed while it was read is
    /// read once more (see copyWithChangeCheck); one that changed again is a failure that says so, and its copy
    /// replaces no earlier `target`.
    virtual Result copyFile(const std::string& source, const std::string& target, const CopyCheck& check = {}) = 0;

    /// The batch through which a tree copy into `folder` copies its files (see CopyBatch); by default one that
    /// copies with copyFile, each file written through on its own. Never nothing.
    virtual std::unique_ptr<CopyBatch> startCopyBatch(const std::string& folder);

    /// Writes the entries of `folder` through to the disk, so that what was renamed in it outlives a power cut.
    /// Nothing where each rename is written through on its own (Windows).
    virtual void syncFolder(const std::string& folder) = 0;

    /// Copies the link `source` itself (never what it points to) to `target`, replacing what is there.
    virtual Result copyLink(const std::string& source, const std::string& target) = 0;

    /// Copies the contents of folder `source` into the existing folder `target`, recursively: subfolders are
    /// created, files overwritten as copyFile does (through the batch startCopyBatch gives, so that many small
    /// copies are written through to the disk together, each renamed only after), files only in `target` left in
    /// place. A file whose
    /// copy in `target` is a regular file of the same size, modification time (as precise as the disk keeps it)
    /// and permissions already holds this backup (an earlier run of the day made it): it is left as it is and
    /// counted as copied, in the outcome and in the progress. At the end
    /// every folder that got a file is synced (syncFolder), so that a finished copy is on the disk. Symbolic
    /// links are copied as links, never followed. A folder of `source` that is `target`, or the folder `target` lies in
    /// (the destination of the backups, lying inside the source), is left out with everything in it. One file or folder
    /// that fails does not stop the rest; it is listed in the outcome, and so is a file whose copy made no progress for
    /// stallLimit(), and every copy of a batch whose writing through stood still (see CopyBatch::writeEachThrough). A
    /// `source` that cannot be read at all is one failure with its path. `progress` (may be empty) is called after
    /// every file and as the bytes of a file go, one call at a time, from the calling thread or a copying thread.
    virtual TreeCopyOutcome copyTreeContents(const std::string& source, const std::string& target,
                                             const ProgressCallback& progress) = 0;

    /// Names (not paths) of the regular files directly in `folder`, sorted by name; subfolders are left out.
    /// Empty when the folder cannot be read.
    virtual std::vector<std::string> listFiles(const std::string& folder) const = 0;

    /// Reads a whole file; nothing when it cannot be read.
    virtual std::optional<std::string> readFile(const std::string& path) const = 0;
    /// Replaces `path` with `content` whole: temporary file in the same folder, flushed, then renamed.
    virtual Result writeFileAtomically(const std::string& path, const std::string& content) = 0;

    /// Opens a file for reading; nothing when it cannot be opened, with the reason in `error`.
    virtual std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) const = 0;
    /// Creates a new file (fails when something of that name exists) for writing; nothing when it cannot be
    /// created, with the reason in `error`.
    virtual std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) = 0;

    /// Whether listFolder shows each file's size and modification time as they are at that moment. Where it may
    /// show them late (Windows updates a folder's entry for a file held open for writing only now and then), a
    /// file that looks unchanged since its copy was made is examined itself before that copy is kept.
    virtual bool listingIsCurrent() const { return true; }

    /// Whether readSoon is worth calling for the files under `folder`: true only where it costs a system call or
    /// two on this computer (a local disk), never where each call would be a round trip to a server (a share).
    virtual bool readsAheadCheaply(const std::string& /*folder*/) const { return false; }
    /// A hint that the first `size` bytes of the regular file `path` will be read soon, so that the disk can be
    /// fetching them while earlier files are copied. Returns without waiting for the data and never fails: a file
    /// that cannot be opened, or is no longer a regular file, is left alone. Does nothing by default.
    virtual void readSoon(const std::string& /*path*/, std::uint64_t /*size*/) const {}

    /// How long the read of one file may go without progress before it is given up and reported: a share that
    /// stopped answering, or a device file that never delivers, must not hold a backup for good.
    virtual std::chrono::milliseconds stallLimit() const { return std::chrono::seconds(60); }
};
