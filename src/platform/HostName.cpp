#include "HostName.h"

#include <algorithm>

namespace {

bool allowedInHostName(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == ':';
}

} // namespace

bool isPlainHostName(const std::string& name)
{
    if (name.empty() || name.size() > 255)
        return false;
    if (name.front() == '-' || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), allowedInHostName);
}
