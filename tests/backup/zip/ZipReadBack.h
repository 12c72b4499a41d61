#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

/// An archive as a reader other than our own writer sees it. On Linux: unzip (Info-ZIP), 7-Zip and Python's zipfile.
/// Under Windows, where no Linux program can be started from a test, minizip's reader (which shares no code with
/// how we write) checks names, flags and every entry's data against its CRC; the format itself is checked
/// against unzip and zipfile on Linux. Every function throws std::runtime_error when the archive is unsound.
namespace ZipReadBack {

struct Entry
{
    std::string name;
    unsigned flags = 0;
    std::uint64_t size = 0;
    unsigned host = 0;   ///< "version made by", high byte: 3 is Unix, whose modes (permissions, links) readers take
    unsigned method = 0; ///< 0 stored, 8 deflated
};

/// The entries in archive order.
std::vector<Entry> entries(const std::string& archive);

/// The names as listed (a name written twice is there twice).
std::multiset<std::string> unzipNames(const std::string& archive);

/// Throws unless the archive and the data of every entry are sound (on Linux to unzip, 7-Zip and Python's zipfile
/// alike: they differ in what they forgive).
void unzipTest(const std::string& archive);

/// Unpacks into `folder` (checking every CRC) with `unpacker`, "unzip" (when empty) or "7z" (under Windows
/// minizip's reader stands for both, with the time of the "NTFS" field, else of the "UT" field, as 7-Zip takes it):
/// links come out as links where the platform makes them, times and permissions as the reader takes them.
void extract(const std::string& archive, const std::string& folder, const std::string& unpacker = {});

} // namespace ZipReadBack
