#pragma once

#include "WebOpener.h"

/// Opens nothing.
class FakeWebOpener : public WebOpener
{
public:
    Result openUrl(const std::string&) override { return Result::success(); }
    Result openFolder(const std::string&) override { return Result::success(); }
};
