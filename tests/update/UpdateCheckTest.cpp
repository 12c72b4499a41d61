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
                                            "ELF\0\r\n",
                                            7) +
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
    bool asked() const { return !platform.messages.shown.empty() && platform.messages.shown[0].question; }
    bool requested(const std::string& path) const
    {
        const auto all = server.requests();
        return std::find(all.begin(), all.end(), path) != all.end();
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

class VersionComparison : public UpdateCheckTest, public testing::WithParamInterface<VersionCase>
{};

TEST_P(VersionComparison, OnlyAHigherServerNumberIsOfferedAndNoGoesOn)
{
    const VersionCase& c = GetParam();
    if (c.server)
        server.serve("/kopirko/version.txt", *c.server);
    if (c.own)
        TestFiles::write(folder / "version.txt", *c.own);
    else
        std::filesystem::remove(folder / "version.txt");
    if (c.earlierCopy)
        TestFiles::write(folder / "versiontmp.txt", *c.earlierCopy);

    EXPECT_FALSE(check()); // the answer is No

    ASSERT_EQ(platform.messages.shown.size(), c.offered ? 1u : 0u);
    if (c.offered) {
        const auto& box = platform.messages.shown[0];
        EXPECT_EQ(box.text, "Na raspolaganju je nova verzija programa.\r\nDa li želite da nadogradite Vaš program ? ");
        EXPECT_TRUE(box.question);
        EXPECT_EQ(box.icon, MessageIcon::Question);
    }
    EXPECT_TRUE(platform.launcher.starts.empty());
    EXPECT_FALSE(platform.terminator.ended());
    EXPECT_FALSE(TestFiles::exists(folder / "update.ini"));
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionComparison,
                         testing::Values(VersionCase{"Newer", "1017\r\n", "1016\r\n", {}, true},
                                         VersionCase{"Equal", "1016\r\n", "1016\r\n", {}, false},
                                         VersionCase{"Older", "1015\r\n", "1016\r\n", {}, false},
                                         VersionCase{"TenAgainstNine", "10\r\n", "9\r\n", {}, true},
                                         VersionCase{"NineAgainstTen", "9\r\n", "10\r\n", {}, false},
                                         VersionCase{"ServerNoNumber", "<html>1017</html>", "1016\r\n", {}, false},
                                         VersionCase{"ServerMissingEarlierCopyNewer", {}, "1016\r\n", "1017\r\n", true},
                                         VersionCase{"ServerBeatsEarlierCopy", "1016", "1016\r\n", "1017\r\n", false},
                                         VersionCase{"OwnMissing", "1017\r\n", {}, {}, false}),
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
    EXPECT_EQ(platform.terminator.exitCode, 0);
    EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini"); // the settings never end up in the hand-off file
}

TEST_F(UpdateCheckTest, WhenTheHandOverFailsTheProgramSaysSoAndGoesOn)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    for (const bool unwritableHandOff : {false, true}) {
        SCOPED_TRACE(unwritableHandOff);
        platform.messages.shown.clear();
        platform.messages.answers = {true};
        platform.launcher.fail = !unwritableHandOff;
        if (unwritableHandOff) {
            std::filesystem::remove(folder / "update.ini");
            TestFiles::makeFolder(folder / "update.ini");
        }

        EXPECT_FALSE(check());

        EXPECT_EQ(platform.launcher.starts.size(), 1u); // only the first time: no updater without its hand-off
        EXPECT_FALSE(platform.terminator.ended());
        ASSERT_EQ(platform.messages.shown.size(), 2u);
        EXPECT_TRUE(platform.messages.shown[1].text.starts_with("Nadogradnja nije pokrenuta: "));
        EXPECT_EQ(store.IniFilePath(), folder / "KOPIRKO.ini");
    }
}

struct UpdaterCase
{
    const char* name;
    std::optional<std::string> installed; ///< "versionu.txt"; nothing: missing
    std::optional<std::string> onServer;  ///< "/versionu.txt"; nothing: 404
    bool fetched;                         ///< "/updater.exe" is fetched
    bool checkGoesOn;                     ///< "/version.txt" is fetched and compared
};

class UpdaterRefresh : public UpdateCheckTest, public testing::WithParamInterface<UpdaterCase>
{};

TEST_P(UpdaterRefresh, TheUpdaterIsReplacedOnlyByAHigherNumber)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    TestFiles::write(folder / "updater.exe", "old updater");
    if (GetParam().installed)
        TestFiles::write(folder / "versionu.txt", *GetParam().installed);
    server.serve("/kopirko/versionu.txt", GetParam().onServer.value_or("gone"), GetParam().onServer ? 200 : 404);

    check();

    EXPECT_EQ(TestFiles::read(folder / "updater.exe"), GetParam().fetched ? updaterBody : "old updater");
    EXPECT_EQ(requested("/kopirko/version.txt"), GetParam().checkGoesOn);
    EXPECT_EQ(asked(), GetParam().checkGoesOn);
}

INSTANTIATE_TEST_SUITE_P(Updater, UpdaterRefresh,
                         testing::Values(UpdaterCase{"NoneInstalled", {}, "1\r\n", true, true},
                                         UpdaterCase{"NoneInstalledServerZero", {}, "0\r\n", false, true},
                                         UpdaterCase{"Same", "2\r\n", "2\r\n", false, true},
                                         UpdaterCase{"TenAgainstTwo", "2\r\n", "10\r\n", true, true},
                                         UpdaterCase{"NeverBack", "10\r\n", "9\r\n", false, true},
                                         UpdaterCase{"ServerNumberMissing", "2\r\n", {}, false, false},
                                         UpdaterCase{"InstalledNoNumber", "two\r\n", "3\r\n", false, false}),
                         [](const testing::TestParamInfo<UpdaterCase>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, EveryFileComesFromTheServerInOrder)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    check();
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{"/kopirko/versionu.txt", "/kopirko/updater.exe", "/kopirko/version.txt"}));
    EXPECT_EQ(platform.http.cacheRemovals, platform.http.downloads); // each purged from the cache first
    EXPECT_NE(std::filesystem::status(folder / "updater.exe").permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
}

TEST_F(UpdateCheckTest, NotConnectedSkipsTheCheckAndOnlyAFailedQueryIsShown)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    for (const ConnectedState& answer : {ConnectedState{false, "", 0}, ConnectedState{false, "", 2},
                                         ConnectedState{true, "interfaces cannot be read", 1}}) {
        platform.messages.shown.clear();
        platform.connectivity.answer = answer;

        EXPECT_FALSE(check());

        EXPECT_TRUE(server.requests().empty());
        ASSERT_EQ(platform.messages.shown.size(), answer.queryFailed ? 1u : 0u) << answer.state;
        if (answer.queryFailed) {
            EXPECT_EQ(platform.messages.shown[0].text, "interfaces cannot be read");
            EXPECT_EQ(platform.messages.shown[0].title, "Wininet.dll");
            EXPECT_EQ(platform.messages.shown[0].icon, MessageIcon::Critical);
        }
    }
}

} // namespace
