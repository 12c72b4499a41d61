// The update check, the downloads it makes and the connectivity rule, against a real HTTP server on 127.0.0.1 and
// the system's own HTTP client (WinHTTP on Windows, libcurl on Linux): the same cases hold for both.
#include "DownloadFile.h"
#include "IniFile.h"
#include "InterfaceAddress.h"
#include "Paths.h"
#include "UpdateFixture.h"
#include "VersionFile.h"

#include <optional>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST_F(UpdateTest, DownloadFileReplacesAFileOnlyWithTheWholeBodyOfAnOkAnswer)
{
    const std::string binary = std::string("\x7F\0\r\n\n\r\xFF\xFE", 8) + std::string(3000, '\0') + "end";
    const struct
    {
        std::string path, body;
        int status;
        AnswerKind kind;
        std::optional<std::string> written; ///< nothing: the destination stays as it was
        const char* reason = "";            ///< in the failure's text; both clients name the limit that ended it
        std::chrono::milliseconds totalLimit = UpdateLimits{}.versionFile.totalTimeLimit;
    } cases[] = {
        {"/ok", binary, 200, AnswerKind::Body, binary},
        {"/missing", "1099", 404, AnswerKind::Body, {}, "answered 404"},
        {"/other-success", "1099", 203, AnswerKind::Body, {}, "answered 203"},
        {"/moved", "/ok", 302, AnswerKind::Redirect, binary},
        {"/moved-to-missing", "/missing", 301, AnswerKind::Redirect, {}, "answered 404"},
        {"/loop", "/loop", 302, AnswerKind::Redirect, {}},
        {"/at-limit", std::string(4096, '7'), 200, AnswerKind::Chunked, std::string(4096, '7')},
        {"/over-limit", std::string(4097, '7'), 200, AnswerKind::Body, {}, "longer than 4096 bytes"},
        {"/over-limit-unannounced", std::string(5000, '7'), 200, AnswerKind::Chunked, {}, "longer than 4096"},
        {"/stalls", "10", 200, AnswerKind::Stall, {}, "stood still for 1 s"},
        {"/late", "10", 200, AnswerKind::Late, {}, "stood still for 1 s"},
        {"/trickles", std::string(100, 't'), 200, AnswerKind::Trickle, {}, "not complete within 1500 ms", 1500ms}};
    const std::string downloads = folder / "downloads";
    TestFiles::makeFolder(downloads);
    long kept = 0;
    for (const auto& c : cases) {
        server.serve(c.path, c.body, c.status, c.kind);
        DownloadOptions options = UpdateLimits{}.versionFile;
        options.totalTimeLimit = c.totalLimit;
        for (const bool earlier : {false, true}) {
            const std::string destination = downloads + c.path + (earlier ? "-earlier" : "");
            if (earlier)
                TestFiles::write(destination, "an earlier copy");
            const Result result =
                DownloadFile(platform.services, "http://" + server.hostAndPort() + c.path, destination, options);
            EXPECT_EQ(result.ok(), c.written.has_value()) << destination << ": " << result.error();
            EXPECT_NE(result.error().find(c.reason), std::string::npos) << destination << ": " << result.error();
            if (c.written || earlier)
                EXPECT_EQ(TestFiles::read(destination), c.written.value_or("an earlier copy")) << destination;
            else
                EXPECT_FALSE(TestFiles::exists(destination)) << destination;
            kept += c.written || earlier;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(downloads), {}), kept); // no temporary file is left behind
}

TEST_F(UpdateTest, AnAddressOrDestinationThatCannotBeUsedFailsAndWritesNothing)
{
    server.serve("/ok", "body");
    const std::string ok = "http://" + server.hostAndPort() + "/ok";
    TestFiles::makeFolder(folder / "a-folder");
    SystemHttpClient client(HttpTimeLimits{2000ms, 1s});
    const DownloadOptions limits = UpdateLimits{}.versionFile;
    for (const std::string url : {"", "http://127.0.0.1:99999/ok", "http://127.0.0.1:1/ok", "ftp://127.0.0.1/ok",
                                  "file:///kopirko-no-such-file"})
        EXPECT_NE(client.download(url, "file", limits).result.error(), "") << url; // a failure, and why
    for (const std::string destination : {"no-such-folder/file", "a-folder"})
        EXPECT_NE(client.download(ok, destination, limits).result.error(), "") << destination;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 2); // version.txt, a-folder
    EXPECT_TRUE(fs::is_directory(folder / "a-folder"));

    // A destination without a folder is taken from the working folder; names are UTF-8.
    EXPECT_TRUE(client.download(ok, "preuzeto-čćžšđ", limits).result);
    EXPECT_EQ(TestFiles::read(folder / "preuzeto-čćžšđ"), "body");
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
    // an earlier check and "versionu.txt" (nullptr: missing); whether the updater is fetched, the update offered; the
    // file the server is slow with, and how ("down": no server at all). The whole check is held to 2.5 s: after a
    // trickled updater nothing is left for "/version.txt".
    const struct
    {
        const char *name, *server, *own, *earlier, *updaterOnServer, *updaterHere;
        bool fetched, offered;
        std::string slow = "";
        AnswerKind how = AnswerKind::Body;
    } cases[] = {
        {"newer", "1017", "1016", nullptr, "1", nullptr, true, true},
        {"equal", "1016", "1016", nullptr, "1", nullptr, true, false},
        {"older", "1015", "1016", nullptr, "1", nullptr, true, false},
        {"10 against 9", "10", "9", nullptr, "1", nullptr, true, true},
        {"earlier copy never stands for a missing one", nullptr, "1016", "1017", "1", nullptr, true, false},
        {"earlier copy replaced", "1016", "1016", "1017", "1", nullptr, true, false},
        {"own missing", "1017", nullptr, nullptr, "1", nullptr, true, false},
        {"updater same", "1017", "1016", nullptr, "2", "2", false, true},
        {"updater 10 against 2", "1017", "1016", nullptr, "10", "2", true, true},
        {"updater never back", "1017", "1016", nullptr, "9", "10", false, true},
        {"updater number missing", "1017", "1016", nullptr, nullptr, "2", false, false},
        {"updater number broken", "1017", "1016", nullptr, "3", "two", false, false},
        {"down", "1017", "1016", "1017", "1", nullptr, false, false, "down"},
        {"version.txt stalls", "1017", "1016", "1017", "1", nullptr, true, false, "/version.txt", AnswerKind::Stall},
        {"updater trickles", "1017", "1016", "1017", "1", nullptr, false, false, "/updater.exe", AnswerKind::Trickle}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.messages.shown.clear();
        server.serve("/kopirko/version.txt", c.server ? c.server : "", c.server ? 200 : 404,
                     c.slow == "/version.txt" ? c.how : AnswerKind::Body);
        server.serve("/kopirko/versionu.txt", c.updaterOnServer ? c.updaterOnServer : "",
                     c.updaterOnServer ? 200 : 404);
        server.serve("/kopirko/updater.exe", updater, 200, c.slow == "/updater.exe" ? c.how : AnswerKind::Body);
        const std::pair<const char*, const char*> files[] = {
            {"version.txt", c.own},   {"versiontmp.txt", c.earlier}, {"versionu.txt", c.updaterHere},
            {"versionutmp.txt", "5"}, {"updater.exe", "old"}, // "5": what an earlier check may have left
        };
        for (const auto& [file, text] : files)
            text ? TestFiles::write(folder / file, text) : void(fs::remove(folder / file));

        EXPECT_FALSE(CheckForUpdate(platform.services, store, c.slow == "down" ? "127.0.0.1:1/kopirko" : address(),
                                    quick, key.publicKeyLine())); // the answer is No

        for (const auto& [file, stale] : {std::pair{"versiontmp.txt", c.earlier}, {"versionutmp.txt", "5"}})
            EXPECT_FALSE(stale && TestFiles::exists(folder / file) && TestFiles::read(folder / file) == stale) << file;
        EXPECT_EQ(TestFiles::read(folder / "updater.exe") == updater, c.fetched);
        EXPECT_EQ(platform.messages.shown,
                  c.offered ? std::vector<std::string>{updateQuestion} : std::vector<std::string>{});
        EXPECT_TRUE(platform.launcher.starts.empty());
        EXPECT_FALSE(platform.terminator.ended());
        EXPECT_FALSE(TestFiles::exists(folder / "update.ini"));
    }
}

TEST_F(UpdateTest, YesHandsOverToTheUpdaterAndEndsOnlyWhenTheHandOffFileAndTheUpdaterAreThere)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    platform.messages.answers = {true, true, true, true};
    platform.launcher.fail = true;
    // The hand-off file cannot be written; the program's folder has a name the updater could not read (it takes
    // update.ini in the ANSI code page); the updater cannot be started.
    for (const auto& [programFolder, handOffWritable] :
         {std::pair{folder.path(), false}, {folder / "Željko", true}, {folder.path(), true}}) {
        platform.appInfo.folder = programFolder;
        TestFiles::makeFolder(programFolder);
        if (handOffWritable)
            fs::remove(folder / "update.ini");
        else
            TestFiles::makeFolder(folder / "update.ini");

        EXPECT_FALSE(check());

        // No updater without its hand-off.
        const bool handedOff = handOffWritable && programFolder == folder.path();
        EXPECT_EQ(platform.launcher.starts.size(), handedOff ? 1u : 0u);
        EXPECT_FALSE(platform.terminator.ended());
        ASSERT_FALSE(platform.messages.shown.empty());
        EXPECT_TRUE(platform.messages.shown.back().starts_with("Nadogradnja nije pokrenuta: "));
        EXPECT_EQ(platform.messages.shown.back().find("Željko") != std::string::npos, programFolder != folder.path());
        EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini");
    }
    EXPECT_FALSE(TestFiles::exists(folder / "Željko/update.ini"));
    TestFiles::write(folder / "update.ini", "[other]\r\na=1\r\n[update]\r\nurl=old.example/kopirko\r\n");
    platform.launcher.fail = false;
    platform.http.calls.clear();

    EXPECT_TRUE(check());

    std::vector<std::string> calls; // every file fresh from the server
    for (const char* file : {"/versionu.txt", "/updater.exe.minisig", "/updater.exe", "/version.txt"})
        for (const char* call : {"purge http://", "get http://"})
            calls.push_back(call + address() + file);
    EXPECT_EQ(platform.http.calls, calls);
    EXPECT_TRUE(TestFiles::read(folder / "updater.exe") == updater);
    EXPECT_NE(fs::status(folder / "updater.exe").permissions() & fs::perms::owner_exec, fs::perms::none);
    const std::string handOff = TestFiles::read(folder / "update.ini");
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "url"), address());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "cilj"), folder.path());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "prog"), Paths::separator == '\\' ? "Kopirko.exe" : "Kopirko");
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
    EXPECT_EQ(platform.messages.shown, std::vector<std::string>{"interfaces cannot be read"});
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

TEST(ConnectivityRule, ConnectedOnlyThroughAnInterfaceThatIsUpWithAnAddressBeyondItsLinkAndTheInterfacesCanBeRead)
{
    using Bytes = std::array<std::uint8_t, 16>;
    const auto v4 = [](Bytes bytes, bool up = true, bool loopback = false) {
        return InterfaceAddress{up, loopback, InterfaceAddress::Family::IPv4, bytes};
    };
    /// An IPv6 address of the two bytes given, then zeros and one last byte.
    const auto v6 = [](std::uint8_t first, std::uint8_t second, std::uint8_t last, bool loopback = false) {
        return InterfaceAddress{true, loopback, InterfaceAddress::Family::IPv6,
                                Bytes{first, second, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, last}};
    };
    const Bytes lan{192, 168, 1, 5}, loop4{127, 0, 0, 1};
    const struct
    {
        const char* name;
        std::vector<InterfaceAddress> addresses;
        long state;
    } cases[] = {
        {"none", {}, 0},
        {"loopback only", {v4(loop4, true, true), v6(0, 0, 1, true)}, 0},
        {"loopback, no address, a network address", {v4(loop4, true, true), InterfaceAddress{true}, v4(lan)}, 1},
        {"down (cable out, switched off)", {v4(lan, false)}, 0},
        {"a network address on loopback", {v4(lan, true, true)}, 0},
        {"169.254/16: no address from the network", {v4({169, 254, 10, 20})}, 0},
        {"just below 169.254/16", {v4({169, 253, 255, 255})}, 1},
        {"just above 169.254/16", {v4({169, 255, 0, 1})}, 1},
        {"fe80::/10 only", {v6(0xFE, 0x80, 1), v6(0xFE, 0xBF, 1)}, 0},
        {"just outside fe80::/10", {v6(0xFE, 0xC0, 1)}, 1},
        {"global IPv6 beside fe80::", {v6(0xFE, 0x80, 1), v6(0x20, 0x01, 5)}, 1},
        {"::1 outside loopback", {v6(0, 0, 1)}, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(connectedStateOf(c.addresses), c.state) << c.name;
    const ConnectedState answer = SystemConnectivity().connectedState(); // this computer's interfaces can be read
    EXPECT_FALSE(answer.queryFailed) << answer.error;
}

} // namespace
