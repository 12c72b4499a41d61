#include "Paths.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace Paths {

#ifdef _WIN32
namespace {

bool isDriveLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

} // namespace
#endif

std::string join(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && isSeparator(folder.back()))
        return folder + name;
    return folder + separator + name;
}

std::string lastComponent(const std::string& path)
{
    const auto position = std::find_if(path.rbegin(), path.rend(), isSeparator);
    return position == path.rend() ? path : std::string(position.base(), path.end());
}

std::string parent(const std::string& path)
{
    std::string rest = path;
    while (!rest.empty() && isSeparator(rest.back()))
        rest.pop_back();
    const auto last = std::find_if(rest.rbegin(), rest.rend(), isSeparator);
    if (rest.empty() || last == rest.rend())
        return {};
    rest.erase(std::prev(last.base()), rest.end());
    while (!rest.empty() && isSeparator(rest.back()))
        rest.pop_back();
        // What is left may be a root ("" of "/a"; on Windows "C:" of "C:\a", "\\?\C:" of "\\?\C:\a"): it is written
        // with its separator.
#ifdef _WIN32
    if (!rest.empty() && rest.back() == ':')
        rest += separator;
#endif
    if (rest.empty())
        rest += separator;
    return rest;
}

bool hasSeparator(const std::string& path)
{
    return std::any_of(path.begin(), path.end(), isSeparator);
}

bool isAbsolute(const std::string& path)
{
#ifdef _WIN32
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':')
        return path.size() == 2 || isSeparator(path[2]);
    return !path.empty() && isSeparator(path[0]);
#else
    return !path.empty() && path.front() == '/';
#endif
}

std::string rootName(const std::string& path)
{
#ifdef _WIN32
    // "\\?\C:\" and "\\.\C:\" are the drive written for the system's own path rules, "\\?\UNC\computer\share" the
    // share: they go by the same names, never by "C:" (a colon cannot stand in a file name).
    std::string trimmed = path;
    for (const char* prefix : {"\\\\?\\", "\\\\.\\", "//?/", "//./"}) {
        if (trimmed.starts_with(prefix)) {
            trimmed.erase(0, 4);
            if (trimmed.size() >= 4 && (trimmed.compare(0, 3, "UNC") == 0 || trimmed.compare(0, 3, "unc") == 0) &&
                isSeparator(trimmed[3]))
                trimmed = "\\\\" + trimmed.substr(4);
            break;
        }
    }
    while (!trimmed.empty() && isSeparator(trimmed.back()))
        trimmed.pop_back();
    if (trimmed.size() == 2 && isDriveLetter(trimmed[0]) && trimmed[1] == ':')
        return trimmed.substr(0, 1);
    // "\\computer\share": two leading separators, then exactly one more between two names.
    if (trimmed.size() > 2 && isSeparator(trimmed[0]) && isSeparator(trimmed[1])) {
        const std::string rest = trimmed.substr(2);
        const auto between = std::find_if(rest.begin(), rest.end(), isSeparator);
        if (between != rest.begin() && between != rest.end() && between + 1 != rest.end() &&
            std::none_of(between + 1, rest.end(), isSeparator))
            return std::string(between + 1, rest.end());
    }
    return {};
#else
    (void)path;
    return {};
#endif
}

} // namespace Paths
