#include "OffThreadWork.h"

#include <QEventLoop>
#include <QMetaObject>

#include <thread>

void runOffThread(const std::function<void()>& work)
{
    QEventLoop loop;
    std::thread worker([&] {
        work();
        // Queued: delivered once the loop runs, even when the work ends before exec() starts.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}
