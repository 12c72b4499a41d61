#pragma once

#include <string>
#include <string_view>

/// UTF-8 checks and UTF-16 conversions in plain C++, the same on every platform.
namespace Utf8 {

/// True when `text` is well-formed UTF-8: no stray or missing continuation bytes, no overlong forms, no
/// surrogates, nothing past U+10FFFF.
bool isValid(std::string_view text);

/// True when `text` holds a byte outside ASCII.
bool hasNonAscii(std::string_view text);

/// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string fromUtf16(std::u16string_view text);

/// UTF-8 to UTF-16 code units; a malformed sequence becomes U+FFFD.
std::u16string toUtf16(std::string_view text);

} // namespace Utf8
