#include "Paths.h"

namespace Paths {

std::string join(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == separator)
        return folder + name;
    return folder + separator + name;
}

std::string lastComponent(const std::string& path)
{
    const auto position = path.rfind(separator);
    return position == std::string::npos ? path : path.substr(position + 1);
}

bool hasSeparator(const std::string& path)
{
    return path.find(separator) != std::string::npos;
}

} // namespace Paths
