#pragma once

#include <functional>

/// What asks the calling thread, later and from another thread, to leave the blocking read it may be in; empty
/// where the platform cannot. On Windows it cancels the thread's synchronous I/O (the read then fails with
/// "operation aborted"); on Linux a read of a hung share or of a device file cannot be left, so it is empty.
std::function<void()> interrupterOfThisThread();
