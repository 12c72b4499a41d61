#include "ChunkPipeline.h"

#include <algorithm>
#include <memory>

namespace {

std::uint64_t chunkCount(const ArchiveItem& item, std::size_t chunkSize)
{
    return std::max<std::uint64_t>(1, (item.size + chunkSize - 1) / chunkSize);
}

} // namespace

ChunkPipeline::ChunkPipeline(const FileSystem& fileSystem, const std::vector<ArchiveItem>& items,
                             const ChunkPipelineOptions& options)
    : m_fileSystem(fileSystem), m_items(items), m_options(options)
{
    m_options.workers = std::max(1u, m_options.workers);
    // At most 64 MiB: chunks are held in memory, and their checksums are joined with 32-bit lengths.
    m_options.chunkSize = std::clamp<std::size_t>(m_options.chunkSize, 1, 64u << 20);
    for (const ArchiveItem& item : m_items) {
        if (item.kind == ArchiveItem::Kind::File)
            m_totalChunks += chunkCount(item, m_options.chunkSize);
    }
    // Two chunks per worker in flight keep every worker busy while the archive is written in order.
    m_slots.resize(2 * static_cast<std::size_t>(m_options.workers) + 2);

    std::vector<std::unique_ptr<ChunkDeflater>> deflaters;
    for (unsigned i = 0; i < m_options.workers; ++i)
        deflaters.push_back(std::make_unique<ChunkDeflater>(m_options.level));
    for (auto& deflater : deflaters) {
        m_workers.emplace_back([this, owned = std::shared_ptr<ChunkDeflater>(std::move(deflater))](
                                   std::stop_token stop) { work(stop, *owned); });
    }
}

ChunkPipeline::~ChunkPipeline()
{
    for (std::jthread& worker : m_workers)
        worker.request_stop();
    m_changed.notify_all();
    m_workers.clear();
}

bool ChunkPipeline::takeJob(Job& job, std::size_t& sequence)
{
    while (m_nextItem < m_items.size() && m_items[m_nextItem].kind != ArchiveItem::Kind::File)
        ++m_nextItem;
    if (m_nextItem >= m_items.size())
        return false;
    const ArchiveItem& item = m_items[m_nextItem];
    const std::uint64_t chunks = chunkCount(item, m_options.chunkSize);
    job.item = m_nextItem;
    job.offset = m_nextOffset;
    job.length = std::min<std::uint64_t>(m_options.chunkSize, item.size - std::min(item.size, m_nextOffset));
    job.last = m_nextOffset + m_options.chunkSize >= item.size;
    job.role = chunks == 1 ? ChunkRole::Whole : (job.last ? ChunkRole::Last : ChunkRole::Middle);
    if (job.last) {
        ++m_nextItem;
        m_nextOffset = 0;
    } else {
        m_nextOffset += m_options.chunkSize;
    }
    sequence = m_issued++;
    return true;
}

void ChunkPipeline::work(std::stop_token stop, ChunkDeflater& deflater)
{
    std::vector<unsigned char> input;
    for (;;) {
        Job job;
        std::size_t sequence = 0;
        CompressedChunk chunk;
        {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait(lock, stop, [&] { return m_issued - m_consumed < m_slots.size(); }) ||
                stop.stop_requested())
                return;
            if (!takeJob(job, sequence))
                return;
            // This slot was handed out already: its buffers are free for reuse.
            std::swap(chunk.data, m_slots[sequence % m_slots.size()].chunk.data);
        }
        try {
            process(job, chunk, deflater, input);
        } catch (const std::exception& error) {
            chunk.length = 0;
            chunk.data.size = 0;
            chunk.error = std::string("cannot archive \"") + m_items[job.item].path + "\": " + error.what();
        }
        {
            std::lock_guard lock(m_mutex);
            Slot& slot = m_slots[sequence % m_slots.size()];
            slot.chunk = std::move(chunk);
            slot.ready = true;
        }
        m_changed.notify_all();
    }
}

void ChunkPipeline::process(const Job& job, CompressedChunk& out, ChunkDeflater& deflater,
                            std::vector<unsigned char>& input)
{
    const ArchiveItem& item = m_items[job.item];
    out.item = job.item;
    out.offset = job.offset;
    out.role = job.role;
    out.last = job.last;
    out.length = 0;
    out.crc = 0;
    out.data.size = 0;
    out.data.stored = false;
    out.error.clear();

    const std::unique_ptr<InputFile> in = m_fileSystem.openForReading(item.path, out.error);
    if (!in)
        return;
    if (input.size() < job.length)
        input.resize(job.length);
    const std::optional<std::size_t> read = in->readAt(job.offset, input.data(), job.length, out.error);
    const std::uint64_t got = read.value_or(0);
    if (read && got < job.length)
        out.error = "\"" + item.path + "\" became shorter while it was archived";
    if (got == 0 && job.role != ChunkRole::Whole)
        return;

    out.length = got;
    out.crc = ChunkDeflater::crc32(0, input.data(), got);
    if (Result deflated = deflater.deflate(input.data(), got, out.crc, job.role, out.data); !deflated) {
        out.length = 0;
        out.data.size = 0;
        out.error = "cannot compress \"" + item.path + "\": " + deflated.error();
    }
}

bool ChunkPipeline::next(CompressedChunk& chunk)
{
    std::unique_lock lock(m_mutex);
    if (m_consumed >= m_totalChunks)
        return false;
    Slot& slot = m_slots[m_consumed % m_slots.size()];
    m_changed.wait(lock, [&] { return slot.ready; });
    std::swap(chunk, slot.chunk);
    slot.ready = false;
    ++m_consumed;
    lock.unlock();
    m_changed.notify_all();
    return true;
}
