#include "IniNumber.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

/// Length of the longest prefix of `text` (from `start`) that reads as a decimal number with optional sign,
/// fraction and exponent; 0 when there is none.
size_t numberLength(const std::string& text, size_t start)
{
    size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        size_t j = i + 1;
        size_t fraction = 0;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        size_t exponent = 0;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            ++j;
            ++exponent;
        }
        if (exponent > 0)
            i = j;
    }
    return i - start;
}

} // namespace

std::optional<std::int16_t> parseIniInteger(const std::string& text)
{
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    size_t end = text.size();
    while (end > start && isBlank(text[end - 1]))
        --end;
    if (start == end)
        return std::nullopt;
    const size_t length = numberLength(text, start);
    if (length != end - start)
        return std::nullopt;
    const double value = std::strtod(text.substr(start, length).c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding mode: ties to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::string leadingNumberText(const std::string& text)
{
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    const size_t length = numberLength(text, start);
    if (length == 0)
        return "0";
    const double value = std::strtod(text.substr(start, length).c_str(), nullptr);
    if (!std::isfinite(value))
        return "0";
    char buffer[64];
    // Shortest form that reads back as the same number.
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    std::string result = buffer;
    if (result == "-0")
        result = "0";
    // "%g" switches to an exponent for large numbers; write such a number out in full.
    if (result.find('e') != std::string::npos) {
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        result = buffer;
    }
    return result;
}
