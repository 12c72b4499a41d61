#include "NetworkShutdown.h"

#include "HostName.h"
#include "NetworkHostLookup.h"
#include "PlatformServices.h"
#include "RemoteShutdown.h"

#include <exception>

namespace {

NetworkShutdownEntry handleEntry(const std::string& entry, const PlatformServices& platform)
{
    using Outcome = NetworkShutdownEntry::Outcome;
    NetworkShutdownEntry line{entry, Outcome::PassedOver, {}, {}};
    const NetworkHost host = platform.networkHosts.hostOf(entry);
    switch (host.kind) {
    case NetworkHost::Kind::Local:
        return line;
    case NetworkHost::Kind::Malformed:
        line.outcome = Outcome::Failed;
        line.reason = host.reason;
        return line;
    case NetworkHost::Kind::Remote:
        break;
    }
    line.host = host.host;
    if (!isPlainHostName(host.host)) {
        line.outcome = Outcome::Failed;
        line.reason = "\"" + host.host + "\" is not a plain computer name";
        return line;
    }
    const Result asked = platform.remoteShutdown.shutDown(host.host);
    line.outcome = asked ? Outcome::Asked : Outcome::Failed;
    line.reason = asked.error();
    return line;
}

} // namespace

NetworkShutdownReport ShutDownNetworkComputers(const std::vector<std::string>& entries,
                                               const PlatformServices& platform)
{
    NetworkShutdownReport report;
    for (const std::string& entry : entries) {
        try {
            report.entries.push_back(handleEntry(entry, platform));
        } catch (const std::exception& error) {
            report.entries.push_back({entry, NetworkShutdownEntry::Outcome::Failed, {}, error.what()});
        } catch (...) {
            report.entries.push_back({entry, NetworkShutdownEntry::Outcome::Failed, {}, "unknown failure"});
        }
    }
    return report;
}
