#pragma once

#include "AppInfo.h"

/// The executable's folder as the system gives it (/proc/self/exe, GetModuleFileNameW); the version fixed at
/// build time.
class SystemAppInfo : public AppInfo
{
public:
    std::string programFolder() const override;
    ProgramVersion version() const override;
    std::string workingFolder() const override;
};
