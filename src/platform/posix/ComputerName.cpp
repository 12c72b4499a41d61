#include "ComputerName.h"

#include <unistd.h>

std::string thisComputerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}
