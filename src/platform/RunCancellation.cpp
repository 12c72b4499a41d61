#include "RunCancellation.h"

#include <atomic>

namespace {
std::atomic<bool> g_requested{false};
}

namespace RunCancellation {

void request()
{
    g_requested = true;
}

bool requested()
{
    return g_requested;
}

void clear()
{
    g_requested = false;
}

} // namespace RunCancellation
