#include "StubCommands.h"

#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>

StubCommands::StubCommands()
{
    if (const char* path = std::getenv("PATH")) {
        m_hadPath = true;
        m_oldPath = path;
    }
    // Only the stubs: a real "net" must never be found by a test.
    ::setenv("PATH", m_folder.path().c_str(), 1);
}

StubCommands::~StubCommands()
{
    if (m_hadPath)
        ::setenv("PATH", m_oldPath.c_str(), 1);
    else
        ::unsetenv("PATH");
}

void StubCommands::add(const std::string& name, const std::string& body)
{
    const std::string path = m_folder / name;
    TestFiles::write(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}
