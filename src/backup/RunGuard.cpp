#include "RunGuard.h"

#include <atomic>

namespace {
std::atomic<bool> g_running{false};
}

RunGuard::RunGuard() : m_entered(!g_running.exchange(true)) {}

RunGuard::~RunGuard()
{
    if (m_entered)
        g_running = false;
}

bool RunGuard::busy()
{
    return g_running;
}
