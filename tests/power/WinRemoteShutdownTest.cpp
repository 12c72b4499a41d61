// WinRemoteShutdown exists only on Windows. Its request is always injected here: the real one would shut a
// computer down (this one too, for its own name or 127.0.0.1).
#include "WinRemoteShutdown.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(WinRemoteShutdownTest, OnlyPlainNamesAreSentAsBackslashNamesAndARefusalGivesTheSystemsReason)
{
    auto sent = std::make_shared<std::vector<std::wstring>>();
    WinRemoteShutdown shutdown(60s, [sent](const std::wstring& machine) -> unsigned long {
        sent->push_back(machine);
        return machine == L"\\\\PC2" ? 53 : 0; // ERROR_BAD_NETPATH
    });
    for (const std::string host :
         {"-rf", ".hidden", "pc 1", "pc\"1", "pc\\1", "\\\\PC1", "a/b", "pc\n1", "p\xC4\x8D", ""})
        EXPECT_FALSE(shutdown.shutDown(host)) << testing::PrintToString(host);
    EXPECT_FALSE(shutdown.shutDown(std::string("pc\0x", 4)));
    EXPECT_TRUE(sent->empty());

    for (const std::string host : {"PC1", "192.168.1.12", "fe80::1", "pc-2.local"}) {
        const Result result = shutdown.shutDown(host);
        EXPECT_TRUE(result) << host << ": " << result.error();
    }
    const Result refused = shutdown.shutDown("PC2");
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("PC2"), std::string::npos) << refused.error();
    EXPECT_NE(refused.error().find("(53)"), std::string::npos) << refused.error();
    EXPECT_EQ(*sent, (std::vector<std::wstring>{L"\\\\PC1", L"\\\\192.168.1.12", L"\\\\fe80::1", L"\\\\pc-2.local",
                                                L"\\\\PC2"}));
}

// A computer that is off keeps the call waiting for minutes: the answer is a failure at the time limit, and the
// call, left to end on its own, must not touch anything of the caller's when it does.
TEST(WinRemoteShutdownTest, AComputerThatDoesNotAnswerIsGivenUpAtTheTimeLimit)
{
    auto open = std::make_shared<std::promise<void>>(), returned = std::make_shared<std::promise<void>>();
    std::future<void> answered = returned->get_future();
    {
        WinRemoteShutdown shutdown(300ms, [opened = open->get_future().share(), returned](const std::wstring&) {
            opened.wait();
            returned->set_value();
            return 0ul;
        });
        const Result result = shutdown.shutDown("PC9");
        ASSERT_FALSE(result);
        EXPECT_NE(result.error().find("PC9 did not answer within 300 ms"), std::string::npos) << result.error();
    } // the caller's object is gone before the answer comes

    open->set_value();
    EXPECT_EQ(answered.wait_for(30s), std::future_status::ready);
}

} // namespace
