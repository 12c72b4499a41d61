#pragma once

#include "FileSystem.h"

#include <vector>

/// An OutputFile that gathers small writes in a buffer of its own, so that the many small header writes of an
/// archive cost no system call each: a seek back into what is still held (a header completed once its data is
/// written) and the writes there change the held bytes, and nothing goes to the file until the buffer is full, a
/// seek leaves it or the file is closed. Each platform gives the positioned write and the final sync.
class BufferedOutputFile : public OutputFile
{
public:
    Result write(const void* data, std::size_t size) override;
    Result seek(std::uint64_t position) override;
    std::uint64_t size() const override { return m_size; }
    std::uint64_t position() const override { return m_position; }
    Result close() override;

protected:
    /// Writes all `size` bytes of `data` at `position` of the file, or says why not.
    virtual Result writeAt(std::uint64_t position, const char* data, std::size_t size) = 0;
    /// Writes everything through to the disk and closes the file, or says why not.
    virtual Result syncAndClose() = 0;

private:
    static constexpr std::size_t bufferLimit = 1 << 20;

    Result flush();

    std::vector<char> m_buffer;   ///< bytes that go at m_bufferAt
    std::uint64_t m_bufferAt = 0; ///< where the held bytes go in the file; m_position lies within them or at their end
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;
};
