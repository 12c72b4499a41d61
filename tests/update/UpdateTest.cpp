// The update check against a real HTTP server on 127.0.0.1, and the start of the program around it.
#include "AppContext.h"
#include "DownloadFile.h"
#include "IfaddrsConnectivity.h"
#include "IniFile.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "UpdateCheck.h"
#include "VersionFile.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <ifaddrs.h>
#include <map>
#include <mutex>
#include <net/if.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

enum class Kind {
    Body,     ///< with its length
    Chunked,  ///< without a length in front: the client learns the size only while it reads
    Redirect, ///< to the body
    Stall,    ///< with its length, but only its first half until the server is destroyed
    Late      ///< the body, but only after 3 s: far longer than the tests' client waits for a stalled answer
};

/// A real HTTP server on a free port of 127.0.0.1, answering from a table; paths not in it get 404.
class TestHttpServer
{
public:
    TestHttpServer()
    {
        m_server.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock lock(m_mutex);
            const auto [body, status, kind] =
                m_answers.contains(request.path) ? m_answers[request.path] : Answer{"", 404, Kind::Body};
            lock.unlock();
            response.status = status;
            if (kind == Kind::Late)
                std::this_thread::sleep_for(std::chrono::seconds(3));
            if (kind == Kind::Body || kind == Kind::Late)
                response.set_content(body, "application/octet-stream");
            if (kind == Kind::Stall)
                response.set_content_provider(
                    body.size(), "application/octet-stream", [this, body](size_t at, size_t, httplib::DataSink& sink) {
                        while (at > 0 && !m_stopping)
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        return sink.write(body.data() + at, at ? body.size() - at : body.size() / 2);
                    });
            if (kind == Kind::Redirect)
                response.set_redirect(body, status);
            if (kind == Kind::Chunked)
                response.set_chunked_content_provider(
                    "application/octet-stream", [body](size_t at, httplib::DataSink& sink) {
                        sink.write(body.data() + at, std::min<size_t>(1000, body.size() - at));
                        if (at + 1000 >= body.size())
                            sink.done();
                        return true;
                    });
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TestHttpServer()
    {
        m_stopping = true;
        m_server.stop();
        m_thread.join();
    }
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    void serve(const std::string& path, std::string body, int status = 200, Kind kind = Kind::Body)
    {
        std::lock_guard lock(m_mutex);
        m_answers[path] = {std::move(body), status, kind};
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::atomic<bool> m_stopping = false;
    using Answer = std::tuple<std::string, int, Kind>;
    std::map<std::string, Answer> m_answers;
};

const std::string updater = std::string("\177ELF\0\r\n", 7) + std::string(20000, 'u');

/// The program's folder as the working folder, as the program runs; version 1016 here, an updater of version 1
/// on the server.
class UpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::current_path(folder.path());
        platform.appInfo.folder = folder.path();
        platform.connectivity.answer.state = 1;
        TestFiles::write(folder / "version.txt", "1016\r\n");
        server.serve("/kopirko/versionu.txt", "1\r\n");
        server.serve("/kopirko/updater.exe", updater);
        store.setIniFilePath(folder / "KOPIRKO.ini");
    }
    void TearDown() override { fs::current_path(m_oldFolder); }

    std::string address() const { return server.hostAndPort() + "/kopirko"; }
    bool check() { return CheckForUpdate(platform.services, store, address()); }

    const fs::path m_oldFolder = fs::current_path();
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    SettingsStore store{platform.fileSystem};
};

TEST_F(UpdateTest, DownloadFileReplacesAFileOnlyWithTheWholeBodyOfAnOkAnswer)
{
    const std::string binary = std::string("\x7F\0\r\n\n\r\xFF\xFE", 8) + std::string(3000, '\0') + "end";
    const struct
    {
        std::string path, body;
        int status;
        Kind kind;
        std::optional<std::string> written; ///< nothing: the destination stays as it was
    } cases[] = {{"/ok", binary, 200, Kind::Body, binary},
                 {"/missing", "1099", 404, Kind::Body, {}},
                 {"/other-success", "1099", 203, Kind::Body, {}},
                 {"/moved", "/ok", 302, Kind::Redirect, binary},
                 {"/at-limit", std::string(4096, '7'), 200, Kind::Chunked, std::string(4096, '7')},
                 {"/over-limit", std::string(4097, '7'), 200, Kind::Body, {}},
                 {"/over-limit-unannounced", std::string(5000, '7'), 200, Kind::Chunked, {}},
                 {"/stalls", "10", 200, Kind::Stall, {}},
                 {"/late", "10", 200, Kind::Late, {}}};
    const std::string downloads = folder / "downloads";
    TestFiles::makeFolder(downloads);
    long kept = 0;
    for (const auto& c : cases) {
        server.serve(c.path, c.body, c.status, c.kind);
        for (const bool earlier : {false, true}) {
            const std::string destination = downloads + c.path + (earlier ? "-earlier" : "");
            if (earlier)
                TestFiles::write(destination, "an earlier copy");
            const Result result = DownloadFile(platform.services, "http://" + server.hostAndPort() + c.path,
                                               destination, UpdateLimits{}.versionFile);
            EXPECT_EQ(result.ok(), c.written.has_value()) << destination << ": " << result.error();
            if (c.written || earlier)
                EXPECT_EQ(TestFiles::read(destination), c.written.value_or("an earlier copy")) << destination;
            else
                EXPECT_FALSE(TestFiles::exists(destination)) << destination;
            kept += c.written || earlier;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(downloads), {}), kept); // no temporary file is left behind
}

TEST(PurgeUrlCache, RemovesEveryCachedCopyThenWaitsASecondButNeverForEver)
{
    for (const int copies : {0, 3, -1}) {
        TestPlatform platform;
        platform.http.cachedCopies = copies;
        PurgeUrlCache(platform.services, "http://127.0.0.1/kopirko/version.txt");
        std::vector<std::string> expected(copies < 0 ? 100 : copies + 1, "events");
        expected.push_back("sleep 1000");
        EXPECT_EQ(platform.pause.calls, expected) << copies;
    }
}

TEST_F(UpdateTest, OnlyHigherNumbersAreFetchedOrOfferedAndNoGoesOn)
{
    // The server's "/version.txt" and "/versionu.txt" (nullptr: 404), the files "version.txt", "versiontmp.txt" of
    // an earlier check and "versionu.txt" (nullptr: missing); whether the updater is fetched, the update offered.
    const struct
    {
        const char *name, *server, *own, *earlier, *updaterOnServer, *updaterHere;
        bool fetched, offered;
    } cases[] = {{"newer", "1017", "1016", nullptr, "1", nullptr, true, true},
                 {"equal", "1016", "1016", nullptr, "1", nullptr, true, false},
                 {"older", "1015", "1016", nullptr, "1", nullptr, true, false},
                 {"10 against 9", "10", "9", nullptr, "1", nullptr, true, true},
                 {"earlier copy kept", nullptr, "1016", "1017", "1", nullptr, true, true},
                 {"earlier copy replaced", "1016", "1016", "1017", "1", nullptr, true, false},
                 {"own missing", "1017", nullptr, nullptr, "1", nullptr, true, false},
                 {"updater same", "1017", "1016", nullptr, "2", "2", false, true},
                 {"updater 10 against 2", "1017", "1016", nullptr, "10", "2", true, true},
                 {"updater never back", "1017", "1016", nullptr, "9", "10", false, true},
                 {"updater number missing", "1017", "1016", nullptr, nullptr, "2", false, false},
                 {"updater number broken", "1017", "1016", nullptr, "3", "two", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.messages.shown.clear();
        server.serve("/kopirko/version.txt", c.server ? c.server : "", c.server ? 200 : 404);
        server.serve("/kopirko/versionu.txt", c.updaterOnServer ? c.updaterOnServer : "",
                     c.updaterOnServer ? 200 : 404);
        const std::pair<const char*, const char*> files[] = {
            {"version.txt", c.own},       {"versiontmp.txt", c.earlier}, {"versionu.txt", c.updaterHere},
            {"versionutmp.txt", nullptr}, {"updater.exe", "old"},
        };
        for (const auto& [file, text] : files)
            text ? TestFiles::write(folder / file, text) : void(fs::remove(folder / file));

        EXPECT_FALSE(check()); // the answer is No

        EXPECT_EQ(TestFiles::read(folder / "updater.exe") == updater, c.fetched);
        EXPECT_EQ(platform.messages.texts(),
                  c.offered ? std::vector<std::string>{updateQuestion} : std::vector<std::string>{});
        EXPECT_TRUE(platform.launcher.starts.empty());
        EXPECT_FALSE(platform.terminator.ended());
        EXPECT_FALSE(TestFiles::exists(folder / "update.ini"));
    }
}

TEST_F(UpdateTest, YesHandsOverToTheUpdaterAndEndsOnlyWhenTheHandOffFileAndTheUpdaterAreThere)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    platform.messages.answers = {true, true, true};
    platform.launcher.fail = true;
    for (const bool handOffWritable : {false, true}) {
        if (handOffWritable)
            fs::remove(folder / "update.ini");
        else
            TestFiles::makeFolder(folder / "update.ini");

        EXPECT_FALSE(check());

        EXPECT_EQ(platform.launcher.starts.size(), handOffWritable ? 1u : 0u); // no updater without its hand-off
        EXPECT_FALSE(platform.terminator.ended());
        EXPECT_TRUE(platform.messages.shown.back().text.starts_with("Nadogradnja nije pokrenuta: "));
        EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini");
    }
    TestFiles::write(folder / "update.ini", "[other]\r\na=1\r\n[update]\r\nurl=old.example/kopirko\r\n");
    platform.launcher.fail = false;
    platform.http.calls.clear();

    EXPECT_TRUE(check());

    std::vector<std::string> calls; // every file fresh from the server
    for (const char* file : {"/versionu.txt", "/updater.exe", "/version.txt"})
        for (const char* call : {"purge http://", "get http://"})
            calls.push_back(call + address() + file);
    EXPECT_EQ(platform.http.calls, calls);
    EXPECT_TRUE(TestFiles::read(folder / "updater.exe") == updater);
    EXPECT_NE(fs::status(folder / "updater.exe").permissions() & fs::perms::owner_exec, fs::perms::none);
    const std::string handOff = TestFiles::read(folder / "update.ini");
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "url"), address());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "cilj"), folder.path());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "prog"), "Kopirko");
    EXPECT_EQ(IniFile::valueIn(handOff, "other", "a"), "1");
    ASSERT_EQ(platform.launcher.starts.size(), 2u);
    EXPECT_EQ(platform.launcher.starts[1].program, folder / "updater.exe");
    EXPECT_EQ(platform.terminator.exitCode, 0);
    EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini"); // the settings never end up in the hand-off file
}

TEST_F(UpdateTest, NotConnectedAsksNoServerAndOnlyAFailedQueryIsShown)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    for (const ConnectedState& answer : {ConnectedState{false, "", 0}, ConnectedState{false, "", 2},
                                         ConnectedState{true, "interfaces cannot be read", 1}}) {
        platform.connectivity.answer = answer;
        EXPECT_FALSE(check()) << answer.state;
    }
    EXPECT_TRUE(platform.http.calls.empty());
    EXPECT_EQ(platform.messages.texts(), std::vector<std::string>{"interfaces cannot be read"});
}

TEST_F(UpdateTest, TheStartGoesOnWhateverTheServerDoesUnlessTheUserTakesTheUpdate)
{
    const struct
    {
        const char* versionFile;
        Kind kind;
        bool windowMade;
    } cases[] = {{"", Kind::Body, true},
                 {"abc", Kind::Body, true},
                 {"99999999999", Kind::Body, true},
                 {"1017\r\n", Kind::Late, true},
                 {"1017\r\n", Kind::Body, false}};
    for (const auto& c : cases) {
        server.serve("/kopirko/version.txt", c.versionFile, 200, c.kind);
        platform.messages.shown.clear();
        platform.messages.answers = {true};
        AppContext context(platform.services);
        bool windowMade = false;
        StartupSequence startup(context, address(), [&] {
            windowMade = true;
            return std::unique_ptr<StartupWindow>();
        });

        startup.run();

        EXPECT_EQ(windowMade, c.windowMade) << c.versionFile;
        EXPECT_EQ(platform.terminator.ended(), !c.windowMade) << c.versionFile;
        EXPECT_EQ(platform.messages.shown.size(), c.windowMade ? 0u : 1u) << c.versionFile; // the question only
    }
}

TEST(ParseVersionNumber, ReadsTheFirstFieldAsA32BitWholeNumber)
{
    for (const std::string text : {"1016\r\n", " \t1016 \t\r\n", "1016,2,3\r\n", "1016\n999\n", "\uFEFF1016", "+1016"})
        EXPECT_EQ(parseVersionNumber(text), 1016) << testing::PrintToString(text);
    EXPECT_EQ(parseVersionNumber("-7"), -7);
    EXPECT_EQ(parseVersionNumber("2147483647"), 2147483647);
    for (const std::string text :
         {"2147483648", "99999999999", "", "\r\n1016", "   ", "10.5", "10a", "1 016", "+-1", "0x10", "<html>1017"})
        EXPECT_EQ(parseVersionNumber(text), std::nullopt) << testing::PrintToString(text);
    EXPECT_EQ(parseVersionNumber(std::string("10\0\x31\x36", 5)), std::nullopt);
}

TEST(IfaddrsConnectivity, ConnectedOnlyThroughARunningInterfaceWithAnAddressBeyondItsLink)
{
    // Interfaces by flags and address (IPv4, IPv6, "" for a link-layer entry, nullptr for none).
    const auto stateOf = [](const std::vector<std::pair<unsigned, const char*>>& interfaces) {
        std::vector<sockaddr_in6> addresses(interfaces.size());
        std::vector<ifaddrs> list(interfaces.size());
        for (size_t i = 0; i < list.size(); ++i) {
            const auto [flags, text] = interfaces[i];
            auto* v4 = reinterpret_cast<sockaddr_in*>(&addresses[i]);
            if (text && inet_pton(AF_INET6, text, &addresses[i].sin6_addr) == 1)
                addresses[i].sin6_family = AF_INET6;
            else if (text && inet_pton(AF_INET, text, &v4->sin_addr) == 1)
                v4->sin_family = AF_INET;
            else
                addresses[i].sin6_family = AF_PACKET;
            list[i].ifa_next = i + 1 < list.size() ? &list[i + 1] : nullptr;
            list[i].ifa_flags = flags;
            list[i].ifa_addr = text ? reinterpret_cast<sockaddr*>(&addresses[i]) : nullptr;
        }
        return IfaddrsConnectivity::stateOf(list.empty() ? nullptr : list.data());
    };
    constexpr unsigned on = IFF_UP | IFF_RUNNING;
    EXPECT_EQ(stateOf({}), 0);
    EXPECT_EQ(stateOf({{on | IFF_LOOPBACK, "127.0.0.1"}, {on | IFF_LOOPBACK, "::1"}}), 0);
    EXPECT_EQ(stateOf({{on | IFF_LOOPBACK, "127.0.0.1"}, {on, ""}, {on, "192.168.1.5"}}), 1);
    EXPECT_EQ(stateOf({{IFF_UP, "192.168.1.5"}}), 0);      // cable out
    EXPECT_EQ(stateOf({{IFF_RUNNING, "192.168.1.5"}}), 0); // switched off
    EXPECT_EQ(stateOf({{on, "169.254.10.20"}}), 0);        // no address from the network
    EXPECT_EQ(stateOf({{on, "fe80::1"}}), 0);
    EXPECT_EQ(stateOf({{on, "fe80::1"}, {on, "2001:db8::5"}}), 1);
    EXPECT_EQ(stateOf({{on, nullptr}, {on, ""}}), 0);
}

} // namespace
