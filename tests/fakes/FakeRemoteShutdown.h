#pragma once

#include "RemoteShutdown.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

/// Records the computers asked to shut down instead of asking them. Safe to use from worker threads.
class FakeRemoteShutdown : public RemoteShutdown
{
public:
    /// Computers that refuse (the request fails).
    std::set<std::string> failing;
    /// Called with the host at every request, before it is recorded (to block, or to look at other fakes).
    std::function<void(const std::string&)> onRequest;

    Result shutDown(const std::string& host) override
    {
        if (onRequest)
            onRequest(host);
        std::lock_guard lock(m_mutex);
        m_asked.push_back(host);
        if (failing.count(host))
            return Result::failure(host + " refused");
        return Result::success();
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
