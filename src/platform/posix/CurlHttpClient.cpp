#include "CurlHttpClient.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Which of the limits ended a transfer that timed out after `elapsed` (taken around curl_easy_perform), in the words
/// every HttpClient uses. curl counts whole milliseconds, so its total limit may end a transfer up to about one
/// millisecond before `elapsed` reaches it.
std::string timeOutReason(CURL* curl, std::chrono::steady_clock::duration elapsed, const DownloadOptions& options,
                          const HttpTimeLimits& limits)
{
    curl_off_t connected = 0; // microseconds from the start to the connection; 0 when none was made
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
    if (options.totalTimeLimit.count() > 0 && elapsed + std::chrono::milliseconds(5) >= options.totalTimeLimit)
        return "not complete within " + std::to_string(options.totalTimeLimit.count()) + " ms";
    if (connected == 0)
        return "no connection within " + std::to_string(limits.connect.count()) + " ms";
    return "the transfer stood still for " + std::to_string(limits.stall.count()) + " s";
}

std::string nameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The body of a 200 answer, on its way into a temporary file beside the destination.
class BodyFile
{
public:
    BodyFile(CURL* curl, std::string destination, std::uint64_t maxBytes)
        : m_curl(curl), m_destination(std::move(destination)), m_maxBytes(maxBytes)
    {}
    ~BodyFile() { discard(); }
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    static size_t write(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<BodyFile*>(self)->append(data, size * count);
    }

    /// Why the transfer was stopped from here; empty when it was not.
    const std::string& failure() const { return m_failure; }

    /// Creates the temporary file (an empty body gives an empty file). False with failure() set when it fails.
    bool open()
    {
        if (m_fd >= 0)
            return true;
        m_temporary = folderOf(m_destination) + "/." + nameOf(m_destination) + ".kopirko-download-XXXXXX";
        m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        if (m_fd < 0) {
            m_failure = "cannot create a file in " + folderOf(m_destination) + ": " + std::strerror(errno);
            m_temporary.clear();
            return false;
        }
        return true;
    }

    /// Renames the complete file over the destination, keeping the destination's permissions when it exists.
    Result commit(DownloadedFileKind kind)
    {
        if (!open())
            return Result::failure(m_failure);
        mode_t mode = 0644;
        struct stat existing
        {};
        if (::stat(m_destination.c_str(), &existing) == 0)
            mode = existing.st_mode & 07777;
        if (kind == DownloadedFileKind::Program)
            mode |= (mode & 0444) >> 2; // runnable by whoever may read it
        if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)
            return Result::failure("cannot write " + m_destination + ": " + std::strerror(errno));
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            return Result::failure("cannot write " + m_destination + ": " + std::strerror(errno));
        if (::rename(m_temporary.c_str(), m_destination.c_str()) != 0) {
            const int error = errno;
            ::unlink(m_temporary.c_str());
            m_temporary.clear();
            return Result::failure("cannot replace " + m_destination + ": " + std::strerror(error));
        }
        m_temporary.clear();
        return Result::success();
    }

    void discard()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (!m_temporary.empty()) {
            ::unlink(m_temporary.c_str());
            m_temporary.clear();
        }
    }

private:
    size_t append(const char* data, size_t size)
    {
        long status = 0;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200)
            return size; // the body of an error page or of a redirect: not ours to keep
        if (size > m_maxBytes - m_written) {
            m_failure = "the answer is longer than " + std::to_string(m_maxBytes) + " bytes";
            return 0;
        }
        if (!open())
            return 0;
        size_t done = 0;
        while (done < size) {
            const ssize_t put = ::write(m_fd, data + done, size - done);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                m_failure = "cannot write " + m_destination + ": " + std::strerror(errno);
                return 0;
            }
            done += static_cast<size_t>(put);
        }
        m_written += size;
        return size;
    }

    CURL* m_curl;
    std::string m_destination;
    std::uint64_t m_maxBytes;
    std::uint64_t m_written = 0;
    std::string m_temporary;
    int m_fd = -1;
    std::string m_failure;
};

class EasyHandle
{
public:
    EasyHandle() : m_curl(curl_easy_init()) {}
    ~EasyHandle()
    {
        if (m_curl)
            curl_easy_cleanup(m_curl);
    }
    EasyHandle(const EasyHandle&) = delete;
    EasyHandle& operator=(const EasyHandle&) = delete;
    CURL* get() const { return m_curl; }

private:
    CURL* m_curl;
};

} // namespace

CurlHttpClient::CurlHttpClient() : CurlHttpClient(TimeLimits{}) {}

CurlHttpClient::CurlHttpClient(TimeLimits limits) : m_limits(limits)
{
    initialiseCurlOnce();
}

DownloadOutcome CurlHttpClient::download(const std::string& url, const std::string& destination,
                                         const DownloadOptions& options)
{
    DownloadOutcome outcome;
    EasyHandle handle;
    CURL* curl = handle.get();
    if (!curl) {
        outcome.result = Result::failure("cannot set up an HTTP request");
        return outcome;
    }
    BodyFile body(curl, destination, options.maxBytes);
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Timers instead of signals: the download may run beside other threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_limits.connect.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeLimit.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_limits.stall.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &BodyFile::write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const auto started = std::chrono::steady_clock::now();
    const CURLcode code = curl_easy_perform(curl);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &outcome.status);
    if (code != CURLE_OK) {
        std::string reason = !body.failure().empty() ? body.failure()
                             : errorText[0]          ? std::string(errorText)
                                                     : std::string(curl_easy_strerror(code));
        if (code == CURLE_FILESIZE_EXCEEDED)
            reason = "the answer is longer than " + std::to_string(options.maxBytes) + " bytes";
        if (code == CURLE_OPERATION_TIMEDOUT)
            reason = timeOutReason(curl, elapsed, options, m_limits);
        outcome.result = Result::failure(url + ": " + reason);
        return outcome;
    }
    if (outcome.status != 200) {
        outcome.result = Result::failure(url + ": the server answered " + std::to_string(outcome.status));
        return outcome;
    }
    outcome.result = body.commit(options.kind);
    return outcome;
}

bool CurlHttpClient::removeFromCache(const std::string&)
{
    return false;
}
