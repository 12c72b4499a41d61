#pragma once

#include "ArchiveTreeListing.h"
#include "ChunkDeflater.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// A piece of a file, read and compressed.
struct CompressedChunk
{
    std::size_t item = 0;     ///< index of the file in the item list
    std::uint64_t offset = 0; ///< where the chunk starts in the file
    ChunkRole role = ChunkRole::Whole;
    bool last = true;         ///< the last chunk planned for this file
    std::uint64_t length = 0; ///< bytes read and compressed; fewer than planned when `error` is set
    std::uint32_t crc = 0;    ///< CRC-32 of those bytes
    DeflatedChunk data;
    std::string error; ///< why the chunk could not be read (whole or in part); empty when all is well
};

/// How the pipeline works.
struct ChunkPipelineOptions
{
    unsigned workers = 2;                ///< threads that read and compress
    std::size_t chunkSize = 1024 * 1024; ///< bytes of a file compressed as one piece
    int level = 6;                       ///< compression level (libdeflate's 1..12)
};

/// Reads and compresses the files of an item list on worker threads, a chunk at a time, and hands the chunks
/// out in archive order: file by file in list order, each file's chunks in file order. At most a few chunks
/// per worker are held at once, so memory stays bounded whatever the sizes of the files. Destroying the
/// pipeline stops the workers and waits for them.
class ChunkPipeline
{
public:
    /// `items` and `fileSystem` must outlive the pipeline; only the items' files are read.
    ChunkPipeline(const FileSystem& fileSystem, const std::vector<ArchiveItem>& items,
                  const ChunkPipelineOptions& options);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    /// Waits for the next chunk and moves it into `chunk` (whose buffers are taken back for reuse). False
    /// when every chunk has been handed out.
    bool next(CompressedChunk& chunk);

private:
    struct Job
    {
        std::size_t item = 0;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        ChunkRole role = ChunkRole::Whole;
        bool last = true;
    };
    struct Slot
    {
        CompressedChunk chunk;
        bool ready = false;
    };

    bool takeJob(Job& job, std::size_t& sequence);
    void work(std::stop_token stop, ChunkDeflater& deflater);
    void process(const Job& job, CompressedChunk& out, ChunkDeflater& deflater, std::vector<unsigned char>& input);

    const FileSystem& m_fileSystem;
    const std::vector<ArchiveItem>& m_items;
    ChunkPipelineOptions m_options;
    std::size_t m_totalChunks = 0;

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::vector<Slot> m_slots;
    std::size_t m_issued = 0;   ///< chunks taken by workers
    std::size_t m_consumed = 0; ///< chunks handed out by next()
    std::size_t m_nextItem = 0; ///< job cursor: file and offset of the next chunk to take
    std::uint64_t m_nextOffset = 0;
    std::vector<std::jthread> m_workers;
};
