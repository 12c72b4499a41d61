#include "WinHttpClient.h"

#include "WideText.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr DWORD maxRedirects = 5;
constexpr DWORD readSize = 64 * 1024;
/// Our own code for "the download's total time ran out", beside WinHTTP's codes (which are from 12000 on).
constexpr DWORD totalTimeOver = 0xFFFFFFFF;

/// WinHTTP's messages live in winhttp.dll, not in the system's table; the ones a download meets, in our words.
std::string winHttpErrorText(DWORD code)
{
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "the server cannot be reached";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection was reset";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server's name is not known";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer is no HTTP";
    case ERROR_WINHTTP_REDIRECT_FAILED:
        return "a redirect cannot be followed";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "the server's certificate is not trusted (WinHTTP error " + std::to_string(code) + ")";
    default:
        break;
    }
    if (code >= WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_LAST)
        return "WinHTTP error " + std::to_string(code);
    return WideText::errorText(code);
}

/// A WinHTTP handle, closed when it goes.
class InternetHandle
{
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : m_handle(handle) {}
    ~InternetHandle()
    {
        if (m_handle)
            ::WinHttpCloseHandle(m_handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return m_handle; }

private:
    HINTERNET m_handle;
};

/// What the status callback hands to the waiting download. It is shared with the callback until WinHTTP reports
/// the request handle closed: a request given up on at its time limit may still call back, and write into
/// `buffer`, after download() has returned.
struct Exchange
{
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false; ///< the operation in flight has completed
    DWORD error = 0;       ///< how it failed; 0 when it did not
    DWORD bytes = 0;       ///< bytes available (WinHttpQueryDataAvailable) or read (WinHttpReadData)
    std::vector<char> buffer = std::vector<char>(readSize);
};

void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD length)
{
    auto* holder = reinterpret_cast<std::shared_ptr<Exchange>*>(context);
    if (!holder)
        return;
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        delete holder; // the last call for this request
        return;
    }
    Exchange& exchange = **holder;
    std::lock_guard lock(exchange.mutex);
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        exchange.bytes = *static_cast<const DWORD*>(info);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        exchange.bytes = length;
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        exchange.error = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
        break;
    default:
        return;
    }
    exchange.finished = true;
    exchange.changed.notify_all();
}

/// One GET in WinHTTP's asynchronous mode, which is the mode in which a request can be given up on: each step is
/// started and then waited for, at most until the download's deadline.
class AsyncRequest
{
public:
    AsyncRequest(HINTERNET request, std::optional<SteadyClock::time_point> deadline)
        : m_request(request), m_deadline(deadline)
    {}
    /// Closing the handle ends a step still in flight; WinHTTP keeps `m_exchange` until its last callback.
    ~AsyncRequest()
    {
        if (m_request)
            ::WinHttpCloseHandle(m_request);
    }
    AsyncRequest(const AsyncRequest&) = delete;
    AsyncRequest& operator=(const AsyncRequest&) = delete;

    /// Hands the shared state to the callback; false when WinHTTP refuses.
    bool attach()
    {
        auto* holder = new std::shared_ptr<Exchange>(m_exchange);
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(holder);
        if (::WinHttpSetStatusCallback(m_request, &onStatus,
                                       WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                       0) == WINHTTP_INVALID_STATUS_CALLBACK ||
            !::WinHttpSetOption(m_request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
            delete holder;
            return false;
        }
        m_context = context;
        return true;
    }

    HINTERNET handle() const { return m_request; }
    DWORD_PTR context() const { return m_context; }
    const std::vector<char>& buffer() const { return m_exchange->buffer; }
    char* bufferData() const { return m_exchange->buffer.data(); }

    /// Starts a step with `start` (a WinHTTP call) and waits for its end: 0, a WinHTTP error, or totalTimeOver.
    /// `bytes` gets the step's count of bytes.
    template <typename Start>
    DWORD run(Start start, DWORD& bytes)
    {
        {
            std::lock_guard lock(m_exchange->mutex);
            m_exchange->finished = false;
            m_exchange->error = 0;
            m_exchange->bytes = 0;
        }
        if (!start())
            return ::GetLastError(); // a step refused at once gets no callback
        std::unique_lock lock(m_exchange->mutex);
        const auto finished = [this] { return m_exchange->finished; };
        if (!m_deadline)
            m_exchange->changed.wait(lock, finished);
        // A step may also have completed inside start(), as Wine does with a read, so the clock is asked even when
        // the step is done.
        else if (!m_exchange->changed.wait_until(lock, *m_deadline, finished) || SteadyClock::now() >= *m_deadline)
            return totalTimeOver;
        bytes = m_exchange->bytes;
        return m_exchange->error;
    }

private:
    HINTERNET m_request;
    std::optional<SteadyClock::time_point> m_deadline;
    std::shared_ptr<Exchange> m_exchange = std::make_shared<Exchange>();
    DWORD_PTR m_context = 0;
};

/// The body of a 200 answer, on its way into a temporary file beside the destination.
class BodyFile
{
public:
    explicit BodyFile(std::string destination)
        : m_destination(std::move(destination)), m_fullDestination(WideText::longPath(m_destination))
    {}
    ~BodyFile() { discard(); }
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    /// Creates the temporary file in the destination's folder (an empty body gives an empty file).
    Result open()
    {
        const size_t slash = m_fullDestination.find_last_of(L'\\');
        const std::wstring folder = m_fullDestination.substr(0, slash);
        const std::wstring name = m_fullDestination.substr(slash + 1);
        static std::atomic<unsigned> serial{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_temporary = folder + L"\\" + name + L".kopirko-download-" + std::to_wstring(::GetCurrentProcessId()) +
                          L"-" + std::to_wstring(serial++);
            m_file = ::CreateFileW(m_temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
            if (m_file != INVALID_HANDLE_VALUE)
                return Result::success();
            if (::GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        const DWORD error = ::GetLastError();
        m_temporary.clear();
        return Result::failure("cannot create a file beside " + m_destination + ": " + WideText::errorText(error));
    }

    Result append(const char* data, DWORD size)
    {
        DWORD done = 0;
        while (done < size) {
            DWORD put = 0;
            if (!::WriteFile(m_file, data + done, size - done, &put, nullptr))
                return Result::failure("cannot write " + m_destination + ": " + WideText::errorText(::GetLastError()));
            done += put;
        }
        return Result::success();
    }

    /// Flushes the complete file to the disk and moves it over the destination.
    Result commit()
    {
        if (!::FlushFileBuffers(m_file))
            return Result::failure("cannot write " + m_destination + ": " + WideText::errorText(::GetLastError()));
        ::CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        if (!::MoveFileExW(m_temporary.c_str(), m_fullDestination.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return Result::failure("cannot replace " + m_destination + ": " + WideText::errorText(::GetLastError()));
        m_temporary.clear();
        return Result::success();
    }

    void discard()
    {
        if (m_file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_file);
            m_file = INVALID_HANDLE_VALUE;
        }
        if (!m_temporary.empty()) {
            ::DeleteFileW(m_temporary.c_str());
            m_temporary.clear();
        }
    }

private:
    std::string m_destination;
    std::wstring m_fullDestination;
    std::wstring m_temporary;
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

/// The pieces of an http or https address that WinHTTP asks for.
struct CrackedUrl
{
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring pathAndQuery;
    bool secure = false;
};

std::optional<CrackedUrl> crack(const std::string& url, std::string& why)
{
    const std::wstring wide = WideText::fromUtf8(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
        const DWORD error = wide.empty() ? ERROR_WINHTTP_INVALID_URL : ::GetLastError();
        why = error == ERROR_WINHTTP_UNRECOGNIZED_SCHEME ? "only http and https addresses can be fetched"
                                                         : "not a web address (" + winHttpErrorText(error) + ")";
        return std::nullopt;
    }
    if ((parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.dwHostNameLength == 0) {
        why = "not an http or https address with a server";
        return std::nullopt;
    }
    CrackedUrl cracked;
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    cracked.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    cracked.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const size_t fragment = cracked.pathAndQuery.find(L'#'); // the part after "#" is never sent
    if (fragment != std::wstring::npos)
        cracked.pathAndQuery.resize(fragment);
    if (cracked.pathAndQuery.empty())
        cracked.pathAndQuery = L"/";
    return cracked;
}

/// A session with the system's proxy settings: the automatic ones (Windows 8.1 and later), else WinHTTP's default
/// proxy. Asynchronous, so that a request can be given up on at the download's time limit.
HINTERNET openSession()
{
    HINTERNET session = ::WinHttpOpen(L"Kopirko", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (!session)
        session = ::WinHttpOpen(L"Kopirko", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    return session;
}

int milliseconds(std::chrono::milliseconds limit)
{
    return static_cast<int>(std::min<std::int64_t>(limit.count(), 0x7FFFFFFF));
}

} // namespace

WinHttpClient::WinHttpClient() : WinHttpClient(TimeLimits{}) {}

WinHttpClient::WinHttpClient(TimeLimits limits) : m_limits(limits) {}

DownloadOutcome WinHttpClient::download(const std::string& url, const std::string& destination,
                                        const DownloadOptions& options)
{
    std::optional<SteadyClock::time_point> deadline;
    if (options.totalTimeLimit.count() > 0)
        deadline = SteadyClock::now() + options.totalTimeLimit;
    DownloadOutcome outcome;
    const auto fail = [&](const std::string& reason) {
        outcome.result = Result::failure(url + ": " + reason);
        return outcome;
    };
    // Why a step ended without success, in the words of the limit that ended it.
    const auto stepFailed = [&](DWORD error, bool connecting) {
        if (error == totalTimeOver)
            return fail("not complete within " + std::to_string(options.totalTimeLimit.count()) + " ms");
        // Wine passes on the socket's own code for a time-out.
        const bool timedOut = error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT;
        if (timedOut && connecting)
            return fail("no connection within " + std::to_string(m_limits.connect.count()) + " ms");
        if (timedOut)
            return fail("the transfer stood still for " + std::to_string(m_limits.stall.count()) + " s");
        return fail(winHttpErrorText(error));
    };

    std::string why;
    const std::optional<CrackedUrl> target = crack(url, why);
    if (!target)
        return fail(why);

    const InternetHandle session(openSession());
    if (!session.get())
        return fail("cannot set up WinHTTP: " + WideText::errorText(::GetLastError()));
    const InternetHandle connection(::WinHttpConnect(session.get(), target->host.c_str(), target->port, 0));
    if (!connection.get())
        return fail(winHttpErrorText(::GetLastError()));
    // WINHTTP_FLAG_REFRESH: a proxy's cached copy is no answer either; every download asks the server.
    AsyncRequest request(::WinHttpOpenRequest(connection.get(), L"GET", target->pathAndQuery.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              WINHTTP_FLAG_REFRESH | (target->secure ? WINHTTP_FLAG_SECURE : 0)),
                         deadline);
    if (!request.handle())
        return fail(winHttpErrorText(::GetLastError()));
    if (!request.attach())
        return fail("cannot set up WinHTTP: " + WideText::errorText(::GetLastError()));

    // Redirects as the Linux client follows them: between http and https either way, at most maxRedirects. Where
    // WinHTTP does not take these (they are older than any Windows we run on), its own rule holds: no https to http,
    // at most 10.
    DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
    DWORD redirects = maxRedirects;
    ::WinHttpSetOption(request.handle(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy, sizeof(redirectPolicy));
    ::WinHttpSetOption(request.handle(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof(redirects));
    // The receive limit holds for the headers and for every wait for more of the body: a server that accepts and
    // never answers, or stops halfway, fails after the stall limit.
    const int connect = milliseconds(m_limits.connect);
    const int stall = milliseconds(std::chrono::duration_cast<std::chrono::milliseconds>(m_limits.stall));
    DWORD stallOption = static_cast<DWORD>(stall);
    // WinHttpSetTimeouts leaves the wait for the answer's headers at its own limit (90 s), hence the option.
    if (!::WinHttpSetTimeouts(request.handle(), connect, connect, stall, stall) ||
        !::WinHttpSetOption(request.handle(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stallOption,
                            sizeof(stallOption)))
        return fail("cannot set up WinHTTP: " + winHttpErrorText(::GetLastError()));

    DWORD bytes = 0;
    DWORD error = request.run(
        [&] {
            return ::WinHttpSendRequest(request.handle(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                        0, request.context());
        },
        bytes);
    if (error)
        return stepFailed(error, true);
    error = request.run([&] { return ::WinHttpReceiveResponse(request.handle(), nullptr); }, bytes);
    if (error)
        return stepFailed(error, false);

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!::WinHttpQueryHeaders(request.handle(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return fail("the server's answer has no status: " + winHttpErrorText(::GetLastError()));
    outcome.status = static_cast<long>(status);
    if (status != 200)
        return fail("the server answered " + std::to_string(status));

    BodyFile body(destination);
    if (const Result opened = body.open(); !opened)
        return fail(opened.error());
    std::uint64_t written = 0;
    for (;;) {
        error = request.run([&] { return ::WinHttpQueryDataAvailable(request.handle(), nullptr); }, bytes);
        if (error)
            return stepFailed(error, false);
        if (bytes == 0)
            break; // the whole body is here
        if (bytes > options.maxBytes - written)
            return fail("the answer is longer than " + std::to_string(options.maxBytes) + " bytes");
        const DWORD wanted = std::min(bytes, readSize);
        error = request.run([&] { return ::WinHttpReadData(request.handle(), request.bufferData(), wanted, nullptr); },
                            bytes);
        if (error)
            return stepFailed(error, false);
        if (bytes == 0)
            break;
        if (const Result appended = body.append(request.buffer().data(), bytes); !appended)
            return fail(appended.error());
        written += bytes;
    }
    // DownloadedFileKind::Program needs nothing more here: whether Windows runs a file depends on its name, not on
    // a permission of the file.
    outcome.result = body.commit();
    return outcome;
}

bool WinHttpClient::removeFromCache(const std::string&)
{
    return false;
}
