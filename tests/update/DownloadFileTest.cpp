#include "DownloadFile.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using namespace std::chrono_literals;
using Kind = TestHttpServer::Kind;

const std::string earlier = "1016\r\nan earlier copy that must survive a failed download\r\n";
const std::string binary = std::string("\x7F\0\r\n\n\r\xFF\xFE", 8) + std::string(3000, '\0') + "end";

struct DownloadCase
{
    const char* name;
    std::function<void(TestHttpServer&)> setUp;
    std::optional<std::string> written; ///< what the destination holds afterwards; nothing: as it was before
};

class DownloadFileTest : public testing::TestWithParam<std::tuple<DownloadCase, bool>>
{
protected:
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
};

TEST_P(DownloadFileTest, OnlyACompleteOkAnswerReplacesTheFile)
{
    const auto& [c, fileExistedBefore] = GetParam();
    const std::string destination = folder / "versiontmp.txt";
    if (fileExistedBefore)
        TestFiles::write(destination, earlier);
    c.setUp(server);

    const Result result = DownloadFile(platform.services, server.url("/version.txt"), destination,
                                       DownloadOptions{4096, 10s, DownloadedFileKind::Data});

    EXPECT_EQ(result.ok(), c.written.has_value()) << result.error();
    if (c.written || fileExistedBefore)
        EXPECT_EQ(TestFiles::read(destination), c.written.value_or(earlier));
    else
        EXPECT_FALSE(TestFiles::exists(destination));
    // No temporary file is left behind, whatever happened.
    const long files = std::distance(std::filesystem::directory_iterator(folder.path()), {});
    EXPECT_EQ(files, c.written || fileExistedBefore ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloadFileTest,
    testing::Combine(
        testing::Values(
            DownloadCase{"Ok", [](TestHttpServer& s) { s.serve("/version.txt", "1017\r\n"); }, "1017\r\n"},
            DownloadCase{"OkByteForByte", [](TestHttpServer& s) { s.serve("/version.txt", binary); }, binary},
            DownloadCase{"OkEmpty", [](TestHttpServer& s) { s.serve("/version.txt", ""); }, ""},
            DownloadCase{"NotFound", [](TestHttpServer&) {}, std::nullopt},
            DownloadCase{"ServerError", [](TestHttpServer& s) { s.serve("/version.txt", "1099", 500); }, std::nullopt},
            DownloadCase{"OtherSuccess", [](TestHttpServer& s) { s.serve("/version.txt", "1099", 203); }, std::nullopt},
            DownloadCase{"RedirectFollowed",
                         [](TestHttpServer& s) {
                             s.serve("/version.txt", "/new/version.txt", 302, Kind::Redirect);
                             s.serve("/new/version.txt", "1020\r\n");
                         },
                         "1020\r\n"},
            DownloadCase{"RedirectToNothing",
                         [](TestHttpServer& s) { s.serve("/version.txt", "/gone.txt", 301, Kind::Redirect); },
                         std::nullopt},
            DownloadCase{"AtTheLimit", [](TestHttpServer& s) { s.serve("/version.txt", std::string(4096, '7')); },
                         std::string(4096, '7')},
            DownloadCase{"OverTheLimit", [](TestHttpServer& s) { s.serve("/version.txt", std::string(4097, '7')); },
                         std::nullopt},
            DownloadCase{"OverTheLimitWithoutLength",
                         [](TestHttpServer& s) { s.serve("/version.txt", std::string(5000, '7'), 200, Kind::Chunked); },
                         std::nullopt},
            DownloadCase{"StallsHalfway", [](TestHttpServer& s) { s.serve("/version.txt", "10", 200, Kind::Stall); },
                         std::nullopt}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<DownloadCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_OverAnEarlierFile" : "");
    });

TEST(DownloadFile, AServerThatNeverAnswersIsGivenUp)
{
    TempDir folder;
    TestPlatform platform;
    SilentServer silent;
    TestFiles::write(folder / "versiontmp.txt", earlier);

    EXPECT_FALSE(DownloadFile(platform.services, "http://" + silent.hostAndPort() + "/version.txt",
                              folder / "versiontmp.txt", DownloadOptions{4096, 10s, DownloadedFileKind::Data}));
    EXPECT_TRUE(silent.wasConnected());
    EXPECT_EQ(TestFiles::read(folder / "versiontmp.txt"), earlier);
}

TEST(DownloadFile, OnlyWebAddressesAreFetched)
{
    TempDir folder;
    TestPlatform platform;
    TestFiles::write(folder / "secret.txt", "1099\r\n");
    EXPECT_FALSE(DownloadFile(platform.services, "file://" + folder.path() + "/secret.txt", folder / "copy.txt",
                              DownloadOptions{4096, 10s, DownloadedFileKind::Data}));
    EXPECT_FALSE(TestFiles::exists(folder / "copy.txt"));
}

TEST(DownloadFile, AProgramCanBeStartedAndAReplacedFileKeepsItsPermissions)
{
    namespace fs = std::filesystem;
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    server.serve("/updater.exe", "#!/bin/sh\n");
    const DownloadOptions program{4096, 10s, DownloadedFileKind::Program};
    TestFiles::write(folder / "old.exe", "old");
    fs::permissions(folder / "old.exe", fs::perms(0750));

    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "new.exe", program));
    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "old.exe", program));
    ASSERT_TRUE(DownloadFile(platform.services, server.url("/updater.exe"), folder / "data.txt",
                             DownloadOptions{4096, 10s, DownloadedFileKind::Data}));

    EXPECT_EQ(fs::status(folder / "new.exe").permissions() & fs::perms(0111), fs::perms(0111));
    EXPECT_EQ(fs::status(folder / "old.exe").permissions(), fs::perms(0750));
    EXPECT_EQ(fs::status(folder / "data.txt").permissions() & fs::perms(0111), fs::perms::none);
}

/// A cache that holds `copies` copies of every address (-1: it never runs dry).
class CachingClient : public HttpClient
{
public:
    int copies = 0;
    int removals = 0;
    DownloadOutcome download(const std::string&, const std::string&, const DownloadOptions&) override { return {}; }
    bool removeFromCache(const std::string&) override { return ++removals <= copies || copies < 0; }
};

TEST(PurgeUrlCache, RemovesEveryCachedCopyThenWaitsASecond)
{
    for (const int copies : {0, 3, -1}) {
        TestPlatform test;
        CachingClient cache;
        cache.copies = copies;
        const PlatformServices& s = test.services;
        const PlatformServices services{s.appInfo,        s.clock,        s.fileSystem, s.launcher, s.terminator,
                                        s.instanceLock,   s.messages,     s.power,      s.web,      s.networkHosts,
                                        s.remoteShutdown, s.connectivity, cache,        s.pause};

        PurgeUrlCache(services, "http://127.0.0.1/kopirko/version.txt");

        const int removals = copies < 0 ? 100 : copies + 1; // a cache that never runs dry must not hold the start
        std::vector<std::string> expected(static_cast<size_t>(removals), "events");
        expected.push_back("sleep 1000");
        EXPECT_EQ(test.pause.calls, expected) << copies;
    }
}

} // namespace
