#include "SmtpTestServer.h"

#include "TestFiles.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

SmtpTestServer::SmtpTestServer(const std::string& mode, const std::string& folder, const std::string& user,
                               const std::string& password)
    : m_folder(folder)
{
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::vector<std::string> arguments{"/usr/bin/python3", KOPIRKO_SMTP_SERVER_SCRIPT, mode, folder};
    if (!user.empty()) {
        arguments.push_back(user);
        arguments.push_back(password);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    m_input = input[1];
    if (spawned != 0) {
        m_pid = -1;
        ::close(output[0]);
        return;
    }
    // The first line is the port, once the server listens (making a certificate takes a moment).
    std::string line;
    pollfd wait{output[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&wait, 1, 60000) > 0) {
        char buffer[64];
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        line.append(buffer, static_cast<size_t>(got));
    }
    ::close(output[0]);
    if (line.find('\n') != std::string::npos)
        m_port = std::stoi(line);
}

SmtpTestServer::~SmtpTestServer()
{
    if (m_input >= 0)
        ::close(m_input);
    if (m_pid > 0) {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

std::vector<std::string> SmtpTestServer::messages() const
{
    std::vector<std::string> texts;
    for (int n = 1; TestFiles::exists(m_folder + "/decoded/" + std::to_string(n) + ".txt"); ++n)
        texts.push_back(TestFiles::read(m_folder + "/decoded/" + std::to_string(n) + ".txt"));
    return texts;
}

size_t SmtpTestServer::maildirCount() const
{
    const std::string folder = m_folder + "/maildir/new";
    return TestFiles::exists(folder) ? TestFiles::names(folder).size() : 0;
}
