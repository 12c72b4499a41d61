#include "IfaddrsConnectivity.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <vector>

namespace {

struct Interface
{
    unsigned flags;
    const char* address; ///< IPv4 or IPv6; "link" for a link-layer entry; nullptr for none
};

long stateOf(const std::vector<Interface>& interfaces)
{
    std::vector<sockaddr_storage> addresses(interfaces.size());
    std::vector<ifaddrs> list(interfaces.size());
    for (size_t i = 0; i < interfaces.size(); ++i) {
        const std::string address = interfaces[i].address ? interfaces[i].address : "";
        auto* v4 = reinterpret_cast<sockaddr_in*>(&addresses[i]);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&addresses[i]);
        if (address == "link")
            addresses[i].ss_family = AF_PACKET;
        else if (address.find(':') != std::string::npos)
            v6->sin6_family = AF_INET6, inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr);
        else
            v4->sin_family = AF_INET, inet_pton(AF_INET, address.c_str(), &v4->sin_addr);
        list[i].ifa_flags = interfaces[i].flags;
        list[i].ifa_addr = address.empty() ? nullptr : reinterpret_cast<sockaddr*>(&addresses[i]);
        list[i].ifa_next = i + 1 < list.size() ? &list[i + 1] : nullptr;
    }
    return IfaddrsConnectivity::stateOf(list.empty() ? nullptr : list.data());
}

TEST(ConnectedState, OneOnlyForARunningInterfaceWithAUsableAddress)
{
    constexpr unsigned on = IFF_UP | IFF_RUNNING;
    EXPECT_EQ(stateOf({}), 0);
    EXPECT_EQ(stateOf({{on | IFF_LOOPBACK, "127.0.0.1"}, {on | IFF_LOOPBACK, "::1"}}), 0);
    EXPECT_EQ(stateOf({{on | IFF_LOOPBACK, "127.0.0.1"}, {on, "link"}, {on, "192.168.1.5"}}), 1);
    EXPECT_EQ(stateOf({{IFF_UP, "192.168.1.5"}}), 0);      // cable out
    EXPECT_EQ(stateOf({{IFF_RUNNING, "192.168.1.5"}}), 0); // switched off
    EXPECT_EQ(stateOf({{on, "169.254.10.20"}}), 0);        // no address from the network
    EXPECT_EQ(stateOf({{on, "fe80::1"}}), 0);
    EXPECT_EQ(stateOf({{on, "fe80::1"}, {on, "2001:db8::5"}}), 1);
    EXPECT_EQ(stateOf({{on, nullptr}, {on, "link"}}), 0);
}

} // namespace
