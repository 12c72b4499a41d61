#include "WinFileSystem.h"

bool WinFileSystem::exists(const std::string&) const
{
    return false;
}

bool WinFileSystem::isDirectory(const std::string&) const
{
    return false;
}

bool WinFileSystem::isRegularFile(const std::string&) const
{
    return false;
}

std::optional<FileStat> WinFileSystem::statFile(const std::string&) const
{
    return std::nullopt;
}

Result WinFileSystem::createDirectory(const std::string&)
{
    return Result::failure("not written yet");
}

Result WinFileSystem::removeTree(const std::string&, RemoveMode)
{
    return Result::failure("not written yet");
}

Result WinFileSystem::removeFile(const std::string&, RemoveMode)
{
    return Result::failure("not written yet");
}

Result WinFileSystem::copyFile(const std::string&, const std::string&)
{
    return Result::failure("not written yet");
}

TreeCopyOutcome WinFileSystem::copyTreeContents(const std::string&, const std::string&, const ProgressCallback&)
{
    return {};
}

std::vector<std::string> WinFileSystem::listFiles(const std::string&) const
{
    return {};
}

std::optional<std::string> WinFileSystem::readFile(const std::string&) const
{
    return std::nullopt;
}

Result WinFileSystem::writeFileAtomically(const std::string&, const std::string&)
{
    return Result::failure("not written yet");
}
