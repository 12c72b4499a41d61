#pragma once

#include "InstanceLock.h"

#include <memory>
#include <string>

class TempDir;

/// Real instance locks of this platform that meet only each other: those of one TestInstanceLocks share their
/// names, and no other test or program sees them (on Linux a folder of their own, on Windows a name prefix of
/// their own for the session's mutexes).
class TestInstanceLocks
{
public:
    TestInstanceLocks();
    ~TestInstanceLocks();
    TestInstanceLocks(const TestInstanceLocks&) = delete;
    TestInstanceLocks& operator=(const TestInstanceLocks&) = delete;

    std::unique_ptr<InstanceLock> make() const;

    /// A lock for `title` whose state cannot be learned at all: on Linux its folder does not exist, on Windows
    /// its name is already taken by an object of another kind, so that no mutex of that name can be made.
    std::unique_ptr<InstanceLock> unusable(const std::string& title) const;

private:
    std::unique_ptr<TempDir> m_folder; ///< Linux: the locks' folder
    std::string m_place;               ///< the folder (Linux) or the name prefix (Windows)
};
