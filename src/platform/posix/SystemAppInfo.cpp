#include "SystemAppInfo.h"

#include <filesystem>
#include <system_error>

std::string SystemAppInfo::programFolder() const
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error).string();
    std::string folder = executable.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

ProgramVersion SystemAppInfo::version() const
{
    return ProgramVersion{KOPIRKO_VERSION_MAJOR, KOPIRKO_VERSION_MINOR, KOPIRKO_VERSION_PATCH};
}

std::string SystemAppInfo::workingFolder() const
{
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    return error || folder.empty() ? std::string(".") : folder;
}

void SystemAppInfo::settleStartFolder() const {}
