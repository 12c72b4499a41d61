#include "BufferedOutputFile.h"

#include <algorithm>
#include <cstring>

Result BufferedOutputFile::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    const std::size_t at = static_cast<std::size_t>(m_position - m_bufferAt);
    if (size >= bufferLimit || at + size > bufferLimit) {
        if (Result flushed = flush(); !flushed)
            return flushed;
    }
    if (size >= bufferLimit) {
        if (Result written = writeAt(m_position, bytes, size); !written)
            return written;
        m_bufferAt = m_position + size;
    } else {
        const std::size_t from = static_cast<std::size_t>(m_position - m_bufferAt);
        const std::size_t overlap = std::min(size, m_buffer.size() - from);
        if (overlap > 0) // an empty buffer may have no storage at all, which memcpy must not be given
            std::memcpy(m_buffer.data() + from, bytes, overlap);
        m_buffer.insert(m_buffer.end(), bytes + overlap, bytes + size);
    }
    m_position += size;
    m_size = std::max(m_size, m_position);
    return Result::success();
}

Result BufferedOutputFile::seek(std::uint64_t position)
{
    if (position < m_bufferAt || position > m_bufferAt + m_buffer.size()) {
        if (Result flushed = flush(); !flushed)
            return flushed;
        m_bufferAt = position;
    }
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
    if (m_buffer.empty()) {
        m_bufferAt = m_position;
        return Result::success();
    }
    Result written = writeAt(m_bufferAt, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    m_bufferAt = m_position;
    return written;
}
