#pragma once

#include <string>

/// A fresh folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    /// path() + separator + `relative`, whose "/" become this platform's separators.
    std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};
