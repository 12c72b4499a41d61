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

    /// The program counts on being started in its own folder (its settings, version.txt, the point-of-sale
    /// database beside it). Windows starts the programs of the user's "Run" key, with which the setup program
    /// makes it start with Windows, in the system's own folder: a start there is taken as a start in the
    /// program's folder, which becomes the current folder. Any other start folder is kept (a shortcut may start
    /// the program in the point-of-sale system's folder). Nothing happens on other systems.
    void settleStartFolder() const;
};
