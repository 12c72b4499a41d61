#include "WinRemoteShutdown.h"

#include "HostName.h"
#include "WideText.h"

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

unsigned long initiateShutdown(const std::wstring& machine)
{
    // The comment is kept in the other computer's event log beside the user's name.
    wchar_t message[] = L"Kopirko: shutdown after the backup";
    std::wstring name = machine;
    const DWORD reason = SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
    if (::InitiateSystemShutdownExW(name.data(), message, 0, FALSE, FALSE, reason))
        return ERROR_SUCCESS;
    return ::GetLastError();
}

/// The answer, shared between the caller, who may stop waiting, and the thread that waits for it.
struct Answer
{
    std::mutex mutex;
    std::condition_variable arrived;
    bool done = false;
    unsigned long error = ERROR_SUCCESS;
};

std::string durationText(std::chrono::milliseconds duration)
{
    if (duration.count() % 1000 == 0)
        return std::to_string(duration.count() / 1000) + " s";
    return std::to_string(duration.count()) + " ms";
}

} // namespace

WinRemoteShutdown::WinRemoteShutdown(std::chrono::milliseconds timeLimit)
    : WinRemoteShutdown(timeLimit, initiateShutdown)
{}

WinRemoteShutdown::WinRemoteShutdown(std::chrono::milliseconds timeLimit, Request request)
    : m_timeLimit(timeLimit), m_request(std::move(request))
{}

Result WinRemoteShutdown::shutDown(const std::string& host)
{
    if (!isPlainHostName(host))
        return Result::failure("\"" + host + "\" is not a plain computer name");
    auto answer = std::make_shared<Answer>();
    try {
        // The thread owns copies of all it uses: it may still wait long after this call has given up.
        std::thread([answer, request = m_request, machine = L"\\\\" + WideText::fromUtf8(host)] {
            unsigned long error = ERROR_GEN_FAILURE;
            try {
                error = request(machine);
            } catch (...) {
            }
            std::lock_guard lock(answer->mutex);
            answer->error = error;
            answer->done = true;
            answer->arrived.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        return Result::failure(host + " was not asked to shut down: " + error.what());
    }
    std::unique_lock lock(answer->mutex);
    if (!answer->arrived.wait_for(lock, m_timeLimit, [&] { return answer->done; }))
        return Result::failure(host + " did not answer within " + durationText(m_timeLimit));
    if (answer->error != ERROR_SUCCESS)
        return Result::failure(host + " was not shut down: " + WideText::errorText(answer->error));
    return Result::success();
}
