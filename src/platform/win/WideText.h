#pragma once

#include <string>

/// The one place where our UTF-8 texts meet the wide (UTF-16) Win32 API.
namespace WideText {

/// UTF-8 to UTF-16. Invalid bytes become U+FFFD, so a damaged name still gives a name that fails to open.
std::wstring fromUtf8(const std::string& text);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(const std::wstring& text);
std::string toUtf8(const wchar_t* text);

/// A full path for the file functions, in the "\\?\" form that is not held to 260 characters: "C:\a" gives
/// "\\?\C:\a", "\\server\share\a" gives "\\?\UNC\server\share\a". "/" is turned into "\", "." and ".."
/// components are resolved first (the "\\?\" form takes every component as it stands). In a full path ("C:\..." or
/// "\\server\share\...") every other name stays as it is written, so a name ending in a dot or blank, or one that
/// is a device name ("con.txt"), is the file of that name: names are joined to a listed folder as the disk gives
/// them. Other paths ("D:", relative ones) are made full by the system's rules, against the current folder.
std::wstring longPath(const std::string& path);

/// The system's message for a Win32 error code, one line, in UTF-8, with the code: "Access is denied. (5)".
std::string errorText(unsigned long code);

} // namespace WideText
