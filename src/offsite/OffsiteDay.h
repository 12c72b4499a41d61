#pragma once

#include "ContentDigest.h"
#include "FileSystem.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// A file of a day's backups and the key it has in the bucket.
struct OffsiteFile
{
    std::string path; ///< on this computer
    std::string key;  ///< "<prefix>/<archive name>" or "<prefix>/<backup folder>/<relative path>", "/" between names
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; ///< nanoseconds since 1970-01-01 UTC
    /// The hashes of its `size` bytes, taken before the sending decides on it; none for a file sent in parts.
    std::optional<ContentDigest::Sha256> sha256;
    std::optional<ContentDigest::Md5> md5;
};

/// Which local backups make a day, and which keys of the store belong to which day.
namespace OffsiteDay {

/// The local backups of `dates` in `backupDir`: each archive "dd_MM_yyyy_<name>_backup.zip" as one file, each
/// folder "dd_MM_yyyy_<name>_backup" (the database backup's root too) with every file below it. Links and devices are
/// left out (a backup run never makes them); what cannot be read is in `failures`.
struct Collected
{
    std::vector<OffsiteFile> files;
    std::vector<FileFailure> failures;
};
Collected collect(const FileSystem& disk, const std::string& backupDir,
                  const std::vector<std::chrono::year_month_day>& dates, const std::string& prefix);

/// The date of a backup named "dd_MM_yyyy_<name>_backup" or "dd_MM_yyyy_<name>_backup.zip"; nothing for any
/// other name (a temporary file, a probe, a name someone else put there).
std::optional<std::chrono::year_month_day> dateOfBackupName(const std::string& name);

/// The first name under "<prefix>/" in `key` ("" when `key` does not lie there).
std::string dayNameOfKey(const std::string& key, const std::string& prefix);

} // namespace OffsiteDay
