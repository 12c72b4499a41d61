#include "WindowsNames.h"

#include "Utf8.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace WindowsNames {

namespace {

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringAsciiCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(),
                                                     [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
}

/// The upper-case form of one UTF-16 unit, as Windows compares names, in the ranges comparisonKey() names.
char16_t upper(char16_t c)
{
    // Pairs where the upper-case letter is the even one (upperIsEven) or the odd one.
    struct PairRange
    {
        char16_t first, last;
        bool upperIsEven;
    };
    static constexpr std::array<PairRange, 9> pairs{{{0x0100, 0x012F, true},
                                                     {0x0132, 0x0137, true},
                                                     {0x0139, 0x0148, false},
                                                     {0x014A, 0x0177, true},
                                                     {0x0179, 0x017E, false},
                                                     {0x0460, 0x0481, true},
                                                     {0x048A, 0x04BF, true},
                                                     {0x04C1, 0x04CE, false},
                                                     {0x04D0, 0x04FF, true}}};
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) // à to þ, but for ÷
        return static_cast<char16_t>(c - 0x20);
    if (c == 0x00FF) // ÿ
        return 0x0178;
    // The lower-case digraphs; the title-case ones (ǅ ǈ ǋ) Windows keeps as they are.
    if (c == 0x01C6 || c == 0x01C9 || c == 0x01CC) // ǆ ǉ ǌ
        return static_cast<char16_t>(c - 2);
    if (c >= 0x0430 && c <= 0x044F) // а to я
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) // ѐ to џ (ђ ј љ њ ћ џ)
        return static_cast<char16_t>(c - 0x50);
    if (c == 0x04CF) // ӏ
        return 0x04C0;
    for (const PairRange& range : pairs) {
        if (c >= range.first && c <= range.last) {
            const bool even = c % 2 == 0;
            return even == range.upperIsEven ? c : static_cast<char16_t>(c - 1);
        }
    }
    return c;
}

/// `name` less the dots and blanks at its end, which Windows drops.
std::string_view withoutTrailingDotsAndBlanks(std::string_view name)
{
    const auto end = name.find_last_not_of(". ");
    return end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
}

} // namespace

bool isDeviceName(const std::string& name)
{
    // The device is named by what stands before the first dot, blanks at its end not counted.
    std::string_view base(name);
    base = base.substr(0, base.find('.'));
    base = base.substr(0, base.find_last_not_of(' ') + 1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (equalsIgnoringAsciiCase(base, device))
            return true;
    if (base.size() < 4 ||
        !(equalsIgnoringAsciiCase(base.substr(0, 3), "COM") || equalsIgnoringAsciiCase(base.substr(0, 3), "LPT")))
        return false;
    const std::string_view number = base.substr(3);
    if (number.size() == 1)
        return number[0] >= '1' && number[0] <= '9';
    // ¹ ² ³ in UTF-8.
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

std::optional<std::string> problem(const std::string& name)
{
    if (name.empty())
        return "nema nijednog znaka";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return "sadrzi kontrolne znakove";
    }
    if (const auto reserved = name.find_first_of("\\/:*?\"<>|"); reserved != std::string::npos)
        return std::string("sadrzi znak ") + name[reserved];
    if (name.back() == '.')
        return "zavrsava tackom";
    if (name.back() == ' ')
        return "zavrsava razmakom";
    if (isDeviceName(name))
        return "je ime uredjaja u Windowsu";
    return std::nullopt;
}

std::string comparisonKey(const std::string& name)
{
    std::u16string wide = Utf8::toUtf16(withoutTrailingDotsAndBlanks(name));
    std::transform(wide.begin(), wide.end(), wide.begin(), upper);
    return Utf8::fromUtf16(wide);
}

bool sameName(const std::string& left, const std::string& right)
{
    return comparisonKey(left) == comparisonKey(right);
}

} // namespace WindowsNames
