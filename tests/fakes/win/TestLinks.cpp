#include "TestLinks.h"

#include "SystemPlatform.h"
#include "WideText.h"

#include <windows.h>

namespace TestLinks {

bool make(const std::string& target, const std::string& link, bool folder)
{
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2; // ALLOW_UNPRIVILEGED_CREATE
    std::wstring wideTarget = WideText::fromUtf8(target);
    for (wchar_t& c : wideTarget)
        if (c == L'/')
            c = L'\\';
    if (!::CreateSymbolicLinkW(WideText::longPath(link).c_str(), wideTarget.c_str(), flags))
        return false;
    const DWORD attributes = ::GetFileAttributesW(WideText::longPath(link).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string targetOf(const std::string& link)
{
    const std::optional<FolderEntry> entry = WinFileSystem().examine(link, false);
    return entry && entry->kind == FolderEntry::Kind::Link ? entry->linkTarget : std::string();
}

} // namespace TestLinks
