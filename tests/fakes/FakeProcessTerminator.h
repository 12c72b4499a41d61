#pragma once

#include "ProcessTerminator.h"

#include <optional>

/// Records the end of the process instead of ending it.
class FakeProcessTerminator : public ProcessTerminator
{
public:
    std::optional<int> exitCode;
    void endNow(int code) override
    {
        if (!exitCode)
            exitCode = code;
    }
    bool ended() const { return exitCode.has_value(); }
};
