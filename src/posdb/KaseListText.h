#pragma once

#include "KaseReadResult.h"

#include <optional>
#include <string>

/// The text in which the register reader program (kopirko-kase) hands the rows of `kase` to Kopirko. UTF-8,
/// lines ending in "\n", fields separated by a tab:
///
///     kopirko-kase 1                      first line: the format and its version
///     red <TAB> id <TAB> label <TAB> path one line per row, in stored order (a null value is empty)
///     kraj <TAB> 7                        last line: the number of rows, so that a cut-off text is noticed
///
/// or, when the rows cannot be given, the first line and then one line
///
///     greska <TAB> kind <TAB> detail      kind: otvaranje, ostecena, tabela, kolona, drajver, odbc
///
/// In a field, "\" is written "\\" and every control character (0x00-0x1F, 0x7F, tab and line breaks
/// included) "\xHH" with two upper-case hexadecimal digits, so a field never holds a tab or a line break.
namespace KaseListText {

/// The program, in the program folder beside Kopirko.
#ifdef _WIN32
inline constexpr const char* programName = "kopirko-kase.exe";
#else
inline constexpr const char* programName = "kopirko-kase";
#endif

/// Exit codes of kopirko-kase. Anything else (a crash, an abort) means it did not finish.
inline constexpr int exitRows = 0;    ///< the rows were written
inline constexpr int exitUsage = 1;   ///< wrong arguments, or the text could not be written (reason on stderr)
inline constexpr int exitProblem = 2; ///< the rows could not be read; the text holds the "greska" line

/// The whole text for `result`.
std::string write(const KaseReadResult& result);

/// Reads a text that write() made. Nothing when the text is not exactly such a text: a wrong first line, an
/// unknown line or kind, a bad escape, a field that is not UTF-8, a row count that does not match, anything
/// after the last line or a last line without its line break.
std::optional<KaseReadResult> parse(const std::string& text);

} // namespace KaseListText
