#include "PosixProcessLauncher.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

Result PosixProcessLauncher::startDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it (O_CLOEXEC).
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return Result::failure(std::string("cannot start \"") + program + "\": " + std::strerror(errno));

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return Result::failure(std::string("cannot start \"") + program + "\": " + std::strerror(error));
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        ::close(report[0]);
        ::execvp(program.c_str(), argv.data());
        const int error = errno;
        [[maybe_unused]] auto ignored = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    int execError = 0;
    const ssize_t got = ::read(report[0], &execError, sizeof execError);
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof execError))
        return Result::failure(std::string("cannot start \"") + program + "\": " + std::strerror(execError));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Result::failure("cannot start \"" + program + "\"");
    return Result::success();
}
