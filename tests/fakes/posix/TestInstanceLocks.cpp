#include "TestInstanceLocks.h"

#include "PosixInstanceLock.h"
#include "TempDir.h"

TestInstanceLocks::TestInstanceLocks() : m_folder(std::make_unique<TempDir>()), m_place(m_folder->path()) {}

TestInstanceLocks::~TestInstanceLocks() = default;

std::unique_ptr<InstanceLock> TestInstanceLocks::make() const
{
    return std::make_unique<PosixInstanceLock>(m_place);
}

std::unique_ptr<InstanceLock> TestInstanceLocks::unusable(const std::string&) const
{
    return std::make_unique<PosixInstanceLock>(m_place + "/nonexistent");
}
