#include "HostName.h"
#include "PosixNetworkHostLookup.h"

#include <gtest/gtest.h>

namespace {

using Kind = NetworkHost::Kind;

struct HostCase
{
    const char* entry;
    Kind kind;
    const char* host;
    friend void PrintTo(const HostCase& c, std::ostream* out) { *out << '"' << c.entry << '"'; }
};

// A mount table as the kernel writes it: optional fields, escaped blanks, a share mounted inside a share's
// name range (/mnt/pc1 and /mnt/pc10), a local disk mounted inside a share, and a share hidden by a later mount.
const char* const mountTable =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "40 22 0:41 / /mnt/pc1 rw,relatime shared:20 - cifs //PC1/Docs rw,vers=3.1.1,addr=192.168.1.11\n"
    "41 22 0:42 / /mnt/pc10 rw,relatime - cifs //pc10/x rw,vers=3.0\n"
    "42 40 8:17 / /mnt/pc1/usb rw,relatime - vfat /dev/sdb1 rw\n"
    "43 22 0:43 / /mnt/with\\040space rw,relatime - cifs //pc4/s rw\n"
    "44 22 0:44 / /mnt/over rw,relatime - cifs //old/s rw\n"
    "45 22 0:45 / /mnt/over rw,relatime - tmpfs tmpfs rw\n"
    "46 22 0:46 / /media/nas rw,relatime master:7 - smb3 //nas.local/share rw\n"
    "47 22 0:47 / /run/user/1000/gvfs rw,nosuid - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "48 22 0:48 / /mnt/broken rw - cifs nonsense rw\n";

class HostOfEntry : public testing::TestWithParam<HostCase>
{};

TEST_P(HostOfEntry, NamesTheComputerThatHoldsTheFolder)
{
    const PosixNetworkHostLookup lookup([] { return std::string(mountTable); });
    const NetworkHost host = lookup.hostOf(GetParam().entry);
    EXPECT_EQ(host.kind, GetParam().kind);
    EXPECT_EQ(host.host, GetParam().host);
    if (host.kind == Kind::Malformed) {
        EXPECT_FALSE(host.reason.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    WindowsPaths, HostOfEntry,
    testing::Values(HostCase{"C:\\Data", Kind::Local, ""}, HostCase{"\\\\PC1\\Share\\Docs", Kind::Remote, "PC1"},
                    HostCase{"\\\\SERVER\\Backup", Kind::Remote, "SERVER"}, HostCase{"\\\\PC1\\", Kind::Remote, "PC1"},
                    HostCase{"\\\\PC1", Kind::Malformed, ""}, HostCase{"\\\\\\Share", Kind::Malformed, ""},
                    HostCase{"\\PC1\\Share", Kind::Local, ""}, HostCase{"", Kind::Local, ""}));

INSTANTIATE_TEST_SUITE_P(SlashPaths, HostOfEntry,
                         testing::Values(HostCase{"//nas/backup/2024", Kind::Remote, "nas"},
                                         HostCase{"//nas", Kind::Malformed, ""},
                                         HostCase{"///srv/data", Kind::Local, ""}));

INSTANTIATE_TEST_SUITE_P(
    DesktopShares, HostOfEntry,
    testing::Values(HostCase{"/run/user/1000/gvfs/smb-share:server=pc2,share=docs/a", Kind::Remote, "pc2"},
                    HostCase{"/run/user/1000/gvfs/smb-share:domain=WG,server=192.168.1.7,share=d,user=ana",
                             Kind::Remote, "192.168.1.7"},
                    HostCase{"/run/user/1000/gvfs/smb-share:server=my%20pc,share=x", Kind::Remote, "my pc"},
                    HostCase{"/run/user/1000/gvfs/smb-share:share=docs/a", Kind::Malformed, ""},
                    HostCase{"/run/user/1000/gvfs/sftp:host=pc3/x", Kind::Local, ""},
                    HostCase{"/run/user/abc/gvfs/smb-share:server=pc2,share=d", Kind::Local, ""}));

INSTANTIATE_TEST_SUITE_P(
    MountedShares, HostOfEntry,
    testing::Values(HostCase{"/mnt/pc1/Racuni/2024", Kind::Remote, "PC1"}, HostCase{"/mnt/pc1", Kind::Remote, "PC1"},
                    HostCase{"/mnt/pc1/", Kind::Remote, "PC1"}, HostCase{"/mnt/pc10/a", Kind::Remote, "pc10"},
                    HostCase{"/mnt/pc1/../pc10/a", Kind::Remote, "pc10"}, HostCase{"/mnt/pc1x", Kind::Local, ""},
                    HostCase{"/mnt/pc1/usb/data", Kind::Local, ""}, HostCase{"/mnt/with space/a", Kind::Remote, "pc4"},
                    HostCase{"/mnt/over/a", Kind::Local, ""}, HostCase{"/media/nas/x", Kind::Remote, "nas.local"},
                    HostCase{"/home/ana", Kind::Local, ""}, HostCase{"mnt/pc1", Kind::Local, ""},
                    HostCase{"/mnt/broken/x", Kind::Malformed, ""}));

struct NameCase
{
    std::string name;
    bool plain;
    friend void PrintTo(const NameCase& c, std::ostream* out) { *out << testing::PrintToString(c.name); }
};

class PlainHostName : public testing::TestWithParam<NameCase>
{};

TEST_P(PlainHostName, OnlyPlainNamesAndAddressesPass)
{
    EXPECT_EQ(isPlainHostName(GetParam().name), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(Names, PlainHostName,
                         testing::Values(NameCase{"PC1", true}, NameCase{"pc-2.local", true},
                                         NameCase{"192.168.1.5", true}, NameCase{"fe80::1", true},
                                         NameCase{"srv_1", true}, NameCase{std::string(255, 'a'), true},
                                         NameCase{std::string(256, 'a'), false}, NameCase{"", false},
                                         NameCase{"-rf", false}, NameCase{"--help", false}, NameCase{".hidden", false},
                                         NameCase{"pc 1", false}, NameCase{"pc\"1", false}, NameCase{"pc'1", false},
                                         NameCase{"pc\t1", false}, NameCase{"pc\n1", false},
                                         NameCase{std::string("pc\0x", 4), false}, NameCase{"pc;reboot", false},
                                         NameCase{"pc$(id)", false}, NameCase{"a/b", false}, NameCase{"pč", false}));

} // namespace
