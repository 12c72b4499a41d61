#include "StallWatch.h"

#include "ThreadInterrupter.h"

#include <algorithm>

namespace {

std::int64_t steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void StallWatch::Call::progressed()
{
    m_lastProgress.store(steadyNow());
}

bool StallWatch::Call::finish()
{
    int expected = runningState;
    return m_state.compare_exchange_strong(expected, finishedState);
}

StallWatch::StallWatch(std::chrono::milliseconds limit) : m_limit(limit)
{
    m_thread = std::thread([this] { run(); });
}

StallWatch::~StallWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

std::shared_ptr<StallWatch::Call> StallWatch::watch(std::function<void()> onStall)
{
    auto call = std::make_shared<Call>();
    call->m_onStall = std::move(onStall);
    call->m_interrupt = interrupterOfThisThread();
    call->progressed();
    std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
    return call;
}

void StallWatch::run()
{
    // Looking four times per limit gives a call between 1 and 1.25 limits without progress.
    const auto period = std::clamp(m_limit / 4, std::chrono::milliseconds(5), std::chrono::milliseconds(1000));
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, period, [this] { return m_stopping; })) {
        const std::int64_t now = steadyNow();
        std::vector<std::shared_ptr<Call>> stalled;
        std::erase_if(m_calls, [&](const std::shared_ptr<Call>& call) {
            if (call->m_state.load() != Call::runningState)
                return true;
            if (now - call->m_lastProgress.load() < std::chrono::nanoseconds(m_limit).count())
                return false;
            int expected = Call::runningState;
            if (call->m_state.compare_exchange_strong(expected, Call::givenUpState))
                stalled.push_back(call);
            return true;
        });
        lock.unlock();
        for (const std::shared_ptr<Call>& call : stalled) {
            try {
                if (call->m_interrupt)
                    call->m_interrupt();
                call->m_onStall();
            } catch (...) { // no exception may leave this thread; the owner learns of the stall all the same
            }
        }
        lock.lock();
    }
}
