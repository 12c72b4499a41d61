#pragma once

#include "ArchiveTreeWalker.h"
#include "ChunkDeflater.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class StallWatch;

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
    std::string error;          ///< why the chunk could not be read (whole or in part); empty when all is well
    std::uint64_t fileSize = 0; ///< the first chunk: the file's size when its reading began
    /// The file's size or modification time was not what it was when its reading began (a Whole chunk: on both
    /// of its readings), so what was read may not be one version of the file.
    bool changed = false;
};

/// How the pipeline works.
struct ChunkPipelineOptions
{
    unsigned workers = 2;                ///< threads that read and compress
    std::size_t chunkSize = 1024 * 1024; ///< bytes of a file compressed as one piece
    int level = 6;                       ///< compression level (libdeflate's 1..12)
    /// Files listed within one chunk are taken by a worker in a row, up to this many and this many listed bytes:
    /// one hand-over, one watched call and one wait for the writer per batch instead of per file.
    std::size_t batchFiles = 32;
    std::size_t batchBytes = 512 * 1024;
    /// Ask the disk for every file of a batch as it is opened (InputFile::readSoon), so that it fetches them
    /// together instead of one at a time as each is read: only where FileSystem::readsAheadCheaply says so.
    bool readAhead = false;
    /// A file of at most `smallFileSize` bytes is compressed at `smallFileLevel` when that is lower than `level`
    /// (see ChunkDeflater).
    int smallFileLevel = 1;
    std::size_t smallFileSize = 16 * 1024;
};

/// Reads and compresses the files of an item list on worker threads, a chunk at a time, and hands the chunks
/// out in archive order: file by file in list order, each file's chunks in file order. At most a few chunks
/// per worker are held at once, so memory stays bounded whatever the sizes of the files.
///
/// A file is read as it is when its reading begins, not as it was listed: a file listed larger than a chunk is
/// planned from its size when its first chunk opens it (a file that shrank or grew since the listing is read
/// whole), and every chunk says whether the file's size or modification time changed since (CompressedChunk::
/// changed) or whether it ended early (`error`). A file listed within one chunk is read up to a chunk's size,
/// and once more when it changed during the first reading. Such files are taken a batch at a time (see
/// ChunkPipelineOptions::batchFiles): the worker opens every file of its batch first (and asks the disk for them,
/// where that is cheap), then reads and compresses them in order; each is read as it is when it was opened.
///
/// A chunk whose reading makes no progress for `fileSystem.stallLimit()` is given up (see StallWatch): it comes
/// out with the reason as its error, the file's later chunks come out empty at once, and a new thread takes the
/// place of the one held. A batch given up is made again by the new thread, from its first file, but for the
/// files whose reading stood still: each of those comes out with the reason. Destroying the pipeline stops the workers
/// and waits for those not given up.
class ChunkPipeline
{
public:
    /// `fileSystem` must outlive every chunk given up (the program's own lives as long as the program);
    /// `items` is needed only while the pipeline is being made.
    ChunkPipeline(const FileSystem& fileSystem, const std::vector<ArchiveItem>& items,
                  const ChunkPipelineOptions& options);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    /// Waits for the next chunk and moves it into `chunk` (whose buffers are taken back for reuse). False
    /// when every chunk has been handed out.
    bool next(CompressedChunk& chunk);

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::unique_ptr<StallWatch> m_watch;
};
