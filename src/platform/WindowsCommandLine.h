#pragma once

#include <string>
#include <vector>

/// How a program and its arguments are written as the one command line a Windows program receives, so that it
/// reads back exactly the arguments given (the rules of CommandLineToArgvW and of the C runtime's argv). Kept
/// apart from the Win32 calls so that the rules are tested on every platform.
namespace WindowsCommandLine {

/// `argument` as one word of a command line: unchanged when it holds no blank, tab, line end or quote and is not
/// empty; otherwise in quotes, with every quote written \" and the backslashes before a quote or before the
/// closing quote doubled (elsewhere a backslash stands for itself).
std::string quoteArgument(const std::string& argument);

/// Why `program` and `arguments` cannot be started exactly as given through a command line; empty when they
/// can. Refused: an empty program name, a NUL character anywhere (it would end the text early), a quote in the
/// program's name (the first word is read without escapes, and no file name holds one), and a batch file
/// (".bat", ".cmd"): Windows runs those through cmd.exe, whose own rules would read the arguments differently.
std::string problem(const std::string& program, const std::vector<std::string>& arguments);

/// The command line: the program's name in quotes (so that a blank in its folder does not split it), then each
/// argument quoted by quoteArgument, separated by one blank. Only for what problem() does not refuse.
std::string build(const std::string& program, const std::vector<std::string>& arguments);

} // namespace WindowsCommandLine
