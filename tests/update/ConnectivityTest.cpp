#include "IfaddrsConnectivity.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

#include <optional>
#include <string>
#include <vector>

namespace {

/// A list of interfaces as getifaddrs gives it, built from plain descriptions. Copies stay valid: the links
/// are made when the list is read.
class InterfaceList
{
public:
    InterfaceList& add(const char* name, unsigned flags, const char* address)
    {
        m_items.push_back({name, flags, address ? std::optional<std::string>(address) : std::nullopt});
        return *this;
    }

    const ifaddrs* head() const
    {
        m_addresses.assign(m_items.size(), sockaddr_storage{});
        m_entries.assign(m_items.size(), ifaddrs{});
        for (size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            ifaddrs& entry = m_entries[i];
            entry.ifa_name = const_cast<char*>(item.name);
            entry.ifa_flags = item.flags;
            entry.ifa_next = i + 1 < m_items.size() ? &m_entries[i + 1] : nullptr;
            entry.ifa_addr = item.address ? fill(m_addresses[i], *item.address) : nullptr;
        }
        return m_entries.empty() ? nullptr : &m_entries.front();
    }

private:
    struct Item
    {
        const char* name;
        unsigned flags;
        std::optional<std::string> address; ///< "link", an IPv6 or an IPv4 address
    };

    static sockaddr* fill(sockaddr_storage& storage, const std::string& address)
    {
        if (address == "link") {
            storage.ss_family = AF_PACKET;
        } else if (address.find(':') != std::string::npos) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
            v6->sin6_family = AF_INET6;
            inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr);
        } else {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
            v4->sin_family = AF_INET;
            inet_pton(AF_INET, address.c_str(), &v4->sin_addr);
        }
        return reinterpret_cast<sockaddr*>(&storage);
    }

    std::vector<Item> m_items;
    mutable std::vector<sockaddr_storage> m_addresses;
    mutable std::vector<ifaddrs> m_entries;
};

constexpr unsigned upRunning = IFF_UP | IFF_RUNNING;

struct InterfacesCase
{
    const char* name;
    InterfaceList list;
    long state;
};

std::ostream& operator<<(std::ostream& out, const InterfacesCase& c)
{
    return out << c.name;
}

class ConnectedStateOf : public testing::TestWithParam<InterfacesCase>
{};

TEST_P(ConnectedStateOf, OneOnlyForARunningInterfaceWithAUsableAddress)
{
    EXPECT_EQ(IfaddrsConnectivity::stateOf(GetParam().list.head()), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, ConnectedStateOf,
    testing::Values(
        InterfacesCase{"None", InterfaceList(), 0},
        InterfacesCase{"LoopbackOnly", InterfaceList().add("lo", upRunning | IFF_LOOPBACK, "127.0.0.1"), 0},
        InterfacesCase{"Ethernet",
                       InterfaceList()
                           .add("lo", upRunning | IFF_LOOPBACK, "127.0.0.1")
                           .add("eth0", upRunning, "link")
                           .add("eth0", upRunning, "192.168.1.5"),
                       1},
        InterfacesCase{"CableOut", InterfaceList().add("eth0", IFF_UP, "192.168.1.5"), 0},
        InterfacesCase{"Down", InterfaceList().add("eth0", IFF_RUNNING, "192.168.1.5"), 0},
        InterfacesCase{"NoDhcpAnswer", InterfaceList().add("eth0", upRunning, "169.254.10.20"), 0},
        InterfacesCase{"LinkLocalIpv6Only", InterfaceList().add("eth0", upRunning, "fe80::1"), 0},
        InterfacesCase{"GlobalIpv6",
                       InterfaceList().add("eth0", upRunning, "fe80::1").add("eth0", upRunning, "2001:db8::5"), 1},
        InterfacesCase{"NoAddress", InterfaceList().add("wlan0", upRunning, nullptr).add("wlan0", upRunning, "link"),
                       0}),
    [](const testing::TestParamInfo<InterfacesCase>& info) { return std::string(info.param.name); });

} // namespace
