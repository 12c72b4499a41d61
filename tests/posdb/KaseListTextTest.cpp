// The text in which kopirko-kase hands the rows over: what any row holds comes through whole, and anything but
// that exact text is refused (a confused or cut-off reader must not pass for a good one).
#include "KaseListText.h"

#include <gtest/gtest.h>

TEST(KaseListTextTest, EveryCharacterOfAFieldComesBackAndNoFieldHoldsATabOrLineBreak)
{
    std::string everyControl;
    for (int code = 0; code < 0x20; ++code)
        everyControl += static_cast<char>(code);
    everyControl += "\x7F\\x41\\\\";
    const std::vector<CashRegister> rows{{"1", "Šank č ћирилица", "C:\\Kasa\\k1\\baza.mdb"},
                                         {"", "", ""},
                                         {"2", "a\tb\nc\r\nd", everyControl},
                                         {"3.5", "\\x09", "kase/r\\n/baza.mdb"}};

    const std::string text = KaseListText::write({rows, std::nullopt});
    const auto back = KaseListText::parse(text);

    ASSERT_TRUE(back);
    EXPECT_FALSE(back->problem);
    ASSERT_EQ(back->rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(std::tie(back->rows[i].id, back->rows[i].label, back->rows[i].databasePath),
                  std::tie(rows[i].id, rows[i].label, rows[i].databasePath));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6); // first line, four rows, last line
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 4 * 3 + 1);

    for (const auto kind : {KaseProblem::Kind::CannotOpen, KaseProblem::Kind::Damaged, KaseProblem::Kind::NoTable,
                            KaseProblem::Kind::NoColumn, KaseProblem::Kind::NoDriver, KaseProblem::Kind::DriverError}) {
        const auto problem = KaseListText::parse(KaseListText::write({{}, KaseProblem{kind, "a\tb \\ Ž"}}));
        ASSERT_TRUE(problem && problem->problem);
        EXPECT_EQ(problem->problem->kind, kind);
        EXPECT_EQ(problem->problem->detail, "a\tb \\ Ž");
    }
}

TEST(KaseListTextTest, AnythingButTheExactTextIsRefused)
{
    const std::string good = "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\nkraj\t1\n";
    ASSERT_TRUE(KaseListText::parse(good));
    ASSERT_TRUE(KaseListText::parse("kopirko-kase 1\nkraj\t0\n"));
    const char* const malformed[] = {
        "",
        "kopirko-kase 1\n",
        "kopirko-kase 2\nkraj\t0\n",                                  // another format
        "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\nkraj\t1",      // last line break missing: cut off
        "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\n",             // no last line
        "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\nkraj\t2\n",    // a row missing
        "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\nkraj\t01\n",   // a count not as written
        "kopirko-kase 1\nred\t1\tK1\tkase/k1/baza.mdb\nkraj\t1\nx\n", // something after the end
        "kopirko-kase 1\nred\t1\tK1\nkraj\t1\n",                      // a field missing
        "kopirko-kase 1\nred\t1\tK1\ta\tb\nkraj\t1\n",                // one field too many
        "kopirko-kase 1\nrow\t1\tK1\ta\nkraj\t1\n",                   // unknown line
        "kopirko-kase 1\nred\t1\tK\\q\ta\nkraj\t1\n",                 // unknown escape
        "kopirko-kase 1\nred\t1\tK\\x4\ta\nkraj\t1\n",                // escape cut short
        "kopirko-kase 1\nred\t1\tK\\x41\ta\nkraj\t1\n",               // printable characters are not escaped
        "kopirko-kase 1\nred\t1\tK\\x0a\ta\nkraj\t1\n",               // lower-case digits are not written
        "kopirko-kase 1\nred\t1\tK\\\ta\nkraj\t1\n",                  // a lone backslash
        "kopirko-kase 1\nred\t1\tK\r\ta\nkraj\t1\n",                  // a raw control character
        "kopirko-kase 1\nred\t1\tK\xC5\ta\nkraj\t1\n",                // not UTF-8
        "kopirko-kase 1\nred\t1\tK\xC0\xAF\ta\nkraj\t1\n",            // overlong UTF-8
        "kopirko-kase 1\ngreska\tnepoznato\tx\n",                     // unknown kind
        "kopirko-kase 1\ngreska\ttabela\n",                           // detail missing
        "kopirko-kase 1\nred\t1\tK1\ta\ngreska\ttabela\t\n",          // rows and a problem
        "kopirko-kase 1\ngreska\ttabela\t\nkraj\t0\n",                // a problem and an end
    };
    for (const char* text : malformed)
        EXPECT_FALSE(KaseListText::parse(text)) << text;
}
