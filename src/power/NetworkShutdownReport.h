#pragma once

#include <string>
#include <vector>

/// What became of one folder list entry in a shutdown of the network computers.
struct NetworkShutdownEntry
{
    enum class Outcome {
        PassedOver, ///< a folder of this computer
        Asked,      ///< its computer accepted the request
        Failed      ///< a network folder whose computer could not be asked; `reason` says why
    };
    std::string entry;
    Outcome outcome = Outcome::PassedOver;
    std::string host; ///< empty when the entry names no computer
    std::string reason;
};

/// One line per entry, in list order. The user is told nothing of it; it is there for whoever wants to know.
struct NetworkShutdownReport
{
    std::vector<NetworkShutdownEntry> entries;

    /// The computers that accepted the request, in the order they were asked.
    std::vector<std::string> askedHosts() const
    {
        std::vector<std::string> hosts;
        for (const NetworkShutdownEntry& line : entries)
            if (line.outcome == NetworkShutdownEntry::Outcome::Asked)
                hosts.push_back(line.host);
        return hosts;
    }
};
