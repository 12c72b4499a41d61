#pragma once

#include "PosixFileSystem.h"

#include <functional>
#include <optional>

/// The real disk with a hook before every single-file copy: it may change the source (a database written to
/// while it is read) or stand in for the copy with a failure.
class HookedFileSystem : public PosixFileSystem
{
public:
    std::function<std::optional<Result>(const std::string& source)> beforeCopy;

    Result copyFile(const std::string& source, const std::string& target) override
    {
        if (std::optional<Result> instead = beforeCopy ? beforeCopy(source) : std::nullopt)
            return *instead;
        return PosixFileSystem::copyFile(source, target);
    }
};
