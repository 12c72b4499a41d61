#include "ThreadInterrupter.h"

std::function<void()> interrupterOfThisThread()
{
    // A signal would take a thread out of an interruptible wait only, and the reads that hang for good (a hard
    // network mount, a share whose server is gone) wait uninterruptibly: the thread is left behind instead.
    return {};
}
