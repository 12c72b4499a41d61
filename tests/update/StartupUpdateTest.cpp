// The start of the program around the update check, against a real HTTP server on 127.0.0.1.
#include "AppContext.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "UpdateFixture.h"

namespace {

TEST_F(UpdateTest, TheStartGoesOnWhateverTheServerDoesUnlessTheUserTakesTheUpdate)
{
    const struct
    {
        const char* versionFile;
        AnswerKind kind;
        bool windowMade;
    } cases[] = {{"abc", AnswerKind::Body, true}, // what else cannot be read: ParseVersionNumber
                 {"1017\r\n", AnswerKind::Late, true},
                 {"1017\r\n", AnswerKind::Body, false}};
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

} // namespace
