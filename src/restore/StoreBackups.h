#pragma once

#include "BackupSource.h"
#include "ObjectStore.h"
#include "StoreProblem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class FileSystem;

/// The store away from the shop whose days are restored from, and this computer's folder in it.
struct StoreAccess
{
    ObjectStore* store = nullptr;
    ObjectStoreAccount account;
    std::string prefix; ///< "<Prefiks>", without "/" at either end
    /// How a request that failed for a moment is asked again (a stop of the restore ends the waiting).
    StoreProblem::RetryPolicy retry;
};

/// A copy-mode backup in the store: one object per file, "<prefix>/dd_MM_yyyy_<name>_backup/<relative path>".
/// Folders are implied by the keys. The modification times are in each object's metadata, which a listing does not
/// give: they are asked for (HEAD) a folder at a time, when the folder is shown or planned, and kept.
class StoredFolderBackup
{
public:
    StoredFolderBackup(StoreAccess access, std::string keyPrefix, std::map<std::string, std::uint64_t> files);

    const StoreAccess& access() const { return m_access; }
    /// The key of the file or folder `relative`.
    std::string key(const std::string& relative) const;
    /// The files (relative path, bytes), sorted by path.
    const std::map<std::string, std::uint64_t>& files() const { return m_files; }
    /// Whether `relative` is a folder of the backup ("" is its top).
    bool isFolder(const std::string& relative) const;
    /// The modification time of each of `relatives` (nanoseconds since 1970 UTC; 0 when the object carries none),
    /// asked of the store 16 at once where not known yet. The reason when the store could not be asked;
    /// `wholeStore`, where given, is set when that failure was the whole store's (down, refusing the key).
    Result modificationTimes(const std::vector<std::string>& relatives, std::vector<std::int64_t>& times,
                             bool* wholeStore = nullptr) const;

private:
    StoreAccess m_access;
    std::string m_keyPrefix; ///< ends with "/"
    std::map<std::string, std::uint64_t> m_files;
    mutable std::mutex m_timesMutex;
    mutable std::map<std::string, std::int64_t> m_times;
};

/// An archive fetched from the store into a temporary file, read as any archive; the file is removed when the last
/// backup that reads it is gone.
class FetchedArchive
{
public:
    FetchedArchive(FileSystem& fileSystem, std::string path) : m_fileSystem(fileSystem), m_path(std::move(path)) {}
    ~FetchedArchive();
    FetchedArchive(const FetchedArchive&) = delete;
    FetchedArchive& operator=(const FetchedArchive&) = delete;

private:
    FileSystem& m_fileSystem;
    std::string m_path;
};

/// The days with backups in the store under "<prefix>/", newest first, each marked `inStore`, its places the keys
/// of its backups ("<prefix>/dd_MM_yyyy_<name>_backup" for a copy, "... .zip" for an archive). One listing of the
/// prefix; a store that cannot be listed gives no days and the reason, named as the sending names it.
BackupDayList listStoreDays(const StoreAccess& access);

/// How far the fetching of a day's archives is.
struct ArchiveFetchProgress
{
    std::string archive;          ///< the key of the archive being fetched
    std::size_t number = 0;       ///< of the day's archives, from 1
    std::size_t count = 0;        ///< the day's archives
    std::uint64_t bytesDone = 0;  ///< of this archive
    std::uint64_t bytesTotal = 0; ///< of this archive, as the store announced it; 0 until known
};
/// Told how far the fetching of archives is, on the fetching thread, after each piece and about once a second while
/// nothing comes; answers whether to go on.
using ArchiveFetchCheck = std::function<bool(const ArchiveFetchProgress&)>;

/// The backups of a day in the store: each copy from its listing, each archive fetched whole into a temporary file in
/// `fetchFolder` and read from there (removed again with the last BackupSource that holds it). When `check` (may be
/// empty) says not to go on, the archive being fetched is named with RestoreTexts::stopped, nothing of it is left in
/// `fetchFolder`, the places after it are not read and the result is `stopped`.
DayBackups backupsOfStoreDay(const StoreAccess& access, FileSystem& fileSystem, const BackupDay& day,
                             const std::string& fetchFolder, const ArchiveFetchCheck& check = {});

/// Fetches `key` into `destination` (nothing is left there, nor beside it, after a failure), asked again while the
/// store fails only for a moment; the failure by name. `wholeStore` is set when the failure concerns every request
/// (the store is down or refuses the key), so that the files after it need not be asked for. `check` (may be empty)
/// is told the bytes as they come and may stop the fetch (then no more tries; a failure, not `wholeStore`); a stop of
/// the restore (RunCancellation) ends the tries too.
Result fetchStoredObject(const StoreAccess& access, const std::string& key, const std::string& destination,
                         bool& wholeStore, const ObjectStore::FetchCheck& check = {});
