#include "ZipReadBack.h"

#include "TestFiles.h"
#include "Utf8Path.h"
#include "WideText.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

// unzip.h first: iowin32.h builds on what it declares.
#include <unzip.h>

#include <iowin32.h>

namespace ZipReadBack {

namespace {

/// Calls `visit` for every entry in archive order with its header and, when `withData`, its data read whole
/// (which makes minizip check the CRC).
using Visit = std::function<void(const unz_file_info64&, const std::string& name, const std::string& data,
                                 std::optional<std::int64_t> modified)>;

/// The modification time as 7-Zip takes it, seconds since 1970: from the "NTFS" field (100 ns steps since 1601),
/// else from the "UT" field (32 bits, unsigned).
std::optional<std::int64_t> exactTime(const unsigned char* extra, std::size_t size)
{
    const auto number = [&](std::size_t at, int bytes) {
        std::uint64_t value = 0;
        while (bytes-- > 0)
            value = (value << 8) | extra[at + bytes];
        return value;
    };
    std::optional<std::int64_t> unixTime;
    for (std::size_t at = 0; at + 4 <= size; at += 4 + number(at + 2, 2)) {
        if (number(at, 2) == 0x000A && number(at + 2, 2) >= 32 && at + 36 <= size)
            return static_cast<std::int64_t>(number(at + 12, 8) / 10000000) - 11644473600;
        if (number(at, 2) == 0x5455 && number(at + 2, 2) >= 5 && at + 9 <= size && (extra[at + 4] & 1))
            unixTime = static_cast<std::int64_t>(number(at + 5, 4));
    }
    return unixTime;
}

void forEachEntry(const std::string& archive, bool withData, const Visit& visit)
{
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    const std::wstring wide = WideText::longPath(archive);
    unzFile zip = unzOpen2_64(wide.c_str(), &functions);
    if (!zip)
        throw std::runtime_error("not a readable archive: " + archive);
    try {
        for (int status = unzGoToFirstFile(zip); status != UNZ_END_OF_LIST_OF_FILE; status = unzGoToNextFile(zip)) {
            if (status != UNZ_OK)
                throw std::runtime_error("damaged central directory in " + archive);
            unz_file_info64 info{};
            char name[65536];
            unsigned char extra[65536];
            if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, extra, sizeof extra, nullptr, 0) != UNZ_OK)
                throw std::runtime_error("damaged entry in " + archive);
            std::string data;
            if (withData) {
                if (unzOpenCurrentFile(zip) != UNZ_OK)
                    throw std::runtime_error(std::string("cannot open the entry ") + name);
                char buffer[65536];
                int got = 0;
                while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
                    data.append(buffer, static_cast<std::size_t>(got));
                const int closed = unzCloseCurrentFile(zip); // UNZ_CRCERROR when the data does not match
                if (got < 0 || closed != UNZ_OK || data.size() != info.uncompressed_size)
                    throw std::runtime_error(std::string("the data of ") + name + " is damaged");
            }
            visit(info, name, data, exactTime(extra, info.size_file_extra));
        }
    } catch (...) {
        unzClose(zip);
        throw;
    }
    unzClose(zip);
}

} // namespace

std::vector<Entry> entries(const std::string& archive)
{
    std::vector<Entry> result;
    forEachEntry(archive, false, [&](const unz_file_info64& info, const std::string& name, const std::string&, auto) {
        result.push_back({name, static_cast<unsigned>(info.flag), info.uncompressed_size,
                          static_cast<unsigned>(info.version >> 8), static_cast<unsigned>(info.compression_method)});
    });
    return result;
}

std::multiset<std::string> unzipNames(const std::string& archive)
{
    std::multiset<std::string> names;
    for (const Entry& entry : entries(archive))
        names.insert(entry.name);
    return names;
}

void unzipTest(const std::string& archive)
{
    forEachEntry(archive, true, [](const unz_file_info64&, const std::string&, const std::string&, auto) {});
}

void extract(const std::string& archive, const std::string& folder, const std::string&)
{
    namespace fs = std::filesystem;
    forEachEntry(archive, true,
                 [&](const unz_file_info64& info, const std::string& name, const std::string& data,
                     std::optional<std::int64_t> modified) {
                     const fs::path path = Utf8Path::toPath(folder) / Utf8Path::toPath(name);
                     const std::uint32_t type = (info.external_fa >> 16) & 0170000;
                     if (name.ends_with("/")) {
                         fs::create_directories(path);
                         return;
                     }
                     if (type == 0120000)
                         return; // a link: Windows under Wine makes none, and they are checked on Linux
                     TestFiles::write(Utf8Path::fromPath(path), data);
                     if (modified)
                         TestFiles::setModified(Utf8Path::fromPath(path), *modified);
                     if ((info.external_fa >> 16) != 0 && ((info.external_fa >> 16) & 0200) == 0)
                         fs::permissions(path,
                                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                         fs::perm_options::remove);
                 });
}

} // namespace ZipReadBack
