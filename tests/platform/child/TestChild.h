#pragma once

#include <string>
#include <vector>

/// A small program the platform tests start, to see from the inside what a started program gets: its
/// arguments, its input, where its output goes, what becomes of the programs it starts. Its first argument says
/// what to do (see TestChild.cpp).
int runTestChild(const std::vector<std::string>& arguments);

// What differs between the platforms (posix/ and win/).

/// The process id of this process.
long currentProcessId();
/// Lines of 63 letters and a line end, `size` bytes in all: what "flood" writes, and the tests expect.
inline std::string floodPattern(size_t size)
{
    std::string text(size, '\n');
    for (size_t i = 0; i < size; ++i)
        if (i % 64 != 63)
            text[i] = static_cast<char>('a' + i % 26);
    return text;
}

/// Starts this program again with `arguments`, with this process's output as its output, without waiting.
bool startCopyOfSelf(const std::vector<std::string>& arguments);
