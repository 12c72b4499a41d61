#include "IfaddrsConnectivity.h"

#include "InterfaceAddress.h"

#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

ConnectedState IfaddrsConnectivity::connectedState() const
{
    ConnectedState answer;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        answer.queryFailed = true;
        answer.error = std::string("The network interfaces cannot be read: ") + std::strerror(errno);
        return answer;
    }
    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        InterfaceAddress address;
        address.up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
        address.loopback = entry->ifa_flags & IFF_LOOPBACK;
        const sockaddr* socketAddress = entry->ifa_addr;
        if (socketAddress && socketAddress->sa_family == AF_INET) {
            address.family = InterfaceAddress::Family::IPv4;
            std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr, 4);
        } else if (socketAddress && socketAddress->sa_family == AF_INET6) {
            address.family = InterfaceAddress::Family::IPv6;
            std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(socketAddress)->sin6_addr, 16);
        }
        addresses.push_back(address);
    }
    ::freeifaddrs(interfaces);
    answer.state = connectedStateOf(addresses);
    return answer;
}
