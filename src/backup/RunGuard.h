#pragma once

/// Lets one backup run (folder, archive or database) at a time into the program. A run that finds another one
/// in progress is refused, not nested.
class RunGuard
{
public:
    RunGuard();
    ~RunGuard();
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    /// True when this guard holds the program's one run slot.
    bool entered() const { return m_entered; }
    /// True while any run is in progress.
    static bool busy();

private:
    bool m_entered;
};
