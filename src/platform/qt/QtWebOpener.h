#pragma once

#include "WebOpener.h"

/// QDesktopServices: the desktop's default browser and file manager.
class QtWebOpener : public WebOpener
{
public:
    Result openUrl(const std::string& url) override;
    Result openFolder(const std::string& path) override;
};
