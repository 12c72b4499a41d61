#pragma once

#include "ProcessTerminator.h"

/// Ends the process with std::_Exit: no destructors, no window handlers.
class WinProcessTerminator : public ProcessTerminator
{
public:
    void endNow(int exitCode) override;
};
