#include "NoAccess.h"

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    // In a child process as "nobody" when this one is root, which ignores permission bits.
    const pid_t child = ::fork();
    if (child < 0)
        return 126;
    if (child == 0) {
        if (::geteuid() == 0) {
            const gid_t nogroup = 65534;
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nogroup, nogroup, nogroup) != 0 ||
                ::setresuid(nobody, nobody, nobody) != 0)
                ::_exit(125);
        }
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}
