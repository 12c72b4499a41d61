#pragma once

#include "FileSystem.h"
#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// One folder to go into an archive, under its own top-level name.
struct ZipSource
{
    std::string path;    ///< the folder on disk
    std::string topName; ///< its one top-level entry in the archive; empty: its contents sit at the top
};

/// What became of one folder of an archive.
struct ZipSourceOutcome
{
    std::string path;
    bool reachable = false;            ///< the folder could be read, so it is in the archive
    std::string error;                 ///< why it could not be read at all
    std::vector<FileFailure> failures; ///< what is missing from the archive, or is not whole, and why
    std::uint64_t files = 0;           ///< files archived
    std::uint64_t bytes = 0;           ///< their bytes, uncompressed
    std::uint64_t carriedOver = 0;     ///< not reachable: its entries taken over from the earlier archive

    /// In the archive, and whole.
    bool complete() const { return reachable && failures.empty(); }
};

/// What one archive run did.
struct ZipOutcome
{
    /// Success when the archive file now holds the new archive, complete; the earlier file of that name (if
    /// any) is then replaced. On failure the earlier file is untouched and no partial archive is left.
    Result archive = Result::failure("the archive was not written");
    std::vector<ZipSourceOutcome> sources; ///< one per folder, in the order given
};

/// Progress after each file, for the status lines.
struct ZipProgress
{
    std::size_t source = 0;  ///< index of the folder being archived
    std::string currentFile; ///< path of the file just archived
    std::uint64_t filesDone = 0;
    std::uint64_t bytesDone = 0;
};

/// How archives are made. The defaults are what the runs use.
struct ZipOptions
{
    unsigned workers = defaultWorkers(); ///< threads that read and compress
    std::size_t chunkSize = 1024 * 1024; ///< bytes of a file compressed as one piece
    int level = 6;                       ///< compression level (libdeflate's 1..12)
    /// Files, folders and links walked and written at a time: enough that the pipeline's start and end between
    /// them cost next to nothing, few enough that what they hold stays small whatever the number of files.
    std::size_t itemsAtATime = 4096;
    /// Bytes of the archive's central directory held in memory; the rest waits in a file beside the archive.
    std::size_t centralDirectoryHeld = 1 << 20;
    /// Files of at most `smallFileSize` bytes are compressed at `smallFileLevel` when that is lower than `level`:
    /// in so little data the slower search finds few repeats more, and would take most of such a file's time.
    int smallFileLevel = 1;
    std::size_t smallFileSize = 16 * 1024;

    /// One per processor, at least 1 and at most 8 (more would only cost memory).
    static unsigned defaultWorkers();
};

using ZipProgressCallback = std::function<void(const ZipProgress&)>;

/// Archives the folder `source` into `archiveBase` + ".zip": one top-level folder entry named like the
/// source's last name (trailing separators ignored), with every file, subfolder (empty ones too) and
/// symbolic link (stored as a link, never followed) below it. The archive is written whole under a
/// temporary name beside it and renamed over the final name only when complete, so a failure never leaves a
/// truncated archive and keeps an earlier archive of that name until the new one replaces it. Files that
/// cannot be read are left out and listed; the rest is archived. A source that cannot be read at all
/// produces no archive. The folder the archive is written into is left out with everything in it (the destination
/// lying inside the source: each archive would hold every earlier one). Returns when the archive is complete and
/// closed. `progress` is called on the calling
/// thread.
ZipOutcome ZipFolder(FileSystem& fileSystem, const std::string& source, const std::string& archiveBase,
                     const ZipOptions& options = {}, const ZipProgressCallback& progress = {});

/// As ZipFolder, with several folders in one archive, each under its own top-level name (which must differ).
/// The archive is written when at least one of them can be read. A folder that cannot be read keeps what an
/// earlier archive of that name holds of it: its entries are taken over as they are stored there
/// (ZipSourceOutcome::carriedOver); when that earlier archive cannot be read whole, it is kept and no new one is
/// made, so that no folder loses its copy of earlier that day.
ZipOutcome ZipFolders(FileSystem& fileSystem, const std::vector<ZipSource>& sources, const std::string& archiveBase,
                      const ZipOptions& options = {}, const ZipProgressCallback& progress = {});

/// The top-level name of a source in its archive: its last non-empty path component ("" for the root "/"; the
/// drive letter or the share's name for a Windows drive or share).
std::string archiveTopName(const std::string& source);

/// Texts of the archive runs.
namespace ZipTexts {
inline constexpr const char* changedWhileArchived =
    "datoteka se mijenjala tokom arhiviranja, u arhivi je ono sto je procitano i mozda nije ispravno";
} // namespace ZipTexts
