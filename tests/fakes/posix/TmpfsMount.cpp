#include "TmpfsMount.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

TmpfsMount::TmpfsMount(const std::string& folder, const std::string& size) : m_folder(folder)
{
    const std::string options = "size=" + size;
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0)
        m_mounted = true;
    else
        m_error = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}
