#pragma once

#include "FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

/// One file or folder of an archive, as its central directory describes it.
struct ArchiveEntry
{
    std::string path; ///< its path in the archive, parts joined by "/", without a trailing "/"
    bool folder = false;
    std::uint64_t size = 0;            ///< files: bytes, unpacked
    std::int64_t modifiedNs = 0;       ///< nanoseconds since 1970-01-01 UTC; 0 for a folder the archive only implies
    std::int64_t timeStepNs = 0;       ///< how precise the archive keeps that time (2 s for a bare DOS date)
    std::uint64_t directoryOffset = 0; ///< files: where its record is, for minizip to find it again
    std::uint64_t fileNumber = 0;
};

/// The list of an archive, read once from its central directory (nothing is unpacked), with every folder's
/// entries at hand. An entry whose name could lead out of the folder it is restored into ("..", an absolute
/// path, a name this platform cannot have), a symbolic link, and a second entry of one name are left out and
/// listed in skipped(): an archive is read as it is found on the disk, whoever wrote it.
class ArchiveIndex
{
public:
    /// Reads the central directory of the archive `path`; nothing when it cannot be read, with the reason in
    /// `error` (in the window's language).
    static std::shared_ptr<const ArchiveIndex> read(const FileSystem& fileSystem, const std::string& path,
                                                    std::string& error);

    const std::string& path() const { return m_path; }
    /// The entries directly in the folder `folder` ("" for the top of the archive), sorted by name.
    std::vector<const ArchiveEntry*> children(const std::string& folder) const;
    /// The entry of `path`; nullptr when the archive holds none.
    const ArchiveEntry* find(const std::string& path) const;
    const std::vector<FileFailure>& skipped() const { return m_skipped; }

private:
    void add(ArchiveEntry entry);

    std::string m_path;
    std::vector<ArchiveEntry> m_entries;
    std::unordered_map<std::string, std::size_t> m_byPath;
    std::unordered_map<std::string, std::vector<std::size_t>> m_children;
    std::vector<FileFailure> m_skipped;
};
