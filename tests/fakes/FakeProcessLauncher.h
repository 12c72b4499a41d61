#pragma once

#include "ProcessLauncher.h"

#include <string>
#include <vector>

/// Records every start instead of starting anything.
class FakeProcessLauncher : public ProcessLauncher
{
public:
    struct Start
    {
        std::string program;
        std::vector<std::string> arguments;
    };
    std::vector<Start> starts;
    bool fail = false;

    Result startDetached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        starts.push_back({program, arguments});
        return fail ? Result::failure("cannot start \"" + program + "\"") : Result::success();
    }
};
