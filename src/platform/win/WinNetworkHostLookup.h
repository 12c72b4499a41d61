#pragma once

#include "NetworkHostLookup.h"

#include <functional>
#include <optional>

/// Which computer an entry lies on, on Windows: "\\computer\share\...", "//computer/share/..." and a folder on a
/// drive letter that is mapped to a share (the computer of the share the drive stands for).
class WinNetworkHostLookup : public NetworkHostLookup
{
public:
    /// The remote name ("\\computer\share") a drive ("X:") is mapped to; nothing for a local drive.
    using DriveMapping = std::function<std::optional<std::string>(const std::string& drive)>;

    /// Asks WNetGetConnectionW at every lookup: drives are mapped and unmapped while the program runs.
    WinNetworkHostLookup();
    explicit WinNetworkHostLookup(DriveMapping mapping);

    NetworkHost hostOf(const std::string& entry) const override;

private:
    DriveMapping m_mapping;
};
