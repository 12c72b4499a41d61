#include "ZipFolder.h"

#include "ArchiveTreeWalker.h"
#include "ChunkPipeline.h"
#include "EarlierArchive.h"
#include "Paths.h"
#include "RunCancellation.h"
#include "RunLeftovers.h"
#include "TemporaryNames.h"
#include "ZipArchiveWriter.h"

#include <algorithm>
#include <thread>

namespace {

std::string folderOf(const std::string& path)
{
    const std::string name = Paths::lastComponent(path);
    if (name.size() == path.size())
        return ".";
    const std::string folder = path.substr(0, path.size() - name.size() - 1);
    return folder.empty() || folder.back() == ':' ? folder + Paths::separator : folder;
}

ZipEntryInfo entryInfo(const ArchiveItem& item)
{
    return ZipEntryInfo{item.name, item.modifiedSeconds, item.mode};
}

/// Writes walked items into the open archive; the first error of the archive itself stops it.
class ArchiveFiller
{
public:
    ArchiveFiller(const FileSystem& fileSystem, ZipArchiveWriter& writer, ZipOutcome& outcome,
                  const ZipOptions& options, const ZipProgressCallback& progress)
        : m_fileSystem(fileSystem), m_writer(writer), m_outcome(outcome), m_options(options), m_progress(progress)
    {}

    /// Writes `items`, in their order, after those written before; `readAhead` when their disk is worth asking
    /// ahead (FileSystem::readsAheadCheaply).
    Result fill(const std::vector<ArchiveItem>& items, bool readAhead)
    {
        m_items = &items;
        ChunkPipelineOptions pipelineOptions{m_options.workers, m_options.chunkSize, m_options.level};
        pipelineOptions.readAhead = readAhead;
        pipelineOptions.smallFileLevel = m_options.smallFileLevel;
        pipelineOptions.smallFileSize = m_options.smallFileSize;
        ChunkPipeline pipeline(m_fileSystem, items, pipelineOptions);
        for (std::size_t index = 0; index < items.size(); ++index) {
            if (RunCancellation::requested())
                return stopped();
            const ArchiveItem& item = items[index];
            Result written = Result::success();
            switch (item.kind) {
            case ArchiveItem::Kind::Folder:
                written = m_writer.addFolder(entryInfo(item));
                break;
            case ArchiveItem::Kind::Link:
                written = m_writer.addSymlink(entryInfo(item), item.linkTarget);
                break;
            case ArchiveItem::Kind::File:
                written = addFile(pipeline, index);
                break;
            }
            if (!written)
                return written;
        }
        return Result::success();
    }

private:
    static Result stopped() { return Result::failure("the archive was stopped before it was complete"); }

    bool nextChunkOf(ChunkPipeline& pipeline, std::size_t index)
    {
        return pipeline.next(m_chunk) && m_chunk.item == index;
    }

    /// Takes the chunks of the current file that are not needed any more.
    void skipRestOfFile(ChunkPipeline& pipeline, std::size_t index)
    {
        while (!m_chunk.last && nextChunkOf(pipeline, index)) {
        }
    }

    Result addFile(ChunkPipeline& pipeline, std::size_t index)
    {
        const ArchiveItem& item = (*m_items)[index];
        ZipSourceOutcome& source = m_outcome.sources[item.source];
        if (!nextChunkOf(pipeline, index))
            return Result::failure("the compressed pieces of \"" + item.path + "\" came out of order");
        if (!m_chunk.error.empty() && m_chunk.length == 0 && m_chunk.offset == 0) {
            source.failures.push_back({item.path, m_chunk.error});
            skipRestOfFile(pipeline, index);
            return Result::success();
        }

        const ZipMethod method = m_chunk.data.stored ? ZipMethod::Stored : ZipMethod::Deflated;
        if (Result begun = m_writer.beginFile(entryInfo(item), method, m_chunk.fileSize); !begun)
            return begun;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        bool changed = false;
        for (;;) {
            if (Result written = m_writer.writeData(m_chunk.data.buffer.data(), m_chunk.data.size); !written)
                return written;
            crc = ChunkDeflater::crc32Combine(crc, m_chunk.crc, m_chunk.length);
            size += m_chunk.length;
            changed = changed || m_chunk.changed;
            if (!m_chunk.error.empty()) {
                // What was read so far goes in as it is (its CRC matches), its deflate stream ended wherever the
                // reading stopped, also at a chunk's border; the file is reported as not whole.
                source.failures.push_back({item.path, m_chunk.error});
                const bool ended =
                    m_chunk.role == ChunkRole::Whole || (m_chunk.role == ChunkRole::Last && m_chunk.data.size > 0);
                if (!ended) {
                    if (Result closed = m_writer.writeData(ChunkDeflater::streamEnd, sizeof ChunkDeflater::streamEnd);
                        !closed)
                        return closed;
                }
                skipRestOfFile(pipeline, index);
                changed = false; // reported already
                break;
            }
            if (m_chunk.last)
                break;
            if (RunCancellation::requested()) // a large file stops between its pieces
                return stopped();
            report(item, m_bytesDone + size);
            if (!nextChunkOf(pipeline, index))
                return Result::failure("the compressed pieces of \"" + item.path + "\" came out of order");
        }
        if (Result ended = m_writer.endFile(size, crc); !ended)
            return ended;
        if (changed)
            source.failures.push_back({item.path, "\"" + item.path + "\": " + ZipTexts::changedWhileArchived});

        ++source.files;
        source.bytes += size;
        ++m_filesDone;
        m_bytesDone += size;
        report(item, m_bytesDone);
        return Result::success();
    }

    void report(const ArchiveItem& item, std::uint64_t bytesDone)
    {
        if (m_progress)
            m_progress(ZipProgress{item.source, item.path, m_filesDone, bytesDone});
    }

    const FileSystem& m_fileSystem;
    ZipArchiveWriter& m_writer;
    const std::vector<ArchiveItem>* m_items = nullptr; ///< those being written
    ZipOutcome& m_outcome;
    const ZipOptions& m_options;
    const ZipProgressCallback& m_progress;
    CompressedChunk m_chunk;
    std::uint64_t m_filesDone = 0;
    std::uint64_t m_bytesDone = 0;
};

} // namespace

unsigned ZipOptions::defaultWorkers()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

std::string archiveTopName(const std::string& source)
{
    if (const std::string root = Paths::rootName(source); !root.empty())
        return root;
    std::string trimmed = source;
    while (trimmed.size() > 1 && Paths::isSeparator(trimmed.back()))
        trimmed.pop_back();
    if (trimmed.size() == 1 && Paths::isSeparator(trimmed[0]))
        return {};
    return Paths::lastComponent(trimmed);
}

ZipOutcome ZipFolder(FileSystem& fileSystem, const std::string& source, const std::string& archiveBase,
                     const ZipOptions& options, const ZipProgressCallback& progress)
{
    return ZipFolders(fileSystem, {ZipSource{source, archiveTopName(source)}}, archiveBase, options, progress);
}

ZipOutcome ZipFolders(FileSystem& fileSystem, const std::vector<ZipSource>& sources, const std::string& archiveBase,
                      const ZipOptions& options, const ZipProgressCallback& progress)
{
    ZipOutcome outcome;
    const std::string archivePath = archiveBase + ".zip";
    const std::string folder = folderOf(archivePath);
    const std::string temporary = TemporaryNames::beside(archivePath);

    // The folders are walked as they are written, never listed whole first: a run of many files holds no more
    // than one of many folders.
    std::vector<ArchiveTreeWalker> walkers;
    walkers.reserve(sources.size());
    bool anyReachable = false;
    for (std::size_t index = 0; index < sources.size(); ++index) {
        ZipSourceOutcome& sourceOutcome = outcome.sources.emplace_back();
        sourceOutcome.path = sources[index].path;
        const ArchiveTreeWalker& walker =
            walkers.emplace_back(fileSystem, sources[index].path, sources[index].topName, index,
                                 std::vector<std::string>{temporary, archivePath}, folder);
        sourceOutcome.reachable = walker.reachable();
        sourceOutcome.error = walker.error();
        anyReachable = anyReachable || walker.reachable();
    }
    if (!anyReachable) {
        outcome.archive = Result::failure("no folder of the archive \"" + archivePath + "\" could be read");
        return outcome;
    }

    // The folders that cannot be read now keep what the earlier archive holds of them.
    std::vector<std::size_t> absent;
    std::vector<std::string> absentTops;
    for (std::size_t index = 0; index < sources.size(); ++index) {
        if (!outcome.sources[index].reachable && !sources[index].topName.empty()) {
            absent.push_back(index);
            absentTops.push_back(sources[index].topName);
        }
    }
    const bool carry = !absent.empty() && fileSystem.exists(archivePath);

    RunLeftovers::removeDead(fileSystem, folder);
    ZipArchiveWriter writer(options.centralDirectoryHeld);
    if (Result opened = writer.open(fileSystem, temporary); !opened) {
        outcome.archive = opened;
        return outcome;
    }
    auto abandon = [&](Result reason) {
        writer.close();
        fileSystem.removeFile(temporary, RemoveMode::Forced);
        outcome.archive = std::move(reason);
        return outcome;
    };

    Result filled = Result::success();
    try {
        ArchiveFiller filler(fileSystem, writer, outcome, options, progress);
        std::vector<ArchiveItem> items;
        for (std::size_t index = 0; index < walkers.size() && filled; ++index) {
            const bool readAhead = walkers[index].reachable() && fileSystem.readsAheadCheaply(sources[index].path);
            while (filled && walkers[index].next(items, std::max<std::size_t>(options.itemsAtATime, 1),
                                                 outcome.sources[index].failures))
                filled = filler.fill(items, readAhead);
        }
    } catch (const std::exception& error) {
        filled = Result::failure(std::string("cannot make the archive \"") + archivePath + "\": " + error.what());
    }
    if (!filled)
        return abandon(filled);
    if (carry) {
        std::vector<std::uint64_t> copied;
        if (Result carried = copyEntriesUnder(fileSystem, archivePath, absentTops, writer, copied); !carried)
            return abandon(Result::failure("the earlier archive \"" + archivePath +
                                           "\" is kept: the copy it holds of a folder that cannot be read now could "
                                           "not be taken over (" +
                                           carried.error() + ")"));
        for (std::size_t k = 0; k < absent.size(); ++k)
            outcome.sources[absent[k]].carriedOver = copied[k];
    }
    if (Result closed = writer.close(); !closed)
        return abandon(closed);

    if (Result renamed = fileSystem.rename(temporary, archivePath); !renamed)
        return abandon(
            Result::failure("cannot put the archive in place as \"" + archivePath + "\": " + renamed.error()));
    fileSystem.syncFolder(folder);
    outcome.archive = Result::success();
    return outcome;
}
