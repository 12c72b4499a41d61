#include "UpdateCheck.h"
#include "IniFile.h"
#include "SettingsStore.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

const std::string updaterBody = std::string("\x7F"
                                            "ELF updater\0\r\n",
                                            15) +
                                std::string(20000, 'u');

/// The program's folder as the working folder, as the program runs; a server with an updater of version 1.
class UpdateCheckTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_oldFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        platform.appInfo.folder = folder.path();
        platform.connectivity.answer.state = 1;
        TestFiles::write(folder / "version.txt", "1016\r\n");
        server.serve("/kopirko/versionu.txt", "1\r\n");
        server.serve("/kopirko/updater.exe", updaterBody);
        store.setIniFilePath(folder / "KOPIRKO.ini");
    }
    void TearDown() override { std::filesystem::current_path(m_oldFolder); }

    std::string urlUpdate() const { return server.hostAndPort() + "/kopirko"; }
    bool check() { return CheckForUpdate(platform.services, store, urlUpdate()); }
    bool asked() const
    {
        for (const auto& box : platform.messages.shown)
            if (box.question)
                return true;
        return false;
    }
    bool requested(const std::string& path) const
    {
        const auto all = server.requests();
        return std::find(all.begin(), all.end(), path) != all.end();
    }
    void expectNoHandOver() const
    {
        EXPECT_TRUE(platform.launcher.starts.empty());
        EXPECT_FALSE(platform.terminator.ended());
        EXPECT_FALSE(TestFiles::exists(folder / "update.ini"));
    }

    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    SettingsStore store{platform.fileSystem};

private:
    std::filesystem::path m_oldFolder;
};

struct VersionCase
{
    const char* name;
    std::optional<std::string> server;      ///< "/version.txt"; nothing: 404
    std::optional<std::string> own;         ///< "version.txt"; nothing: missing
    std::optional<std::string> earlierCopy; ///< "versiontmp.txt" of an earlier check
    bool offered;
};

std::ostream& operator<<(std::ostream& out, const VersionCase& c)
{
    return out << c.name;
}

class VersionComparison : public UpdateCheckTest, public testing::WithParamInterface<VersionCase>
{};

TEST_P(VersionComparison, OnlyAHigherServerNumberIsOffered)
{
    if (GetParam().server)
        server.serve("/kopirko/version.txt", *GetParam().server);
    if (GetParam().own)
        TestFiles::write(folder / "version.txt", *GetParam().own);
    else
        std::filesystem::remove(folder / "version.txt");
    if (GetParam().earlierCopy)
        TestFiles::write(folder / "versiontmp.txt", *GetParam().earlierCopy);

    EXPECT_FALSE(check()); // the answer is No

    ASSERT_EQ(platform.messages.shown.size(), GetParam().offered ? 1u : 0u);
    if (GetParam().offered) {
        const auto& box = platform.messages.shown.front();
        EXPECT_TRUE(box.question);
        EXPECT_EQ(box.text, "Na raspolaganju je nova verzija programa.\r\nDa li želite da nadogradite Vaš program ? ");
        EXPECT_EQ(box.title, "");
        EXPECT_EQ(box.icon, MessageIcon::Question);
    }
    expectNoHandOver();
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionComparison,
                         testing::Values(VersionCase{"Newer", "1017\r\n", "1016\r\n", {}, true},
                                         VersionCase{"Equal", "1016\r\n", "1016\r\n", {}, false},
                                         VersionCase{"Older", "1015\r\n", "1016\r\n", {}, false},
                                         VersionCase{"TenAgainstNineIsNumeric", "10\r\n", "9\r\n", {}, true},
                                         VersionCase{"NineAgainstTenIsNumeric", "9\r\n", "10\r\n", {}, false},
                                         VersionCase{"FirstFieldOnly", "  1017 ,beta\r\n1\r\n", "1016\r\n", {}, true},
                                         VersionCase{"Negative", "-5\r\n", "1016\r\n", {}, false},
                                         VersionCase{"ServerNoNumber", "<html>1017</html>", "1016\r\n", {}, false},
                                         VersionCase{"ServerEmpty", "", "1016\r\n", {}, false},
                                         VersionCase{"ServerBeyond32Bits", "99999999999\r\n", "1016\r\n", {}, false},
                                         VersionCase{"ServerMissing", {}, "1016\r\n", {}, false},
                                         VersionCase{"ServerMissingEarlierCopyNewer", {}, "1016\r\n", "1017\r\n", true},
                                         VersionCase{"ServerWinsOverEarlierCopy", "1016\r\n", "1016\r\n", "1017\r\n",
                                                     false},
                                         VersionCase{"OwnMissing", "1017\r\n", {}, {}, false},
                                         VersionCase{"OwnNoNumber", "1017\r\n", "x\r\n", {}, false}),
                         [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, YesWritesTheHandOffFileStartsTheUpdaterAndEnds)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    TestFiles::write(folder / "update.ini", "[other]\r\na=1\r\n[update]\r\nurl=old.example/kopirko\r\n");
    platform.messages.answers.push_back(true);

    EXPECT_TRUE(check());

    const std::string handOff = TestFiles::read(folder / "update.ini");
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "url"), urlUpdate());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "cilj"), folder.path());
    EXPECT_EQ(IniFile::valueIn(handOff, "update", "prog"), "Kopirko");
    EXPECT_EQ(IniFile::valueIn(handOff, "other", "a"), "1");
    ASSERT_EQ(platform.launcher.starts.size(), 1u);
    EXPECT_EQ(platform.launcher.starts[0].program, folder / "updater.exe");
    EXPECT_TRUE(platform.launcher.starts[0].arguments.empty());
    EXPECT_EQ(platform.terminator.exitCode, 0);
    // Nothing else of the program may end up in the hand-off file or read from it.
    EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini");
}

TEST_F(UpdateCheckTest, AnUpdaterThatCannotBeStartedLeavesTheProgramRunning)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    platform.messages.answers.push_back(true);
    platform.launcher.fail = true;

    EXPECT_FALSE(check());

    EXPECT_FALSE(platform.terminator.ended());
    ASSERT_EQ(platform.messages.shown.size(), 2u);
    EXPECT_TRUE(platform.messages.shown[1].text.starts_with("Nadogradnja nije pokrenuta: "));
    EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini");
}

TEST_F(UpdateCheckTest, AHandOffFileThatCannotBeWrittenStartsNoUpdater)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    TestFiles::makeFolder(folder / "update.ini");
    platform.messages.answers.push_back(true);

    EXPECT_FALSE(check());

    EXPECT_TRUE(platform.launcher.starts.empty());
    EXPECT_FALSE(platform.terminator.ended());
    ASSERT_EQ(platform.messages.shown.size(), 2u);
    EXPECT_TRUE(platform.messages.shown[1].text.starts_with("Nadogradnja nije pokrenuta: "));
}

TEST_F(UpdateCheckTest, WithoutAnInstalledUpdaterNumberTheUpdaterIsFetchedFirst)
{
    server.serve("/kopirko/version.txt", "1017\r\n");

    check();

    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{"/kopirko/versionu.txt", "/kopirko/updater.exe", "/kopirko/version.txt"}));
    // Every download goes to the server, never to a cached copy.
    EXPECT_EQ(platform.http.cacheRemovals, platform.http.downloads);
    EXPECT_EQ(TestFiles::read(folder / "updater.exe"), updaterBody);
    EXPECT_TRUE((std::filesystem::status(folder / "updater.exe").permissions() & std::filesystem::perms::owner_exec) !=
                std::filesystem::perms::none);
    EXPECT_EQ(TestFiles::read(folder / "versionutmp.txt"), "1\r\n");
    EXPECT_TRUE(asked());
}

struct UpdaterCase
{
    const char* name;
    std::optional<std::string> installed; ///< "versionu.txt"; nothing: missing
    std::optional<std::string> onServer;  ///< "/versionu.txt"; nothing: 404
    bool fetched;                         ///< "/updater.exe" is fetched
    bool checkGoesOn;                     ///< "/version.txt" is fetched and compared
};

std::ostream& operator<<(std::ostream& out, const UpdaterCase& c)
{
    return out << c.name;
}

class UpdaterRefresh : public UpdateCheckTest, public testing::WithParamInterface<UpdaterCase>
{};

TEST_P(UpdaterRefresh, TheUpdaterIsReplacedOnlyByAHigherNumber)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    TestFiles::write(folder / "updater.exe", "old updater");
    if (GetParam().installed)
        TestFiles::write(folder / "versionu.txt", *GetParam().installed);
    if (GetParam().onServer)
        server.serve("/kopirko/versionu.txt", *GetParam().onServer);
    else
        server.remove("/kopirko/versionu.txt");

    check();

    EXPECT_EQ(requested("/kopirko/updater.exe"), GetParam().fetched);
    EXPECT_EQ(TestFiles::read(folder / "updater.exe"), GetParam().fetched ? updaterBody : "old updater");
    EXPECT_EQ(requested("/kopirko/version.txt"), GetParam().checkGoesOn);
    EXPECT_EQ(asked(), GetParam().checkGoesOn);
}

INSTANTIATE_TEST_SUITE_P(Updater, UpdaterRefresh,
                         testing::Values(UpdaterCase{"Same", "2\r\n", "2\r\n", false, true},
                                         UpdaterCase{"Higher", "2\r\n", "10\r\n", true, true},
                                         UpdaterCase{"Lower", "10\r\n", "9\r\n", false, true},
                                         UpdaterCase{"NoneInstalledServerZero", {}, "0\r\n", false, true},
                                         UpdaterCase{"ServerNumberMissing", "2\r\n", {}, false, false},
                                         UpdaterCase{"ServerNoNumber", "2\r\n", "soon\r\n", false, false},
                                         UpdaterCase{"InstalledNoNumber", "two\r\n", "3\r\n", false, false}),
                         [](const testing::TestParamInfo<UpdaterCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, AnUpdaterThatCannotBeFetchedDoesNotStopTheCheck)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    server.remove("/kopirko/updater.exe");

    check();

    EXPECT_FALSE(TestFiles::exists(folder / "updater.exe"));
    EXPECT_TRUE(asked());
}

struct ConnectionCase
{
    const char* name;
    ConnectedState answer;
    bool errorShown;
};

std::ostream& operator<<(std::ostream& out, const ConnectionCase& c)
{
    return out << c.name;
}

class NotConnected : public UpdateCheckTest, public testing::WithParamInterface<ConnectionCase>
{};

TEST_P(NotConnected, SkipsTheCheckWithoutAsking)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    platform.connectivity.answer = GetParam().answer;

    EXPECT_FALSE(check());

    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(asked());
    if (GetParam().errorShown) {
        ASSERT_EQ(platform.messages.shown.size(), 1u);
        EXPECT_EQ(platform.messages.shown[0].text, GetParam().answer.error);
        EXPECT_EQ(platform.messages.shown[0].title, "Wininet.dll");
        EXPECT_EQ(platform.messages.shown[0].icon, MessageIcon::Critical);
    } else {
        EXPECT_TRUE(platform.messages.shown.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Connections, NotConnected,
    testing::Values(ConnectionCase{"Down", ConnectedState{false, "", 0}, false},
                    ConnectionCase{"OtherThanOne", ConnectedState{false, "", 2}, false},
                    ConnectionCase{"QueryFails", ConnectedState{true, "interfaces cannot be read", 1}, true}),
    [](const testing::TestParamInfo<ConnectionCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, AServerThatHangsEndsTheCheckWithinTheTimeLimits)
{
    SilentServer silent;

    EXPECT_FALSE(CheckForUpdate(platform.services, store, silent.hostAndPort() + "/kopirko"));
    EXPECT_TRUE(silent.wasConnected());

    EXPECT_TRUE(platform.messages.shown.empty());
    expectNoHandOver();
}

} // namespace
