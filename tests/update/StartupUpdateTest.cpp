// The start of the program around the update check, against a real HTTP server on 127.0.0.1.
#include "AppContext.h"
#include "FakeBackupHost.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "UpdateFixture.h"

namespace {

/// The window as the start sees it, recording into `seen` (which outlives it: the start destroys the window when
/// the program is to end): the requests sent when it was shown, the work it ran, the icon's removal.
struct RecordingWindow : StartupWindow, FakeBackupHost
{
    struct Seen
    {
        size_t requestsWhenShown = 99;
        int works = 0;
        bool iconRemoved = false;
    };
    RecordingWindow(const LoopbackHttpClient& client, Seen& record) : http(client), seen(record) {}
    void load() override {}
    BackupHost& backupHost() override { return *this; }
    void showWindow() override { seen.requestsWhenShown = http.calls.size(); }
    void removeTrayIcon() override { seen.iconRemoved = true; }
    void runWork(const std::function<void()>& work) override { ++seen.works, work(); }

    const LoopbackHttpClient& http;
    Seen& seen;
};

// The window (and its icon) come before the update check, whatever the server does, and its downloads run as the
// window's off-thread work. The program's own check holds the key built in (none in a test build, and never the key
// of the test's signatures): the user's Yes to a newer version is told that it cannot be checked, and the program goes
// on; the hand-off itself is UpdateTest's.
TEST_F(UpdateTest, TheWindowComesFirstAndTheStartGoesOnWhateverTheServerDoes)
{
    const struct
    {
        const char* versionFile;
        AnswerKind kind;
        bool offered;
    } cases[] = {{"abc", AnswerKind::Body, false}, // what else cannot be read: ParseVersionNumber
                 {"1017\r\n", AnswerKind::Late, false},
                 {"1017\r\n", AnswerKind::Body, true}};
    for (const auto& c : cases) {
        server.serve("/kopirko/version.txt", c.versionFile, 200, c.kind);
        platform.messages.shown.clear();
        platform.messages.answers = {true};
        platform.http.calls.clear();
        AppContext context(platform.services);
        RecordingWindow::Seen seen;
        StartupSequence startup(context, address(),
                                [&] { return std::make_unique<RecordingWindow>(platform.http, seen); });

        const std::unique_ptr<StartupWindow> shown = startup.run();

        EXPECT_NE(shown, nullptr) << c.versionFile;
        EXPECT_EQ(seen.requestsWhenShown, 0u) << c.versionFile;
        EXPECT_GE(seen.works, 2) << c.versionFile; // two version files at least
        EXPECT_FALSE(platform.terminator.ended()) << c.versionFile;
        EXPECT_FALSE(seen.iconRemoved) << c.versionFile;
        EXPECT_TRUE(platform.launcher.starts.empty()) << c.versionFile;
        ASSERT_EQ(platform.messages.shown.size(), c.offered ? 2u : 0u) << c.versionFile;
        if (c.offered) {
            EXPECT_EQ(platform.messages.shown[0], updateQuestion);
            EXPECT_TRUE(platform.messages.shown[1].starts_with(updateNotVerified)) << platform.messages.shown[1];
        }
    }
}

} // namespace
