#include "ChunkDeflater.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <zlib.h>

namespace {

/// Text runs and random bytes mixed: `randomShare` of the pieces are noise, which deflate stores.
std::string sampleData(std::size_t size, double randomShare, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    const std::string words[] = {"racun ", "kasa 3 ", "artikal;12,50;KM\r\n", "Prodavnica ", "\x00\x01\x02"};
    std::string data;
    while (data.size() < size) {
        if (coin(random) < randomShare) {
            for (int i = 0; i < 700; ++i)
                data.push_back(static_cast<char>(random() & 0xFF));
        } else {
            for (int i = 0; i < 40; ++i)
                data += words[random() % 5];
        }
    }
    data.resize(size);
    return data;
}

/// Deflates `data` chunk by chunk, as the archive's workers do, and lays the pieces end to end.
std::string deflateInChunks(const std::string& data, std::size_t chunkSize, int level, std::uint32_t& crc)
{
    ChunkDeflater deflater(level);
    DeflatedChunk piece;
    std::string stream;
    crc = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const bool several = data.size() > chunkSize;
    for (std::size_t offset = 0; offset < data.size() || offset == 0; offset += chunkSize) {
        const std::size_t length = std::min(chunkSize, data.size() - offset);
        const bool last = offset + chunkSize >= data.size();
        const ChunkRole role = !several ? ChunkRole::Whole : last ? ChunkRole::Last : ChunkRole::Middle;
        const std::uint32_t pieceCrc = ChunkDeflater::crc32(0, bytes + offset, length);
        const Result deflated = deflater.deflate(bytes + offset, length, pieceCrc, role, piece);
        EXPECT_TRUE(deflated.ok()) << deflated.error();
        EXPECT_FALSE(piece.stored && several) << "only a whole file may be stored";
        stream.append(reinterpret_cast<const char*>(piece.buffer.data()), piece.size);
        crc = ChunkDeflater::crc32Combine(crc, pieceCrc, length);
        if (last)
            break;
    }
    return stream;
}

/// Unpacks a raw deflate stream with zlib; fails the test when it is not one whole stream.
std::string inflateWithZlib(const std::string& stream)
{
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::string out;
    int status = Z_OK;
    while (status == Z_OK) {
        char buffer[65536];
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    EXPECT_EQ(status, Z_STREAM_END) << "the joined pieces are not one complete stream";
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&z);
    return out;
}

struct JoinCase
{
    const char* name;
    std::size_t size;
    std::size_t chunkSize;
    double randomShare;
    int level;
};

class ChunkJoinTest : public ::testing::TestWithParam<JoinCase>
{};

TEST_P(ChunkJoinTest, PiecesLaidEndToEndUnpackToTheInputWithTheCombinedCrc)
{
    const JoinCase& c = GetParam();
    // Many seeds: the last byte of each piece ends at every possible bit position somewhere among them.
    for (unsigned seed = 1; seed <= 8; ++seed) {
        const std::string data = sampleData(c.size, c.randomShare, seed);
        std::uint32_t crc = 0;
        const std::string stream = deflateInChunks(data, c.chunkSize, c.level, crc);
        ASSERT_EQ(inflateWithZlib(stream), data) << "seed " << seed;
        EXPECT_EQ(crc, ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    }
}

INSTANTIATE_TEST_SUITE_P(Chunks, ChunkJoinTest,
                         ::testing::Values(JoinCase{"TextSmallerChunksThanTheWindow", 300000, 4096, 0.0, 6},
                                           JoinCase{"NoiseStoredBlocksEndOnByteBoundaries", 200000, 16384, 1.0, 6},
                                           JoinCase{"MixedOddChunkSize", 500000, 100003, 0.3, 6},
                                           JoinCase{"MixedFastestLevel", 250000, 7777, 0.5, 1},
                                           JoinCase{"MixedBestLevel", 250000, 65536, 0.2, 12},
                                           JoinCase{"OneByteIntoASecondChunk", 65537, 65536, 0.1, 6},
                                           JoinCase{"TinyChunks", 3000, 7, 0.5, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChunkDeflaterTest, TheStreamEndClosesAStreamCutAfterAMiddlePiece)
{
    // A file that shrinks while it is read ends after a middle piece: the empty final block must close it.
    const std::string data = sampleData(50000, 0.4, 9);
    ChunkDeflater deflater(6);
    DeflatedChunk piece;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    ASSERT_TRUE(
        deflater.deflate(bytes, data.size(), ChunkDeflater::crc32(0, bytes, data.size()), ChunkRole::Middle, piece));
    std::string stream(reinterpret_cast<const char*>(piece.buffer.data()), piece.size);
    stream.append(reinterpret_cast<const char*>(ChunkDeflater::streamEnd), sizeof ChunkDeflater::streamEnd);
    EXPECT_EQ(inflateWithZlib(stream), data);
}

} // namespace
