#pragma once

#include <string>

/// The name of this computer as the network knows it ("PRODAJA-1"), UTF-8; "" when the system gives none.
std::string thisComputerName();
