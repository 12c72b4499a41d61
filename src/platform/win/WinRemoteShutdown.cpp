#include "WinRemoteShutdown.h"

#include "HostName.h"
#include "WideText.h"

#include <windows.h>

#include <memory>

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

/// The request and its answer, shared between the caller, who may stop waiting, and the thread that waits for
/// the answer; the last of the two to let go frees it. Win32's own thread and event: winpthreads' thread start
/// and condition variable were seen, under Wine, to leave a waiter without its answer until the time limit.
struct Call
{
    Call(WinRemoteShutdown::Request r, std::wstring m)
        : request(std::move(r)), machine(std::move(m)), answered(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {}
    ~Call()
    {
        if (answered)
            ::CloseHandle(answered);
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    const WinRemoteShutdown::Request request;
    const std::wstring machine;
    const HANDLE answered; ///< set once `error` holds the answer
    unsigned long error = ERROR_GEN_FAILURE;
};

DWORD WINAPI askAndAnswer(void* parameter)
{
    // The thread's share of the call, handed over by shutDown().
    const std::unique_ptr<std::shared_ptr<Call>> share(static_cast<std::shared_ptr<Call>*>(parameter));
    Call& call = **share;
    try {
        call.error = call.request(call.machine);
    } catch (...) {
        call.error = ERROR_GEN_FAILURE;
    }
    ::SetEvent(call.answered);
    return 0;
}

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
    // The thread owns copies of all it uses: it may still wait long after this call has given up.
    const auto call = std::make_shared<Call>(m_request, L"\\\\" + WideText::fromUtf8(host));
    if (!call->answered)
        return Result::failure(host + " was not asked to shut down: " + WideText::errorText(::GetLastError()));
    auto share = std::make_unique<std::shared_ptr<Call>>(call);
    const HANDLE thread = ::CreateThread(nullptr, 0, askAndAnswer, share.get(), 0, nullptr);
    if (!thread)
        return Result::failure(host + " was not asked to shut down: " + WideText::errorText(::GetLastError()));
    share.release(); // the thread's now
    ::CloseHandle(thread);
    if (::WaitForSingleObject(call->answered, static_cast<DWORD>(m_timeLimit.count())) != WAIT_OBJECT_0)
        return Result::failure(host + " did not answer within " + durationText(m_timeLimit));
    if (call->error != ERROR_SUCCESS)
        return Result::failure(host + " was not shut down: " + WideText::errorText(call->error));
    return Result::success();
}
