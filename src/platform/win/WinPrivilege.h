#pragma once

#include "Result.h"

#include <string>

/// Switches a privilege the user holds on for this process ("SeShutdownPrivilege"): a privilege is held switched
/// off until the program asks for it. Fails, naming the privilege and the system's reason, when the name is
/// unknown or the user does not hold it.
Result enablePrivilege(const std::string& name);
