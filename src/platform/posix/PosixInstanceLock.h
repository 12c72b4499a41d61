#pragma once

#include "InstanceLock.h"

/// An flock on a file in the user's runtime folder ($XDG_RUNTIME_DIR, else /tmp), named after the title in
/// lower case. The kernel drops the lock when the process ends, however it ends.
class PosixInstanceLock : public InstanceLock
{
public:
    /// `folder` empty: the user's runtime folder.
    explicit PosixInstanceLock(std::string folder = {});
    ~PosixInstanceLock() override;
    bool tryAcquire(const std::string& title) override;

private:
    std::string m_folder;
    int m_fd = -1;
};
