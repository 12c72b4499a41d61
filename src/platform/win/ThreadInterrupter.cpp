#include "ThreadInterrupter.h"

#include <windows.h>

#include <memory>

std::function<void()> interrupterOfThisThread()
{
    // CancelSynchronousIo needs a handle with the right to end the thread; the handle itself never ends it.
    HANDLE thread = ::OpenThread(THREAD_TERMINATE, FALSE, ::GetCurrentThreadId());
    if (!thread)
        return {};
    const std::shared_ptr<void> held(thread, ::CloseHandle);
    return [held] { ::CancelSynchronousIo(held.get()); };
}
