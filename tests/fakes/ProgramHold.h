#pragma once

#include <string>
#ifdef _WIN32
#include "WideText.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

/// Holds a program file as another program can, so that it cannot be started meanwhile: on Windows open with no
/// sharing (as a virus scanner holds a program it checks), on Linux open for writing (as while it is copied).
class ProgramHold
{
public:
    explicit ProgramHold(const std::string& path)
    {
#ifdef _WIN32
        m_handle = ::CreateFileW(WideText::fromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_held = m_handle != INVALID_HANDLE_VALUE;
#else
        m_fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        m_held = m_fd >= 0;
#endif
    }
    ~ProgramHold()
    {
#ifdef _WIN32
        if (m_held)
            ::CloseHandle(m_handle);
#else
        if (m_held)
            ::close(m_fd);
#endif
    }
    ProgramHold(const ProgramHold&) = delete;
    ProgramHold& operator=(const ProgramHold&) = delete;

    bool held() const
    {
        return m_held;
    }

private:
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    int m_fd = -1;
#endif
    bool m_held = false;
};
