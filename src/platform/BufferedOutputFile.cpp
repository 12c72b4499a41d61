#include "BufferedOutputFile.h"

#include <algorithm>

Result BufferedOutputFile::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    if (m_buffer.size() + size > bufferLimit) {
        if (Result flushed = flush(); !flushed)
            return flushed;
    }
    if (size >= bufferLimit) {
        if (Result written = writeAt(m_position, bytes, size); !written)
            return written;
    } else {
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    }
    m_position += size;
    m_size = std::max(m_size, m_position);
    return Result::success();
}

Result BufferedOutputFile::seek(std::uint64_t position)
{
    if (Result flushed = flush(); !flushed)
        return flushed;
    m_position = position;
    return Result::success();
}

Result BufferedOutputFile::close()
{
    if (Result flushed = flush(); !flushed)
        return flushed;
    return syncAndClose();
}

Result BufferedOutputFile::flush()
{
    if (m_buffer.empty())
        return Result::success();
    Result written = writeAt(m_position - m_buffer.size(), m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return written;
}
