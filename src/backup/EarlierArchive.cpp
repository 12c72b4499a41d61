#include "EarlierArchive.h"

#include "ArchiveReadStream.h"
#include "FileSystem.h"
#include "ZipArchiveWriter.h"

#include <memory>
#include <unzip.h>

namespace {

/// `extra` without its zip64 field, which the writer makes anew where the entry needs one.
std::string withoutZip64(const unsigned char* extra, std::size_t size)
{
    std::string kept;
    for (std::size_t at = 0; at + 4 <= size;) {
        const unsigned id = extra[at] | (extra[at + 1] << 8);
        const std::size_t length = extra[at + 2] | (extra[at + 3] << 8);
        if (at + 4 + length > size)
            break;
        if (id != 0x0001)
            kept.append(reinterpret_cast<const char*>(extra + at), 4 + length);
        at += 4 + length;
    }
    return kept;
}

/// Which of `topNames` the entry `name` lies under; `topNames.size()` for none.
std::size_t topOf(const std::string& name, const std::vector<std::string>& topNames)
{
    for (std::size_t k = 0; k < topNames.size(); ++k) {
        const std::string prefix = topNames[k] + "/";
        if (!topNames[k].empty() && name.compare(0, prefix.size(), prefix) == 0)
            return k;
    }
    return topNames.size();
}

/// Copies the current entry of `zip` into `writer` as it is stored.
Result copyCurrent(unzFile zip, const unz_file_info64& info, const std::string& name, const std::string& centralExtra,
                   ZipArchiveWriter& writer, const std::string& path)
{
    auto unreadable = [&](const std::string& what) {
        return Result::failure("cannot read " + what + " of \"" + name + "\" in \"" + path + "\"");
    };
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(zip, &method, &level, /*raw=*/1) != UNZ_OK)
        return unreadable("the entry");
    std::vector<unsigned char> local(static_cast<std::size_t>(std::max(0, unzGetLocalExtrafield(zip, nullptr, 0))));
    if (!local.empty() &&
        unzGetLocalExtrafield(zip, local.data(), static_cast<unsigned>(local.size())) != static_cast<int>(local.size()))
        return unreadable("the header");
    ZipRawEntry entry;
    entry.name = name;
    entry.dosDate = info.dosDate;
    entry.externalAttributes = static_cast<std::uint32_t>(info.external_fa);
    entry.versionMadeBy = info.version;
    entry.flags = info.flag;
    entry.method = method;
    entry.localExtra = withoutZip64(local.data(), local.size());
    entry.centralExtra = centralExtra;
    entry.compressedSize = info.compressed_size;
    entry.uncompressedSize = info.uncompressed_size;
    if (Result begun = writer.beginRawFile(entry); !begun)
        return begun;
    std::vector<char> buffer(1 << 20);
    std::uint64_t copied = 0;
    for (;;) {
        const int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got < 0)
            return unreadable("the data");
        if (got == 0)
            break;
        if (Result written = writer.writeData(buffer.data(), static_cast<std::size_t>(got)); !written)
            return written;
        copied += static_cast<std::uint64_t>(got);
    }
    unzCloseCurrentFile(zip);
    if (copied != info.compressed_size)
        return unreadable("the whole data");
    return writer.endFile(info.uncompressed_size, static_cast<std::uint32_t>(info.crc));
}

} // namespace

Result copyEntriesUnder(const FileSystem& fileSystem, const std::string& path, const std::vector<std::string>& topNames,
                        ZipArchiveWriter& writer, std::vector<std::uint64_t>& copied)
{
    copied.assign(topNames.size(), 0);
    ArchiveReadStream stream(fileSystem);
    const std::unique_ptr<void, int (*)(unzFile)> zip(stream.open(path), unzClose);
    if (!zip)
        return Result::failure("cannot read the archive \"" + path + "\"" +
                               (stream.error().empty() ? "" : ": " + stream.error()));
    Result copiedAll = Result::success();
    const bool listed = forEachCentralEntry(zip.get(), [&](const CentralEntry& entry) {
        const std::size_t top = topOf(entry.name, topNames);
        if (top == topNames.size())
            return true;
        const std::string centralExtra = withoutZip64(entry.extra, entry.extraSize);
        copiedAll = copyCurrent(zip.get(), entry.info, entry.name, centralExtra, writer, path);
        copied[top] += copiedAll ? 1 : 0;
        return copiedAll.ok();
    });
    if (!copiedAll)
        return copiedAll;
    if (!listed)
        return Result::failure("cannot read the list of entries of \"" + path + "\"");
    return Result::success();
}
