#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// Converts an INI value to a 16-bit whole number the way the settings loader needs it: blanks around the
/// number are allowed, a decimal fraction is rounded to the nearest whole number with a tie going to the
/// even neighbour (7.5 gives 8, 6.5 gives 6). Nothing when the text is no number or the result lies outside
/// -32768..32767.
std::optional<std::int16_t> parseIniInteger(const std::string& text);

/// The number at the start of `text` in its shortest decimal form, as the options page saves "Starost":
/// leading blanks skipped, reading stops at the first character that cannot continue the number, "." is the
/// decimal point; a text that does not start with a number gives "0". "7.5" stays "7.5", "12 dana" gives "12".
std::string leadingNumberText(const std::string& text);
