#pragma once

#include "ProcessLauncher.h"

/// Starts programs found on PATH, detached (double fork), so no child is left to reap.
class PosixProcessLauncher : public ProcessLauncher
{
public:
    Result startDetached(const std::string& program, const std::vector<std::string>& arguments) override;
};
