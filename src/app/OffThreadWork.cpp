#include "OffThreadWork.h"

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <thread>

void runOffThread(const std::function<void()>& work)
{
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        // An exception may not leave a thread (that ends the program): it is thrown again on the caller's.
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued: delivered once the loop runs, even when the work ends before exec() starts.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
