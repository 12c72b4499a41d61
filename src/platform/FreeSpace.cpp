#include "FreeSpace.h"

#include "Utf8Path.h"

#include <filesystem>

std::optional<std::uint64_t> freeSpaceOf(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(Utf8Path::toPath(folder), error);
    if (error || space.available == static_cast<std::uintmax_t>(-1))
        return std::nullopt;
    return space.available;
}
