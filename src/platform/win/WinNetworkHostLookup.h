#pragma once

#include "NetworkHostLookup.h"

#include <functional>
#include <optional>
#include <string>

/// Which computer an entry lies on, on Windows: "\\computer\share\...", "//computer/share/..." (the rules of every
/// platform), the same in the long form "\\?\UNC\computer\share\...", and a folder on a drive letter that is mapped
/// to a share (the computer of the share the drive stands for). Other drives and relative paths are Local.
class WinNetworkHostLookup : public NetworkHostLookup
{
public:
    /// The remote name ("\\computer\share") a drive ("X:", upper case) is mapped to; nothing for a local drive.
    using DriveMapping = std::function<std::optional<std::string>(const std::string& drive)>;

    /// Asks WNetGetConnectionW at every lookup: drives are mapped and unmapped while the program runs.
    WinNetworkHostLookup();
    explicit WinNetworkHostLookup(DriveMapping mapping);

    NetworkHost hostOf(const std::string& entry) const override;

    /// What WNetGetConnectionW says about `drive` ("X:"): the remote name, also for a remembered mapping that is
    /// not connected now (its computer may be off); nothing for a drive of this computer.
    static std::optional<std::string> connectedShare(const std::string& drive);

private:
    DriveMapping m_mapping;
};
