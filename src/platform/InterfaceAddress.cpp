#include "InterfaceAddress.h"

#include <algorithm>

bool InterfaceAddress::reachesBeyondItsLink() const
{
    switch (family) {
    case Family::IPv4:
        return !(bytes[0] == 169 && bytes[1] == 254);
    case Family::IPv6: {
        const bool linkLocal = bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80;
        const std::array<std::uint8_t, 16> loopbackAddress{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        return !linkLocal && bytes != loopbackAddress;
    }
    case Family::None:
        break;
    }
    return false;
}

long connectedStateOf(const std::vector<InterfaceAddress>& addresses)
{
    const bool connected = std::any_of(addresses.begin(), addresses.end(), [](const InterfaceAddress& entry) {
        return entry.up && !entry.loopback && entry.reachesBeyondItsLink();
    });
    return connected ? 1 : 0;
}
