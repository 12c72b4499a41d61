#pragma once

#include "InstanceLock.h"

/// A named mutex in the user's session ("Local\"), named after the title in lower case. Windows drops it when
/// the process ends, however it ends.
class WinInstanceLock : public InstanceLock
{
public:
    /// `prefix` comes before the title in the mutex's name; tests give one of their own.
    explicit WinInstanceLock(std::string prefix = "kopirko-");
    ~WinInstanceLock() override;
    WinInstanceLock(const WinInstanceLock&) = delete;
    WinInstanceLock& operator=(const WinInstanceLock&) = delete;

    bool tryAcquire(const std::string& title) override;

private:
    std::string m_prefix;
    void* m_mutex = nullptr;
};
