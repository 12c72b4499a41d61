#include "CurlObjectStore.h"

#include "Base64.h"
#include "ContentDigest.h"
#include "TemporaryNames.h"
#include "XmlElement.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

constexpr std::size_t readPiece = 1 << 20; ///< bytes read at once while hashing a file body
/// The most of an answer kept in memory: a page of a listing (1,000 keys) is some hundred KiB.
constexpr std::size_t answerLimit = 16 << 20;
/// The longest key a store takes (bytes of UTF-8).
constexpr std::size_t keyLimit = 1024;

std::string hex(const std::uint8_t* bytes, std::size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

/// The text of a value the store sent URL-encoded (`encoding-type=url`): %XX, and "+" for a blank as some stores
/// write it (a "+" of the key itself comes as %2B).
std::string urlDecoded(const std::string& text)
{
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            plain += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            plain += text[i] == '+' ? ' ' : text[i];
        }
    }
    return plain;
}

std::optional<std::uint64_t> parseSize(const std::string& text)
{
    if (text.empty() || text.size() > 19 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoull(text);
}

bool printableAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

Result checkKey(const std::string& key)
{
    if (key.empty())
        return Result::failure("an object needs a name");
    if (key.size() > keyLimit)
        return Result::failure("the object name \"" + key.substr(0, 64) + "...\" is longer than " +
                               std::to_string(keyLimit) + " bytes");
    return Result::success();
}

/// The headers of the object's metadata and retention, or why they cannot be sent.
Result putHeaders(const PutOptions& options, std::vector<std::string>& headers)
{
    for (auto it = options.metadata.begin(); it != options.metadata.end(); ++it) {
        const std::string& name = it->first;
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
            }))
            return Result::failure("the metadata name \"" + name + "\" is not lower-case letters, digits, - and _");
        // Signed headers are sorted as "name:value" lines: a name that another begins would come out of order.
        const auto next = std::next(it);
        if (next != options.metadata.end() && next->first.compare(0, name.size(), name) == 0)
            return Result::failure("the metadata names \"" + name + "\" and \"" + next->first +
                                   "\" begin alike; one must not begin another");
        const std::string& value = it->second;
        if (!printableAscii(value) || trimmed(value) != value || value.find("  ") != std::string::npos)
            return Result::failure("the metadata value of \"" + name +
                                   "\" is not printable ASCII without blanks at its ends or side by side");
        headers.push_back("x-amz-meta-" + name + ": " + value);
    }
    if (options.retention) {
        const ObjectRetention& retention = *options.retention;
        if (retention.mode != "COMPLIANCE" && retention.mode != "GOVERNANCE")
            return Result::failure("Object Lock has no mode \"" + retention.mode + "\"");
        if (retention.retainUntil.empty() ||
            retention.retainUntil.find_first_not_of("0123456789-:.+TZ") != std::string::npos)
            return Result::failure("the lock's date \"" + retention.retainUntil + "\" is no ISO 8601 date");
        headers.push_back("x-amz-object-lock-mode: " + retention.mode);
        headers.push_back("x-amz-object-lock-retain-until-date: " + retention.retainUntil);
    }
    return Result::success();
}

/// A file body on its way to the store: read from the file as libcurl asks, hashed again as it goes, and broken off
/// before its last byte when the file no longer holds what was hashed before the request.
struct FileBody
{
    FileBody(InputFile& file, const FileSlice& slice) : file(file), slice(slice) {}

    InputFile& file;
    const FileSlice& slice;
    ContentDigest::Sha256 expected{};
    std::unique_ptr<ContentDigest> check = std::make_unique<ContentDigest>();
    std::uint64_t sent = 0;
    std::string failure;

    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        auto& body = *static_cast<FileBody*>(self);
        const std::uint64_t left = body.slice.length - body.sent;
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size * count, left));
        if (wanted == 0)
            return 0;
        std::string error;
        const auto got = body.file.readAt(body.slice.offset + body.sent, buffer, wanted, error);
        if (!got) {
            body.failure = "cannot read " + body.slice.path + ": " + error;
            return CURL_READFUNC_ABORT;
        }
        if (*got < wanted) {
            body.failure = body.slice.path + " got shorter while it was sent";
            return CURL_READFUNC_ABORT;
        }
        body.check->add(buffer, *got);
        body.sent += *got;
        if (body.sent == body.slice.length) {
            ContentDigest::Sha256 sha256{};
            ContentDigest::Md5 md5{};
            body.check->finish(sha256, md5);
            if (sha256 != body.expected) {
                body.failure = body.slice.path + " changed while it was sent";
                return CURL_READFUNC_ABORT;
            }
        }
        return *got;
    }

    /// libcurl starts a body again (a connection that had to be made anew): only ever from its beginning.
    static int seek(void* self, curl_off_t offset, int origin)
    {
        auto& body = *static_cast<FileBody*>(self);
        if (offset != 0 || origin != SEEK_SET)
            return CURL_SEEKFUNC_CANTSEEK;
        body.sent = 0;
        body.check = std::make_unique<ContentDigest>();
        return CURL_SEEKFUNC_OK;
    }
};

/// A body held in memory (the XML of a completed multipart upload).
struct MemoryBody
{
    const std::string& text;
    std::size_t sent = 0;

    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        auto& body = *static_cast<MemoryBody*>(self);
        const std::size_t piece = std::min(size * count, body.text.size() - body.sent);
        std::memcpy(buffer, body.text.data() + body.sent, piece);
        body.sent += piece;
        return piece;
    }
    static int seek(void* self, curl_off_t offset, int origin)
    {
        if (offset != 0 || origin != SEEK_SET)
            return CURL_SEEKFUNC_CANTSEEK;
        static_cast<MemoryBody*>(self)->sent = 0;
        return CURL_SEEKFUNC_OK;
    }
};

/// A request's body, hashed, and ready to be handed to libcurl.
struct PreparedBody
{
    std::unique_ptr<InputFile> input;
    std::unique_ptr<FileBody> file;
    std::unique_ptr<MemoryBody> memory;
    std::string sha256Hex = ContentDigest::emptySha256Hex;
    std::string md5Base64; ///< empty: no body
};

/// Hashes the body (the slice `file` of a file, or `memory`; neither: none) into `body`, or says why not; a file's
/// hashes the caller took (`taken`) are used as they are.
Result prepareBody(FileSystem& files, const FileSlice* file, const std::string* memory, const PutOptions* taken,
                   PreparedBody& body)
{
    static const std::string nothing;
    if (!file && !memory) {
        body.memory = std::make_unique<MemoryBody>(MemoryBody{nothing});
        return Result::success();
    }
    ContentDigest digest;
    if (!digest.ready())
        return Result::failure("this computer's cryptography library gives no SHA-256 or MD5");
    if (file) {
        std::string error;
        body.input = files.openForReading(file->path, error);
        if (!body.input)
            return Result::failure("cannot open " + file->path + ": " + error);
        body.file = std::make_unique<FileBody>(*body.input, *file);
        if (taken && taken->sha256 && taken->md5) {
            // Hashed by the caller: the check as the bytes go is what holds them to these.
            body.file->expected = *taken->sha256;
            body.sha256Hex = hex(taken->sha256->data(), taken->sha256->size());
            body.md5Base64 = Base64::encode(std::string(reinterpret_cast<const char*>(taken->md5->data()), 16));
            return Result::success();
        }
        std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(readPiece, file->length)));
        for (std::uint64_t done = 0; done < file->length;) {
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file->length - done));
            const auto got = body.input->readAt(file->offset + done, buffer.data(), wanted, error);
            if (!got)
                return Result::failure("cannot read " + file->path + ": " + error);
            if (*got < wanted)
                return Result::failure(file->path + " holds fewer bytes than are to be sent");
            digest.add(buffer.data(), *got);
            done += *got;
        }
    } else {
        digest.add(memory->data(), memory->size());
        body.memory = std::make_unique<MemoryBody>(MemoryBody{*memory});
    }
    ContentDigest::Sha256 sha256{};
    ContentDigest::Md5 md5{};
    digest.finish(sha256, md5);
    if (body.file)
        body.file->expected = sha256;
    body.sha256Hex = hex(sha256.data(), sha256.size());
    body.md5Base64 = Base64::encode(std::string(reinterpret_cast<const char*>(md5.data()), md5.size()));
    return Result::success();
}

/// Why the store refused, in its own words, with a hint where the code points at the account.
std::string refusalReason(long status, const std::string& code, const std::string& message)
{
    std::string reason = "the store answered HTTP " + std::to_string(status);
    if (!code.empty())
        reason += " " + code;
    if (!message.empty())
        reason += ": " + message;
    if (code == "SignatureDoesNotMatch")
        reason += " (is the secret key right?)";
    else if (code == "InvalidAccessKeyId")
        reason += " (is the access key right?)";
    return reason;
}

} // namespace

struct CurlObjectStore::Request
{
    const char* method = "GET";
    std::string what;  ///< what the request does, for the reason of a failure ("sending \"b/k\"")
    std::string key;   ///< empty: the bucket itself
    std::string query; ///< canonical (see encode()), without "?"
    std::vector<std::string> headers;
    const FileSlice* file = nullptr;
    const std::string* memory = nullptr;
    const PutOptions* taken = nullptr;              ///< the file body's hashes, when the caller took them
    OutputFile* download = nullptr;                 ///< a 2xx answer's body goes here instead of Response::body
    const ObjectStore::FetchCheck* check = nullptr; ///< asked as the download goes whether to go on
};

struct CurlObjectStore::Response
{
    long status = 0;
    std::string body;                           ///< of an error, or of a 2xx answer when no download was given
    std::map<std::string, std::string> headers; ///< names in lower case, of the final answer
    std::string failure;                        ///< why the answer was not taken whole, from our side
    std::size_t downloaded = 0;
    bool stopped = false;    ///< the request's check said not to go on
    bool notWritten = false; ///< a download's bytes could not be written here (`failure` says why)

    static size_t header(char* data, size_t size, size_t count, void* self)
    {
        auto& response = *static_cast<Response*>(self);
        std::string line(data, size * count);
        if (line.rfind("HTTP/", 0) == 0) // a new answer (after "100 Continue"): its own headers
            response.headers.clear();
        const auto colon = line.find(':');
        if (colon != std::string::npos)
            response.headers[lowerCase(trimmed(line.substr(0, colon)))] = trimmed(line.substr(colon + 1));
        return size * count;
    }
};

CurlObjectStore::CurlObjectStore(FileSystem& files) : m_files(files) {}

CurlObjectStore::~CurlObjectStore()
{
    for (CURL* idle : m_idleHandles)
        curl_easy_cleanup(idle);
}

CURL* CurlObjectStore::takeHandle()
{
    initialiseCurlOnce();
    {
        std::lock_guard lock(m_mutex);
        if (!m_idleHandles.empty()) {
            CURL* handle = m_idleHandles.back();
            m_idleHandles.pop_back();
            return handle;
        }
    }
    return curl_easy_init();
}

void CurlObjectStore::giveBack(CURL* handle)
{
    if (!handle)
        return;
    // Its options go (they point into the request that is over); its open connection stays for the next request.
    curl_easy_reset(handle);
    std::lock_guard lock(m_mutex);
    if (m_idleHandles.size() < idleHandleLimit) {
        m_idleHandles.push_back(handle);
        return;
    }
    curl_easy_cleanup(handle);
}

std::string CurlObjectStore::encode(const std::string& text, bool keepSlash)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~' || (byte == '/' && keepSlash)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

StoreAnswer CurlObjectStore::perform(const ObjectStoreAccount& account, Request& request, Response& response)
{
    initialiseCurlOnce();
    StoreAnswer answer;
    const auto fail = [&](const std::string& reason) {
        answer.result = Result::failure(request.what + ": " + reason);
        return answer;
    };

    std::string endpoint = account.endpoint;
    while (!endpoint.empty() && endpoint.back() == '/')
        endpoint.pop_back();
    if (endpoint.rfind("https://", 0) != 0 && endpoint.rfind("http://", 0) != 0)
        return fail("the store's address \"" + account.endpoint + "\" does not begin with https:// or http://");
    if (endpoint.find('/', endpoint.find("//") + 2) != std::string::npos || endpoint.find('?') != std::string::npos)
        return fail("the store's address \"" + account.endpoint + "\" must not have a path");
    if (account.bucket.empty())
        return fail("no bucket is named");
    if (!request.key.empty()) {
        const Result key = checkKey(request.key);
        if (!key)
            return fail(key.error());
    }
    std::string url = endpoint + "/" + encode(account.bucket, false);
    if (!request.key.empty())
        url += "/" + encode(request.key, true);
    if (!request.query.empty())
        url += "?" + request.query;

    // The body's hashes, taken before anything is sent.
    PreparedBody body;
    if (const Result prepared = prepareBody(m_files, request.file, request.memory, request.taken, body); !prepared)
        return fail(prepared.error());

    // A handle of the pool, back to it when this request is done, whatever happens.
    std::unique_ptr<void, std::function<void(CURL*)>> curl(takeHandle(), [this](CURL* used) { giveBack(used); });
    if (!curl)
        return fail("the HTTP client could not be started");
    CURL* handle = curl.get();
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    std::vector<std::string> headerLines = request.headers;
    headerLines.push_back("x-amz-content-sha256: " + body.sha256Hex);
    if (!body.md5Base64.empty())
        headerLines.push_back("Content-MD5: " + body.md5Base64);
    for (const std::string& line : headerLines) {
        curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
        if (!grown)
            return fail("out of memory");
        headers.release();
        headers.reset(grown);
    }
    const std::string sigv4 = "aws:amz:" + (account.region.empty() ? std::string("us-east-1") : account.region) + ":s3";

    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
#endif
    // The path is signed as written: "/./" or "/../" in a key must reach the store as they are.
    curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(handle, CURLOPT_AWS_SIGV4, sigv4.c_str());
    curl_easy_setopt(handle, CURLOPT_USERNAME, account.accessKey.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, account.secretKey.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!account.certificateAuthorities.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, account.certificateAuthorities.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    const long connectLimit = static_cast<long>(std::max<std::int64_t>(account.connectTimeLimit.count(), 1));
    const long stallLimit = static_cast<long>(std::max<std::int64_t>(account.stallTimeLimit.count(), 1));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);
    // Less than a byte a second for the whole limit is standing still, sending or waiting for the answer alike.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallLimit);
    curl_easy_setopt(handle, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);

    const std::string method = request.method;
    const curl_off_t bodySize = request.file     ? static_cast<curl_off_t>(request.file->length)
                                : request.memory ? static_cast<curl_off_t>(request.memory->size())
                                                 : 0;
    if (method == "HEAD") {
        curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    } else if (method == "PUT") {
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, bodySize);
    } else if (method == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, bodySize);
    } else if (method != "GET") {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method);
    }
    if (body.file) {
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &FileBody::read);
        curl_easy_setopt(handle, CURLOPT_READDATA, body.file.get());
        curl_easy_setopt(handle, CURLOPT_SEEKFUNCTION, &FileBody::seek);
        curl_easy_setopt(handle, CURLOPT_SEEKDATA, body.file.get());
    } else if (body.memory) { // also the empty body of a POST that has none
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &MemoryBody::read);
        curl_easy_setopt(handle, CURLOPT_READDATA, body.memory.get());
        curl_easy_setopt(handle, CURLOPT_SEEKFUNCTION, &MemoryBody::seek);
        curl_easy_setopt(handle, CURLOPT_SEEKDATA, body.memory.get());
    }
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &Response::header);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &response);

    struct Sink
    {
        CURL* curl;
        Response& response;
        OutputFile* download;
        const FetchCheck* check;

        /// libcurl's progress: after each piece, and about once a second while nothing comes.
        static int progress(void* self, curl_off_t total, curl_off_t, curl_off_t, curl_off_t)
        {
            auto& sink = *static_cast<Sink*>(self);
            long status = 0;
            curl_easy_getinfo(sink.curl, CURLINFO_RESPONSE_CODE, &status);
            const bool body = status >= 200 && status < 300 && total > 0; // not an error answer's length
            if ((*sink.check)(sink.response.downloaded, body ? static_cast<std::uint64_t>(total) : 0))
                return 0;
            sink.response.stopped = true;
            return 1;
        }

        static size_t write(char* data, size_t size, size_t count, void* self)
        {
            auto& sink = *static_cast<Sink*>(self);
            const std::size_t bytes = size * count;
            long status = 0;
            curl_easy_getinfo(sink.curl, CURLINFO_RESPONSE_CODE, &status);
            if (sink.download && status >= 200 && status < 300) {
                const Result written = sink.download->write(data, bytes);
                if (!written) {
                    sink.response.failure = written.error();
                    sink.response.notWritten = true;
                    return 0;
                }
                sink.response.downloaded += bytes;
                return bytes;
            }
            if (sink.response.body.size() + bytes > answerLimit) {
                sink.response.failure =
                    "the store's answer is longer than " + std::to_string(answerLimit >> 20) + " MiB";
                return 0;
            }
            sink.response.body.append(data, bytes);
            return bytes;
        }
    } sink{handle, response, request.download, request.check};
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Sink::write);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    if (request.check && *request.check) {
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Sink::progress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &sink);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode code = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    answer.status = response.status;
    if (response.stopped) {
        answer.status = 0; // no whole answer, and not the store's doing
        return fail("stopped before the whole object came");
    }

    // An error answer tells why in its body (HEAD answers have none).
    std::string storeMessage;
    if (response.status >= 300) {
        if (const auto xml = XmlElement::parse(response.body); xml && xml->name() == "Error") {
            answer.code = xml->childText("Code");
            storeMessage = xml->childText("Message");
        }
    }
    if (code != CURLE_OK && response.status < 300) {
        // Nothing was answered, or the answer did not come whole.
        if (response.status == 0 || response.status == 100)
            answer.status = 0;
        if (body.file && !body.file->failure.empty())
            return fail(body.file->failure + "; nothing was stored");
        if (!response.failure.empty())
            return fail(response.failure);
        // A success status whose body then broke off (the store went away, the line dropped, it stood still) is
        // no answer either: asked again, and named as a store that does not answer, not as one that answered
        // garbage.
        answer.status = 0;
        if (code == CURLE_OPERATION_TIMEDOUT) {
            curl_off_t connected = 0;
            curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connected);
            if (connected == 0)
                return fail("no connection to " + endpoint + " within " + std::to_string(connectLimit) + " ms");
            return fail("the store at " + endpoint + " stood still for " + std::to_string(stallLimit) + " s");
        }
        std::string reason = curl_easy_strerror(code);
        if (detail[0] != '\0')
            reason += std::string(" (") + detail + ")";
        return fail(reason);
    }
    if (response.status >= 200 && response.status < 300) {
        answer.result = Result::success();
        return answer;
    }
    return fail(refusalReason(response.status, answer.code, storeMessage));
}

StoreAnswer CurlObjectStore::checkBucket(const ObjectStoreAccount& account)
{
    // A listing of no keys rather than HEAD: it needs the same permission, and its error answer has a body
    // that says why (HEAD answers have none).
    Request request;
    request.what = "checking the bucket \"" + account.bucket + "\"";
    request.query = "list-type=2&max-keys=0";
    Response response;
    return perform(account, request, response);
}

StoreAnswer CurlObjectStore::bucketHasObjectLock(const ObjectStoreAccount& account, bool& enabled)
{
    enabled = false;
    Request request;
    request.what = "reading the Object Lock of \"" + account.bucket + "\"";
    request.query = "object-lock=";
    Response response;
    StoreAnswer answer = perform(account, request, response);
    if (answer.code == "ObjectLockConfigurationNotFoundError") {
        answer.result = Result::success();
        return answer;
    }
    if (!answer.result)
        return answer;
    const auto xml = XmlElement::parse(response.body);
    if (!xml || xml->name() != "ObjectLockConfiguration") {
        answer.result = Result::failure(request.what + ": the store's answer is no Object Lock configuration");
        return answer;
    }
    enabled = xml->childText("ObjectLockEnabled") == "Enabled";
    return answer;
}

StoreAnswer CurlObjectStore::listObjects(const ObjectStoreAccount& account, const std::string& prefix,
                                         std::vector<StoredObject>& objects)
{
    objects.clear();
    std::string token;
    std::set<std::string> tokensSeen;
    while (true) {
        Request request;
        request.what = "listing \"" + account.bucket + "/" + prefix + "\"";
        // Sorted by name, as the signature wants them. Keys come URL-encoded: a name may hold what XML cannot.
        request.query = (token.empty() ? std::string() : "continuation-token=" + encode(token, false) + "&") +
                        "encoding-type=url&list-type=2&prefix=" + encode(prefix, false);
        Response response;
        StoreAnswer answer = perform(account, request, response);
        if (!answer.result)
            return answer;
        const auto xml = XmlElement::parse(response.body);
        if (!xml || xml->name() != "ListBucketResult") {
            answer.result = Result::failure(request.what + ": the store's answer is no listing");
            return answer;
        }
        // A store that does not know encoding-type says nothing of it, and sends the keys as they are.
        const bool encoded = xml->childText("EncodingType") == "url";
        for (const XmlElement& entry : xml->children()) {
            if (entry.name() != "Contents")
                continue;
            StoredObject object;
            object.key = entry.childText("Key");
            if (encoded)
                object.key = urlDecoded(object.key);
            const auto size = parseSize(entry.childText("Size"));
            if (object.key.empty() || !size) {
                answer.result = Result::failure(request.what + ": the store listed an object without name or size");
                return answer;
            }
            object.size = *size;
            object.etag = entry.childText("ETag");
            if (object.etag.size() >= 2 && object.etag.front() == '"' && object.etag.back() == '"')
                object.etag = object.etag.substr(1, object.etag.size() - 2);
            objects.push_back(std::move(object));
        }
        if (xml->childText("IsTruncated") != "true")
            return answer;
        token = xml->childText("NextContinuationToken");
        // A store that gave no new place to go on from would have this list for good.
        if (token.empty() || !tokensSeen.insert(token).second) {
            answer.result = Result::failure(request.what + ": the store's listing does not go on");
            return answer;
        }
    }
}

StoreAnswer CurlObjectStore::headObject(const ObjectStoreAccount& account, const std::string& key, StoredObject& object)
{
    object = StoredObject{};
    Request request;
    request.method = "HEAD";
    request.what = "looking up \"" + account.bucket + "/" + key + "\"";
    request.key = key;
    Response response;
    StoreAnswer answer = perform(account, request, response);
    if (answer.status == 404 && answer.code.empty())
        answer.result = Result::failure(request.what + ": there is no such object (HTTP 404)");
    if (!answer.result)
        return answer;
    object.key = key;
    const auto size = parseSize(response.headers["content-length"]);
    if (!size) {
        answer.result = Result::failure(request.what + ": the store's answer gives no size");
        return answer;
    }
    object.size = *size;
    static const std::string metaPrefix = "x-amz-meta-";
    for (const auto& [name, value] : response.headers)
        if (name.rfind(metaPrefix, 0) == 0)
            object.metadata[name.substr(metaPrefix.size())] = value;
    object.retainUntil = response.headers["x-amz-object-lock-retain-until-date"];
    object.versionId = response.headers["x-amz-version-id"];
    if (object.versionId == "null") // a bucket that keeps no versions
        object.versionId.clear();
    return answer;
}

StoreAnswer CurlObjectStore::putObject(const ObjectStoreAccount& account, const std::string& key, const FileSlice& body,
                                       const PutOptions& options)
{
    Request request;
    request.method = "PUT";
    request.what = "sending \"" + account.bucket + "/" + key + "\"";
    request.key = key;
    request.file = &body;
    request.taken = &options;
    Response response;
    if (const Result headers = putHeaders(options, request.headers); !headers) {
        StoreAnswer answer;
        answer.result = Result::failure(request.what + ": " + headers.error());
        return answer;
    }
    return perform(account, request, response);
}

StoreAnswer CurlObjectStore::startMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                                  const PutOptions& options, std::string& uploadId)
{
    uploadId.clear();
    Request request;
    request.method = "POST";
    request.what = "beginning to send \"" + account.bucket + "/" + key + "\" in parts";
    request.key = key;
    request.query = "uploads=";
    // The object gets the type of this request; without one libcurl would send a form's.
    request.headers.push_back("Content-Type: application/octet-stream");
    if (const Result headers = putHeaders(options, request.headers); !headers) {
        StoreAnswer answer;
        answer.result = Result::failure(request.what + ": " + headers.error());
        return answer;
    }
    Response response;
    StoreAnswer answer = perform(account, request, response);
    if (!answer.result)
        return answer;
    const auto xml = XmlElement::parse(response.body);
    if (!xml || xml->name() != "InitiateMultipartUploadResult" || xml->childText("UploadId").empty()) {
        answer.result = Result::failure(request.what + ": the store's answer names no upload");
        return answer;
    }
    uploadId = xml->childText("UploadId");
    if (options.retention) {
        std::lock_guard lock(m_mutex);
        m_uploadRetention[uploadId] = *options.retention;
    }
    return answer;
}

StoreAnswer CurlObjectStore::putPart(const ObjectStoreAccount& account, const std::string& key,
                                     const std::string& uploadId, int partNumber, const FileSlice& body,
                                     std::string& etag)
{
    etag.clear();
    Request request;
    request.method = "PUT";
    request.what = "sending part " + std::to_string(partNumber) + " of \"" + account.bucket + "/" + key + "\"";
    if (partNumber < 1 || partNumber > 10000) {
        StoreAnswer answer;
        answer.result = Result::failure(request.what + ": parts are numbered 1 to 10,000");
        return answer;
    }
    request.key = key;
    request.query = "partNumber=" + std::to_string(partNumber) + "&uploadId=" + encode(uploadId, false);
    request.file = &body;
    Response response;
    StoreAnswer answer = perform(account, request, response);
    if (!answer.result)
        return answer;
    etag = response.headers["etag"];
    if (etag.empty())
        answer.result = Result::failure(request.what + ": the store's answer gives no ETag");
    return answer;
}

StoreAnswer CurlObjectStore::completeMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                                     const std::string& uploadId, const std::vector<std::string>& etags)
{
    Request request;
    request.method = "POST";
    request.what = "completing \"" + account.bucket + "/" + key + "\" of its parts";
    request.key = key;
    request.query = "uploadId=" + encode(uploadId, false);
    request.headers.push_back("Content-Type: application/xml");
    std::string body = "<CompleteMultipartUpload>";
    for (std::size_t i = 0; i < etags.size(); ++i) {
        std::string etag;
        for (const char c : etags[i]) {
            if (c == '&')
                etag += "&amp;";
            else if (c == '<')
                etag += "&lt;";
            else if (c == '>')
                etag += "&gt;";
            else
                etag += c;
        }
        body += "<Part><PartNumber>" + std::to_string(i + 1) + "</PartNumber><ETag>" + etag + "</ETag></Part>";
    }
    body += "</CompleteMultipartUpload>";
    request.memory = &body;
    Response response;
    StoreAnswer answer = perform(account, request, response);
    if (!answer.result)
        return answer;
    // The store answers 200 at once and may find the parts wrong only later: its verdict is the body.
    const auto xml = XmlElement::parse(response.body);
    if (xml && xml->name() == "Error") {
        answer.code = xml->childText("Code");
        answer.result =
            Result::failure(request.what + ": the store answered " + answer.code + ": " + xml->childText("Message"));
    } else if (!xml || xml->name() != "CompleteMultipartUploadResult") {
        answer.result = Result::failure(request.what + ": the store's answer does not say the object was made");
    }
    if (!answer.result)
        return answer;
    std::optional<ObjectRetention> retention;
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_uploadRetention.find(uploadId); found != m_uploadRetention.end()) {
            retention = found->second;
            m_uploadRetention.erase(found);
        }
    }
    if (!retention)
        return answer;
    StoredObject made;
    StoreAnswer looked = headObject(account, key, made);
    if (looked.result && made.retainUntil.empty())
        looked = putRetention(account, key, made.versionId, *retention);
    if (!looked.result)
        return looked;
    return answer;
}

StoreAnswer CurlObjectStore::putRetention(const ObjectStoreAccount& account, const std::string& key,
                                          const std::string& versionId, const ObjectRetention& retention)
{
    Request request;
    request.method = "PUT";
    request.what = "locking \"" + account.bucket + "/" + key + "\" until " + retention.retainUntil;
    request.key = key;
    request.query = "retention=" + (versionId.empty() ? std::string() : "&versionId=" + encode(versionId, false));
    const std::string body = "<Retention><Mode>" + retention.mode + "</Mode><RetainUntilDate>" + retention.retainUntil +
                             "</RetainUntilDate></Retention>";
    request.memory = &body;
    request.headers.push_back("Content-Type: application/xml");
    Response response;
    return perform(account, request, response);
}

StoreAnswer CurlObjectStore::abortMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                                  const std::string& uploadId)
{
    StoreAnswer answer = sendDelete(account, key, "uploadId=" + encode(uploadId, false),
                                    "throwing away the unfinished \"" + account.bucket + "/" + key + "\"");
    if (answer.result) {
        std::lock_guard lock(m_mutex);
        m_uploadRetention.erase(uploadId);
    }
    return answer;
}

StoreAnswer CurlObjectStore::listByMarkers(const ObjectStoreAccount& account, const MarkerListing& listing,
                                           const std::function<Result(const XmlElement&, bool)>& takePage)
{
    std::string keyMarker, secondMarker;
    std::set<std::pair<std::string, std::string>> markersSeen;
    while (true) {
        Request request;
        request.what = listing.what;
        // Sorted by name, as the signature wants them; the next page goes on from both markers of the last.
        request.query =
            "encoding-type=url&" +
            (keyMarker.empty() ? std::string() : "key-marker=" + encode(keyMarker, false) + "&") +
            "prefix=" + encode(listing.prefix, false) + "&" +
            (secondMarker.empty() ? std::string()
                                  : std::string(listing.secondMarker) + "=" + encode(secondMarker, false) + "&") +
            listing.subresource + "=";
        Response response;
        StoreAnswer answer = perform(account, request, response);
        if (!answer.result)
            return answer;
        const auto xml = XmlElement::parse(response.body);
        if (!xml || xml->name() != listing.root) {
            answer.result = Result::failure(request.what + ": the store's answer is no such list");
            return answer;
        }
        const bool encoded = xml->childText("EncodingType") == "url";
        if (const Result taken = takePage(*xml, encoded); !taken) {
            answer.result = Result::failure(request.what + ": " + taken.error());
            return answer;
        }
        if (xml->childText("IsTruncated") != "true")
            return answer;
        keyMarker = xml->childText("NextKeyMarker");
        if (encoded)
            keyMarker = urlDecoded(keyMarker);
        secondMarker = xml->childText(listing.nextSecondMarker);
        // A store that gave no new place to go on from would have this list for good.
        if (keyMarker.empty() || !markersSeen.insert({keyMarker, secondMarker}).second) {
            answer.result = Result::failure(request.what + ": the store's list does not go on");
            return answer;
        }
    }
}

StoreAnswer CurlObjectStore::listMultipartUploads(const ObjectStoreAccount& account, const std::string& prefix,
                                                  std::vector<std::pair<std::string, std::string>>& uploads)
{
    uploads.clear();
    const MarkerListing listing{"listing the unfinished uploads under \"" + account.bucket + "/" + prefix + "\"",
                                prefix,
                                "uploads",
                                "upload-id-marker",
                                "NextUploadIdMarker",
                                "ListMultipartUploadsResult"};
    return listByMarkers(account, listing, [&](const XmlElement& page, bool encoded) {
        for (const XmlElement& entry : page.children())
            if (entry.name() == "Upload")
                uploads.emplace_back(encoded ? urlDecoded(entry.childText("Key")) : entry.childText("Key"),
                                     entry.childText("UploadId"));
        return Result::success();
    });
}

StoreAnswer CurlObjectStore::listObjectVersions(const ObjectStoreAccount& account, const std::string& prefix,
                                                std::vector<StoredVersion>& versions)
{
    versions.clear();
    const MarkerListing listing{"listing the versions under \"" + account.bucket + "/" + prefix + "\"",
                                prefix,
                                "versions",
                                "version-id-marker",
                                "NextVersionIdMarker",
                                "ListVersionsResult"};
    return listByMarkers(account, listing, [&](const XmlElement& page, bool encoded) {
        for (const XmlElement& entry : page.children()) {
            if (entry.name() != "Version" && entry.name() != "DeleteMarker")
                continue;
            StoredVersion version;
            version.key = encoded ? urlDecoded(entry.childText("Key")) : entry.childText("Key");
            version.versionId = entry.childText("VersionId");
            version.deleteMarker = entry.name() == "DeleteMarker";
            version.latest = entry.childText("IsLatest") == "true";
            const auto size = parseSize(entry.childText("Size"));
            if (version.key.empty() || version.versionId.empty() || (!version.deleteMarker && !size))
                return Result::failure("the store listed a version without name or size");
            version.size = version.deleteMarker ? 0 : *size;
            versions.push_back(std::move(version));
        }
        return Result::success();
    });
}

StoreAnswer CurlObjectStore::sendDelete(const ObjectStoreAccount& account, const std::string& key, std::string query,
                                        std::string what)
{
    Request request;
    request.method = "DELETE";
    request.what = std::move(what);
    request.key = key;
    request.query = std::move(query);
    Response response;
    return perform(account, request, response);
}

StoreAnswer CurlObjectStore::deleteObject(const ObjectStoreAccount& account, const std::string& key)
{
    return sendDelete(account, key, {}, "deleting \"" + account.bucket + "/" + key + "\"");
}

StoreAnswer CurlObjectStore::deleteObjectVersion(const ObjectStoreAccount& account, const std::string& key,
                                                 const std::string& versionId)
{
    std::string what = "deleting version " + versionId + " of \"" + account.bucket + "/" + key + "\"";
    if (versionId.empty()) {
        StoreAnswer answer;
        answer.result = Result::failure(what + ": no version is named");
        return answer;
    }
    return sendDelete(account, key, "versionId=" + encode(versionId, false), std::move(what));
}

StoreAnswer CurlObjectStore::getObject(const ObjectStoreAccount& account, const std::string& key,
                                       const std::string& destination, const FetchCheck& check)
{
    Request request;
    request.what = "fetching \"" + account.bucket + "/" + key + "\"";
    request.key = key;
    request.check = &check;
    const std::string temporary = TemporaryNames::beside(destination);
    std::string error;
    std::unique_ptr<OutputFile> output = m_files.createFile(temporary, error);
    if (!output) {
        StoreAnswer answer;
        answer.result = Result::failure(request.what + ": cannot create " + temporary + ": " + error);
        answer.local = true;
        return answer;
    }
    request.download = output.get();
    Response response;
    StoreAnswer answer = perform(account, request, response);
    answer.local = response.notWritten;
    Result placed = answer.result;
    if (placed) {
        const auto announced = parseSize(response.headers["content-length"]);
        if (announced && *announced != response.downloaded)
            placed = Result::failure(request.what + ": " + std::to_string(response.downloaded) + " of " +
                                     std::to_string(*announced) + " bytes came");
    }
    if (placed) {
        placed = output->close();
        output.reset();
        if (placed)
            placed = m_files.rename(temporary, destination);
        if (!placed) {
            placed = Result::failure(request.what + ": " + placed.error());
            answer.local = true;
        }
    }
    if (!placed) {
        output.reset();
        m_files.removeFile(temporary, RemoveMode::Forced);
        answer.result = placed;
    }
    return answer;
}
