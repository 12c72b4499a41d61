#include "RunGuard.h"

#include "RunCancellation.h"

#include <atomic>

namespace {
std::atomic<bool> g_running{false};
}

RunGuard::RunGuard() : m_entered(!g_running.exchange(true))
{
    if (m_entered)
        RunCancellation::clear(); // a stop asked for an earlier run is not this one's
}

RunGuard::~RunGuard()
{
    if (m_entered)
        g_running = false;
}

bool RunGuard::busy()
{
    return g_running;
}
