#pragma once

#include "NetworkHostLookup.h"

#include <functional>
#include <string>

/// Which computer an entry lies on, on Linux. Besides the network paths of every platform ("\\computer\share\...",
/// "//computer/share/...") it knows how a share is reached here: a folder on a CIFS/SMB mount (the computer of the
/// mount's source), and the desktop's share folders "/run/user/UID/gvfs/smb-share:server=COMPUTER,share=SHARE/...".
class PosixNetworkHostLookup : public NetworkHostLookup
{
public:
    /// Gives the text of the mount table in the form of /proc/self/mountinfo.
    using MountTableReader = std::function<std::string()>;

    /// Reads /proc/self/mountinfo at every lookup: shares are mounted and unmounted while the program runs.
    PosixNetworkHostLookup();
    explicit PosixNetworkHostLookup(MountTableReader readMountTable);

    NetworkHost hostOf(const std::string& entry) const override;

    /// "/run/user/UID/gvfs/smb-share:...,server=COMPUTER,.../...": the server's name, %-escapes decoded. Local
    /// for other paths; Malformed for an smb-share folder without a server.
    static NetworkHost hostOfGvfsPath(const std::string& path);
    /// The computer of the CIFS/SMB mount that holds `path` (the mount with the longest mount point that
    /// contains it; of equal ones the last mounted, which hides the others). Local when that mount is no
    /// network share or `path` is not absolute. `path` is only compared as text: looking at the disk could
    /// hang on a share whose computer is already off.
    static NetworkHost hostOfMountedPath(const std::string& mountInfo, const std::string& path);

private:
    MountTableReader m_readMountTable;
};
