#include "AnsiCodePage.h"

#include "WideText.h"

#include <windows.h>

namespace AnsiCodePage {

std::string toUtf8(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
    return WideText::toUtf8(wide);
}

} // namespace AnsiCodePage
