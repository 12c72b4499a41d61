#include "PosixInstanceLock.h"

#include "Paths.h"

#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

PosixInstanceLock::PosixInstanceLock(std::string folder) : m_folder(std::move(folder))
{
    if (m_folder.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        m_folder = runtime && *runtime ? runtime : "/tmp";
    }
}

PosixInstanceLock::~PosixInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PosixInstanceLock::tryAcquire(const std::string& title)
{
    std::string name;
    for (const unsigned char c : title)
        name += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_';
    const std::string path = Paths::join(m_folder, "kopirko-" + std::to_string(::getuid()) + "-" + name + ".lock");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // the lock cannot be checked: a failed search lets the start go on
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return true;
}
