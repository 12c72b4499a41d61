#include "ArchiveReadStream.h"

#include <algorithm>
#include <vector>

unzFile ArchiveReadStream::open(const std::string& path)
{
    zlib_filefunc64_def functions{};
    functions.zopen64_file = openStream;
    functions.zread_file = readStream;
    functions.zwrite_file = writeStream;
    functions.ztell64_file = tellStream;
    functions.zseek64_file = seekStream;
    functions.zclose_file = closeStream;
    functions.zerror_file = errorStream;
    functions.opaque = this;
    return unzOpen2_64(path.c_str(), &functions);
}

voidpf ArchiveReadStream::openStream(voidpf opaque, const void* name, int)
{
    auto* stream = static_cast<ArchiveReadStream*>(opaque);
    stream->m_file = stream->m_fileSystem.openForReading(static_cast<const char*>(name), stream->m_error);
    const std::optional<FileStat> state = stream->m_file ? stream->m_file->stat() : std::nullopt;
    if (!state)
        return nullptr;
    stream->m_size = state->size;
    stream->m_position = 0;
    return stream;
}

uLong ArchiveReadStream::readStream(voidpf, voidpf opaque, void* buffer, uLong size)
{
    auto* stream = static_cast<ArchiveReadStream*>(opaque);
    const std::optional<std::size_t> got = stream->m_file->readAt(stream->m_position, buffer, size, stream->m_error);
    stream->m_position += got.value_or(0);
    return static_cast<uLong>(got.value_or(0));
}

uLong ArchiveReadStream::writeStream(voidpf, voidpf, const void*, uLong)
{
    return 0; // archives are only read here
}

ZPOS64_T ArchiveReadStream::tellStream(voidpf, voidpf opaque)
{
    return static_cast<ArchiveReadStream*>(opaque)->m_position;
}

long ArchiveReadStream::seekStream(voidpf, voidpf opaque, ZPOS64_T offset, int origin)
{
    auto* stream = static_cast<ArchiveReadStream*>(opaque);
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        offset += stream->m_position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        offset += stream->m_size;
    stream->m_position = offset;
    return 0;
}

int ArchiveReadStream::closeStream(voidpf, voidpf)
{
    return 0;
}

int ArchiveReadStream::errorStream(voidpf, voidpf opaque)
{
    return static_cast<ArchiveReadStream*>(opaque)->m_error.empty() ? 0 : 1;
}

bool forEachCentralEntry(unzFile zip, const std::function<bool(const CentralEntry&)>& visit)
{
    std::vector<char> name(65536);
    std::vector<unsigned char> extra(65536);
    int status = unzGoToFirstFile(zip);
    for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
        CentralEntry entry;
        if (unzGetCurrentFileInfo64(zip, &entry.info, name.data(), static_cast<uLong>(name.size()), extra.data(),
                                    static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK)
            return false;
        entry.name.assign(name.data(), std::min<std::size_t>(entry.info.size_filename, name.size()));
        entry.extra = extra.data();
        entry.extraSize = std::min<std::size_t>(entry.info.size_file_extra, extra.size());
        if (!visit(entry))
            return true;
    }
    return status == UNZ_END_OF_LIST_OF_FILE;
}
