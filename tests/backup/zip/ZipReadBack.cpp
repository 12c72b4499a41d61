#include "ZipReadBack.h"

#include "TestFiles.h"
#include "Utf8Path.h"

#include <algorithm>
#include <filesystem>

namespace ZipReadBack {

std::map<std::string, std::string> treeContents(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> result;
    const fs::path root = Utf8Path::toPath(folder);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = Utf8Path::fromPath(entry.path());
        std::string relative = Utf8Path::fromPath(fs::relative(entry.path(), root));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::string link = TestFiles::linkTarget(path);
        result[relative] = !link.empty()          ? "<link to " + link + ">"
                           : entry.is_directory() ? "<folder>"
                                                  : TestFiles::read(path);
    }
    return result;
}

} // namespace ZipReadBack
