#include "ZipArchiveWriter.h"

#include "FileSystem.h"
#include "TemporaryNames.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <zlib.h>

namespace {

constexpr std::uint32_t modeFolder = 0040000;
constexpr std::uint32_t modeFile = 0100000;
constexpr std::uint32_t modeLink = 0120000;
constexpr std::uint32_t dosReadOnly = 0x01;
constexpr std::uint32_t dosFolder = 0x10;
constexpr std::uint32_t ownerWrite = 0200;

/// Made by a Unix host (3), format version 3.0: the high half of the external attributes is the mode.
constexpr unsigned long versionMadeBy = (3u << 8) | 30u;
constexpr unsigned long utf8NameFlag = 1u << 11;

/// Entries this close to 4 GiB get zip64 sizes in advance: incompressible data grows a little when deflated,
/// and a local header cannot get the zip64 field after the fact.
constexpr std::uint64_t zip64Threshold = 0xFFFFFFFFull - (64ull << 20);

/// The DOS date and time of `seconds` in local time (2-second steps), held within 1980..2107.
unsigned long dosDateTime(std::int64_t seconds)
{
    std::tm local{};
    local.tm_year = seconds < 0 ? 0 : 9999; // where the system has no local time (Windows before 1970): the nearest end
    const std::time_t time = static_cast<std::time_t>(seconds);
    // The reentrant forms: no lock, and the time zone is read once, not again for every entry as std::localtime does.
    std::tm converted{};
#ifdef _WIN32
    if (localtime_s(&converted, &time) == 0)
        local = converted;
#else
    if (localtime_r(&time, &converted))
        local = converted;
#endif
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return (0ul << 25) | (1ul << 21) | (1ul << 16); // 1980-01-01 00:00
    if (year > 2107)
        return (127ul << 25) | (12ul << 21) | (31ul << 16) | (23ul << 11) | (59ul << 5) | 29ul;
    return (static_cast<unsigned long>(year - 1980) << 25) | (static_cast<unsigned long>(local.tm_mon + 1) << 21) |
           (static_cast<unsigned long>(local.tm_mday) << 16) | (static_cast<unsigned long>(local.tm_hour) << 11) |
           (static_cast<unsigned long>(local.tm_min) << 5) | (static_cast<unsigned long>(local.tm_sec / 2));
}

void putLittleEndian(std::string& out, std::uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

/// The extra fields with the exact modification time, the same in the local and the central header. The "UT"
/// field holds 32 bits that readers take as unsigned (unzip, 7-Zip: 1970 to 2106); where some read them signed
/// (after 2038), and where they cannot hold the time, the "NTFS" field follows with the time in 100 ns steps since
/// 1601, which 7-Zip and Java prefer whatever the date.
std::string timeFields(std::int64_t seconds)
{
    std::string fields;
    if (seconds >= 0 && seconds <= UINT32_MAX) {
        fields = {'\x55', '\x54', '\x05', '\x00', '\x01'};
        putLittleEndian(fields, static_cast<std::uint64_t>(seconds), 4);
    }
    constexpr std::int64_t secondsFrom1601To1970 = 11644473600;
    if ((seconds < 0 || seconds > INT32_MAX) && seconds >= -secondsFrom1601To1970 &&
        seconds <= INT64_MAX / 10000000 - secondsFrom1601To1970) {
        const auto ticks = static_cast<std::uint64_t>(seconds + secondsFrom1601To1970) * 10000000;
        putLittleEndian(fields, 0x000A, 2);
        putLittleEndian(fields, 32, 2);
        putLittleEndian(fields, 0, 4); // reserved
        putLittleEndian(fields, 0x0001, 2);
        putLittleEndian(fields, 24, 2);
        for (int time = 0; time < 3; ++time) // modified, accessed, created: only the first is known
            putLittleEndian(fields, ticks, 8);
    }
    return fields;
}

std::uint32_t externalAttributes(std::uint32_t type, std::uint32_t mode)
{
    std::uint32_t attributes = (type | (mode & 07777)) << 16;
    if (type == modeFolder)
        attributes |= dosFolder;
    if ((mode & ownerWrite) == 0)
        attributes |= dosReadOnly;
    return attributes;
}

constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::uint32_t centralHeaderSignature = 0x02014b50;
constexpr std::uint64_t sizeLimit32 = 0xFFFFFFFFull;

/// The bytes of a little-endian field.
template <typename Bytes>
void putField(Bytes& out, std::uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

/// The entry being written: what its central directory record needs once its data is done.
struct ZipArchiveWriter::Entry
{
    std::string name;
    std::uint32_t dosDate = 0;
    std::uint32_t externalAttributes = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::string centralExtra;
    bool zip64 = false;             ///< the local header holds zip64 sizes
    std::uint64_t headerAt = 0;     ///< where its local header starts
    std::uint64_t zip64SizesAt = 0; ///< where the sizes in the local header's zip64 field are
    std::uint64_t dataAt = 0;       ///< where its data starts
};

ZipArchiveWriter::ZipArchiveWriter(std::size_t centralHeld) : m_centralHeld(std::max<std::size_t>(centralHeld, 1)) {}

ZipArchiveWriter::~ZipArchiveWriter()
{
    discardCentralFile();
}

Result ZipArchiveWriter::failure(const std::string& what, const Result& cause)
{
    m_failed = true;
    return Result::failure(what + " \"" + m_path + "\"" + (cause ? "" : ": " + cause.error()));
}

Result ZipArchiveWriter::open(FileSystem& fileSystem, const std::string& path)
{
    m_path = path;
    m_fileSystem = &fileSystem;
    std::string error;
    m_file = fileSystem.createFile(path, error);
    if (!m_file)
        return Result::failure(error.empty() ? "cannot create the archive \"" + path + "\"" : error);
    return Result::success();
}

Result ZipArchiveWriter::beginEntry(Entry entry, const std::string& localExtra)
{
    if (!m_file || m_entry || m_failed)
        return Result::failure("the archive \"" + m_path + "\" is not ready for a new entry");
    if (entry.name.size() > 0xFFFF)
        return Result::failure("the name \"" + entry.name.substr(0, 200) + "...\" is too long for an archive");
    const std::size_t extraSize = localExtra.size() + (entry.zip64 ? 20 : 0);
    if (extraSize > 0xFFFF || entry.centralExtra.size() + 28 > 0xFFFF)
        return Result::failure("the extra fields of \"" + entry.name.substr(0, 200) + "\" are too long for an archive");

    entry.headerAt = m_file->position();
    std::string header;
    putField(header, localHeaderSignature, 4);
    putField(header, entry.zip64 ? 45 : 20, 2); // version needed
    putField(header, entry.flags, 2);
    putField(header, entry.method, 2);
    putField(header, entry.dosDate, 4);
    putField(header, 0, 4); // CRC-32, and the sizes: written when the data is done
    putField(header, entry.zip64 ? sizeLimit32 : 0, 4);
    putField(header, entry.zip64 ? sizeLimit32 : 0, 4);
    putField(header, entry.name.size(), 2);
    putField(header, extraSize, 2);
    header += entry.name;
    header += localExtra;
    if (entry.zip64) {
        putField(header, 0x0001, 2);
        putField(header, 16, 2);
        entry.zip64SizesAt = entry.headerAt + header.size();
        putField(header, 0, 8);
        putField(header, 0, 8);
    }
    if (Result written = m_file->write(header.data(), header.size()); !written)
        return failure("cannot write to the archive", written);
    entry.dataAt = m_file->position();
    m_entry = std::make_unique<Entry>(std::move(entry));
    ++m_entries;
    return Result::success();
}

Result ZipArchiveWriter::beginEntry(const ZipEntryInfo& info, ZipMethod method, bool zip64, std::uint32_t attributes)
{
    Entry entry;
    entry.name = info.name;
    entry.dosDate = static_cast<std::uint32_t>(dosDateTime(info.modifiedSeconds));
    entry.externalAttributes = attributes;
    entry.versionMadeBy = static_cast<std::uint16_t>(versionMadeBy);
    entry.flags = Utf8::hasNonAscii(info.name) && Utf8::isValid(info.name) ? utf8NameFlag : 0;
    entry.method = method == ZipMethod::Deflated ? Z_DEFLATED : 0;
    entry.centralExtra = timeFields(info.modifiedSeconds);
    entry.zip64 = zip64;
    const std::string localExtra = entry.centralExtra;
    return beginEntry(std::move(entry), localExtra);
}

Result ZipArchiveWriter::addFolder(const ZipEntryInfo& info)
{
    if (info.name.empty() || info.name.back() != '/')
        return Result::failure("a folder entry must end in \"/\": \"" + info.name + "\"");
    if (Result begun = beginEntry(info, ZipMethod::Stored, false, externalAttributes(modeFolder, info.unixMode));
        !begun)
        return begun;
    return endFile(0, 0);
}

Result ZipArchiveWriter::addSymlink(const ZipEntryInfo& info, const std::string& target)
{
    if (Result begun = beginEntry(info, ZipMethod::Stored, false, externalAttributes(modeLink, 0777)); !begun)
        return begun;
    if (Result written = writeData(target.data(), target.size()); !written)
        return written;
    return endFile(target.size(), static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(target.data()),
                                                                   static_cast<uInt>(target.size()))));
}

Result ZipArchiveWriter::beginFile(const ZipEntryInfo& info, ZipMethod method, std::uint64_t expectedSize)
{
    return beginEntry(info, method, expectedSize >= zip64Threshold, externalAttributes(modeFile, info.unixMode));
}

Result ZipArchiveWriter::beginRawFile(const ZipRawEntry& raw)
{
    Entry entry;
    entry.name = raw.name;
    entry.dosDate = static_cast<std::uint32_t>(raw.dosDate);
    entry.externalAttributes = raw.externalAttributes;
    // Marked as made on Unix whatever the earlier archive said, so that readers take its mode.
    entry.versionMadeBy = static_cast<std::uint16_t>((3u << 8) | (raw.versionMadeBy & 0xFF));
    entry.flags = static_cast<std::uint16_t>(raw.flags & utf8NameFlag);
    entry.method = static_cast<std::uint16_t>(raw.method);
    entry.centralExtra = raw.centralExtra;
    entry.zip64 = raw.compressedSize >= zip64Threshold || raw.uncompressedSize >= zip64Threshold;
    return beginEntry(std::move(entry), raw.localExtra);
}

Result ZipArchiveWriter::writeData(const void* data, std::size_t length)
{
    if (!m_entry)
        return Result::failure("no entry is open in the archive \"" + m_path + "\"");
    if (Result written = m_file->write(data, length); !written)
        return failure("cannot write to the archive", written);
    return Result::success();
}

Result ZipArchiveWriter::endFile(std::uint64_t size, std::uint32_t crc)
{
    if (!m_entry)
        return Result::failure("no entry is open in the archive \"" + m_path + "\"");
    const std::unique_ptr<Entry> entry = std::move(m_entry);
    const std::uint64_t end = m_file->position();
    const std::uint64_t compressed = end - entry->dataAt;
    if (!entry->zip64 && (compressed >= sizeLimit32 || size >= sizeLimit32))
        return failure("an entry grew past 4 GiB without zip64 sizes in", Result::success());

    // The local header gets its CRC-32 and sizes now that they are known.
    std::string fields;
    putField(fields, crc, 4);
    putField(fields, entry->zip64 ? sizeLimit32 : compressed, 4);
    putField(fields, entry->zip64 ? sizeLimit32 : size, 4);
    Result patched = m_file->seek(entry->headerAt + 14);
    if (patched)
        patched = m_file->write(fields.data(), fields.size());
    if (patched && entry->zip64) {
        std::string sizes;
        putField(sizes, size, 8);
        putField(sizes, compressed, 8);
        patched = m_file->seek(entry->zip64SizesAt);
        if (patched)
            patched = m_file->write(sizes.data(), sizes.size());
    }
    if (patched)
        patched = m_file->seek(end);
    if (!patched)
        return failure("cannot write to the archive", patched);

    // Its central directory record: sizes and offset that do not fit in 32 bits go to a zip64 field.
    const bool bigSizes = entry->zip64 || compressed >= sizeLimit32 || size >= sizeLimit32;
    const bool bigOffset = entry->headerAt >= sizeLimit32;
    std::string zip64;
    if (bigSizes) {
        putField(zip64, size, 8);
        putField(zip64, compressed, 8);
    }
    if (bigOffset)
        putField(zip64, entry->headerAt, 8);
    std::string extra = entry->centralExtra;
    if (!zip64.empty()) {
        putField(extra, 0x0001, 2);
        putField(extra, zip64.size(), 2);
        extra += zip64;
    }
    std::string& record = m_central;
    putField(record, centralHeaderSignature, 4);
    putField(record, entry->versionMadeBy, 2);
    putField(record, zip64.empty() ? 20 : 45, 2);
    putField(record, entry->flags, 2);
    putField(record, entry->method, 2);
    putField(record, entry->dosDate, 4);
    putField(record, crc, 4);
    putField(record, bigSizes ? sizeLimit32 : compressed, 4);
    putField(record, bigSizes ? sizeLimit32 : size, 4);
    putField(record, entry->name.size(), 2);
    putField(record, extra.size(), 2);
    putField(record, 0, 2); // comment
    putField(record, 0, 2); // disk
    putField(record, 0, 2); // internal attributes
    putField(record, entry->externalAttributes, 4);
    putField(record, bigOffset ? sizeLimit32 : entry->headerAt, 4);
    record += entry->name;
    record += extra;
    if (m_central.size() >= m_centralHeld)
        return spillCentral();
    return Result::success();
}

Result ZipArchiveWriter::spillCentral()
{
    if (!m_centralFile) {
        m_centralPath = TemporaryNames::beside(m_path);
        std::string error;
        m_centralFile = m_fileSystem->createFile(m_centralPath, error);
        if (!m_centralFile) {
            m_centralPath.clear();
            return failure("cannot make the file for the central directory of", Result::failure(error));
        }
    }
    if (Result written = m_centralFile->write(m_central.data(), m_central.size()); !written)
        return failure("cannot write the central directory of", written);
    m_centralSpilled += m_central.size();
    m_central.clear();
    return Result::success();
}

void ZipArchiveWriter::discardCentralFile()
{
    if (m_centralFile) {
        m_centralFile->close();
        m_centralFile.reset();
    }
    if (!m_centralPath.empty() && m_fileSystem) {
        m_fileSystem->removeFile(m_centralPath, RemoveMode::Forced);
        m_centralPath.clear();
    }
}

Result ZipArchiveWriter::writeCentralDirectory()
{
    if (m_centralFile) {
        // What went to the file beside the archive comes back first, in pieces.
        Result closed = m_centralFile->close();
        m_centralFile.reset();
        if (!closed)
            return failure("cannot write the central directory of", closed);
        std::string error;
        const std::unique_ptr<InputFile> in = m_fileSystem->openForReading(m_centralPath, error);
        if (!in)
            return failure("cannot read the central directory of", Result::failure(error));
        std::vector<char> buffer(std::min<std::size_t>(m_centralHeld, 1 << 20));
        for (std::uint64_t at = 0; at < m_centralSpilled;) {
            const auto got = in->readAt(at, buffer.data(), buffer.size(), error);
            if (!got || *got == 0)
                return failure("cannot read the central directory of",
                               Result::failure(error.empty() ? "it is shorter than written" : error));
            if (Result written = m_file->write(buffer.data(), *got); !written)
                return failure("cannot finish", written);
            at += *got;
        }
    }
    if (Result written = m_file->write(m_central.data(), m_central.size()); !written)
        return failure("cannot finish", written);
    m_central.clear();
    return Result::success();
}

Result ZipArchiveWriter::writeEnd()
{
    const std::uint64_t directoryAt = m_file->position();
    if (Result written = writeCentralDirectory(); !written)
        return written;
    const std::uint64_t endAt = m_file->position();
    const std::uint64_t directorySize = endAt - directoryAt;
    std::string records;
    // With 65,535 entries or more, or past 4 GiB, the classic end record cannot hold the numbers: readers that
    // trust it would stop early. The zip64 end record and its locator come first.
    if (m_entries >= 0xFFFF || directoryAt >= sizeLimit32 || directorySize >= sizeLimit32) {
        putField(records, 0x06064b50, 4); // zip64 end of central directory record
        putField(records, 44, 8);         // its size after this field
        putField(records, versionMadeBy, 2);
        putField(records, 45, 2); // version needed: zip64
        putField(records, 0, 4);  // this disk
        putField(records, 0, 4);  // disk of the central directory
        putField(records, m_entries, 8);
        putField(records, m_entries, 8);
        putField(records, directorySize, 8);
        putField(records, directoryAt, 8);
        putField(records, 0x07064b50, 4); // zip64 end of central directory locator
        putField(records, 0, 4);
        putField(records, endAt, 8);
        putField(records, 1, 4); // one disk
    }
    putField(records, 0x06054b50, 4); // end of central directory record
    putField(records, 0, 2);
    putField(records, 0, 2);
    putField(records, std::min<std::uint64_t>(m_entries, 0xFFFF), 2);
    putField(records, std::min<std::uint64_t>(m_entries, 0xFFFF), 2);
    putField(records, std::min(directorySize, sizeLimit32), 4);
    putField(records, std::min(directoryAt, sizeLimit32), 4);
    putField(records, 0, 2); // comment
    if (Result written = m_file->write(records.data(), records.size()); !written)
        return failure("cannot finish", written);
    return Result::success();
}

Result ZipArchiveWriter::close()
{
    if (!m_file)
        return Result::failure("the archive \"" + m_path + "\" is not open");
    Result result =
        m_failed || m_entry ? Result::failure("the archive \"" + m_path + "\" was not written whole") : writeEnd();
    // Whatever happens, the file is closed here: a file still open cannot be deleted on Windows.
    if (result)
        result = m_file->close();
    m_file.reset();
    discardCentralFile();
    return result;
}
