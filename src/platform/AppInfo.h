#pragma once

#include <string>

struct ProgramVersion
{
    int major = 0;
    int minor = 0;
    int revision = 0;
};

/// What the program knows about itself.
class AppInfo
{
public:
    virtual ~AppInfo() = default;
    /// The folder that holds the executable: no trailing separator unless it is "/".
    virtual std::string programFolder() const = 0;
    virtual ProgramVersion version() const = 0;
    /// The process's current folder (where the program was started): no trailing separator unless it is "/".
    virtual std::string workingFolder() const = 0;
};
