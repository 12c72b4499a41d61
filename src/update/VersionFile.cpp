#include "VersionFile.h"

#include "FileSystem.h"

#include <charconv>

std::optional<std::int32_t> parseVersionNumber(const std::string& content)
{
    std::string_view text(content);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const size_t end = text.find_first_of(",\r\n");
    std::string_view field = text.substr(0, end);
    const size_t first = field.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    field = field.substr(first, field.find_last_not_of(" \t") + 1 - first);
    if (field.starts_with('+')) {
        field.remove_prefix(1);
        if (field.starts_with('-'))
            return std::nullopt;
    }
    std::int32_t number = 0;
    const auto [stop, error] = std::from_chars(field.data(), field.data() + field.size(), number);
    if (error != std::errc() || stop != field.data() + field.size())
        return std::nullopt;
    return number;
}

std::optional<std::int32_t> readVersionFile(const FileSystem& fileSystem, const std::string& path)
{
    const std::optional<std::string> content = fileSystem.readFile(path);
    if (!content)
        return std::nullopt;
    return parseVersionNumber(*content);
}
