#include "ChunkDeflater.h"

#include <cstring>
#include <libdeflate.h>
#include <new>
#include <zlib.h>

namespace {

constexpr std::size_t scratchSize = 256 * 1024;
/// An empty stored block's length fields: LEN 0, NLEN 0xFFFF.
constexpr unsigned char emptyStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};

libdeflate_compressor* compressor(void* pointer)
{
    return static_cast<libdeflate_compressor*>(pointer);
}

z_stream* inflater(void* pointer)
{
    return static_cast<z_stream*>(pointer);
}

void reserve(DeflatedChunk& out, std::size_t bytes)
{
    if (out.buffer.size() < bytes)
        out.buffer.resize(bytes);
}

} // namespace

ChunkDeflater::ChunkDeflater(int level, int smallLevel, std::size_t smallSize) : m_scratch(scratchSize)
{
    m_compressor = libdeflate_alloc_compressor(level);
    if (smallSize > 0 && smallLevel >= 0 && smallLevel < level) {
        m_smallCompressor = libdeflate_alloc_compressor(smallLevel);
        m_smallSize = smallSize;
    }
    auto* stream = new z_stream{};
    if (!m_compressor || (m_smallSize > 0 && !m_smallCompressor) || inflateInit2(stream, -MAX_WBITS) != Z_OK) {
        delete stream;
        libdeflate_free_compressor(compressor(m_smallCompressor));
        libdeflate_free_compressor(compressor(m_compressor));
        throw std::bad_alloc();
    }
    m_inflater = stream;
}

ChunkDeflater::~ChunkDeflater()
{
    inflateEnd(inflater(m_inflater));
    delete inflater(m_inflater);
    libdeflate_free_compressor(compressor(m_smallCompressor));
    libdeflate_free_compressor(compressor(m_compressor));
}

std::uint32_t ChunkDeflater::crc32(std::uint32_t crc, const unsigned char* data, std::size_t length)
{
    return libdeflate_crc32(crc, data, length);
}

std::uint32_t ChunkDeflater::crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondLength)
{
    // A first piece whose CRC is 0 adds nothing (its CRC is shifted past the second's bytes): a file of one chunk,
    // most of them, skips the costly join.
    if (first == 0)
        return second;
    // crc32_combine takes z_off_t, which is 32 bits on Windows; a chunk is far shorter than 2 GiB.
    return static_cast<std::uint32_t>(::crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

Result ChunkDeflater::deflate(const unsigned char* input, std::size_t length, std::uint32_t crc, ChunkRole role,
                              DeflatedChunk& out)
{
    out.size = 0;
    out.stored = false;
    if (role == ChunkRole::Whole) {
        reserve(out, length);
        void* const chosen = m_smallCompressor && length <= m_smallSize ? m_smallCompressor : m_compressor;
        // Room for no more than the input: libdeflate gives up (0) when deflating does not make it smaller.
        const std::size_t size =
            length == 0 ? 0 : libdeflate_deflate_compress(compressor(chosen), input, length, out.buffer.data(), length);
        if (size == 0) {
            if (length > 0)
                std::memcpy(out.buffer.data(), input, length);
            out.size = length;
            out.stored = true;
        } else {
            out.size = size;
        }
        return Result::success();
    }

    const std::size_t bound = libdeflate_deflate_compress_bound(compressor(m_compressor), length);
    reserve(out, bound + sizeof emptyStoredLengths + 1);
    out.size = libdeflate_deflate_compress(compressor(m_compressor), input, length, out.buffer.data(), bound);
    if (out.size == 0)
        return Result::failure("deflate found no room within its own bound");
    if (role == ChunkRole::Last)
        return Result::success();
    return makeJoinable(out, length, crc);
}

Result ChunkDeflater::makeJoinable(DeflatedChunk& out, std::size_t inputLength, std::uint32_t crc)
{
    // Decode the piece block by block (Z_BLOCK stops after every end-of-block code) to find where the final
    // block's header begins: its first bit is the final-block bit that must be cleared.
    z_stream* stream = inflater(m_inflater);
    inflateReset(stream);
    stream->next_in = out.buffer.data();
    stream->avail_in = static_cast<uInt>(out.size);
    std::size_t headerByte = 0; // the first block starts the piece, at bit 0 of byte 0
    unsigned headerMask = 0x01;
    std::uint32_t decodedCrc = 0;
    std::uint64_t decoded = 0;
    unsigned paddingBits = 0;
    for (;;) {
        stream->next_out = m_scratch.data();
        stream->avail_out = static_cast<uInt>(m_scratch.size());
        const uInt availableBefore = stream->avail_in;
        const int status = inflate(stream, Z_BLOCK);
        const std::size_t produced = m_scratch.size() - stream->avail_out;
        decodedCrc = crc32(decodedCrc, m_scratch.data(), produced);
        decoded += produced;
        const bool stuck = produced == 0 && stream->avail_in == availableBefore && (stream->data_type & 128) == 0;
        if (status != Z_OK || stuck)
            return Result::failure("a compressed chunk does not decode");
        if ((stream->data_type & 128) == 0)
            continue;
        // At a block boundary. After the final block, the bits left in the last byte are padding; after any
        // other block, the next bit to be read is the next block's final-block bit.
        const unsigned unusedBits = static_cast<unsigned>(stream->data_type & 7);
        if (stream->data_type & 64) {
            paddingBits = unusedBits;
            break;
        }
        const std::size_t consumed = out.size - stream->avail_in;
        if (unusedBits != 0) {
            headerByte = consumed - 1;
            headerMask = 0x100u >> unusedBits;
        } else {
            headerByte = consumed;
            headerMask = 0x01;
        }
    }
    if (stream->avail_in != 0 || decoded != inputLength || decodedCrc != crc)
        return Result::failure("a compressed chunk does not decode to its input");
    if (headerByte >= out.size || (out.buffer[headerByte] & headerMask) == 0)
        return Result::failure("a compressed chunk has no final block where it should");

    out.buffer[headerByte] &= static_cast<unsigned char>(~headerMask);
    // Bring the stream to a byte boundary with an empty stored block, whose three header bits (all zero) go
    // where the last byte's padding is, or into one more byte when fewer than three padding bits are left.
    if (paddingBits != 0) {
        out.buffer[out.size - 1] &= static_cast<unsigned char>(0xFFu >> paddingBits);
        if (paddingBits < 3)
            out.buffer[out.size++] = 0x00;
        std::memcpy(out.buffer.data() + out.size, emptyStoredLengths, sizeof emptyStoredLengths);
        out.size += sizeof emptyStoredLengths;
    }
    return Result::success();
}
