#include "TestInstanceLocks.h"

#include "OwnedHandle.h"
#include "TempDir.h"
#include "WideText.h"
#include "WinInstanceLock.h"

#include <cwctype>
#include <random>
#include <stdexcept>

namespace {

/// A real lock whose mutex name is held by an event for as long as the lock lives.
class SquattedLock : public InstanceLock
{
public:
    SquattedLock(const std::string& prefix, const std::string& title) : m_lock(prefix)
    {
        // The name WinInstanceLock gives its mutex: the session's namespace, prefix and title in lower case.
        std::wstring name = WideText::fromUtf8(prefix + title);
        for (wchar_t& c : name)
            c = static_cast<wchar_t>(std::towlower(c));
        m_event = OwnedHandle(::CreateEventW(nullptr, TRUE, FALSE, (L"Local\\" + name).c_str()));
        if (!m_event || ::GetLastError() == ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot take the name of the lock for " + title);
    }
    bool tryAcquire(const std::string& title) override { return m_lock.tryAcquire(title); }

private:
    WinInstanceLock m_lock;
    OwnedHandle m_event;
};

} // namespace

TestInstanceLocks::TestInstanceLocks()
{
    std::random_device random;
    m_place = "kopirko-test-" + std::to_string(random()) + std::to_string(random()) + "-";
}

TestInstanceLocks::~TestInstanceLocks() = default;

std::unique_ptr<InstanceLock> TestInstanceLocks::make() const
{
    return std::make_unique<WinInstanceLock>(m_place);
}

std::unique_ptr<InstanceLock> TestInstanceLocks::unusable(const std::string& title) const
{
    return std::make_unique<SquattedLock>(m_place, title);
}
