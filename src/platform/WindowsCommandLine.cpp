#include "WindowsCommandLine.h"

#include <algorithm>
#include <cctype>

namespace WindowsCommandLine {

std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there 2n+1 of them give n backslashes and the quote itself.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted.push_back(c);
        backslashes = 0;
    }
    // Before the closing quote 2n backslashes give n; n alone would escape the quote.
    quoted.append(2 * backslashes, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string problem(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty())
        return "no program named";
    if (program.find('\0') != std::string::npos)
        return "the program's name holds a NUL character";
    if (program.find('"') != std::string::npos)
        return "the program's name holds a quote";
    for (const std::string& argument : arguments)
        if (argument.find('\0') != std::string::npos)
            return "an argument holds a NUL character, which a command line cannot carry";
    // Windows drops trailing dots and blanks of a file name: "x.bat. " is x.bat.
    std::string name = program.substr(0, program.find_last_not_of(". ") + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.ends_with(".bat") || name.ends_with(".cmd"))
        return "a batch file would run through cmd.exe, which reads its arguments by other rules";
    return {};
}

std::string build(const std::string& program, const std::vector<std::string>& arguments)
{
    // The first word is read up to the next quote, without escapes: a name holds no quote (problem() refuses it).
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : arguments)
        line += " " + quoteArgument(argument);
    return line;
}

} // namespace WindowsCommandLine
