#pragma once

#include "AppInfo.h"

/// The executable's folder from /proc/self/exe; the version fixed at build time.
class SystemAppInfo : public AppInfo
{
public:
    std::string programFolder() const override;
    ProgramVersion version() const override;
    std::string workingFolder() const override;
};
