#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class FileSystem;
class OutputFile;

/// What an archive entry records besides its data.
struct ZipEntryInfo
{
    std::string name;                 ///< path inside the archive, "/" between parts; folders end in "/"
    std::int64_t modifiedSeconds = 0; ///< modification time, seconds since 1970-01-01 UTC
    std::uint32_t unixMode = 0;       ///< permission bits (07777) of the file or folder
};

/// An entry taken over as another archive stores it: header fields and extra fields as they are there, data
/// as stored (compressed or not).
struct ZipRawEntry
{
    std::string name;
    unsigned long dosDate = 0;
    std::uint32_t externalAttributes = 0;
    unsigned long versionMadeBy = 0;
    unsigned long flags = 0; ///< general-purpose flags; only the UTF-8 name flag is kept
    int method = 0;          ///< 0 stored, 8 deflated
    std::string localExtra;  ///< extra fields of the local header (a zip64 field is left out: it is made anew)
    std::string centralExtra;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

/// How an entry's data is stored.
enum class ZipMethod {
    Stored,  ///< the bytes as they are
    Deflated ///< raw deflate data, compressed by the caller
};

/// Writes one ZIP archive, entry by entry. The caller compresses: data handed to writeData is stored in the
/// archive as it is, and endFile records the CRC-32 and size of the uncompressed bytes in the entry's local header
/// (written back once known) and its central directory record. Names are stored as they are given and flagged as
/// UTF-8 when they are valid UTF-8 beyond ASCII; every entry carries the DOS date (local time, held within
/// 1980..2107) and the exact time: the "UT" field from 1970 to 2106, the "NTFS" field before 1970 and after 2038.
/// Every entry is marked as made on Unix, so that readers take its mode (permissions, links). zip64 records are
/// written where an entry, an offset or the number of entries needs them. The central directory records wait
/// for the end of the archive: up to 1 MiB of them (by default) in memory, the rest in a hidden temporary file beside
/// the archive (see TemporaryNames), removed whatever happens, so that memory does not grow with the number of entries.
/// Errors stop the archive: after a failed call only close() is useful, and the file must be thrown away.
class ZipArchiveWriter
{
public:
    /// `centralHeld`: bytes of central directory records held in memory before they go to the file beside it.
    explicit ZipArchiveWriter(std::size_t centralHeld = 1 << 20);
    ~ZipArchiveWriter();
    ZipArchiveWriter(const ZipArchiveWriter&) = delete;
    ZipArchiveWriter& operator=(const ZipArchiveWriter&) = delete;

    /// Creates the archive file `path` (nothing of that name may exist) on `fileSystem`, which must outlive
    /// the writer.
    Result open(FileSystem& fileSystem, const std::string& path);
    /// A folder entry; `info.name` must end in "/".
    Result addFolder(const ZipEntryInfo& info);
    /// A symbolic link, stored as the link itself: its target text is the entry's data.
    Result addSymlink(const ZipEntryInfo& info, const std::string& target);
    /// Starts a file entry. `expectedSize` is the uncompressed size as far as known; entries of 4 GiB or more
    /// (or close to it) get zip64 sizes.
    Result beginFile(const ZipEntryInfo& info, ZipMethod method, std::uint64_t expectedSize);
    /// Starts an entry taken over from another archive; its stored data follows through writeData, and endFile
    /// ends it with its uncompressed size and CRC-32.
    Result beginRawFile(const ZipRawEntry& entry);
    /// Appends data of the current file entry, as it is to be stored.
    Result writeData(const void* data, std::size_t length);
    /// Ends the current file entry; `size` and `crc` describe the uncompressed data.
    Result endFile(std::uint64_t size, std::uint32_t crc);
    /// Writes the central directory, writes the file through to the disk and closes it. A failure here (a
    /// full disk often shows only now) means the archive is not usable.
    Result close();
    /// Number of entries written so far.
    std::uint64_t entryCount() const { return m_entries; }

private:
    struct Entry;
    Result beginEntry(const ZipEntryInfo& info, ZipMethod method, bool zip64, std::uint32_t externalAttributes);
    Result beginEntry(Entry entry, const std::string& localExtra);
    /// Moves the central directory records held in memory to the file beside the archive.
    Result spillCentral();
    /// Appends the central directory: what went to the file beside the archive, then what is held.
    Result writeCentralDirectory();
    /// The central directory and the end records.
    Result writeEnd();
    void discardCentralFile();
    /// Stops the archive: `what` + its path, and the reason `cause` gives when it failed.
    Result failure(const std::string& what, const Result& cause);

    FileSystem* m_fileSystem = nullptr;
    std::unique_ptr<OutputFile> m_file;
    std::string m_path;
    std::unique_ptr<Entry> m_entry; ///< the entry being written
    bool m_failed = false;
    std::uint64_t m_entries = 0;
    std::string m_central;                     ///< central directory records held in memory
    std::string m_centralPath;                 ///< the file beside the archive that holds the earlier ones
    std::unique_ptr<OutputFile> m_centralFile; ///< open while records go to it
    std::uint64_t m_centralSpilled = 0;        ///< bytes of records in it
    std::size_t m_centralHeld;
};
