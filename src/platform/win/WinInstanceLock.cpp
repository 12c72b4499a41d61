#include "WinInstanceLock.h"

#include "WideText.h"

#include <windows.h>

#include <cwctype>

WinInstanceLock::WinInstanceLock(std::string prefix) : m_prefix(std::move(prefix)) {}

WinInstanceLock::~WinInstanceLock()
{
    if (m_mutex)
        ::CloseHandle(m_mutex);
}

bool WinInstanceLock::tryAcquire(const std::string& title)
{
    // Mutex names may not hold "\"; letter case folded so that the title's case does not count.
    std::wstring name = WideText::fromUtf8(m_prefix + title);
    for (wchar_t& c : name)
        c = c == L'\\' ? L'_' : static_cast<wchar_t>(std::towlower(c));
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    if (!mutex)
        return true; // the lock cannot be checked: a failed search lets the start go on
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    if (m_mutex)
        ::CloseHandle(m_mutex);
    m_mutex = mutex;
    return true;
}
