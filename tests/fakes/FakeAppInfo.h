#pragma once

#include "AppInfo.h"

class FakeAppInfo : public AppInfo
{
public:
    std::string folder = "/tmp";
    ProgramVersion programVersion{1, 0, 16};
    std::string programFolder() const override { return folder; }
    ProgramVersion version() const override { return programVersion; }
    std::string working = "/tmp";
    std::string workingFolder() const override { return working; }
};
