#pragma once

#include "NetworkShutdownReport.h"

#include <string>
#include <vector>

struct PlatformServices;

/// Asks every computer named by a network folder among `entries` (the folder list of the window, as it is when the
/// shutdown starts) to shut down, one request per entry in list order: a computer named by two entries is
/// asked twice, and this computer's own name gets no special treatment. Folders of this computer are passed
/// over. An entry whose computer cannot be read, whose name is not a plain computer name (such a name is
/// never handed on), or whose computer does not accept fails on its own; the next entries are still handled.
/// Blocks until every computer has answered or timed out, so run it off the user-interface thread
/// (NetworkShutdownGate). Nothing is shown to the user.
NetworkShutdownReport ShutDownNetworkComputers(const std::vector<std::string>& entries,
                                               const PlatformServices& platform);
