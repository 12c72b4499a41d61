#pragma once

#include <string>
#include <utility>

/// Outcome of an operation that can fail: success, or failure with a reason a
/// person can read.
class Result
{
public:
    static Result success() { return Result(true, {}); }
    static Result failure(std::string reason) { return Result(false, std::move(reason)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    /// Empty on success.
    const std::string& error() const { return m_error; }

private:
    Result(bool ok, std::string error) : m_ok(ok), m_error(std::move(error)) {}

    bool m_ok;
    std::string m_error;
};
