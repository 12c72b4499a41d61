#pragma once

#include <string>

/// Lines of 63 letters and a line end, `size` bytes in all: what kopirko_test_child's "flood" writes, and the tests
/// expect.
inline std::string floodPattern(size_t size)
{
    std::string text(size, '\n');
    for (size_t i = 0; i < size; ++i)
        if (i % 64 != 63)
            text[i] = static_cast<char>('a' + i % 26);
    return text;
}
