#include "TestFiles.h"

#include "Paths.h"
#include "SystemAppInfo.h"
#include "Utf8Path.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#ifdef _WIN32
#include "SystemPlatform.h"
#include "WideText.h"

#include <windows.h>
#endif

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("kopirko-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            m_path = Utf8Path::fromPath(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code error;
    const fs::path root = Utf8Path::toPath(m_path);
    // Tests leave read-only files and folders behind on purpose: make everything writable first.
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(root, error);
}

std::string TempDir::operator/(const std::string& relative) const
{
    return Paths::join(m_path, TestFiles::native(relative));
}

namespace TestFiles {

std::string native(std::string path)
{
    std::replace(path.begin(), path.end(), '/', Paths::separator);
    return path;
}

void write(const std::string& path, const std::string& content)
{
    const fs::path file = Utf8Path::toPath(path);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string read(const std::string& path)
{
    std::ifstream in(Utf8Path::toPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void makeFolder(const std::string& path)
{
    fs::create_directories(Utf8Path::toPath(path));
}

bool exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(Utf8Path::toPath(path), error));
}

std::vector<std::string> names(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(Utf8Path::toPath(folder)))
        found.push_back(Utf8Path::fromPath(entry.path().filename()));
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> files(const std::string& folder)
{
    std::vector<std::string> found;
    const fs::path root = Utf8Path::toPath(folder);
    // Nothing but the listing itself touches the disk: a file removed meanwhile (by a copy left behind that
    // cleans up) must not make the listing fail.
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (!entry.is_directory(ignored) || entry.is_symlink(ignored)) {
            std::string relative = Utf8Path::fromPath(entry.path().lexically_relative(root));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            found.push_back(relative);
        }
    std::sort(found.begin(), found.end());
    return found;
}

std::map<std::string, std::string> tree(const std::string& folder)
{
    std::map<std::string, std::string> result;
    const fs::path root = Utf8Path::toPath(folder);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = Utf8Path::fromPath(entry.path());
        std::string relative = Utf8Path::fromPath(fs::relative(entry.path(), root));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::string link = linkTarget(path);
        result[relative] = !link.empty() ? "<link to " + link + ">" : entry.is_directory() ? "<folder>" : read(path);
    }
    return result;
}

std::string programBeside(const std::string& name)
{
    return Paths::join(SystemAppInfo().programFolder(), name + (Paths::separator == '\\' ? ".exe" : ""));
}

bool makeLink(const std::string& target, const std::string& link, bool folder)
{
#ifdef _WIN32
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2; // ALLOW_UNPRIVILEGED_CREATE
    std::wstring wideTarget = WideText::fromUtf8(target);
    std::replace(wideTarget.begin(), wideTarget.end(), L'/', L'\\');
    if (!::CreateSymbolicLinkW(WideText::longPath(link).c_str(), wideTarget.c_str(), flags))
        return false;
    const DWORD attributes = ::GetFileAttributesW(WideText::longPath(link).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    if (folder)
        fs::create_directory_symlink(target, link);
    else
        fs::create_symlink(target, link);
    return true;
#endif
}

void setModified(const std::string& path, std::int64_t seconds)
{
#ifdef _WIN32
    const auto ticks = static_cast<std::uint64_t>(seconds + 11644473600) * 10000000;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const HANDLE file =
        ::CreateFileW(WideText::longPath(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!::SetFileTime(file, nullptr, nullptr, &time) || !::CloseHandle(file))
#else
    if (std::system(("touch -m -d @" + std::to_string(seconds) + " '" + path + "'").c_str()) != 0)
#endif
        throw std::runtime_error("cannot set the time of " + path);
}

std::string linkTarget(const std::string& link)
{
#ifdef _WIN32
    const std::optional<FolderEntry> entry = WinFileSystem().examine(link, false);
    return entry && entry->kind == FolderEntry::Kind::Link ? entry->linkTarget : std::string();
#else
    std::error_code error;
    return fs::read_symlink(link, error).string();
#endif
}

std::string noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

} // namespace TestFiles
