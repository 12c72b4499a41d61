#pragma once

#include <string>

/// How the text of a settings file (KOPIRKO.ini, backuplista.ini) is stored. The program writes UTF-8, but the
/// files it finds may come from elsewhere: an earlier Windows program wrote them in the system's ANSI code page,
/// and an editor may have saved them with a byte-order mark or in UTF-16.
namespace SettingsText {

enum class Encoding {
    Utf8,        ///< UTF-8 without a byte-order mark (what the program writes)
    Utf8WithBom, ///< UTF-8 after the mark EF BB BF
    Utf16Le,     ///< UTF-16, little-endian, after the mark FF FE
    Utf16Be,     ///< UTF-16, big-endian, after the mark FE FF
    Ansi         ///< anything else that is not valid UTF-8: the system's ANSI code page
};

struct Decoded
{
    std::string text; ///< UTF-8, without the byte-order mark
    Encoding encoding = Encoding::Utf8;
};

/// The file's bytes as UTF-8 text, and how they were stored.
Decoded decode(const std::string& bytes);

/// UTF-8 `text` stored as `encoding` would store it, mark included; text read from the ANSI code page is
/// written back as UTF-8, which keeps every letter whatever the code page.
std::string encode(const std::string& text, Encoding encoding);

} // namespace SettingsText
