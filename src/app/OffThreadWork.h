#pragma once

#include <functional>

/// Runs `work` on a worker thread and keeps the Qt event loop of the calling thread running until it is done.
/// Returns when `work` has returned; what `work` throws is thrown again here. `work` must not touch widgets.
void runOffThread(const std::function<void()>& work);
