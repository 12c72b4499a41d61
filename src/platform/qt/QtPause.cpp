#include "QtPause.h"

#include <QCoreApplication>

#include <thread>

void QtPause::processEventsOnce()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void QtPause::sleepFor(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}
