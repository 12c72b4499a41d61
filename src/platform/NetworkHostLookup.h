#pragma once

#include <string>

/// What a folder list entry says about the computer that holds the folder.
struct NetworkHost
{
    enum class Kind {
        Local,    ///< a folder of this computer: there is no other computer to ask
        Remote,   ///< a folder shared by the computer `host`
        Malformed ///< written as a network path, but no computer can be read from it; `reason` says why
    };
    Kind kind = Kind::Local;
    std::string host;
    std::string reason;

    static NetworkHost local() { return {}; }
    static NetworkHost remote(std::string host) { return {Kind::Remote, std::move(host), {}}; }
    static NetworkHost malformed(std::string reason) { return {Kind::Malformed, {}, std::move(reason)}; }
};

/// Tells which computer of the network a folder list entry lies on. The answer depends on how this platform
/// reaches shared folders, so each platform gives its own.
class NetworkHostLookup
{
public:
    virtual ~NetworkHostLookup() = default;
    virtual NetworkHost hostOf(const std::string& entry) const = 0;
};

/// The rules for network paths, the same on every platform (an entry may have been written on either).
///
/// "\\computer\share\...": the computer is everything between the leading "\\" and the next "\". Local for an
/// entry that does not begin with "\\"; Malformed when no "\" follows the computer's name ("\\PC1") or the name
/// is empty.
NetworkHost hostOfUncPath(const std::string& entry);
/// "//computer/share/...": the text between "//" and the next "/". Local for anything else (on Linux "///x" is
/// "/x"); Malformed without a share ("//PC1").
NetworkHost hostOfSlashPath(const std::string& entry);
/// The first of the two rules above that finds a network path; Local when neither does.
NetworkHost hostOfNetworkPath(const std::string& entry);
