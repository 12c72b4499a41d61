#include "S3TestStore.h"

#include "TestFiles.h"
#include "WineSide.h"

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace {

/// `text` in single quotes for sh.
std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::optional<S3TestStore> S3TestStore::find()
{
    S3TestStore store;
    store.m_folder = KOPIRKO_S3_TEST_SERVER_FOLDER;
    const std::string settings = store.m_folder + "/server.ini";
    if (!TestFiles::exists(settings))
        return std::nullopt;
    const std::map<std::string, std::string*> fields = {
        {"endpoint", &store.m_endpoint},         {"region", &store.m_region},
        {"accessKey", &store.m_accessKey},       {"secretKey", &store.m_secretKey},
        {"lockedBucket", &store.m_lockedBucket}, {"plainBucket", &store.m_plainBucket}};
    std::istringstream lines(TestFiles::read(settings));
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        const auto field = equals == std::string::npos ? fields.end() : fields.find(line.substr(0, equals));
        if (field != fields.end())
            *field->second = line.substr(equals + 1);
    }
    return store;
}

bool S3TestStore::possibleHere()
{
#ifdef _WIN32
    return WineSide::present();
#else
    return true;
#endif
}

ObjectStoreAccount S3TestStore::account(bool locked) const
{
    ObjectStoreAccount account;
    account.endpoint = m_endpoint;
    account.region = m_region;
    account.bucket = locked ? m_lockedBucket : m_plainBucket;
    account.accessKey = m_accessKey;
    account.secretKey = m_secretKey;
    return account;
}

std::string S3TestStore::localPath(const std::string& path)
{
    return WineSide::linuxPath(path).value_or(path);
}

int S3TestStore::s3cmd(const std::vector<std::string>& arguments) const
{
    std::string command = "/usr/bin/s3cmd --no-progress -c " + shellQuoted(localPath(m_folder + "/s3cmd.cfg"));
    for (const std::string& argument : arguments)
        command += " " + shellQuoted(argument);
    return runLinuxShell(command);
}

std::optional<S3TestStore::Gateway> S3TestStore::startGateway(const std::string& name, int port) const
{
    std::string output;
    if (runLinuxShell(shellQuoted(KOPIRKO_S3_TEST_SERVER_SCRIPT) + " gateway " + shellQuoted(localPath(m_folder)) +
                          " " + shellQuoted(name) + (port > 0 ? " " + std::to_string(port) : ""),
                      &output) != 0)
        return std::nullopt;
    Gateway gateway;
    std::istringstream words(output);
    if (!(words >> gateway.port >> gateway.pid) || gateway.port <= 0 || gateway.pid <= 0)
        return std::nullopt;
    return gateway;
}

void S3TestStore::killGateway(const Gateway& gateway) const
{
    const std::string pid = std::to_string(gateway.pid);
    runLinuxShell("[ \"$(cat /proc/" + pid + "/comm)\" = radosgw ] && kill -KILL " + pid);
}

int S3TestStore::runLinuxShell(const std::string& command, std::string* output)
{
    // A small script that runs the command and leaves its exit status in a file: under Wine a Linux program gives
    // no handle to wait on, so both platforms wait for that file.
    TempDir work;
    const std::string status = localPath(work / "status");
    TestFiles::write(work / "run.sh", command + " >" + shellQuoted(localPath(work / "output")) + " 2>&1\necho $? >" +
                                          shellQuoted(status + ".new") + "\nmv " + shellQuoted(status + ".new") + " " +
                                          shellQuoted(status) + "\n");
    const std::string script = localPath(work / "run.sh");
#ifdef _WIN32
    if (!WineSide::startLinuxProgram("/bin/sh", "/bin/sh \"" + script + "\""))
        return -1;
#else
    std::string shell = "/bin/sh", file = script;
    char* argv[] = {shell.data(), file.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0)
        return -1;
    int waited = 0;
    while (::waitpid(pid, &waited, 0) < 0 && errno == EINTR) {
    }
#endif
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!TestFiles::exists(work / "status")) {
        if (std::chrono::steady_clock::now() > end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (output)
        *output = TestFiles::read(work / "output");
    return std::stoi(TestFiles::read(work / "status"));
}
