// The object store client against a real S3-compatible store (radosgw, S3TestStore): what it stores is read back by
// an independent client (s3cmd), and what the store refuses comes back as a failure that says why.

#include "CurlObjectStore.h"
#include "OffsiteSender.h"
#include "S3TestStoreCase.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using TestFiles::noise;

/// A date `days` from now, as Object Lock takes it.
std::string daysAhead(int days)
{
    using namespace std::chrono;
    return OffsiteSender::isoMoment(floor<seconds>(system_clock::now()) + std::chrono::days(days));
}

class ObjectStoreTest : public S3TestStoreCase
{
protected:
    void SetUp() override
    {
        S3TestStoreCase::SetUp();
        prefix += "/";
    }

    /// A file of `bytes` in the test's folder, and the slice of all of it.
    FileSlice fileOf(const std::string& name, const std::string& bytes)
    {
        TestFiles::write(dir / name, bytes);
        return {dir / name, 0, bytes.size()};
    }

    TempDir dir;
};

struct RoundTripCase
{
    const char* name;
    const char* key;
    bool locked;
    friend void PrintTo(const RoundTripCase& row, std::ostream* out) { *out << row.name; }
};

class ObjectStoreRoundTrip : public ObjectStoreTest, public testing::WithParamInterface<RoundTripCase>
{};

TEST_P(ObjectStoreRoundTrip, storesWhatAnotherClientReadsBack)
{
    const RoundTripCase& row = GetParam();
    const ObjectStoreAccount account = found->account(row.locked);
    const std::string key = prefix + row.key;
    const std::string bytes = noise(300 * 1024 + 7, 1);
    PutOptions options;
    options.metadata = {{"modified", "1733580000123456789"}, {"size", std::to_string(bytes.size())}};
    const StoreAnswer put = store.putObject(account, key, fileOf("body", bytes), options);
    ASSERT_TRUE(put.result) << put.result.error();

    std::vector<StoredObject> listed;
    const StoreAnswer list = store.listObjects(account, prefix, listed);
    ASSERT_TRUE(list.result) << list.result.error();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].key, key);
    EXPECT_EQ(listed[0].size, bytes.size());

    StoredObject described;
    const StoreAnswer head = store.headObject(account, key, described);
    ASSERT_TRUE(head.result) << head.result.error();
    EXPECT_EQ(described.size, bytes.size());
    EXPECT_EQ(described.metadata, options.metadata);
    EXPECT_EQ(described.versionId.empty(), !row.locked); // a bucket with Object Lock keeps versions

    const StoreAnswer get = store.getObject(account, key, dir / "fetched");
    ASSERT_TRUE(get.result) << get.result.error();
    EXPECT_TRUE(TestFiles::read(dir / "fetched") == bytes);
    EXPECT_EQ(TestFiles::names(dir.path()), (std::vector<std::string>{"body", "fetched"}));

    ASSERT_EQ(found->s3cmd({"get", "s3://" + account.bucket + "/" + key, S3TestStore::localPath(dir / "by-s3cmd")}), 0);
    EXPECT_TRUE(TestFiles::read(dir / "by-s3cmd") == bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ObjectStoreRoundTrip,
    testing::Values(RoundTripCase{"cyrillicAndLatin", "05_12_2026_Računi_backup/Рачун за мај.txt", false},
                    RoundTripCase{"cyrillicLocked", "05_12_2026_Računi_backup/Šank/Ђурђа.mdb", true},
                    RoundTripCase{"signsOfQueriesAndPaths", "a+b&c=d%20e #f;g,h'i(j)~!$*@.txt", false}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

struct RefusalCase
{
    const char* name;
    void (*spoil)(ObjectStoreAccount&);
    long status;
    const char* code;
    friend void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }
};

class ObjectStoreRefusal : public ObjectStoreTest, public testing::WithParamInterface<RefusalCase>
{};

TEST_P(ObjectStoreRefusal, saysWhatTheStoreRefused)
{
    const RefusalCase& row = GetParam();
    ObjectStoreAccount account = found->account(false);
    row.spoil(account);
    const FileSlice body = fileOf("body", "dnevni promet");
    for (const StoreAnswer& answer :
         {store.checkBucket(account), store.putObject(account, prefix + "promet.txt", body, {})}) {
        EXPECT_FALSE(answer.result);
        EXPECT_EQ(answer.status, row.status);
        EXPECT_EQ(answer.code, row.code);
        EXPECT_NE(answer.result.error().find(row.code), std::string::npos) << answer.result.error();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, ObjectStoreRefusal,
    testing::Values(
        RefusalCase{"wrongSecret", [](ObjectStoreAccount& a) { a.secretKey += "x"; }, 403, "SignatureDoesNotMatch"},
        RefusalCase{"unknownKey", [](ObjectStoreAccount& a) { a.accessKey = "NOSUCHKEY"; }, 403, "InvalidAccessKeyId"},
        RefusalCase{"missingBucket", [](ObjectStoreAccount& a) { a.bucket = "nema-ga"; }, 404, "NoSuchBucket"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(ObjectStoreTest, aLargeFileGoesInPartsAndComesBackWhole)
{
    const ObjectStoreAccount account = found->account(true);
    const std::string key = prefix + "arhiva.zip";
    const std::uint64_t part = 5 << 20;
    const std::string bytes = noise(40 << 20, 2);
    const FileSlice whole = fileOf("arhiva.zip", bytes);
    PutOptions options;
    options.retention = ObjectRetention{"COMPLIANCE", daysAhead(1)};
    std::string uploadId;
    ASSERT_TRUE(store.startMultipartUpload(account, key, options, uploadId).result);
    std::vector<std::string> etags;
    for (std::uint64_t offset = 0; offset < bytes.size(); offset += part) {
        std::string etag;
        const FileSlice slice{whole.path, offset, std::min<std::uint64_t>(part, bytes.size() - offset)};
        const StoreAnswer sent = store.putPart(account, key, uploadId, static_cast<int>(etags.size() + 1), slice, etag);
        ASSERT_TRUE(sent.result) << sent.result.error();
        etags.push_back(etag);
    }
    const StoreAnswer completed = store.completeMultipartUpload(account, key, uploadId, etags);
    ASSERT_TRUE(completed.result) << completed.result.error();

    StoredObject described;
    ASSERT_TRUE(store.headObject(account, key, described).result);
    EXPECT_EQ(described.size, bytes.size());
    EXPECT_EQ(described.retainUntil.substr(0, 10), options.retention->retainUntil.substr(0, 10));
    ASSERT_TRUE(store.getObject(account, key, dir / "natrag.zip").result);
    EXPECT_TRUE(TestFiles::read(dir / "natrag.zip") == bytes);
}

TEST_F(ObjectStoreTest, anAbortedUploadLeavesNothingUnfinished)
{
    const ObjectStoreAccount account = found->account(false);
    const std::string key = prefix + "prekinuto.zip";
    std::string uploadId, etag;
    ASSERT_TRUE(store.startMultipartUpload(account, key, {}, uploadId).result);
    ASSERT_TRUE(store.putPart(account, key, uploadId, 1, fileOf("part", noise(5 << 20, 3)), etag).result);
    std::vector<std::pair<std::string, std::string>> uploads;
    ASSERT_TRUE(store.listMultipartUploads(account, prefix, uploads).result);
    EXPECT_EQ(uploads, (std::vector<std::pair<std::string, std::string>>{{key, uploadId}}));

    ASSERT_TRUE(store.abortMultipartUpload(account, key, uploadId).result);
    ASSERT_TRUE(store.listMultipartUploads(account, prefix, uploads).result);
    EXPECT_TRUE(uploads.empty());
    StoredObject described;
    EXPECT_EQ(store.headObject(account, key, described).status, 404);
}

TEST_F(ObjectStoreTest, aLockedVersionCannotBeDeletedWithTheSameKey)
{
    const ObjectStoreAccount account = found->account(true);
    bool locked = false;
    ASSERT_TRUE(store.bucketHasObjectLock(account, locked).result);
    EXPECT_TRUE(locked);
    ASSERT_TRUE(store.bucketHasObjectLock(found->account(false), locked).result);
    EXPECT_FALSE(locked);

    const std::string key = prefix + "zakljucano.txt";
    PutOptions options;
    options.retention = ObjectRetention{"COMPLIANCE", daysAhead(2)};
    ASSERT_TRUE(store.putObject(account, key, fileOf("body", "ne brisati"), options).result);
    StoredObject described;
    ASSERT_TRUE(store.headObject(account, key, described).result);
    EXPECT_FALSE(described.retainUntil.empty());

    const StoreAnswer refused = store.deleteObjectVersion(account, key, described.versionId);
    EXPECT_FALSE(refused.result);
    EXPECT_EQ(refused.status, 403);
    // A plain delete only hides it behind a marker; the version is still there, and still refuses.
    EXPECT_TRUE(store.deleteObject(account, key).result);
    EXPECT_EQ(store.deleteObjectVersion(account, key, described.versionId).status, 403);
    std::vector<StoredVersion> versions;
    ASSERT_TRUE(store.listObjectVersions(account, prefix, versions).result);
    ASSERT_EQ(versions.size(), 2u);
    const auto marker = std::find_if(versions.begin(), versions.end(), [](auto& v) { return v.deleteMarker; });
    ASSERT_NE(marker, versions.end());
    EXPECT_TRUE(marker->latest);
    EXPECT_NE(std::find_if(versions.begin(), versions.end(),
                           [&](auto& v) { return v.versionId == described.versionId && v.size == 10 && !v.latest; }),
              versions.end());
    // The marker itself holds no lock.
    EXPECT_TRUE(store.deleteObjectVersion(account, key, marker->versionId).result);
    EXPECT_TRUE(store.headObject(account, key, described).result);
}

/// The disk as the store reads it, but the file is rewritten (`change`) once its hashes were taken, just before
/// its second reading, the one that is sent.
class FileChangingAfterHashing : public SystemFileSystem
{
public:
    explicit FileChangingAfterHashing(std::string change) : m_change(std::move(change)) {}

    std::unique_ptr<InputFile> openForReading(const std::string& path, std::string& error) const override
    {
        class Changing : public InputFile
        {
        public:
            Changing(std::unique_ptr<InputFile> file, std::string path, std::string change)
                : m_file(std::move(file)), m_path(std::move(path)), m_change(std::move(change))
            {}
            std::optional<std::size_t> readAt(std::uint64_t offset, void* buffer, std::size_t size,
                                              std::string& error) override
            {
                if (offset == 0 && ++m_starts == 2)
                    TestFiles::write(m_path, m_change);
                return m_file->readAt(offset, buffer, size, error);
            }
            std::optional<FileStat> stat() const override { return m_file->stat(); }

        private:
            std::unique_ptr<InputFile> m_file;
            std::string m_path, m_change;
            int m_starts = 0;
        };
        auto file = SystemFileSystem::openForReading(path, error);
        return file ? std::make_unique<Changing>(std::move(file), path, m_change) : nullptr;
    }

private:
    std::string m_change;
};

TEST_F(ObjectStoreTest, aFileThatChangesAfterHashingIsNeverStored)
{
    const ObjectStoreAccount account = found->account(false);
    const std::string original = noise(2 << 20, 4);
    std::string sameSize = original;
    sameSize[sameSize.size() / 2] ^= 1;
    for (const std::string& change : {sameSize, original.substr(0, original.size() / 2)}) {
        FileChangingAfterHashing changingFiles(change);
        CurlObjectStore changingStore(changingFiles);
        const std::string key = prefix + std::to_string(change.size());
        const StoreAnswer put = changingStore.putObject(account, key, fileOf("body", original), {});
        EXPECT_FALSE(put.result);
        EXPECT_NE(put.result.error().find(dir / "body"), std::string::npos) << put.result.error();
        StoredObject described;
        EXPECT_EQ(store.headObject(account, key, described).status, 404);
    }
}

/// A TCP port of 127.0.0.1 that takes connections (the system completes them) and never answers; or, given an
/// `answer`, reads each request's head, writes `answer` and hangs up.
class LocalListener
{
public:
    explicit LocalListener(std::string answer = {}) : m_answer(std::move(answer))
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_socket, 8) == 0 && ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        if (port != 0 && !m_answer.empty())
            m_answering = std::thread([this] { answerUntilStopped(); });
    }
    ~LocalListener()
    {
        m_stop = true;
        if (m_answering.joinable())
            m_answering.join();
#ifdef _WIN32
        closesocket(m_socket);
        WSACleanup();
#else
        ::close(m_socket);
#endif
    }
    int port = 0;

private:
#ifdef _WIN32
    using Socket = SOCKET;
    static void hangUp(Socket socket)
    {
        closesocket(socket);
    }
#else
    using Socket = int;
    static void hangUp(Socket socket)
    {
        ::close(socket);
    }
#endif

    void answerUntilStopped()
    {
        while (!m_stop) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(m_socket, &ready);
            timeval wait{0, 50'000};
            if (::select(static_cast<int>(m_socket) + 1, &ready, nullptr, nullptr, &wait) <= 0)
                continue;
            const Socket client = ::accept(m_socket, nullptr, nullptr);
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const auto got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                head.append(buffer, static_cast<std::size_t>(got));
            }
            ::send(client, m_answer.data(), static_cast<int>(m_answer.size()), 0);
            hangUp(client);
        }
    }

    Socket m_socket;
    std::string m_answer;
    std::atomic<bool> m_stop{false};
    std::thread m_answering;
};

TEST_F(ObjectStoreTest, aStoreThatNeverAnswersFailsAfterTheStallLimit)
{
    LocalListener silent;
    ASSERT_NE(silent.port, 0);
    ObjectStoreAccount account = found->account(false);
    account.endpoint = "http://127.0.0.1:" + std::to_string(silent.port);
    account.stallTimeLimit = std::chrono::seconds(2);
    for (const StoreAnswer& answer :
         {store.checkBucket(account), store.putObject(account, prefix + "x", fileOf("body", "x"), {}),
          store.getObject(account, prefix + "x", dir / "fetched")}) {
        EXPECT_FALSE(answer.result);
        EXPECT_EQ(answer.status, 0);
        EXPECT_NE(answer.result.error().find("stood still for 2 s"), std::string::npos) << answer.result.error();
    }
    EXPECT_EQ(TestFiles::names(dir.path()), std::vector<std::string>{"body"});
}

// A store that answers 200 and then goes away in the middle of the body has not answered: the fetch is asked again
// and named as a store that does not answer, not as one that gave garbage, and no part of the object is left here.
TEST_F(ObjectStoreTest, aBodyThatBreaksOffIsNoAnswerAndLeavesNothing)
{
    LocalListener breaking("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nETag: \"x\"\r\n\r\n" + std::string(1000, 'k'));
    ASSERT_NE(breaking.port, 0);
    ObjectStoreAccount account = found->account(false);
    account.endpoint = "http://127.0.0.1:" + std::to_string(breaking.port);
    const StoreAnswer answer = store.getObject(account, prefix + "x", dir / "fetched");
    EXPECT_FALSE(answer.result);
    EXPECT_EQ(answer.status, 0) << answer.result.error();
    EXPECT_FALSE(answer.local);
    EXPECT_TRUE(TestFiles::names(dir.path()).empty());
}

} // namespace
