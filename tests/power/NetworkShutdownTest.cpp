#include "NetworkShutdown.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Outcome = NetworkShutdownEntry::Outcome;

struct ShutdownCase
{
    const char* name;
    std::vector<std::string> entries;
    std::set<std::string> refusing;
    std::vector<std::string> asked; ///< hosts the remote shutdown saw, in order
    std::vector<Outcome> outcomes;  ///< one per entry
};

std::ostream& operator<<(std::ostream& out, const ShutdownCase& c)
{
    return out << c.name;
}

class ShutDownNetworkComputersTest : public testing::TestWithParam<ShutdownCase>
{};

TEST_P(ShutDownNetworkComputersTest, AsksEachNetworkEntryInListOrder)
{
    TestPlatform platform;
    platform.remoteShutdown.failing = GetParam().refusing;

    const NetworkShutdownReport report = ShutDownNetworkComputers(GetParam().entries, platform.services);

    EXPECT_EQ(platform.remoteShutdown.asked(), GetParam().asked);
    ASSERT_EQ(report.entries.size(), GetParam().entries.size());
    for (size_t i = 0; i < report.entries.size(); ++i) {
        SCOPED_TRACE(GetParam().entries[i]);
        EXPECT_EQ(report.entries[i].entry, GetParam().entries[i]);
        EXPECT_EQ(report.entries[i].outcome, GetParam().outcomes[i]);
        EXPECT_EQ(report.entries[i].outcome == Outcome::Failed, !report.entries[i].reason.empty());
    }
    // The user is told nothing, whatever happened.
    EXPECT_TRUE(platform.messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ShutDownNetworkComputersTest,
    testing::Values(ShutdownCase{"LocalFoldersArePassedOver",
                                 {"C:\\Data", "\\\\PC1\\Share\\Docs", "\\\\PC2\\D"},
                                 {},
                                 {"PC1", "PC2"},
                                 {Outcome::PassedOver, Outcome::Asked, Outcome::Asked}},
                    ShutdownCase{"AComputerWithoutShareFailsAloneAndTheNextIsAsked",
                                 {"\\\\PC1", "\\\\PC2\\D"},
                                 {},
                                 {"PC2"},
                                 {Outcome::Failed, Outcome::Asked}},
                    ShutdownCase{"AComputerOfTwoEntriesIsAskedTwice",
                                 {"\\\\PC1\\A", "\\\\PC1\\B"},
                                 {},
                                 {"PC1", "PC1"},
                                 {Outcome::Asked, Outcome::Asked}},
                    ShutdownCase{"ARefusingComputerDoesNotStopTheNext",
                                 {"\\\\PC1\\A", "\\\\PC2\\B", "\\\\PC3\\C"},
                                 {"PC2"},
                                 {"PC1", "PC2", "PC3"},
                                 {Outcome::Asked, Outcome::Failed, Outcome::Asked}},
                    ShutdownCase{"NoNetworkFoldersAsksNobody",
                                 {"/home/ana/Racuni", "C:\\Data"},
                                 {},
                                 {},
                                 {Outcome::PassedOver, Outcome::PassedOver}},
                    ShutdownCase{"AnEmptyListAsksNobody", {}, {}, {}, {}},
                    ShutdownCase{"NamesThatAreNoPlainComputerNameAreNeverHandedOn",
                                 {"\\\\-rf\\x", "\\\\pc 1\\x", "\\\\pc\"1\\x", "//--help/x",
                                  "/run/user/1000/gvfs/smb-share:server=a%3Bb,share=x", "\\\\PC5\\ok"},
                                 {},
                                 {"PC5"},
                                 {Outcome::Failed, Outcome::Failed, Outcome::Failed, Outcome::Failed, Outcome::Failed,
                                  Outcome::Asked}},
                    ShutdownCase{"SharesReachedTheLinuxWay",
                                 {"//nas/backup", "/run/user/1000/gvfs/smb-share:server=pc2,share=docs/a"},
                                 {},
                                 {"nas", "pc2"},
                                 {Outcome::Asked, Outcome::Asked}}));

TEST(ShutDownNetworkComputers, FolderOnAMountedShareAsksTheShareComputer)
{
    TestPlatform platform;
    platform.networkHosts.mountInfo = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                      "40 22 0:41 / /mnt/pc1 rw - cifs //PC1/Docs rw\n";

    const NetworkShutdownReport report = ShutDownNetworkComputers({"/mnt/pc1/Racuni", "/home/ana"}, platform.services);

    EXPECT_EQ(platform.remoteShutdown.asked(), std::vector<std::string>{"PC1"});
    EXPECT_EQ(report.askedHosts(), std::vector<std::string>{"PC1"});
}

TEST(ShutDownNetworkComputers, AnEntryThatThrowsFailsAloneAndTheNextIsAsked)
{
    TestPlatform platform;
    platform.remoteShutdown.onRequest = [](const std::string& host) {
        if (host == "PC1")
            throw std::runtime_error("connection reset");
    };

    const NetworkShutdownReport report = ShutDownNetworkComputers({"\\\\PC1\\A", "\\\\PC2\\B"}, platform.services);

    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_EQ(report.entries[0].outcome, Outcome::Failed);
    EXPECT_EQ(report.entries[0].reason, "connection reset");
    EXPECT_EQ(report.askedHosts(), std::vector<std::string>{"PC2"});
}

} // namespace
