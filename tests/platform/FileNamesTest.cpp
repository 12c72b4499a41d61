// The rules for names that come from outside: Windows' own (the same answers on every platform) and this platform's
// (FileNames), which decide whether something may be made under such a name, and where.
#include "FileNames.h"
#include "Paths.h"
#include "TestFiles.h"
#include "Utf8.h"
#include "WindowsNames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(WindowsNamesTest, RefusesWhatWindowsCannotHoldAsOneNameAndSaysWhy)
{
    const std::pair<std::optional<std::string>, std::vector<std::string>> cases[] = {
        {{}, {"Kasa 1", "Šank-Ђурђевак", ".skriveno", "CONSOLE", "COM10", "LPT", "kasa_CON", "NULL.txt"}},
        {"nema nijednog znaka", {""}},
        {"sadrzi znak \\",
         {"\\..\\..\\Users\\Prodaja\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"}},
        {"sadrzi znak /", {"../x"}},
        {"sadrzi znak :", {"C:", "Kasa:stream"}},
        {"sadrzi znak *", {"Kasa*"}},
        {"sadrzi znak ?", {"Kasa?"}},
        {"sadrzi znak \"", {"\"Kasa\""}},
        {"sadrzi znak <", {"<Kasa>"}},
        {"sadrzi znak >", {"Kasa>"}},
        {"sadrzi znak |", {"Kasa|1"}},
        {"sadrzi kontrolne znakove", {"Kasa\t1", "Kasa\x7F", std::string("Kasa\0.mdb", 9)}},
        {"zavrsava tackom", {"Kasa1.", ".", ".."}},
        {"zavrsava razmakom", {"Kasa1 "}},
        {"je ime uredjaja u Windowsu",
         {"CON", "prn", "Aux.tar.gz", "nul.txt", "Com1 .log", "COM9", "lpt1", "LPT¹", "com³.txt"}}};
    for (const auto& [problem, names] : cases)
        for (const std::string& name : names)
            EXPECT_EQ(WindowsNames::problem(name), problem) << testing::PrintToString(name);
}

TEST(WindowsNamesTest, NamesAreComparedAsWindowsComparesThem)
{
    const struct
    {
        const char *left, *right;
        bool same;
    } cases[] = {
        {"Kasa1", "KASA1", true},
        {"Kasa1", "Kasa1 ", true},
        {"Kasa1", "kasa1. .", true},
        {"čaša ćup đak šal žir", "ČAŠA ĆUP ĐAK ŠAL ŽIR", true},
        {"ǆep ǉubav ǌiva", "Ǆep Ǉubav Ǌiva", true},
        {"ǅ ǈ ǋ", "Ǆ Ǉ Ǌ", false}, // title case is a case of its own there
        {"ђак љубав њива ћуп џеп ј", "ЂАК ЉУБАВ ЊИВА ЋУП ЏЕП Ј", true},
        {"абвгдежзийклмнопрстуфхцчшщъыьэюя", "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", true},
        {"éÿ", "ÉŸ", true},
        {"ґ ӂ ӑ", "Ґ Ӂ Ӑ", true},
        {"Kasa1", "Kasa2", false},
        {"Kasa 1", "Kasa1", false},
        {" Kasa1", "Kasa1", false}, // blanks in front count
        {"a.b", "ab", false},
        {"÷", "×", false}, // not letters, though a case step apart
        {"ß", "SS", false},
        {"č", "c\xCC\x8C", false}, // c and a combining caron: Windows does not compose
        {"Ł", "Ń", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsNames::sameName(c.left, c.right), c.same) << c.left << " / " << c.right;
        EXPECT_EQ(WindowsNames::sameName(c.right, c.left), c.same) << c.right << " / " << c.left;
    }
    // Malformed UTF-8 is compared as Windows gets it: each bad byte as U+FFFD.
    EXPECT_TRUE(WindowsNames::sameName("Kasa\xFF", "kasa\xFE"));
}

#ifdef _WIN32
// Windows only: the table of upper-case letters that comparisonKey() holds is checked against the system's own
// (under Wine, Wine's, which follows the same Unicode data). Every unit up to the end of Cyrillic is either left as it
// is or upper-cased as the system does it; the letters of these languages are all upper-cased.
TEST(WindowsNamesTest, UpperCaseLettersAreTheSystemsOwn)
{
    const auto systemUpper = [](char16_t unit) {
        wchar_t in = static_cast<wchar_t>(unit), out = 0;
        EXPECT_EQ(::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &in, 1, &out, 1, nullptr, nullptr, 0), 1);
        return static_cast<char16_t>(out);
    };
    const auto ours = [](char16_t unit) {
        const std::u16string key = Utf8::toUtf16(WindowsNames::comparisonKey(Utf8::fromUtf16(std::u16string(1, unit))));
        return key.size() == 1 ? key[0] : char16_t(0);
    };
    for (char16_t unit = 0x21; unit < 0x0500; ++unit) {
        if (unit == u'.')
            continue; // dropped at the end of a name
        EXPECT_TRUE(ours(unit) == unit || ours(unit) == systemUpper(unit)) << std::hex << unsigned(unit);
    }
    for (const char16_t unit : std::u16string(u"abcčćdđšžǆǉǌаяђјљњћџѐѝ"))
        EXPECT_EQ(ours(unit), systemUpper(unit)) << std::hex << unsigned(unit);
}
#endif

TEST(FileNamesTest, APathIsDirectlyInsideAFolderOnlyAsOneNameThisPlatformTakesAsItIs)
{
    std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"/kopije/dan", "/kopije/dan/kasa_Kasa 1", true},
        {"/", "/kasa_1", true},
        {"/kopije/dan", "/kopije/dan", false},
        {"/kopije/dan", "/kopije/dan/", false},
        {"/kopije/dan", "/kopije/dani/kasa_1", false},
        {"/kopije/dan", "/kopije/dan/kasa_1/x", false},
        {"/kopije/dan", "/kopije/dan/..", false},
        {"/kopije/dan", "/kopije/dan/.", false},
        {"/kopije/dan", "/kopije/kasa_1", false},
        {"", "kasa_1", false},
    };
    // The names Windows reads otherwise; elsewhere they are names like any other.
    const bool windows = Paths::separator == '\\';
    for (const char* name : {"kasa_a:b", "CON", "kasa_1.", "kasa_1 ", "kasa_\\..\\..", "kasa_*"})
        cases.emplace_back("/kopije/dan", std::string("/kopije/dan/") + name, !windows);
    for (const auto& [folder, path, inside] : cases)
        EXPECT_EQ(FileNames::isDirectlyInside(TestFiles::native(folder), TestFiles::native(path)), inside) << path;
}

} // namespace
