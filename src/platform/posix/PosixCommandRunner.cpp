#include "PosixCommandRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr size_t keptOutput = 4096;

class SpawnSetup
{
public:
    SpawnSetup()
    {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

void keepTail(std::string& output, const char* data, size_t size)
{
    output.append(data, size);
    if (output.size() > keptOutput)
        output.erase(0, output.size() - keptOutput);
}

/// Reads what is there without blocking; false once the pipe is closed by every writer.
bool readAvailable(int fd, std::string& output)
{
    char buffer[1024];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            keepTail(output, buffer, static_cast<size_t>(got));
            continue;
        }
        if (got == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

int exitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

PosixCommandRunner::PosixCommandRunner(StartRetry retry) : m_retry(std::move(retry)) {}

CommandOutcome PosixCommandRunner::run(const std::string& program, const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds timeLimit)
{
    CommandOutcome outcome;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        outcome.error = std::string("cannot start \"") + program + "\": " + std::strerror(errno);
        return outcome;
    }
    // The write end becomes the command's stdout and stderr; dup2 in the child clears O_CLOEXEC there.
    ::fcntl(pipeEnds[1], F_SETFL, 0);

    pid_t child = -1;
    const auto spawn = [&]() -> unsigned long {
        SpawnSetup setup;
        ::posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 1);
        ::posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 2);
        ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
        // A session of its own: no terminal to prompt on, and one process group to end at the time limit.
        ::posix_spawnattr_setflags(&setup.attributes,
                                   POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&setup.attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        ::posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
        return static_cast<unsigned long>(
            ::posix_spawnp(&child, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ));
    };
    // A start that fails for a moment is tried again; the pipe serves every try.
    const int spawnError = static_cast<int>(m_retry.start(spawn, StartRetry::passingOnPosix));
    ::close(pipeEnds[1]);
    if (spawnError != 0) {
        ::close(pipeEnds[0]);
        outcome.error = std::string("cannot start \"") + program + "\": " + std::strerror(spawnError);
        return outcome;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    bool pipeOpen = true;
    int status = 0;
    while (true) {
        const pid_t reaped = ::waitpid(child, &status, WNOHANG);
        if (reaped == child) {
            outcome.status = CommandOutcome::Status::Finished;
            outcome.exitCode = exitCodeOf(status);
            break;
        }
        if (reaped < 0 && errno != EINTR) {
            outcome.status = CommandOutcome::Status::Finished;
            outcome.error = std::string("cannot wait for \"") + program + "\": " + std::strerror(errno);
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            // Only the group this call started: the command and whatever it started in its session.
            ::kill(-child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            outcome.status = CommandOutcome::Status::TimedOut;
            break;
        }
        // Short slices: the command may end while something it started still holds the pipe open.
        const int slice = static_cast<int>(std::min<long long>(left.count(), 50));
        if (pipeOpen) {
            pollfd watched{pipeEnds[0], POLLIN, 0};
            if (::poll(&watched, 1, slice) > 0)
                pipeOpen = readAvailable(pipeEnds[0], outcome.output);
        } else {
            ::poll(nullptr, 0, slice);
        }
    }
    if (pipeOpen)
        readAvailable(pipeEnds[0], outcome.output);
    ::close(pipeEnds[0]);
    return outcome;
}
