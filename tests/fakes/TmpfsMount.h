#pragma once

#include <string>

/// A small tmpfs mounted on a folder for the life of the object, to fill a disk for real. mounted() is false
/// (with the reason in error()) where mounting is not allowed, and always on Windows, where a test cannot make
/// a small disk of its own; tests skip then.
class TmpfsMount
{
public:
    TmpfsMount(const std::string& folder, const std::string& size);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& error() const { return m_error; }

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_error;
};
