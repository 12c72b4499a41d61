#include "IfaddrsConnectivity.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace {

bool reachesBeyondItsLink(const sockaddr* address)
{
    if (!address)
        return false;
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        const std::uint32_t host = ntohl(v4->sin_addr.s_addr);
        return (host >> 16) != 0xA9FE; // 169.254.0.0/16
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return !IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
    }
    return false;
}

} // namespace

long IfaddrsConnectivity::stateOf(const ifaddrs* interfaces)
{
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if ((flags & IFF_LOOPBACK) || !(flags & IFF_UP) || !(flags & IFF_RUNNING))
            continue;
        if (reachesBeyondItsLink(entry->ifa_addr))
            return 1;
    }
    return 0;
}

ConnectedState IfaddrsConnectivity::connectedState() const
{
    ConnectedState answer;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        answer.queryFailed = true;
        answer.error = std::string("The network interfaces cannot be read: ") + std::strerror(errno);
        return answer;
    }
    answer.state = stateOf(interfaces);
    ::freeifaddrs(interfaces);
    return answer;
}
