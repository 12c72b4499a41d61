#include "WinPowerControl.h"

Result WinPowerControl::shutDownThisComputer()
{
    return Result::failure("not written yet");
}
