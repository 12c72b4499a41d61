#include "WinNetworkHostLookup.h"

WinNetworkHostLookup::WinNetworkHostLookup()
    : WinNetworkHostLookup([](const std::string&) { return std::optional<std::string>(); })
{}

WinNetworkHostLookup::WinNetworkHostLookup(DriveMapping mapping) : m_mapping(std::move(mapping)) {}

NetworkHost WinNetworkHostLookup::hostOf(const std::string& entry) const
{
    return hostOfUncPath(entry);
}
