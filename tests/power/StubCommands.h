#pragma once

#include "TempDir.h"

#include <string>

/// A folder of stand-in commands, put first on PATH for the life of the object (PATH is restored after).
class StubCommands
{
public:
    StubCommands();
    ~StubCommands();
    StubCommands(const StubCommands&) = delete;
    StubCommands& operator=(const StubCommands&) = delete;

    /// Writes an executable shell script `name` with `body` (after the "#!/bin/sh" line).
    void add(const std::string& name, const std::string& body);
    /// Where a script may leave what it saw.
    std::string file(const std::string& name) const { return m_folder / name; }
    const std::string& folder() const { return m_folder.path(); }

private:
    TempDir m_folder;
    std::string m_oldPath;
    bool m_hadPath = false;
};
