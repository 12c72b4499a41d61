#include "TestLinks.h"

#include <filesystem>

namespace TestLinks {

bool make(const std::string& target, const std::string& link, bool folder)
{
    if (folder)
        std::filesystem::create_directory_symlink(target, link);
    else
        std::filesystem::create_symlink(target, link);
    return true;
}

std::string targetOf(const std::string& link)
{
    std::error_code error;
    return std::filesystem::read_symlink(link, error).string();
}

} // namespace TestLinks
