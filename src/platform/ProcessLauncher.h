#pragma once

#include "Result.h"

#include <string>
#include <vector>

/// Starts other programs.
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;
    /// Starts `program` with `arguments` (each one argument, never passed through a shell) and does not wait
    /// for it. Fails when the program cannot be started.
    virtual Result startDetached(const std::string& program, const std::vector<std::string>& arguments) = 0;
};
