#pragma once

#include "SystemAppInfo.h"

#include <string>

/// The full path of kopirko_test_child (child/), built beside the test programs.
inline std::string testChildProgram()
{
#ifdef _WIN32
    return SystemAppInfo().programFolder() + "\\kopirko_test_child.exe";
#else
    return SystemAppInfo().programFolder() + "/kopirko_test_child";
#endif
}
