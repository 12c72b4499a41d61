#include "TempDir.h"

#include "Paths.h"
#include "Utf8Path.h"

#include <algorithm>

#include <filesystem>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("kopirko-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            m_path = Utf8Path::fromPath(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code error;
    const fs::path root = Utf8Path::toPath(m_path);
    // Tests leave read-only files and folders behind on purpose: make everything writable first.
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_symlink())
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(root, error);
}

std::string TempDir::operator/(const std::string& relative) const
{
    std::string native = relative;
    std::replace(native.begin(), native.end(), '/', Paths::separator);
    return Paths::join(m_path, native);
}
