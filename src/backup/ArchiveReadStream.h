#pragma once

#include "FileSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <unzip.h>

/// An archive as minizip's reader sees it: an InputFile of the FileSystem, read where minizip seeks. It must
/// outlive the unzFile opened through it.
class ArchiveReadStream
{
public:
    explicit ArchiveReadStream(const FileSystem& fileSystem) : m_fileSystem(fileSystem) {}
    ArchiveReadStream(const ArchiveReadStream&) = delete;
    ArchiveReadStream& operator=(const ArchiveReadStream&) = delete;

    /// Opens the archive `path` for minizip (close it with unzClose); nothing when it cannot be opened or holds no
    /// central directory, with the reason, where the disk gave one, in error().
    unzFile open(const std::string& path);
    /// Why the last read failed; "" when none did.
    const std::string& error() const { return m_error; }

private:
    static voidpf openStream(voidpf opaque, const void* name, int mode);
    static uLong readStream(voidpf, voidpf opaque, void* buffer, uLong size);
    static uLong writeStream(voidpf, voidpf, const void*, uLong);
    static ZPOS64_T tellStream(voidpf, voidpf opaque);
    static long seekStream(voidpf, voidpf opaque, ZPOS64_T offset, int origin);
    static int closeStream(voidpf, voidpf);
    static int errorStream(voidpf, voidpf opaque);

    const FileSystem& m_fileSystem;
    std::unique_ptr<InputFile> m_file;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
    std::string m_error;
};

/// One entry of an archive's central directory: its record, its name as stored, its extra fields.
struct CentralEntry
{
    unz_file_info64 info{};
    std::string name;
    const unsigned char* extra = nullptr;
    std::size_t extraSize = 0;
};

/// Calls `visit` for each entry of the central directory of `zip`, in order, with the entry current in `zip`, until
/// it answers false. True when the whole directory was read (or `visit` stopped); false when it could not be.
bool forEachCentralEntry(unzFile zip, const std::function<bool(const CentralEntry&)>& visit);
