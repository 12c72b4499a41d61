#include "SmtpTestServer.h"

#include "TestFiles.h"
#include "WineSide.h"

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

/// Waits up to `limit` for `path` to exist.
bool appears(const std::string& path, std::chrono::seconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!TestFiles::exists(path)) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace

SmtpTestServer::SmtpTestServer(const std::string& mode, const std::string& folder, const std::string& user,
                               const std::string& password)
    : m_folder(folder)
{
    std::vector<std::string> arguments{mode, folder};
    if (!user.empty()) {
        arguments.push_back(user);
        arguments.push_back(password);
    }
    start(arguments);
    // The port is written once the server listens (making a certificate takes a moment).
    if (appears(m_folder + "/port", std::chrono::seconds(60)))
        m_port = std::stoi(TestFiles::read(m_folder + "/port"));
}

SmtpTestServer::~SmtpTestServer()
{
    stop();
}

#ifdef _WIN32

bool SmtpTestServer::available()
{
    return WineSide::present();
}

void SmtpTestServer::start(const std::vector<std::string>& arguments)
{
    const auto unixFolder = WineSide::linuxPath(m_folder);
    if (!unixFolder)
        return;
    std::vector<std::string> forLinux = arguments;
    forLinux[1] = *unixFolder;
    std::string commandLine = std::string("/usr/bin/python3 \"") + KOPIRKO_SMTP_SERVER_SCRIPT + "\"";
    for (const std::string& argument : forLinux)
        commandLine += " \"" + argument + "\"";
    // Wine gives no handle of a Linux process to wait on: the server says itself when it has stopped.
    WineSide::startLinuxProgram("/usr/bin/python3", commandLine);
}

void SmtpTestServer::stop()
{
    if (m_port == 0)
        return;
    TestFiles::write(m_folder + "/stop", "");
    appears(m_folder + "/stopped", std::chrono::seconds(15));
}

#else

bool SmtpTestServer::available()
{
    return true;
}

void SmtpTestServer::start(const std::vector<std::string>& arguments)
{
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    std::vector<std::string> all{"/usr/bin/python3", KOPIRKO_SMTP_SERVER_SCRIPT, "--watch-input"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    m_input = input[1];
    if (spawned == 0)
        m_pid = pid;
}

void SmtpTestServer::stop()
{
    if (m_input >= 0)
        ::close(m_input);
    if (m_pid > 0) {
        int status = 0;
        while (::waitpid(static_cast<pid_t>(m_pid), &status, 0) < 0 && errno == EINTR) {
        }
    }
}

#endif

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
