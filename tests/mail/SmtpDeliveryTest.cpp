// Reports sent through the system's mail client to a real SMTP server on 127.0.0.1 (SmtpTestServer).

#include "MailReporter.h"
#include "RunReport.h"
#include "SmtpTestServer.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono;

const LocalDateTime ended{year_month_day{year{2026}, month{12}, day{7}}, 20, 1, 5};
const sys_seconds utc = sys_days{year_month_day{year{2026}, month{12}, day{7}}} + hours{19} + minutes{1};

/// A run whose folders partly failed, named in letters beyond ASCII.
RunReport partlyFailedRun()
{
    RunReport report;
    report.backedUp = {"/srv/Računi"};
    report.failed.push_back({"/srv/Šank",
                             "2 datoteka ili fascikli nije kopirano (prva: nema dozvole)",
                             {{"/srv/Šank/čaše.mdb", "nema dozvole"}, {"/srv/Šank/Đurđa", "nema dozvole"}}});
    report.failed.push_back({"Kasa 2", "nije dostupna", {}});
    return report;
}

RunReport wholeRun()
{
    RunReport report;
    report.backedUp = {"/srv/Računi"};
    return report;
}

MailSettings settingsFor(const SmtpTestServer& server, MailEncryption encryption)
{
    MailSettings settings;
    // By name: Windows' TLS matches a certificate to a host name only.
    settings.Server = "localhost";
    settings.Port = server.port();
    settings.Sifrovanje = encryption;
    settings.Od = "kopirko@prodaja.test";
    settings.Za = {"vlasnik@firma.test", "racunovodja@firma.test"};
    settings.Slati = MailWhen::AfterProblems;
    return settings;
}

/// Sends `text` as the program does, trusting the test server's certificate.
class TrustingSender : public MailSender
{
public:
    explicit TrustingSender(std::string certificate, milliseconds limit = seconds(20))
        : m_certificate(std::move(certificate)), m_limit(limit)
    {}
    MailDelivery send(const MailServer& server, const MailEnvelope& envelope) override
    {
        MailServer trusted = server;
        trusted.certificateAuthorities = m_certificate;
        trusted.timeLimit = m_limit;
        return m_sender.send(trusted, envelope);
    }

private:
    SystemMailSender m_sender;
    std::string m_certificate;
    milliseconds m_limit;
};

const MailMessage::Destination destination{"/mnt/rezerva", 5ULL << 30};

#define SKIP_WITHOUT_SERVER()                                                                                          \
    if (!SmtpTestServer::available())                                                                                  \
    GTEST_SKIP() << "no Linux python to run the test mail server: Windows outside Wine"

struct Transport
{
    const char* mode;
    MailEncryption encryption;
    bool auth;
};

class SmtpDeliveryTest : public ::testing::TestWithParam<Transport>
{
protected:
    TempDir dir;
};

TEST_P(SmtpDeliveryTest, AFailedRunIsMailedWithEveryFailureAndItsReason)
{
    SKIP_WITHOUT_SERVER();
    const Transport& t = GetParam();
    SmtpTestServer server(t.mode, dir.path(), t.auth ? "prodaja" : "", t.auth ? "tajna lozinka" : "");
    ASSERT_NE(server.port(), 0) << "the test mail server did not start (scripts/setup installs python3-aiosmtpd)";
    MailSettings settings = settingsFor(server, t.encryption);
    if (t.auth) {
        settings.Korisnik = "prodaja";
        settings.Lozinka = "tajna lozinka";
    }
    TrustingSender sender(server.certificate());

    const auto delivery =
        MailReporter::reportRun(sender, settings, "PRODAJA-1", partlyFailedRun(), ended, destination, utc);
    ASSERT_TRUE(delivery);
    ASSERT_TRUE(delivery->result) << delivery->result.error();
    EXPECT_EQ(delivery->serverAnswer.substr(0, 3), "250");

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const std::string& mail = messages[0];
    for (const char* expected :
         {"From: kopirko@prodaja.test\n", "To: vlasnik@firma.test, racunovodja@firma.test\n",
          "Envelope-To: vlasnik@firma.test;racunovodja@firma.test\n",
          "Subject: Kopirko PRODAJA-1: rezervna kopija nije potpuna\n", "Date-ok: yes\n", "Message-ID: <",
          "Content-Type: text/plain; utf-8\n", "Racunar: PRODAJA-1", "07.12.2026 u 20:01",
          "/srv/Šank: 2 datoteka ili fascikli nije kopirano (prva: nema dozvole)", "/srv/Šank/čaše.mdb: nema dozvole",
          "/srv/Šank/Đurđa: nema dozvole", "Kasa 2: nije dostupna", "/srv/Računi", "Odrediste: /mnt/rezerva",
          "Slobodan prostor: 5.0 GB"})
        EXPECT_NE(mail.find(expected), std::string::npos) << expected << "\n---\n" << mail;
    EXPECT_EQ(server.maildirCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Transports, SmtpDeliveryTest,
    ::testing::Values(Transport{"plain", MailEncryption::None, false}, Transport{"plain", MailEncryption::None, true},
                      Transport{"starttls", MailEncryption::StartTls, false},
                      Transport{"starttls", MailEncryption::StartTls, true},
                      Transport{"tls", MailEncryption::Tls, false}, Transport{"tls", MailEncryption::Tls, true}),
    [](const auto& info) { return std::string(info.param.mode) + (info.param.auth ? "_auth" : "_open"); });

TEST(SmtpDelivery, AWholeRunIsMailedOnlyWhenEveryRunIsAskedFor)
{
    SKIP_WITHOUT_SERVER();
    TempDir dir;
    SmtpTestServer server("plain", dir.path());
    ASSERT_NE(server.port(), 0);
    MailSettings settings = settingsFor(server, MailEncryption::None);
    TrustingSender sender("");

    settings.Slati = MailWhen::AfterProblems;
    EXPECT_FALSE(MailReporter::reportRun(sender, settings, "PRODAJA-1", wholeRun(), ended, destination, utc));
    settings.Slati = MailWhen::Never;
    EXPECT_FALSE(MailReporter::reportRun(sender, settings, "PRODAJA-1", partlyFailedRun(), ended, destination, utc));
    settings.Slati = MailWhen::AfterEveryRun;
    const auto delivery = MailReporter::reportRun(sender, settings, "PRODAJA-1", wholeRun(), ended, destination, utc);
    ASSERT_TRUE(delivery && delivery->result) << (delivery ? delivery->result.error() : "not sent");

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Subject: Kopirko PRODAJA-1: rezervna kopija je izradjena\n"), std::string::npos)
        << messages[0];
}

TEST(SmtpDelivery, TheWarningAboutOldBackupsAndTheTestMessageGoOutWithTheirOwnSubjects)
{
    SKIP_WITHOUT_SERVER();
    TempDir dir;
    SmtpTestServer server("starttls", dir.path());
    ASSERT_NE(server.port(), 0);
    MailSettings settings = settingsFor(server, MailEncryption::StartTls);
    TrustingSender sender(server.certificate());

    const auto warned = MailReporter::reportWarning(
        sender, settings, "PRODAJA-1", "Posljednja potpuna rezervna kopija je od 03.12.2026", ended, destination, utc);
    ASSERT_TRUE(warned && warned->result) << (warned ? warned->result.error() : "not sent");
    const MailDelivery tested = MailReporter::send(sender, settings, MailMessage::testMessage("PRODAJA-1", ended), utc);
    ASSERT_TRUE(tested.result) << tested.result.error();
    EXPECT_EQ(MailReporter::testOutcome(tested).rfind("Probna poruka je poslana. Server je odgovorio: 250", 0), 0u)
        << MailReporter::testOutcome(tested);

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("Subject: Kopirko PRODAJA-1: Posljednja potpuna rezervna kopija je od 03.12.2026\n"),
              std::string::npos)
        << messages[0];
    EXPECT_NE(messages[1].find("Subject: Kopirko PRODAJA-1: probna poruka\n"), std::string::npos) << messages[1];
}

/// A port on 127.0.0.1 that nothing listens on any more: a server's, after it stopped.
int closedPort()
{
    TempDir dir;
    return SmtpTestServer("plain", dir.path()).port();
}

TEST(SmtpDelivery, AServerThatRefusesFailsTheSendingWithItsOwnAnswer)
{
    SKIP_WITHOUT_SERVER();
    TempDir dir;
    struct Refusal
    {
        const char* mode;
        MailEncryption encryption;
        const char* user;
        const char* password;
        bool trustCertificate;
        const char* inReason; ///< part of the reason the failure gives
    };
    for (const Refusal& r : {
             Refusal{"refuse", MailEncryption::None, "", "", true, "550 5.7.1 Relaying denied"},
             Refusal{"plain", MailEncryption::None, "prodaja", "pogresna", true, "535"},
             // The server asks for STARTTLS and the settings say none: it takes no mail in the clear.
             Refusal{"starttls", MailEncryption::None, "", "", true, "530"},
             // A certificate no authority vouches for is refused, as a man in the middle would present.
             Refusal{"tls", MailEncryption::Tls, "", "", false, "certificate"},
         }) {
        SCOPED_TRACE(std::string(r.mode) + " " + r.inReason);
        // Wine's Schannel takes any certificate when it is to check it against the system's authorities (Windows
        // refuses this one); a certificate checked against a file of authorities is checked there too.
        if (!r.trustCertificate && SmtpTestServer::underWine())
            continue;
        TempDir folder;
        SmtpTestServer server(r.mode, folder.path(), std::string(r.mode) == "plain" ? "prodaja" : "",
                              std::string(r.mode) == "plain" ? "prava" : "");
        ASSERT_NE(server.port(), 0);
        MailSettings settings = settingsFor(server, r.encryption);
        settings.Korisnik = r.user;
        settings.Lozinka = r.password;
        TrustingSender sender(r.trustCertificate ? server.certificate() : "");
        const auto delivery =
            MailReporter::reportRun(sender, settings, "PRODAJA-1", partlyFailedRun(), ended, destination, utc);
        ASSERT_TRUE(delivery);
        EXPECT_FALSE(delivery->result);
        EXPECT_NE(delivery->result.error().find(r.inReason), std::string::npos) << delivery->result.error();
        EXPECT_EQ(MailReporter::failureLine(*delivery).rfind("Izvjestaj nije poslan postom: ", 0), 0u);
        EXPECT_TRUE(server.messages().empty());
    }

    MailSettings closed;
    closed.Server = "127.0.0.1";
    closed.Port = closedPort();
    ASSERT_NE(closed.Port, 0);
    closed.Od = "kopirko@prodaja.test";
    closed.Za = {"vlasnik@firma.test"};
    TrustingSender sender("");
    EXPECT_FALSE(MailReporter::send(sender, closed, MailMessage::testMessage("PRODAJA-1", ended), utc).result);
}

TEST(SmtpDelivery, AServerThatNeverAnswersIsGivenUpWithinTheTimeLimit)
{
    SKIP_WITHOUT_SERVER();
    TempDir dir;
    SmtpTestServer server("silent", dir.path());
    ASSERT_NE(server.port(), 0);
    TrustingSender sender("", seconds(2));
    const MailDelivery delivery = MailReporter::send(sender, settingsFor(server, MailEncryption::None),
                                                     MailMessage::testMessage("PRODAJA-1", ended), utc);
    EXPECT_FALSE(delivery.result);
    EXPECT_NE(delivery.result.error().find("did not finish within 2 s"), std::string::npos) << delivery.result.error();
}

} // namespace
