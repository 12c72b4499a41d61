#pragma once

#include "Result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// A file or folder that could not be handled, and why.
struct FileFailure
{
    std::string path;
    std::string reason;
};

/// What a recursive copy has done so far; handed to the progress callback after each file.
struct CopyProgress
{
    std::string currentFile; ///< source path of the file just handled
    std::uint64_t filesDone = 0;
    std::uint64_t bytesDone = 0;
};

/// Result of a recursive copy: every file that could not be copied is listed, the rest was copied.
struct TreeCopyOutcome
{
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    std::vector<FileFailure> failures;
    bool complete() const { return failures.empty(); }
};

/// Size and modification time of a file, to notice a file that changed while it was read.
struct FileStat
{
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; ///< nanoseconds since the epoch
};

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

    virtual ~FileSystem() = default;

    /// True when anything (file, folder, link, even a dangling one) has this name.
    virtual bool exists(const std::string& path) const = 0;
    /// True for an existing folder (a link to a folder counts).
    virtual bool isDirectory(const std::string& path) const = 0;
    /// True for an existing regular file (a link to one counts).
    virtual bool isRegularFile(const std::string& path) const = 0;
    /// Size and modification time; nothing when the file cannot be examined.
    virtual std::optional<FileStat> statFile(const std::string& path) const = 0;

    /// Creates one folder level; the parent must exist. Fails when anything of that name exists.
    virtual Result createDirectory(const std::string& path) = 0;
    /// Deletes a folder with everything in it. Links inside are removed, never followed.
    virtual Result removeTree(const std::string& path, RemoveMode mode) = 0;
    /// Deletes one file (or link).
    virtual Result removeFile(const std::string& path, RemoveMode mode) = 0;

    /// Copies one file to `target` (a full file path), overwriting. The data is written under a temporary
    /// name in the target folder and renamed over `target` only when complete, so a failed copy leaves an
    /// earlier `target` as it was. The modification time is kept.
    virtual Result copyFile(const std::string& source, const std::string& target) = 0;

    /// Copies the contents of folder `source` into the existing folder `target`, recursively: subfolders are
    /// created, files overwritten one by one as copyFile does, files only in `target` left in place. Symbolic
    /// links are copied as links, never followed. One file or folder that fails does not stop the rest; it is
    /// listed in the outcome. A `source` that cannot be read at all is one failure with its path.
    /// `progress` (may be empty) is called after every file, on the calling thread.
    virtual TreeCopyOutcome copyTreeContents(const std::string& source, const std::string& target,
                                             const ProgressCallback& progress) = 0;

    /// Names (not paths) of the regular files directly in `folder`, sorted by name; subfolders are left out.
    /// Empty when the folder cannot be read.
    virtual std::vector<std::string> listFiles(const std::string& folder) const = 0;

    /// Reads a whole file; nothing when it cannot be read.
    virtual std::optional<std::string> readFile(const std::string& path) const = 0;
    /// Replaces `path` with `content` whole: temporary file in the same folder, flushed, then renamed.
    virtual Result writeFileAtomically(const std::string& path, const std::string& content) = 0;
};
