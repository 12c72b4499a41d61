#pragma once

#include <string>

/// Text that an earlier Windows program wrote in the system's ANSI code page (Windows-1250 where these
/// languages are set up), turned into UTF-8. On Windows the code page is the system's own (GetACP); other
/// systems have none, and the bytes are kept as they are.
namespace AnsiCodePage {

std::string toUtf8(const std::string& bytes);

} // namespace AnsiCodePage
