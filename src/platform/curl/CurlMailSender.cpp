#include "CurlMailSender.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/// The message, handed to libcurl piece by piece.
struct Upload
{
    const std::string& message;
    size_t sent = 0;

    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        auto& upload = *static_cast<Upload*>(self);
        const size_t piece = std::min(size * count, upload.message.size() - upload.sent);
        std::memcpy(buffer, upload.message.data() + upload.sent, piece);
        upload.sent += piece;
        return piece;
    }
};

/// The server's answers as libcurl's protocol trace shows them: the last one, and the first that refused
/// something (4xx, 5xx), which says why a sending failed better than the "221 Bye" that follows it.
struct ServerAnswers
{
    std::string last;
    std::string firstRefusal;

    const std::string& telling() const { return firstRefusal.empty() ? last : firstRefusal; }

    static int keep(CURL*, curl_infotype type, char* data, size_t size, void* self)
    {
        if (type != CURLINFO_HEADER_IN)
            return 0;
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        auto& answers = *static_cast<ServerAnswers*>(self);
        if (line.empty())
            return 0;
        answers.last = line;
        if (answers.firstRefusal.empty() && (line[0] == '4' || line[0] == '5'))
            answers.firstRefusal = line;
        return 0;
    }
};

/// "<address>", as MAIL FROM and RCPT TO take it.
std::string bracketed(const std::string& address)
{
    return "<" + address + ">";
}

struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct EasyDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

} // namespace

MailDelivery CurlMailSender::send(const MailServer& server, const MailEnvelope& envelope)
{
    initialiseCurlOnce();
    MailDelivery delivery;
    ServerAnswers answers; // before the handle: its clean-up may still trace the server's goodbye into it
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        delivery.result = Result::failure("the mail client could not be started");
        return delivery;
    }
    std::unique_ptr<curl_slist, SlistDeleter> recipients;
    for (const std::string& to : envelope.to) {
        curl_slist* grown = curl_slist_append(recipients.get(), bracketed(to).c_str());
        if (!grown) {
            delivery.result = Result::failure("out of memory");
            return delivery;
        }
        recipients.release();
        recipients.reset(grown);
    }

    const bool implicitTls = server.encryption == MailEncryption::Tls;
    // A name in brackets is an IPv6 address; anything else goes in as it is (the settings allow no other form).
    const std::string host = server.host.find(':') != std::string::npos ? "[" + server.host + "]" : server.host;
    const std::string url =
        std::string(implicitTls ? "smtps://" : "smtp://") + host + ":" + std::to_string(server.port);
    Upload upload{envelope.message};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, CURLPROTO_SMTP | CURLPROTO_SMTPS);
#endif
    curl_easy_setopt(handle, CURLOPT_USE_SSL,
                     server.encryption == MailEncryption::None ? CURLUSESSL_NONE : CURLUSESSL_ALL);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!server.certificateAuthorities.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, server.certificateAuthorities.c_str());
    if (!server.user.empty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, server.user.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, server.password.c_str());
    }
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, bracketed(envelope.from).c_str());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &Upload::read);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(envelope.message.size()));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    const long limit = static_cast<long>(std::max<std::chrono::milliseconds::rep>(server.timeLimit.count(), 1));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limit);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limit);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &ServerAnswers::keep);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &answers);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);

    const CURLcode code = curl_easy_perform(handle);
    delivery.serverAnswer = answers.telling();
    if (code == CURLE_OK) {
        delivery.result = Result::success();
        return delivery;
    }
    std::string reason = code == CURLE_OPERATION_TIMEDOUT
                             ? "the mail server did not finish within " + std::to_string(limit / 1000) + " s"
                             : std::string(curl_easy_strerror(code));
    if (detail[0] != '\0' && code != CURLE_OPERATION_TIMEDOUT)
        reason += std::string(" (") + detail + ")";
    if (!delivery.serverAnswer.empty())
        reason += "; the server answered: " + delivery.serverAnswer;
    delivery.result = Result::failure(reason);
    return delivery;
}
