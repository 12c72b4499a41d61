#pragma once

#include <string>
#include <vector>

/// Shuts down the network computers named by the folder list entries.
/// Placeholder until the network shutdown is built.
void ShutDownNetworkComputers(const std::vector<std::string>& entries);
