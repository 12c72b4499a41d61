#include "DownloadFile.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

const std::string earlier = "1016\r\nan earlier copy that must survive a failed download\r\n";

std::string binaryBody()
{
    std::string body;
    for (int i = 0; i < 3000; ++i)
        body.push_back(static_cast<char>(i * 7 % 256));
    return body + "\r\n\n\r\0end" + std::string(1, '\0');
}

struct DownloadCase
{
    const char* name;
    std::function<void(TestHttpServer&)> setUp;
    std::string path;
    bool written;         ///< the destination holds `expected` afterwards; otherwise it is as before
    std::string expected; ///< when written
};

std::ostream& operator<<(std::ostream& out, const DownloadCase& c)
{
    return out << c.name;
}

class DownloadFileTest : public testing::TestWithParam<std::tuple<DownloadCase, bool>>
{
protected:
    /// The names in the folder: a download leaves no temporary file behind, whatever happened.
    std::vector<std::string> namesInFolder() const
    {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(folder.path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    DownloadOptions options{4096, 10s, DownloadedFileKind::Data};
};

TEST_P(DownloadFileTest, OnlyACompleteOkAnswerReplacesTheFile)
{
    const auto& [c, fileExistedBefore] = GetParam();
    const std::string destination = folder / "versiontmp.txt";
    if (fileExistedBefore)
        TestFiles::write(destination, earlier);
    c.setUp(server);

    const Result result = DownloadFile(platform.services, server.url(c.path), destination, options);

    EXPECT_EQ(result.ok(), c.written) << result.error();
    if (c.written) {
        EXPECT_EQ(TestFiles::read(destination), c.expected);
    } else if (fileExistedBefore) {
        EXPECT_EQ(TestFiles::read(destination), earlier);
    } else {
        EXPECT_FALSE(TestFiles::exists(destination));
    }
    const bool present = c.written || fileExistedBefore;
    EXPECT_EQ(namesInFolder(), present ? std::vector<std::string>{"versiontmp.txt"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloadFileTest,
    testing::Combine(
        testing::Values(
            DownloadCase{"Ok", [](TestHttpServer& s) { s.serve("/version.txt", "1017\r\n"); }, "/version.txt", true,
                         "1017\r\n"},
            DownloadCase{"OkBinaryByteForByte", [](TestHttpServer& s) { s.serve("/updater.exe", binaryBody()); },
                         "/updater.exe", true, binaryBody()},
            DownloadCase{"OkEmpty", [](TestHttpServer& s) { s.serve("/version.txt", ""); }, "/version.txt", true, ""},
            DownloadCase{"OkExactlyAtTheLimit",
                         [](TestHttpServer& s) { s.serve("/version.txt", std::string(4096, '7')); }, "/version.txt",
                         true, std::string(4096, '7')},
            DownloadCase{"NotFound", [](TestHttpServer&) {}, "/version.txt", false, ""},
            DownloadCase{"ServerError", [](TestHttpServer& s) { s.serve("/version.txt", "1099", 500); }, "/version.txt",
                         false, ""},
            DownloadCase{"OtherSuccessStatus", [](TestHttpServer& s) { s.serve("/version.txt", "1099", 203); },
                         "/version.txt", false, ""},
            DownloadCase{"RedirectFollowed",
                         [](TestHttpServer& s) {
                             s.redirect("/version.txt", "/new/version.txt");
                             s.serve("/new/version.txt", "1020\r\n");
                         },
                         "/version.txt", true, "1020\r\n"},
            DownloadCase{"RedirectToNothing", [](TestHttpServer& s) { s.redirect("/version.txt", "/gone.txt", 301); },
                         "/version.txt", false, ""},
            DownloadCase{"RedirectLoop", [](TestHttpServer& s) { s.redirect("/version.txt", "/version.txt"); },
                         "/version.txt", false, ""},
            DownloadCase{"OverTheLimitWithLength",
                         [](TestHttpServer& s) { s.serve("/version.txt", std::string(4097, '7')); }, "/version.txt",
                         false, ""},
            DownloadCase{"OverTheLimitWithoutLength",
                         [](TestHttpServer& s) { s.serveChunked("/version.txt", std::string(5000, '7')); },
                         "/version.txt", false, ""},
            DownloadCase{"ChunkedWithinTheLimit",
                         [](TestHttpServer& s) { s.serveChunked("/version.txt", std::string(2500, '8')); },
                         "/version.txt", true, std::string(2500, '8')},
            DownloadCase{"StallsHalfway", [](TestHttpServer& s) { s.stallAfter("/version.txt", "10"); }, "/version.txt",
                         false, ""}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<DownloadCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_OverAnEarlierFile" : "");
    });

class DownloadFailures : public testing::Test
{
protected:
    TempDir folder;
    TestPlatform platform;
    DownloadOptions options{4096, 10s, DownloadedFileKind::Data};
};

TEST_F(DownloadFailures, AServerThatNeverAnswersIsGivenUp)
{
    SilentServer silent;
    const std::string destination = folder / "versiontmp.txt";
    TestFiles::write(destination, earlier);

    const Result result =
        DownloadFile(platform.services, "http://" + silent.hostAndPort() + "/version.txt", destination, options);

    EXPECT_FALSE(result);
    EXPECT_TRUE(silent.wasConnected());
    EXPECT_EQ(TestFiles::read(destination), earlier);
}

TEST_F(DownloadFailures, NoServerAtAll)
{
    const std::string destination = folder / "versiontmp.txt";
    const Result result =
        DownloadFile(platform.services, "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/version.txt",
                     destination, options);
    EXPECT_FALSE(result);
    EXPECT_FALSE(TestFiles::exists(destination));
}

TEST_F(DownloadFailures, OnlyWebAddressesAreFetched)
{
    TestFiles::write(folder / "secret.txt", "1099\r\n");
    const std::string destination = folder / "versiontmp.txt";
    const Result result =
        DownloadFile(platform.services, "file://" + folder.path() + "/secret.txt", destination, options);
    EXPECT_FALSE(result);
    EXPECT_FALSE(TestFiles::exists(destination));
}

TEST_F(DownloadFailures, AFileThatCannotBeWrittenLeavesNothingBehind)
{
    TestHttpServer server;
    server.serve("/version.txt", "1017\r\n");
    const std::string destination = folder / "versiontmp.txt";
    TestFiles::makeFolder(destination); // a folder in the way: the rename fails

    const Result result = DownloadFile(platform.services, server.url("/version.txt"), destination, options);

    EXPECT_FALSE(result);
    EXPECT_TRUE(std::filesystem::is_directory(destination));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

mode_t modeOf(const std::string& path)
{
    struct stat status
    {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

TEST(DownloadedProgram, CanBeStartedAndKeepsThePermissionsOfTheFileItReplaces)
{
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    server.serve("/updater.exe", "#!/bin/sh\nexit 0\n");
    const DownloadOptions program{4096, 10s, DownloadedFileKind::Program};
    const DownloadOptions data{4096, 10s, DownloadedFileKind::Data};

    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "new.exe", program));
    EXPECT_EQ(modeOf(folder / "new.exe") & 0111, 0111u);

    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "data.txt", data));
    EXPECT_EQ(modeOf(folder / "data.txt") & 0111, 0u);

    TestFiles::write(folder / "old.exe", "old");
    std::filesystem::permissions(folder / "old.exe", std::filesystem::perms(0750));
    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "old.exe", program));
    EXPECT_EQ(modeOf(folder / "old.exe"), 0750u);
}

/// A cache that holds `copies` copies of every address.
class CachingClient : public HttpClient
{
public:
    explicit CachingClient(int copies) : m_copies(copies) {}
    int removals = 0;
    DownloadOutcome download(const std::string&, const std::string&, const DownloadOptions&) override { return {}; }
    bool removeFromCache(const std::string&) override
    {
        ++removals;
        return m_copies < 0 || removals <= m_copies;
    }

private:
    int m_copies;
};

TEST(PurgeUrlCache, RemovesEveryCachedCopyThenWaitsASecond)
{
    for (const int copies : {0, 3, -1}) {
        SCOPED_TRACE(copies);
        TestPlatform test;
        CachingClient cache(copies);
        const PlatformServices& s = test.services;
        const PlatformServices withCache{s.appInfo,        s.clock,        s.fileSystem, s.launcher, s.terminator,
                                         s.instanceLock,   s.messages,     s.power,      s.web,      s.networkHosts,
                                         s.remoteShutdown, s.connectivity, cache,        s.pause};

        PurgeUrlCache(withCache, "http://127.0.0.1/kopirko/version.txt");

        // A cache that never runs dry (-1) must not hold the start for ever.
        const int expectedRemovals = copies < 0 ? 100 : copies + 1;
        EXPECT_EQ(cache.removals, expectedRemovals);
        std::vector<std::string> expected(static_cast<size_t>(expectedRemovals), "events");
        expected.push_back("sleep 1000");
        EXPECT_EQ(test.pause.calls, expected);
    }
}

} // namespace
