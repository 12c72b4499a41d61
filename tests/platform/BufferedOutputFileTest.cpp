#include "BufferedOutputFile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

/// A file in memory that counts the writes that reach it.
class MemoryFile : public BufferedOutputFile
{
public:
    std::string content;
    int writes = 0;

protected:
    Result writeAt(std::uint64_t position, const char* data, std::size_t size) override
    {
        ++writes;
        if (content.size() < position + size)
            content.resize(position + size, '\0');
        std::copy(data, data + size, content.begin() + static_cast<std::ptrdiff_t>(position));
        return Result::success();
    }
    Result syncAndClose() override { return Result::success(); }
};

// A header completed once its data is written, within what is still held, costs no write of its own.
TEST(BufferedOutputFileTest, AHeaderCompletedWithinTheHeldBytesCostsNoWriteOfItsOwn)
{
    MemoryFile file;
    for (int entry = 0; entry < 100; ++entry) {
        ASSERT_TRUE(file.write("HEADER..data", 12).ok() && file.seek(file.position() - 6).ok());
        ASSERT_TRUE(file.write("OK", 2).ok() && file.seek(file.size()).ok());
    }
    EXPECT_EQ(file.writes, 0);
    ASSERT_TRUE(file.close().ok());
    EXPECT_EQ(file.content.size(), 1200u);
    EXPECT_EQ(file.content.substr(1188), "HEADEROKdata");
}

// Whatever the writes and seeks (within what is held, past it, before it, writes larger than the buffer), the file
// ends up as if every write had gone straight to it.
TEST(BufferedOutputFileTest, EveryMixOfWritesAndSeeksLeavesWhatDirectWritesWould)
{
    std::mt19937 random(26);
    for (int round = 0; round < 20; ++round) {
        MemoryFile file;
        std::string expected;
        for (int step = 0; step < 200; ++step) {
            if (random() % 3 == 0) {
                const std::uint64_t to = expected.empty() ? 0 : random() % (expected.size() + 1);
                ASSERT_TRUE(file.seek(to).ok());
                continue;
            }
            const std::size_t size = random() % 8 == 0 ? (random() % (3u << 20)) : random() % 5000;
            const std::string data(size, static_cast<char>('a' + step % 26));
            const std::uint64_t at = file.position();
            ASSERT_TRUE(file.write(data.data(), data.size()).ok());
            if (expected.size() < at + size)
                expected.resize(at + size, '\0');
            expected.replace(at, size, data);
            ASSERT_EQ(file.size(), expected.size());
        }
        ASSERT_TRUE(file.close().ok());
        ASSERT_EQ(file.content, expected) << "round " << round;
    }
}

} // namespace
