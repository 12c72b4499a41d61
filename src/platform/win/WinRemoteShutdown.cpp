#include "WinRemoteShutdown.h"

WinRemoteShutdown::WinRemoteShutdown(std::chrono::milliseconds timeLimit) : m_timeLimit(timeLimit) {}

Result WinRemoteShutdown::shutDown(const std::string& host)
{
    return Result::failure("\\\\" + host + ": not written yet");
}
