#pragma once

#include "RemoteShutdown.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

/// Records the computers asked to shut down instead of asking them. Safe to use from worker threads.
class FakeRemoteShutdown : public RemoteShutdown
{
public:
    /// Called at every request once it is recorded (to block, refuse or throw); success when unset.
    std::function<Result(const std::string&)> onRequest;

    Result shutDown(const std::string& host) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_asked.push_back(host);
        }
        return onRequest ? onRequest(host) : Result::success();
    }

    std::vector<std::string> asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_asked;
};
