#include "AnsiCodePage.h"

namespace AnsiCodePage {

std::string toUtf8(const std::string& bytes)
{
    return bytes;
}

} // namespace AnsiCodePage
