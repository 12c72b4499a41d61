#pragma once

#include "WebOpener.h"

#include <string>
#include <vector>

class FakeWebOpener : public WebOpener
{
public:
    std::vector<std::string> urls;
    std::vector<std::string> folders;
    Result openUrl(const std::string& url) override
    {
        urls.push_back(url);
        return Result::success();
    }
    Result openFolder(const std::string& path) override
    {
        folders.push_back(path);
        return Result::success();
    }
};
