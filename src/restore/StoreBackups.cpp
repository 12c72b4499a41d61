#include "StoreBackups.h"

#include "FileNames.h"
#include "FileSystem.h"
#include "Paths.h"
#include "RestoreTexts.h"
#include "RunCancellation.h"
#include "StoreProblem.h"
#include "TemporaryNames.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

/// Where the sending keeps a file's modification time.
constexpr const char* mtimeKey = "kopirko-mtime";
/// Questions for modification times at once, as the sending asks whether files are there.
constexpr unsigned askingAtOnce = 16;

std::int64_t parseTime(const std::string& text)
{
    if (text.empty() || text.size() > 19)
        return 0;
    std::int64_t value = 0;
    const bool negative = text[0] == '-';
    for (std::size_t k = negative ? 1 : 0; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9')
            return 0;
        value = value * 10 + (text[k] - '0');
    }
    return negative ? -value : value;
}

StoreAnswer retried(
    const StoreAccess& access, const std::function<StoreAnswer()>& request,
    const std::function<bool()>& stop = [] { return RunCancellation::requested(); })
{
    return StoreProblem::withRetries(access.retry, request, stop);
}

std::string inStore(const StoreAccess& access, const std::string& key)
{
    return access.account.bucket + "/" + key;
}

} // namespace

StoredFolderBackup::StoredFolderBackup(StoreAccess access, std::string keyPrefix,
                                       std::map<std::string, std::uint64_t> files)
    : m_access(std::move(access)), m_keyPrefix(std::move(keyPrefix)), m_files(std::move(files))
{}

std::string StoredFolderBackup::key(const std::string& relative) const
{
    return relative.empty() ? m_keyPrefix.substr(0, m_keyPrefix.size() - 1) : m_keyPrefix + relative;
}

bool StoredFolderBackup::isFolder(const std::string& relative) const
{
    if (relative.empty())
        return true;
    const std::string under = relative + "/";
    const auto at = m_files.lower_bound(under);
    return at != m_files.end() && at->first.compare(0, under.size(), under) == 0;
}

Result StoredFolderBackup::modificationTimes(const std::vector<std::string>& relatives,
                                             std::vector<std::int64_t>& times, bool* wholeStore) const
{
    times.assign(relatives.size(), 0);
    std::vector<std::size_t> unknown;
    {
        const std::lock_guard lock(m_timesMutex);
        for (std::size_t k = 0; k < relatives.size(); ++k) {
            const auto known = m_times.find(relatives[k]);
            if (known != m_times.end())
                times[k] = known->second;
            else
                unknown.push_back(k);
        }
    }
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::string failure;
    bool storeFailed = false;
    const auto ask = [&] {
        for (std::size_t n; (n = next++) < unknown.size();) {
            {
                const std::lock_guard lock(failureMutex);
                if (!failure.empty())
                    return;
            }
            const std::string& relative = relatives[unknown[n]];
            StoredObject described;
            const StoreAnswer answer = retried(
                m_access, [&] { return m_access.store->headObject(m_access.account, key(relative), described); });
            if (!answer.result) {
                const std::lock_guard lock(failureMutex);
                if (failure.empty()) {
                    failure = "\"" + inStore(m_access, key(relative)) + "\": " + StoreProblem::describe(answer);
                    storeFailed = StoreProblem::stopsTheSending(answer);
                }
                return;
            }
            const auto mtime = described.metadata.find(mtimeKey);
            times[unknown[n]] = mtime == described.metadata.end() ? 0 : parseTime(mtime->second);
            const std::lock_guard lock(m_timesMutex);
            m_times[relative] = times[unknown[n]];
        }
    };
    std::vector<std::thread> askers;
    for (unsigned k = 1; k < askingAtOnce && k < unknown.size(); ++k)
        askers.emplace_back(ask);
    ask();
    for (std::thread& asker : askers)
        asker.join();
    if (wholeStore)
        *wholeStore = storeFailed;
    return failure.empty() ? Result::success() : Result::failure(failure);
}

FetchedArchive::~FetchedArchive()
{
    m_fileSystem.removeFile(m_path, RemoveMode::Forced);
}

BackupDayList listStoreDays(const StoreAccess& access)
{
    BackupDayList list;
    std::vector<StoredObject> objects;
    const std::string under = access.prefix + "/";
    const StoreAnswer answer = retried(access, [&] {
        objects.clear();
        return access.store->listObjects(access.account, under, objects);
    });
    if (!answer.result) {
        list.error = "\"" + inStore(access, under) + "\": " + StoreProblem::describe(answer);
        return list;
    }
    std::map<std::chrono::year_month_day, BackupDay> days;
    for (const StoredObject& object : objects) {
        const std::string rest = object.key.substr(under.size());
        const std::size_t slash = rest.find('/');
        const std::string name = rest.substr(0, slash);
        const std::optional<DatedBackupName> parsed = parseDatedBackupName(name);
        // An archive is one object of its own name; a copy has objects under its name.
        if (!parsed || parsed->archive != (slash == std::string::npos))
            continue;
        BackupDay& day = days[parsed->date];
        day.date = parsed->date;
        day.inStore = true;
        const std::string place = under + name;
        if (std::find(day.places.begin(), day.places.end(), place) == day.places.end())
            day.places.push_back(place);
    }
    for (auto at = days.rbegin(); at != days.rend(); ++at) {
        std::sort(at->second.places.begin(), at->second.places.end());
        list.days.push_back(std::move(at->second));
    }
    return list;
}

Result fetchStoredObject(const StoreAccess& access, const std::string& key, const std::string& destination,
                         bool& wholeStore, const ObjectStore::FetchCheck& check)
{
    bool refused = false; // by `check`: asked on this thread only
    const ObjectStore::FetchCheck watched = [&](std::uint64_t received, std::uint64_t announced) {
        refused = refused || !check(received, announced);
        return !refused;
    };
    const StoreAnswer answer = retried(
        access, [&] { return access.store->getObject(access.account, key, destination, check ? watched : check); },
        [&] { return refused || RunCancellation::requested(); });
    wholeStore = !answer.result && !refused && StoreProblem::stopsTheSending(answer);
    if (answer.result)
        return Result::success();
    return Result::failure("\"" + inStore(access, key) + "\": " + StoreProblem::describe(answer));
}

DayBackups backupsOfStoreDay(const StoreAccess& access, FileSystem& fileSystem, const BackupDay& day,
                             const std::string& fetchFolder, const ArchiveFetchCheck& check)
{
    const auto addCopy = [&](DayBackups& found, const std::string& place, const std::string& name) {
        std::vector<StoredObject> objects;
        const std::string under = place + "/";
        const StoreAnswer answer = retried(access, [&] {
            objects.clear();
            return access.store->listObjects(access.account, under, objects);
        });
        if (!answer.result) {
            found.unreadable.push_back({inStore(access, place), StoreProblem::describe(answer)});
            return;
        }
        std::map<std::string, std::uint64_t> files;
        for (const StoredObject& object : objects) {
            const std::string relative = object.key.substr(under.size());
            // Only keys a folder could have given, each part a name this platform can have: what is made of
            // them lands inside the folder restored into.
            std::optional<std::string> problem = relative.empty() ? std::optional<std::string>("") : std::nullopt;
            for (std::size_t start = 0; !problem && start <= relative.size();) {
                const std::size_t end = std::min(relative.find('/', start), relative.size());
                problem = FileNames::problem(relative.substr(start, end - start));
                start = end + 1;
            }
            if (!problem)
                files[relative] = object.size;
            else
                found.unreadable.push_back(
                    {inStore(access, object.key), std::string(RestoreTexts::unsafeEntryName) + " (" + *problem + ")"});
        }
        auto stored = std::make_shared<const StoredFolderBackup>(access, under, std::move(files));
        found.sources.push_back({name, place, {}, nullptr, day.date, stored, nullptr});
    };

    ArchiveFetchProgress progress;
    progress.count =
        static_cast<std::size_t>(std::count_if(day.places.begin(), day.places.end(), [](const auto& place) {
            const std::optional<DatedBackupName> parsed = parseDatedBackupName(Paths::lastComponent(place));
            return parsed && parsed->archive;
        }));
    const auto fetchArchive = [&](DayBackups& found, const std::string& place) -> std::optional<ArchiveAtHand> {
        progress.archive = place;
        ++progress.number;
        progress.bytesDone = progress.bytesTotal = 0;
        bool stopped = check && !check(progress);
        const std::string temporary = TemporaryNames::beside(Paths::join(fetchFolder, Paths::lastComponent(place)));
        bool wholeStore = false;
        const Result fetched = stopped ? Result::failure(RestoreTexts::stopped)
                                       : fetchStoredObject(access, place, temporary, wholeStore,
                                                           [&](std::uint64_t received, std::uint64_t announced) {
                                                               progress.bytesDone = received;
                                                               progress.bytesTotal = announced;
                                                               stopped = check && !check(progress);
                                                               return !stopped;
                                                           });
        // Made whole before a late stop, it still goes: nothing of an archive not shown stays in `fetchFolder`.
        auto holder = fetched ? std::make_shared<const FetchedArchive>(fileSystem, temporary) : nullptr;
        if (stopped) {
            found.unreadable.push_back({inStore(access, place), RestoreTexts::stopped});
            found.stopped = true;
            return std::nullopt;
        }
        if (!fetched) {
            found.unreadable.push_back({inStore(access, place), fetched.error()});
            return std::nullopt;
        }
        return ArchiveAtHand{temporary, inStore(access, place), holder};
    };
    return backupsOfPlaces(fileSystem, day, addCopy, fetchArchive);
}
