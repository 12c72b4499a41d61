#include "ZipArchiveWriter.h"

#include "FileSystem.h"
#include "Utf8.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>
#include <zip.h>

/// The archive file as minizip sees it: minizip's file functions over a FileSystem's OutputFile, so that the
/// archive is written the way every other file is (wide paths on Windows). minizip's close does not close the
/// file: the writer still adds to it and closes it itself.
struct ArchiveStream
{
    FileSystem* fileSystem = nullptr;
    std::unique_ptr<OutputFile> file;
    std::string error; ///< the first failure, for the report

    /// Central directory records that zipClose is still to write. minizip marks a record whose entry is of 4 GiB
    /// or more, or lies past 4 GiB, as made on MS-DOS, and readers then drop the Unix mode (permissions, links):
    /// the host byte of "version made by" is set back to Unix on the way to the file.
    std::uint64_t centralRecordsLeft = 0;
    std::size_t recordAt = 0;               ///< bytes of the current record passed so far
    std::size_t recordSize = 46;            ///< the record's size, once its three lengths have passed
    std::array<unsigned char, 6> lengths{}; ///< the lengths of its name, extra field and comment

    /// Marks every central directory record in `data` (the next bytes written) as made on Unix.
    void markUnixHost(unsigned char* data, std::size_t size)
    {
        constexpr std::size_t fixedSize = 46, hostByte = 5, lengthsAt = 28;
        for (std::size_t i = 0; i < size && centralRecordsLeft > 0; ++i) {
            if (recordAt == hostByte)
                data[i] = 3;
            if (recordAt >= lengthsAt && recordAt < lengthsAt + lengths.size())
                lengths[recordAt - lengthsAt] = data[i];
            ++recordAt;
            if (recordAt == lengthsAt + lengths.size())
                recordSize = fixedSize + (lengths[0] | lengths[1] << 8u) + (lengths[2] | lengths[3] << 8u) +
                             (lengths[4] | lengths[5] << 8u);
            if (recordAt == recordSize) {
                --centralRecordsLeft;
                recordAt = 0;
                recordSize = fixedSize;
            }
        }
    }
};

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
/// and minizip cannot add the zip64 field to a local header after the fact.
constexpr std::uint64_t zip64Threshold = 0xFFFFFFFFull - (64ull << 20);

zipFile handle(void* zip)
{
    return static_cast<zipFile>(zip);
}

/// The DOS date and time of `seconds` in local time (2-second steps), held within 1980..2107.
unsigned long dosDateTime(std::int64_t seconds)
{
    static std::mutex localTimeMutex; // std::localtime shares one result buffer
    std::tm local{};
    local.tm_year = seconds < 0 ? 0 : 9999; // where the system has no local time (Windows before 1970): the nearest end
    {
        std::lock_guard lock(localTimeMutex);
        const std::time_t time = static_cast<std::time_t>(seconds);
        if (const std::tm* converted = std::localtime(&time))
            local = *converted;
    }
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

std::uint64_t readLittleEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

/// minizip writes the zip64 end records only for an archive past 4 GiB; with 65,535 entries or more in a
/// smaller one, the classic end record alone cannot hold the count (it says 0xFFFF) and readers that trust it
/// stop early. Replaces that end record with the zip64 end record, its locator and the end record again.
Result addZip64EndRecords(const FileSystem& fileSystem, OutputFile& file, const std::string& path,
                          std::uint64_t entries)
{
    constexpr std::size_t endRecordSize = 22;
    constexpr std::size_t locatorSize = 20;
    const std::uint64_t fileSize = file.size();
    std::array<unsigned char, endRecordSize + locatorSize> tail{};
    std::string error;
    // The writer's buffer goes to the file first, so that a second handle reads what was written.
    if (Result flushed = file.seek(fileSize); !flushed)
        return flushed;
    const std::unique_ptr<InputFile> reader =
        fileSize >= tail.size() ? fileSystem.openForReading(path, error) : nullptr;
    const auto got = reader ? reader->readAt(fileSize - tail.size(), tail.data(), tail.size(), error) : std::nullopt;
    if (!got || *got != tail.size())
        return Result::failure("cannot read the end of the archive \"" + path + "\"" +
                               (error.empty() ? "" : ": " + error));
    const unsigned char* end = tail.data() + locatorSize;
    if (readLittleEndian(end, 4) != 0x06054b50 || readLittleEndian(end + 20, 2) != 0)
        return Result::failure("the archive \"" + path + "\" does not end as it should");
    if (readLittleEndian(tail.data(), 4) == 0x07064b50)
        return Result::success(); // minizip wrote them itself

    const std::uint64_t directorySize = readLittleEndian(end + 12, 4);
    const std::uint64_t directoryOffset = readLittleEndian(end + 16, 4);
    const std::uint64_t recordOffset = fileSize - endRecordSize;
    std::string records;
    putLittleEndian(records, 0x06064b50, 4); // zip64 end of central directory record
    putLittleEndian(records, 44, 8);         // its size after this field
    putLittleEndian(records, versionMadeBy, 2);
    putLittleEndian(records, 45, 2); // version needed: zip64
    putLittleEndian(records, 0, 4);  // this disk
    putLittleEndian(records, 0, 4);  // disk of the central directory
    putLittleEndian(records, entries, 8);
    putLittleEndian(records, entries, 8);
    putLittleEndian(records, directorySize, 8);
    putLittleEndian(records, directoryOffset, 8);
    putLittleEndian(records, 0x07064b50, 4); // zip64 end of central directory locator
    putLittleEndian(records, 0, 4);
    putLittleEndian(records, recordOffset, 8);
    putLittleEndian(records, 1, 4); // one disk
    records.append(reinterpret_cast<const char*>(end), endRecordSize);
    if (Result moved = file.seek(recordOffset); !moved)
        return moved;
    return file.write(records.data(), records.size());
}

voidpf openStream(voidpf opaque, const void* filename, int)
{
    auto* stream = static_cast<ArchiveStream*>(opaque);
    stream->file = stream->fileSystem->createFile(static_cast<const char*>(filename), stream->error);
    return stream->file ? stream : nullptr;
}

uLong readStream(voidpf, voidpf, void*, uLong)
{
    return 0; // an archive is only written here
}

uLong writeStream(voidpf, voidpf opaque, const void* buffer, uLong size)
{
    auto* stream = static_cast<ArchiveStream*>(opaque);
    std::string marked;
    if (stream->centralRecordsLeft > 0) {
        marked.assign(static_cast<const char*>(buffer), size);
        stream->markUnixHost(reinterpret_cast<unsigned char*>(marked.data()), marked.size());
        buffer = marked.data();
    }
    if (Result written = stream->file->write(buffer, size); !written) {
        if (stream->error.empty())
            stream->error = written.error();
        return 0;
    }
    return size;
}

ZPOS64_T tellStream(voidpf, voidpf opaque)
{
    return static_cast<ArchiveStream*>(opaque)->file->position();
}

long seekStream(voidpf, voidpf opaque, ZPOS64_T offset, int origin)
{
    auto* stream = static_cast<ArchiveStream*>(opaque);
    std::uint64_t position = offset;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        position += stream->file->position();
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        position += stream->file->size();
    if (Result moved = stream->file->seek(position); !moved) {
        if (stream->error.empty())
            stream->error = moved.error();
        return -1;
    }
    return 0;
}

int closeStream(voidpf, voidpf)
{
    return 0;
}

int errorStream(voidpf, voidpf opaque)
{
    return static_cast<ArchiveStream*>(opaque)->error.empty() ? 0 : 1;
}

} // namespace

ZipArchiveWriter::ZipArchiveWriter() : m_stream(std::make_unique<ArchiveStream>()) {}

ZipArchiveWriter::~ZipArchiveWriter()
{
    if (m_zip)
        zipClose(handle(m_zip), nullptr);
}

Result ZipArchiveWriter::failure(const std::string& what)
{
    return Result::failure(what + " \"" + m_path + "\"" + (m_stream->error.empty() ? "" : ": " + m_stream->error));
}

Result ZipArchiveWriter::open(FileSystem& fileSystem, const std::string& path)
{
    m_path = path;
    m_stream->fileSystem = &fileSystem;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = openStream;
    functions.zread_file = readStream;
    functions.zwrite_file = writeStream;
    functions.ztell64_file = tellStream;
    functions.zseek64_file = seekStream;
    functions.zclose_file = closeStream;
    functions.zerror_file = errorStream;
    functions.opaque = m_stream.get();
    m_zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (!m_zip) {
        m_stream->file.reset();
        return Result::failure(m_stream->error.empty() ? "cannot create the archive \"" + path + "\""
                                                       : m_stream->error);
    }
    return Result::success();
}

Result ZipArchiveWriter::beginEntry(const ZipEntryInfo& info, ZipMethod method, bool zip64, std::uint32_t attributes)
{
    if (!m_zip || m_inEntry)
        return Result::failure("the archive \"" + m_path + "\" is not ready for a new entry");
    if (info.name.size() > 0xFFFF)
        return Result::failure("the name \"" + info.name.substr(0, 200) + "...\" is too long for an archive");

    zip_fileinfo fileInfo{};
    fileInfo.dosDate = dosDateTime(info.modifiedSeconds);
    fileInfo.external_fa = attributes;
    const unsigned long flags = Utf8::hasNonAscii(info.name) && Utf8::isValid(info.name) ? utf8NameFlag : 0;
    const std::string timestamp = timeFields(info.modifiedSeconds);
    const int level = method == ZipMethod::Deflated ? Z_DEFAULT_COMPRESSION : 0;

    const int opened = zipOpenNewFileInZip4_64(
        handle(m_zip), info.name.c_str(), &fileInfo, timestamp.data(), static_cast<uInt>(timestamp.size()),
        timestamp.data(), static_cast<uInt>(timestamp.size()), nullptr, method == ZipMethod::Deflated ? Z_DEFLATED : 0,
        level, /*raw=*/1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, versionMadeBy, flags,
        zip64 ? 1 : 0);
    if (opened != ZIP_OK)
        return failure("cannot write to the archive");
    m_inEntry = true;
    ++m_entries;
    return Result::success();
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

Result ZipArchiveWriter::beginRawFile(const ZipRawEntry& entry)
{
    if (!m_zip || m_inEntry)
        return Result::failure("the archive \"" + m_path + "\" is not ready for a new entry");
    zip_fileinfo fileInfo{};
    fileInfo.dosDate = entry.dosDate;
    fileInfo.external_fa = entry.externalAttributes;
    const bool zip64 = entry.compressedSize >= zip64Threshold || entry.uncompressedSize >= zip64Threshold;
    const int opened = zipOpenNewFileInZip4_64(handle(m_zip), entry.name.c_str(), &fileInfo, entry.localExtra.data(),
                                               static_cast<uInt>(entry.localExtra.size()), entry.centralExtra.data(),
                                               static_cast<uInt>(entry.centralExtra.size()), nullptr, entry.method, 0,
                                               /*raw=*/1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                               entry.versionMadeBy, entry.flags & utf8NameFlag, zip64 ? 1 : 0);
    if (opened != ZIP_OK)
        return failure("cannot write to the archive");
    m_inEntry = true;
    ++m_entries;
    return Result::success();
}

Result ZipArchiveWriter::writeData(const void* data, std::size_t length)
{
    if (!m_inEntry)
        return Result::failure("no entry is open in the archive \"" + m_path + "\"");
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const auto piece = static_cast<unsigned>(std::min<std::size_t>(length, 1u << 30));
        if (zipWriteInFileInZip(handle(m_zip), bytes, piece) != ZIP_OK)
            return failure("cannot write to the archive");
        bytes += piece;
        length -= piece;
    }
    return Result::success();
}

Result ZipArchiveWriter::endFile(std::uint64_t size, std::uint32_t crc)
{
    if (!m_inEntry)
        return Result::failure("no entry is open in the archive \"" + m_path + "\"");
    m_inEntry = false;
    if (zipCloseFileInZipRaw64(handle(m_zip), size, crc) != ZIP_OK)
        return failure("cannot write to the archive");
    return Result::success();
}

Result ZipArchiveWriter::close()
{
    if (!m_zip)
        return Result::failure("the archive \"" + m_path + "\" is not open");
    m_stream->centralRecordsLeft = m_entries;
    const int closed = zipClose(handle(m_zip), nullptr);
    m_zip = nullptr;
    // Whatever happens, the file is closed here: a file still open cannot be deleted on Windows.
    const std::unique_ptr<OutputFile> file = std::move(m_stream->file);
    if (closed != ZIP_OK || !m_stream->error.empty())
        return failure("cannot finish the archive");
    if (m_stream->centralRecordsLeft != 0)
        return failure("the central directory was not written whole to the archive");
    if (m_entries >= 0xFFFF) {
        if (Result added = addZip64EndRecords(*m_stream->fileSystem, *file, m_path, m_entries); !added)
            return added;
    }
    return file->close();
}
