#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Where a chunk stands in its file's deflate stream.
enum class ChunkRole {
    Whole,  ///< the whole file: a complete stream, or the bytes themselves when deflating does not make them smaller
    Middle, ///< not the last chunk: the stream stays open and ends on a byte boundary, so the next chunk follows
    Last    ///< the last of several chunks: ends the stream
};

/// One chunk after compression.
struct DeflatedChunk
{
    std::vector<unsigned char> buffer; ///< holds the data in its first `size` bytes (kept large for reuse)
    std::size_t size = 0;
    bool stored = false; ///< the data is the input itself (only for ChunkRole::Whole)
};

/// Deflates chunks of files independently of each other, so that several threads can compress one file at
/// once: the pieces of a Middle chunk are made joinable (the final-block bit cleared and the stream brought to
/// a byte boundary), and the pieces of one file laid end to end form one valid raw deflate stream. Each
/// joined piece is decoded again and checked against the input's length and CRC-32 before it is handed out,
/// so a piece that would not unpack to the input is never written to an archive.
/// A whole file of at most `smallSize` bytes is compressed at `smallLevel` instead, when that is lower: in so little
/// data a slower search finds few repeats that a fast one misses, while its fixed cost per file is most of what such a
/// file costs. One object per thread; not thread-safe.
class ChunkDeflater
{
public:
    /// `level` and `smallLevel` 0..12 as libdeflate counts (6 compresses about as well as zlib's 6, 1 is the
    /// fastest, 0 stores).
    explicit ChunkDeflater(int level, int smallLevel = -1, std::size_t smallSize = 0);
    ~ChunkDeflater();
    ChunkDeflater(const ChunkDeflater&) = delete;
    ChunkDeflater& operator=(const ChunkDeflater&) = delete;

    /// Compresses `length` bytes at `input` into `out`. `crc` is the CRC-32 of the input.
    Result deflate(const unsigned char* input, std::size_t length, std::uint32_t crc, ChunkRole role,
                   DeflatedChunk& out);

    /// CRC-32 (the ZIP polynomial) of `length` bytes, continuing from `crc` (0 to start).
    static std::uint32_t crc32(std::uint32_t crc, const unsigned char* data, std::size_t length);
    /// CRC-32 of two pieces laid end to end, from the CRC-32 of each and the length of the second, which is
    /// below 2 GiB (a chunk).
    static std::uint32_t crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondLength);
    /// The bytes that end a deflate stream after a Middle chunk: an empty final block.
    static constexpr unsigned char streamEnd[2] = {0x03, 0x00};

private:
    Result makeJoinable(DeflatedChunk& out, std::size_t inputLength, std::uint32_t crc);

    void* m_compressor = nullptr;      ///< libdeflate_compressor
    void* m_smallCompressor = nullptr; ///< libdeflate_compressor of whole files up to m_smallSize; may be null
    std::size_t m_smallSize = 0;
    void* m_inflater = nullptr; ///< zlib z_stream, raw inflate
    std::vector<unsigned char> m_scratch;
};
