#include "SettingsText.h"

#include "AnsiCodePage.h"
#include "Utf8.h"

namespace SettingsText {

namespace {

constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view utf16LeBom = "\xFF\xFE";
constexpr std::string_view utf16BeBom = "\xFE\xFF";

std::u16string unitsOf(std::string_view bytes, bool littleEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(littleEndian ? first | (second << 8) : (first << 8) | second);
    }
    return units;
}

std::string bytesOf(const std::u16string& units, bool littleEndian)
{
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

} // namespace

Decoded decode(const std::string& bytes)
{
    const std::string_view view(bytes);
    if (view.starts_with(utf8Bom))
        return {std::string(view.substr(utf8Bom.size())), Encoding::Utf8WithBom};
    if (view.starts_with(utf16LeBom))
        return {Utf8::fromUtf16(unitsOf(view.substr(2), true)), Encoding::Utf16Le};
    if (view.starts_with(utf16BeBom))
        return {Utf8::fromUtf16(unitsOf(view.substr(2), false)), Encoding::Utf16Be};
    if (Utf8::isValid(view))
        return {bytes, Encoding::Utf8};
    return {AnsiCodePage::toUtf8(bytes), Encoding::Ansi};
}

std::string encode(const std::string& text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8WithBom:
        return std::string(utf8Bom) + text;
    case Encoding::Utf16Le:
        return std::string(utf16LeBom) + bytesOf(Utf8::toUtf16(text), true);
    case Encoding::Utf16Be:
        return std::string(utf16BeBom) + bytesOf(Utf8::toUtf16(text), false);
    case Encoding::Utf8:
    case Encoding::Ansi:
        break;
    }
    return text;
}

} // namespace SettingsText
