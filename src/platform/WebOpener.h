#pragma once

#include "Result.h"

#include <string>

/// Opens web addresses and folders with the desktop's default programs.
class WebOpener
{
public:
    virtual ~WebOpener() = default;
    /// Opens a web address in the default browser; does not wait.
    virtual Result openUrl(const std::string& url) = 0;
    /// Opens a folder in the file manager; does not wait.
    virtual Result openFolder(const std::string& path) = 0;
};
