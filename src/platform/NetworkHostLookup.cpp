#include "NetworkHostLookup.h"

NetworkHost hostOfUncPath(const std::string& entry)
{
    if (!entry.starts_with("\\\\"))
        return NetworkHost::local();
    const size_t end = entry.find('\\', 2);
    if (end == std::string::npos)
        return NetworkHost::malformed("no share follows the computer's name in \"" + entry + "\"");
    if (end == 2)
        return NetworkHost::malformed("no computer name in \"" + entry + "\"");
    return NetworkHost::remote(entry.substr(2, end - 2));
}

NetworkHost hostOfSlashPath(const std::string& entry)
{
    if (!entry.starts_with("//") || entry.starts_with("///"))
        return NetworkHost::local();
    const size_t end = entry.find('/', 2);
    if (end == std::string::npos)
        return NetworkHost::malformed("no share follows the computer's name in \"" + entry + "\"");
    return NetworkHost::remote(entry.substr(2, end - 2));
}

NetworkHost hostOfNetworkPath(const std::string& entry)
{
    if (NetworkHost host = hostOfUncPath(entry); host.kind != NetworkHost::Kind::Local)
        return host;
    return hostOfSlashPath(entry);
}
