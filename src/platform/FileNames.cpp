#include "FileNames.h"

#include "Paths.h"
#include "WindowsNames.h"

namespace FileNames {

std::optional<std::string> problem(const std::string& name)
{
#ifdef _WIN32
    return WindowsNames::problem(name);
#else
    if (name.empty())
        return "nema nijednog znaka";
    if (name == "." || name == "..")
        return "oznacava fasciklu u kojoj je ili onu iznad nje";
    if (name.find('/') != std::string::npos)
        return "sadrzi znak /";
    if (name.find('\0') != std::string::npos)
        return "sadrzi kontrolne znakove";
    return std::nullopt;
#endif
}

std::string comparisonKey(const std::string& name)
{
#ifdef _WIN32
    return WindowsNames::comparisonKey(name);
#else
    return name;
#endif
}

bool isDirectlyInside(const std::string& folder, const std::string& path)
{
    if (folder.empty() || path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0)
        return false;
    std::size_t nameStart = folder.size();
    if (!Paths::isSeparator(folder.back())) {
        if (!Paths::isSeparator(path[nameStart]))
            return false;
        ++nameStart;
    }
    return !problem(path.substr(nameStart));
}

std::size_t length(std::string_view name)
{
#ifdef _WIN32
    std::size_t units = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            ++units; // each character's first byte
        if ((byte & 0xF8) == 0xF0)
            ++units; // a character beyond U+FFFF takes two
    }
    return units;
#else
    return name.size();
#endif
}

} // namespace FileNames
