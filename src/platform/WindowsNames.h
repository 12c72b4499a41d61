#pragma once

#include <optional>
#include <string>

/// How Windows treats the name of one file or folder (one component of a path). Plain functions that give the same
/// answers on every platform: names that come from a database row or the folder list are judged by them before
/// anything is made under such a name on Windows (FileNames), and they are tested everywhere.
namespace WindowsNames {

/// Why `name` (UTF-8) cannot be a file or folder of its own on Windows, as a clause in the window's language that
/// follows the name in a sentence ("sadrzi znak :"); nothing when it can. Refused are: an empty name; "\" and "/"
/// (they separate folders); ":" (a drive or a stream); a control character (U+0001 to U+001F, U+007F) or NUL; any
/// of * ? " < > |; a name ending in a dot or a blank, which Windows drops (so "." and ".." too); and a device name
/// in any case of letters, alone or before an extension: CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, and
/// COM or LPT with a superscript one, two or three ("nul.txt" and "Com1 .log" are the device too).
std::optional<std::string> problem(const std::string& name);

/// True when `name` names one of Windows' devices (see problem()).
bool isDeviceName(const std::string& name);

/// The form in which Windows compares names: trailing dots and blanks dropped, letters in upper case as Windows' own
/// case table has them for ASCII, Latin-1, Latin Extended-A (č ć đ š ž), the digraphs ǆ ǉ ǌ (title-case ǅ ǈ ǋ stay) and
/// the Cyrillic block (U+0400 to U+04FF). Names with equal keys are one file or folder on Windows. A letter outside
/// those ranges is kept as it is, so two names that differ only in its case are taken for two. Malformed UTF-8 counts
/// as U+FFFD, as the conversion to Windows' UTF-16 makes it.
std::string comparisonKey(const std::string& name);

/// True when Windows takes `left` and `right` for the same name (equal comparisonKey()).
bool sameName(const std::string& left, const std::string& right);

} // namespace WindowsNames
