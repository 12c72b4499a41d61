#include "MailMessage.h"

#include "Base64.h"
#include "RunReport.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

const LocalDateTime ended{year_month_day{year{2026}, month{12}, day{7}}, 20, 1, 5};

TEST(MailMessage, WhichRunsAreMailedDependsOnSlati)
{
    RunReport whole;
    whole.backedUp = {"/srv/a"};
    RunReport partly = whole;
    partly.failed.push_back({"/srv/b", "nedostupno", {}});
    RunReport nothing;
    nothing.runFailure = "odrediste ne postoji";
    RunReport refused;
    refused.refused = true;

    struct Row
    {
        MailWhen when;
        bool whole, partly, nothing, refused, warning;
    };
    for (const Row& row : {Row{MailWhen::Never, false, false, false, false, false},
                           Row{MailWhen::AfterProblems, false, true, true, false, true},
                           Row{MailWhen::AfterEveryRun, true, true, true, false, true}}) {
        SCOPED_TRACE(static_cast<int>(row.when));
        EXPECT_EQ(MailMessage::mailsAfterRun(row.when, whole), row.whole);
        EXPECT_EQ(MailMessage::mailsAfterRun(row.when, partly), row.partly);
        EXPECT_EQ(MailMessage::mailsAfterRun(row.when, nothing), row.nothing);
        EXPECT_EQ(MailMessage::mailsAfterRun(row.when, refused), row.refused);
        EXPECT_EQ(MailMessage::mailsWarning(row.when), row.warning);
    }
}

TEST(MailMessage, TheSubjectSaysHowTheRunWentAndTheBodyNamesEveryFileThatFailedUpToALimit)
{
    RunReport report;
    report.backedUp = {"/srv/a"};
    EXPECT_EQ(MailMessage::runReport("PRODAJA-1", report, ended, {}).subject,
              "Kopirko PRODAJA-1: rezervna kopija je izradjena");

    SourceFailure many{"/srv/b", "120 datoteka ili fascikli nije kopirano (prva: nema dozvole)", {}};
    for (int i = 0; i < 120; ++i)
        many.files.push_back({"/srv/b/f" + std::to_string(i), "nema dozvole"});
    report.failed.push_back(many);
    const MailText partly = MailMessage::runReport("PRODAJA-1", report, ended, {"/mnt/r", std::nullopt});
    EXPECT_EQ(partly.subject, "Kopirko PRODAJA-1: rezervna kopija nije potpuna");
    EXPECT_NE(partly.body.find("/srv/b/f49: nema dozvole\r\n"), std::string::npos);
    EXPECT_EQ(partly.body.find("/srv/b/f50:"), std::string::npos);
    EXPECT_NE(partly.body.find("... i jos 70\r\n"), std::string::npos);
    EXPECT_NE(partly.body.find("Slobodan prostor: nije poznat\r\n"), std::string::npos);

    RunReport nothing;
    nothing.failed.push_back({"/srv/a", "", {}});
    nothing.runFailure = "Odrediste /mnt/r ne postoji";
    const MailText notMade = MailMessage::runReport("PRODAJA-1", nothing, ended, {"/mnt/r", 0});
    EXPECT_EQ(notMade.subject, "Kopirko PRODAJA-1: rezervna kopija nije izradjena");
    EXPECT_NE(notMade.body.find("Odrediste /mnt/r ne postoji"), std::string::npos);
}

TEST(MailMessage, ANonAsciiSubjectBecomesEncodedWordsThatNeverSplitALetter)
{
    EXPECT_EQ(MailMessage::encodedHeader("Kopirko PRODAJA-1: probna poruka"), "Kopirko PRODAJA-1: probna poruka");
    // A control character in a computer's name must not start a header of its own.
    EXPECT_EQ(MailMessage::encodedHeader("a\r\nBcc: x@y.z").find("\r\nBcc"), std::string::npos);

    for (const std::string& subject :
         {std::string("Kopirko ŠANK-ĐURĐEVIĆ: rezervna kopija nije potpuna"), std::string(40, 'a') + "čćžšđ",
          std::string(200, 'x') + "ž", std::string("ččččččččččččččččččččččččččččččččččččččččččččč")}) {
        const std::string header = MailMessage::encodedHeader(subject);
        std::string decoded;
        size_t at = 0;
        while (at < header.size()) {
            const size_t end = header.find("\r\n ", at);
            const std::string word = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
            EXPECT_LE(word.size(), 75u) << word;
            ASSERT_EQ(word.rfind("=?UTF-8?B?", 0), 0u) << word;
            ASSERT_EQ(word.substr(word.size() - 2), "?=");
            const auto piece = Base64::decode(word.substr(10, word.size() - 12));
            ASSERT_TRUE(piece) << word;
            // Each word holds whole letters: no piece starts with a continuation byte.
            EXPECT_NE(static_cast<unsigned char>(piece->front()) & 0xC0, 0x80) << word;
            decoded += *piece;
            at = end == std::string::npos ? header.size() : end + 3;
        }
        EXPECT_EQ(decoded, subject);
    }
}

TEST(MailMessage, TheMessageHasItsHeadersAndTheBodyInBase64Lines)
{
    MailSettings settings;
    settings.Od = "kopirko@prodaja.test";
    settings.Za = {"a@firma.test", "b@firma.test"};
    const sys_seconds utc =
        sys_days{year_month_day{year{2026}, month{12}, day{7}}} + hours{19} + minutes{1} + seconds{5};
    const std::string body(200, 'z');
    const std::string message =
        MailMessage::render(settings, {"Kopirko X: probna poruka", body}, utc, "<id@kopirko.invalid>");
    EXPECT_EQ(message.substr(0, message.find("\r\n\r\n") + 4),
              "Date: Mon, 07 Dec 2026 19:01:05 +0000\r\nFrom: kopirko@prodaja.test\r\n"
              "To: a@firma.test, b@firma.test\r\nSubject: Kopirko X: probna poruka\r\n"
              "Message-ID: <id@kopirko.invalid>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: base64\r\n\r\n");
    std::string encoded;
    for (size_t at = message.find("\r\n\r\n") + 4; at < message.size();) {
        const size_t end = message.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "the last line ends in CR LF too";
        EXPECT_LE(end - at, 76u);
        encoded += message.substr(at, end - at);
        at = end + 2;
    }
    EXPECT_EQ(Base64::decode(encoded), body);
    EXPECT_NE(MailMessage::newMessageId(utc), MailMessage::newMessageId(utc));
}

} // namespace
