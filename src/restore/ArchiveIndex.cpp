#include "ArchiveIndex.h"

#include "ArchiveReadStream.h"
#include "FileNames.h"
#include "RestoreTexts.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr std::int64_t second = 1000000000;

std::uint64_t littleEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int k = count - 1; k >= 0; --k)
        value = (value << 8) | bytes[k];
    return value;
}

/// The modification time of an entry and how precise it is: the "UT" field (seconds), else the "NTFS" one (100 ns),
/// else the DOS date in local time (2 seconds).
std::pair<std::int64_t, std::int64_t> modificationTime(const unsigned char* extra, std::size_t size,
                                                       unsigned long dosDate)
{
    for (std::size_t at = 0; at + 4 <= size;) {
        const auto id = littleEndian(extra + at, 2);
        const std::size_t length = littleEndian(extra + at + 2, 2);
        const unsigned char* data = extra + at + 4;
        if (at + 4 + length > size)
            break;
        if (id == 0x5455 && length >= 5 && (data[0] & 1))
            return {static_cast<std::int64_t>(littleEndian(data + 1, 4)) * second, second};
        if (id == 0x000A && length >= 32 && littleEndian(data + 4, 2) == 1 && littleEndian(data + 6, 2) >= 24) {
            constexpr std::int64_t ticksFrom1601To1970 = 11644473600LL * 10000000;
            const auto ticks = static_cast<std::int64_t>(littleEndian(data + 8, 8));
            return {(ticks - ticksFrom1601To1970) * 100, 100};
        }
        at += 4 + length;
    }
    std::tm local{};
    local.tm_year = static_cast<int>((dosDate >> 25) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((dosDate >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((dosDate >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((dosDate >> 11) & 0x1F);
    local.tm_min = static_cast<int>((dosDate >> 5) & 0x3F);
    local.tm_sec = static_cast<int>((dosDate & 0x1F) * 2);
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    return {seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(seconds) * second, 2 * second};
}

/// Why the entry `name` cannot be restored as it is named; nothing when each of its parts is a name this platform
/// can have, so that what is made of it lands inside the folder it is restored into.
std::optional<std::string> nameProblem(const std::string& name)
{
    std::size_t start = 0;
    while (true) {
        const std::size_t end = name.find('/', start);
        const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (std::optional<std::string> problem = FileNames::problem(part))
            return problem;
        if (end == std::string::npos)
            return std::nullopt;
        start = end + 1;
    }
}

std::string parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

std::shared_ptr<const ArchiveIndex> ArchiveIndex::read(const FileSystem& fileSystem, const std::string& path,
                                                       std::string& error)
{
    ArchiveReadStream stream(fileSystem);
    const std::unique_ptr<void, int (*)(unzFile)> zip(stream.open(path), unzClose);
    if (!zip) {
        error = "\"" + path + "\": " + RestoreTexts::unreadableArchive +
                (stream.error().empty() ? "" : " (" + stream.error() + ")");
        return nullptr;
    }
    auto index = std::make_shared<ArchiveIndex>();
    index->m_path = path;
    const bool listed = forEachCentralEntry(zip.get(), [&](const CentralEntry& central) {
        const unz_file_info64& info = central.info;
        std::string entryName = central.name;
        ArchiveEntry entry;
        entry.folder = !entryName.empty() && entryName.back() == '/';
        if (entry.folder)
            entryName.pop_back();
        const std::uint32_t type = (info.version >> 8) == 3 ? (info.external_fa >> 16) & 0170000 : 0;
        if (const std::optional<std::string> problem = nameProblem(entryName)) {
            index->m_skipped.push_back({entryName, std::string(RestoreTexts::unsafeEntryName) + " (" + *problem + ")"});
            return true;
        }
        if (type == 0120000) {
            index->m_skipped.push_back({entryName, RestoreTexts::linkNotRestored});
            return true;
        }
        entry.folder = entry.folder || type == 0040000;
        entry.path = std::move(entryName);
        entry.size = entry.folder ? 0 : info.uncompressed_size;
        std::tie(entry.modifiedNs, entry.timeStepNs) = modificationTime(central.extra, central.extraSize, info.dosDate);
        unz64_file_pos position{};
        unzGetFilePos64(zip.get(), &position);
        entry.directoryOffset = position.pos_in_zip_directory;
        entry.fileNumber = position.num_of_file;
        if (const auto known = index->m_byPath.find(entry.path); known != index->m_byPath.end()) {
            ArchiveEntry& earlier = index->m_entries[known->second];
            if (earlier.folder && entry.folder && earlier.timeStepNs == 0) { // implied by an entry before it
                earlier.modifiedNs = entry.modifiedNs;
                earlier.timeStepNs = entry.timeStepNs;
                return true;
            }
            index->m_skipped.push_back({entry.path, RestoreTexts::duplicateEntry});
            return true;
        }
        index->add(std::move(entry));
        return true;
    });
    if (!listed) {
        error = "\"" + path + "\": " + RestoreTexts::unreadableArchive;
        return nullptr;
    }
    for (auto& [folder, children] : index->m_children)
        std::sort(children.begin(), children.end(), [&](std::size_t left, std::size_t right) {
            return index->m_entries[left].path < index->m_entries[right].path;
        });
    return index;
}

void ArchiveIndex::add(ArchiveEntry entry)
{
    const std::string parent = parentOf(entry.path);
    if (!parent.empty() && !m_byPath.contains(parent)) {
        ArchiveEntry implied;
        implied.path = parent;
        implied.folder = true;
        add(std::move(implied));
    }
    m_byPath.emplace(entry.path, m_entries.size());
    m_children[parent].push_back(m_entries.size());
    m_entries.push_back(std::move(entry));
}

std::vector<const ArchiveEntry*> ArchiveIndex::children(const std::string& folder) const
{
    std::vector<const ArchiveEntry*> found;
    if (const auto at = m_children.find(folder); at != m_children.end())
        for (const std::size_t k : at->second)
            found.push_back(&m_entries[k]);
    return found;
}

const ArchiveEntry* ArchiveIndex::find(const std::string& path) const
{
    const auto at = m_byPath.find(path);
    return at == m_byPath.end() ? nullptr : &m_entries[at->second];
}
