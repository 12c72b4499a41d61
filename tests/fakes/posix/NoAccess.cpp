#include "NoAccess.h"

#include "AsNobody.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

int runWithoutAccess(const std::string& root, const std::vector<std::string>& paths, const std::function<int()>& work)
{
    std::error_code error;
    ::chmod(root.c_str(), 0777);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_symlink())
            ::chmod(it->path().c_str(), it->is_directory() ? 0777 : 0666);
    }
    for (const std::string& path : paths)
        ::chmod(path.c_str(), 0000);
    return runAsNobody(work);
}
