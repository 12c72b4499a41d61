// WinRemoteShutdown exists only on Windows. Its request is always injected here: the real one would shut a
// computer down (this one too, for its own name or 127.0.0.1).
#include "WinRemoteShutdown.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
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
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        bool returned = false;
    };
    auto gate = std::make_shared<Gate>();
    {
        WinRemoteShutdown shutdown(300ms, [gate](const std::wstring&) -> unsigned long {
            std::unique_lock lock(gate->mutex);
            gate->changed.wait(lock, [&] { return gate->open; });
            gate->returned = true;
            gate->changed.notify_all();
            return 0;
        });
        const Result result = shutdown.shutDown("PC9");
        ASSERT_FALSE(result);
        EXPECT_NE(result.error().find("PC9 did not answer within 300 ms"), std::string::npos) << result.error();
    } // the caller's object is gone before the answer comes

    std::unique_lock lock(gate->mutex);
    gate->open = true;
    gate->changed.notify_all();
    EXPECT_TRUE(gate->changed.wait_for(lock, 30s, [&] { return gate->returned; }));
}

} // namespace
