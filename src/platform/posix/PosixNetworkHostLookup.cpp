#include "PosixNetworkHostLookup.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string readProcMountInfo()
{
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

/// The kernel writes blanks, tabs, line ends and backslashes in mount points as "\ooo" (octal).
std::string unescapeMountField(const std::string& field)
{
    std::string result;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                result.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        result.push_back(field[i]);
    }
    return result;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            result.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

/// True when `mountPoint` is `path` or one of its parent folders (both normalised, no trailing "/").
bool contains(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return true;
    return path == mountPoint || (path.starts_with(mountPoint) && path[mountPoint.size()] == '/');
}

std::string normalised(const std::string& path)
{
    std::string result = std::filesystem::path(path).lexically_normal().string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

/// The computer of a mount source: "//computer/share" or "\\computer\share".
NetworkHost hostOfMountSource(const std::string& source)
{
    const NetworkHost host = hostOfNetworkPath(source);
    if (host.kind == NetworkHost::Kind::Local)
        return NetworkHost::malformed("the share \"" + source + "\" names no computer");
    return host;
}

} // namespace

PosixNetworkHostLookup::PosixNetworkHostLookup() : m_readMountTable(readProcMountInfo) {}

PosixNetworkHostLookup::PosixNetworkHostLookup(MountTableReader readMountTable)
    : m_readMountTable(std::move(readMountTable))
{}

NetworkHost PosixNetworkHostLookup::hostOf(const std::string& entry) const
{
    if (NetworkHost host = hostOfNetworkPath(entry); host.kind != NetworkHost::Kind::Local)
        return host;
    if (NetworkHost host = hostOfGvfsPath(entry); host.kind != NetworkHost::Kind::Local)
        return host;
    if (!entry.starts_with('/'))
        return NetworkHost::local();
    return hostOfMountedPath(m_readMountTable(), entry);
}

NetworkHost PosixNetworkHostLookup::hostOfGvfsPath(const std::string& path)
{
    // /run/user/<uid>/gvfs/<mount>[/...]
    const std::vector<std::string> parts = split(path, '/');
    if (parts.size() < 6 || !parts[0].empty() || parts[1] != "run" || parts[2] != "user" || parts[4] != "gvfs")
        return NetworkHost::local();
    if (parts[3].empty() || parts[3].find_first_not_of("0123456789") != std::string::npos)
        return NetworkHost::local();
    const std::string& mount = parts[5];
    const std::string prefix = "smb-share:";
    if (!mount.starts_with(prefix))
        return NetworkHost::local();
    for (const std::string& pair : split(mount.substr(prefix.size()), ',')) {
        if (pair.starts_with("server=") && pair.size() > 7)
            return NetworkHost::remote(percentDecode(pair.substr(7)));
    }
    return NetworkHost::malformed("the share folder \"" + mount + "\" names no server");
}

NetworkHost PosixNetworkHostLookup::hostOfMountedPath(const std::string& mountInfo, const std::string& path)
{
    if (!path.starts_with('/'))
        return NetworkHost::local();
    const std::string target = normalised(path);

    // Fields: id parent major:minor root mountpoint options [optional fields...] - fstype source superoptions
    size_t bestLength = 0;
    bool found = false;
    std::string bestType;
    std::string bestSource;
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = split(line, ' ');
        if (fields.size() < 7)
            continue;
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (dash + 2 >= fields.size())
            continue;
        const std::string mountPoint = normalised(unescapeMountField(fields[4]));
        if (!contains(mountPoint, target) || mountPoint.size() < bestLength)
            continue;
        bestLength = mountPoint.size();
        found = true;
        bestType = fields[dash + 1];
        bestSource = unescapeMountField(fields[dash + 2]);
    }
    if (!found || (bestType != "cifs" && bestType != "smb3" && bestType != "smbfs"))
        return NetworkHost::local();
    return hostOfMountSource(bestSource);
}
