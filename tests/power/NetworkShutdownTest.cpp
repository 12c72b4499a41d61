#include "NetworkShutdown.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Outcome = NetworkShutdownEntry::Outcome;
constexpr Outcome over = Outcome::PassedOver, asked = Outcome::Asked, failed = Outcome::Failed;

struct ShutdownCase
{
    const char* name;
    std::vector<std::string> entries;
    std::set<std::string> refusing;
    std::vector<std::string> asked; ///< hosts the remote shutdown saw, in order
    std::vector<Outcome> outcomes;  ///< one per entry
    friend void PrintTo(const ShutdownCase& c, std::ostream* out) { *out << c.name; }
};

class ShutDownNetworkComputersTest : public testing::TestWithParam<ShutdownCase>
{};

TEST_P(ShutDownNetworkComputersTest, AsksEachNetworkEntryInListOrder)
{
    TestPlatform platform;
    platform.remoteShutdown.failing = GetParam().refusing;
    platform.networkHosts.mountInfo = "40 22 0:41 / /mnt/pc1 rw - cifs //PC1/Docs rw\n";
    platform.remoteShutdown.onRequest = [](const std::string& host) {
        if (host == "PC4")
            throw std::runtime_error("connection reset");
    };

    const NetworkShutdownReport report = ShutDownNetworkComputers(GetParam().entries, platform.services);

    EXPECT_EQ(platform.remoteShutdown.asked(), GetParam().asked);
    ASSERT_EQ(report.entries.size(), GetParam().outcomes.size());
    for (size_t i = 0; i < report.entries.size(); ++i) {
        SCOPED_TRACE(GetParam().entries[i]);
        EXPECT_EQ(report.entries[i].outcome, GetParam().outcomes[i]);
        EXPECT_EQ(report.entries[i].outcome == failed, !report.entries[i].reason.empty());
    }
    EXPECT_TRUE(platform.messages.shown.empty()); // whatever happened, the user is told nothing
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ShutDownNetworkComputersTest,
    testing::Values(
        ShutdownCase{"LocalFoldersArePassedOver",
                     {"C:\\Data", "\\\\PC1\\Share\\Docs", "\\\\PC2\\D"},
                     {},
                     {"PC1", "PC2"},
                     {over, asked, asked}},
        ShutdownCase{"NoShareFailsAlone", {"\\\\PC1", "\\\\PC2\\D"}, {}, {"PC2"}, {failed, asked}},
        ShutdownCase{"AskedOncePerEntry", {"\\\\PC1\\A", "\\\\PC1\\B"}, {}, {"PC1", "PC1"}, {asked, asked}},
        ShutdownCase{"ARefusalDoesNotStopTheNext",
                     {"\\\\PC1\\A", "\\\\PC2\\B", "\\\\PC3\\C"},
                     {"PC2"},
                     {"PC1", "PC2", "PC3"},
                     {asked, failed, asked}},
        ShutdownCase{"AnErrorDoesNotStopTheNext", {"\\\\PC4\\A", "\\\\PC5\\B"}, {}, {"PC5"}, {failed, asked}},
        ShutdownCase{"NoNetworkFolders", {"/home/ana/Racuni", "C:\\Data"}, {}, {}, {over, over}},
        ShutdownCase{"NamesThatAreNoPlainComputerNameAreNeverHandedOn",
                     {"\\\\-rf\\x", "\\\\pc 1\\x", "\\\\pc\"1\\x", "//--help/x",
                      "/run/user/1000/gvfs/smb-share:server=a%3Bb,share=x", "\\\\PC5\\ok"},
                     {},
                     {"PC5"},
                     {failed, failed, failed, failed, failed, asked}},
        ShutdownCase{"SharesReachedTheLinuxWay",
                     {"//nas/backup", "/run/user/1000/gvfs/smb-share:server=pc2,share=docs/a", "/mnt/pc1/Racuni"},
                     {},
                     {"nas", "pc2", "PC1"},
                     {asked, asked, asked}}),
    [](const testing::TestParamInfo<ShutdownCase>& info) { return std::string(info.param.name); });

} // namespace
