#pragma once

/// Ends this program at once: no window handler, no destructor runs. Callers return straight after the call
/// (a test fake records the call and returns).
class ProcessTerminator
{
public:
    virtual ~ProcessTerminator() = default;
    virtual void endNow(int exitCode) = 0;
};
