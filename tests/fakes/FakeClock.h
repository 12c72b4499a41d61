#pragma once

#include "Clock.h"

#include <mutex>

/// A clock that shows what the test sets; safe to read from a worker thread.
class FakeClock : public Clock
{
public:
    FakeClock() { set(2026, 12, 5, 8, 0, 0); }
    LocalDateTime now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void set(int year, unsigned month, unsigned day, int hour = 8, int minute = 0, int second = 0)
    {
        std::lock_guard lock(m_mutex);
        m_now.date =
            std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
        m_now.hour = hour;
        m_now.minute = minute;
        m_now.second = second;
    }

private:
    mutable std::mutex m_mutex;
    LocalDateTime m_now;
};
