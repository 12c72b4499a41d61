#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class FileSystem;
struct ArchiveStream;

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

/// Writes one ZIP archive, entry by entry, through minizip. The caller compresses: data handed to
/// writeData is stored in the archive as it is, and endFile records the CRC-32 and size of the
/// uncompressed bytes. Names are stored as they are given and flagged as UTF-8 when they are valid UTF-8
/// beyond ASCII; every entry carries the DOS date (local time, held within 1980..2107) and the exact time: the "UT"
/// field from 1970 to 2106, the "NTFS" field before 1970 and after 2038. Every entry is marked as made on Unix, so
/// that readers take its mode (permissions, links), also where minizip would mark it otherwise (zip64 entries).
/// zip64 records are written where an entry, an offset or the number of entries needs them.
/// Errors stop the archive: after a failed call only close() is useful, and the file must be thrown away.
class ZipArchiveWriter
{
public:
    ZipArchiveWriter();
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
    Result beginEntry(const ZipEntryInfo& info, ZipMethod method, bool zip64, std::uint32_t externalAttributes);
    Result failure(const std::string& what);

    std::unique_ptr<ArchiveStream> m_stream; ///< the file under minizip
    void* m_zip = nullptr;                   ///< minizip's zipFile
    std::string m_path;
    bool m_inEntry = false;
    std::uint64_t m_entries = 0;
};
