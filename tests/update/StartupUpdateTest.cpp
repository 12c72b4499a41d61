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

// The window (and its icon) come before the update check, whatever the server does; its downloads run as the
// window's off-thread work, and only the user's Yes to a newer version ends the program, icon first.
TEST_F(UpdateTest, TheWindowComesFirstAndTheStartGoesOnWhateverTheServerDoesUnlessTheUserTakesTheUpdate)
{
    const struct
    {
        const char* versionFile;
        AnswerKind kind;
        bool handedOver;
    } cases[] = {{"abc", AnswerKind::Body, false}, // what else cannot be read: ParseVersionNumber
                 {"1017\r\n", AnswerKind::Late, false},
                 {"1017\r\n", AnswerKind::Body, true}};
    for (const auto& c : cases) {
        server.serve("/kopirko/version.txt", c.versionFile, 200, c.kind);
        platform.messages.shown.clear();
        platform.messages.answers = {true};
        platform.terminator.exitCode.reset();
        platform.http.calls.clear();
        AppContext context(platform.services);
        RecordingWindow::Seen seen;
        StartupSequence startup(context, address(),
                                [&] { return std::make_unique<RecordingWindow>(platform.http, seen); });

        const std::unique_ptr<StartupWindow> shown = startup.run();

        EXPECT_EQ(shown != nullptr, !c.handedOver) << c.versionFile;
        EXPECT_EQ(seen.requestsWhenShown, 0u) << c.versionFile;
        EXPECT_GE(seen.works, 3) << c.versionFile; // two version files and the updater, at least
        EXPECT_EQ(platform.terminator.ended(), c.handedOver) << c.versionFile;
        EXPECT_EQ(seen.iconRemoved, c.handedOver) << c.versionFile;
        EXPECT_EQ(platform.messages.shown.size(), c.handedOver ? 1u : 0u) << c.versionFile; // the question only
    }
}

} // namespace
