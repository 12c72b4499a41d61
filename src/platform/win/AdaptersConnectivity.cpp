#include "AdaptersConnectivity.h"

#include "InterfaceAddress.h"
#include "WideText.h"

// The socket headers first: iphlpapi.h needs their types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <cstring>
#include <vector>

namespace {

/// GetAdaptersAddresses into a buffer that grows while the list grows between the calls; ERROR_SUCCESS,
/// ERROR_NO_DATA (no adapter at all) or the failure.
ULONG readAdapters(std::vector<unsigned char>& buffer)
{
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = ::GetAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                        reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    return status;
}

} // namespace

ConnectedState AdaptersConnectivity::connectedState() const
{
    ConnectedState answer;
    std::vector<unsigned char> buffer;
    const ULONG status = readAdapters(buffer);
    if (status == ERROR_NO_DATA)
        return answer;
    if (status != ERROR_SUCCESS) {
        answer.queryFailed = true;
        answer.error = "The network adapters cannot be read: " + WideText::errorText(status);
        return answer;
    }
    std::vector<InterfaceAddress> addresses;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next) {
            InterfaceAddress address;
            address.up = adapter->OperStatus == IfOperStatusUp;
            address.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            const sockaddr* socketAddress = unicast->Address.lpSockaddr;
            if (socketAddress && socketAddress->sa_family == AF_INET) {
                address.family = InterfaceAddress::Family::IPv4;
                std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr, 4);
            } else if (socketAddress && socketAddress->sa_family == AF_INET6) {
                address.family = InterfaceAddress::Family::IPv6;
                std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in6*>(socketAddress)->sin6_addr, 16);
            }
            addresses.push_back(address);
        }
    }
    answer.state = connectedStateOf(addresses);
    return answer;
}
