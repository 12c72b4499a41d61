#include "CheckedCopy.h"

#include "FileSystem.h"

namespace {

bool same(const std::optional<FileStat>& before, const std::optional<FileStat>& after)
{
    return before && after && before->size == after->size && before->modifiedNs == after->modifiedNs;
}

} // namespace

Result copyFileChecked(FileSystem& fileSystem, const std::string& source, const std::string& target)
{
    constexpr int attempts = 2;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const std::optional<FileStat> before = fileSystem.statFile(source);
        if (Result copied = fileSystem.copyFile(source, target); !copied)
            return copied;
        if (same(before, fileSystem.statFile(source)))
            return Result::success();
    }
    return Result::failure("\"" + source + "\": " + changedDuringCopy);
}
