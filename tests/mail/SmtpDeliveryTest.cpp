// Reports sent through the system's mail client to a real SMTP server on 127.0.0.1 (SmtpTestServer).

#include "MailReporter.h"
#include "RunReport.h"
#include "SmtpTestServer.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "WineSide.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

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

/// A test mail server of `mode` (asking for AUTH as `user` with `password` when given), settings that reach it with
/// `encryption`, and a sender that trusts its certificate when `trusted`.
struct Served
{
    TempDir dir;
    SmtpTestServer server;
    TrustingSender sender;
    MailSettings settings;

    Served(const char* mode, MailEncryption encryption, const std::string& user = {}, const std::string& password = {},
           bool trusted = true, milliseconds limit = seconds(20))
        : server(mode, dir.path(), user, password), sender(trusted ? server.certificate() : "", limit)
    {
        settings.Server = "localhost"; // by name: Windows' TLS matches a certificate to a host name only
        settings.Port = server.port();
        settings.Sifrovanje = encryption;
        settings.Od = "kopirko@prodaja.test";
        settings.Za = {"vlasnik@firma.test", "racunovodja@firma.test"};
        settings.Slati = MailWhen::AfterProblems;
    }
    std::optional<MailDelivery> reportRun(const RunReport& run)
    {
        return MailReporter::reportRun(sender, settings, "PRODAJA-1", run, ended, destination, utc);
    }
    MailDelivery sendTest()
    {
        return MailReporter::send(sender, settings, MailMessage::testMessage("PRODAJA-1", ended), utc);
    }
};

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
{};

TEST_P(SmtpDeliveryTest, AFailedRunIsMailedWithEveryFailureAndItsReason)
{
    SKIP_WITHOUT_SERVER();
    const Transport& t = GetParam();
    const std::string user = t.auth ? "prodaja" : "", password = t.auth ? "tajna lozinka" : "";
    Served served(t.mode, t.encryption, user, password);
    ASSERT_NE(served.server.port(), 0)
        << "the test mail server did not start (scripts/setup installs python3-aiosmtpd)";
    served.settings.Korisnik = user;
    served.settings.Lozinka = password;

    const auto delivery = served.reportRun(partlyFailedRun());
    ASSERT_TRUE(delivery);
    ASSERT_TRUE(delivery->result) << delivery->result.error();
    EXPECT_EQ(delivery->serverAnswer.substr(0, 3), "250");

    const auto messages = served.server.messages();
    ASSERT_EQ(messages.size(), 1u);
    for (const char* expected :
         {"From: kopirko@prodaja.test\n", "To: vlasnik@firma.test, racunovodja@firma.test\n",
          "Envelope-To: vlasnik@firma.test;racunovodja@firma.test\n",
          "Subject: Kopirko PRODAJA-1: rezervna kopija nije potpuna\n", "Date-ok: yes\n", "Message-ID: <",
          "Content-Type: text/plain; utf-8\n", "Racunar: PRODAJA-1", "07.12.2026 u 20:01",
          "/srv/Šank: 2 datoteka ili fascikli nije kopirano (prva: nema dozvole)", "/srv/Šank/čaše.mdb: nema dozvole",
          "/srv/Šank/Đurđa: nema dozvole", "Kasa 2: nije dostupna", "/srv/Računi", "Odrediste: /mnt/rezerva",
          "Slobodan prostor: 5.0 GB"})
        EXPECT_NE(messages[0].find(expected), std::string::npos) << expected << "\n---\n" << messages[0];
    EXPECT_EQ(served.server.maildirCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Transports, SmtpDeliveryTest,
    ::testing::Values(Transport{"plain", MailEncryption::None, false}, Transport{"plain", MailEncryption::None, true},
                      Transport{"starttls", MailEncryption::StartTls, false},
                      Transport{"starttls", MailEncryption::StartTls, true},
                      Transport{"tls", MailEncryption::Tls, false}, Transport{"tls", MailEncryption::Tls, true}),
    [](const auto& info) { return std::string(info.param.mode) + (info.param.auth ? "_auth" : "_open"); });

// A whole run is mailed only when every run is asked for; the warning about old backups and the test message go out
// with their own subjects.
TEST(SmtpDelivery, EachMessageGoesOutOnlyWhenAskedForWithItsOwnSubject)
{
    SKIP_WITHOUT_SERVER();
    Served served("starttls", MailEncryption::StartTls);
    ASSERT_NE(served.server.port(), 0);

    EXPECT_FALSE(served.reportRun(wholeRun())); // Slati: after problems
    served.settings.Slati = MailWhen::Never;
    EXPECT_FALSE(served.reportRun(partlyFailedRun()));
    served.settings.Slati = MailWhen::AfterEveryRun;
    const auto delivery = served.reportRun(wholeRun());
    ASSERT_TRUE(delivery && delivery->result) << (delivery ? delivery->result.error() : "not sent");
    const std::string warning = "Posljednja potpuna rezervna kopija je od 03.12.2026";
    const auto warned =
        MailReporter::reportWarning(served.sender, served.settings, "PRODAJA-1", warning, ended, destination, utc);
    ASSERT_TRUE(warned && warned->result) << (warned ? warned->result.error() : "not sent");
    const MailDelivery tested = served.sendTest();
    ASSERT_TRUE(tested.result) << tested.result.error();
    EXPECT_EQ(MailReporter::testOutcome(tested).rfind("Probna poruka je poslana. Server je odgovorio: 250", 0), 0u)
        << MailReporter::testOutcome(tested);

    const auto messages = served.server.messages();
    ASSERT_EQ(messages.size(), 3u);
    const std::string subjects[] = {"rezervna kopija je izradjena", warning, "probna poruka"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NE(messages[i].find("Subject: Kopirko PRODAJA-1: " + subjects[i] + "\n"), std::string::npos)
            << messages[i];
}

TEST(SmtpDelivery, AServerThatRefusesFailsTheSendingWithItsOwnAnswer)
{
    SKIP_WITHOUT_SERVER();
    struct Refusal
    {
        const char *mode, *user, *password;
        MailEncryption encryption;
        bool trustCertificate;
        const char* inReason; ///< part of the reason the failure gives
    };
    for (const Refusal& r : {Refusal{"refuse", "", "", MailEncryption::None, true, "550 5.7.1 Relaying denied"},
                             Refusal{"plain", "prodaja", "pogresna", MailEncryption::None, true, "535"},
                             // The server asks for STARTTLS and the settings say none: it takes no mail in the clear.
                             Refusal{"starttls", "", "", MailEncryption::None, true, "530"},
                             // A certificate no authority vouches for is refused, as a man in the middle would present.
                             Refusal{"tls", "", "", MailEncryption::Tls, false, "certificate"}}) {
        SCOPED_TRACE(std::string(r.mode) + " " + r.inReason);
        // Wine's Schannel takes any certificate when it is to check it against the system's authorities (Windows
        // refuses this one); a certificate checked against a file of authorities is checked there too.
        if (!r.trustCertificate && WineSide::present())
            continue;
        const bool plain = std::string(r.mode) == "plain";
        Served served(r.mode, r.encryption, plain ? "prodaja" : "", plain ? "prava" : "", r.trustCertificate);
        ASSERT_NE(served.server.port(), 0);
        served.settings.Korisnik = r.user;
        served.settings.Lozinka = r.password;
        const auto delivery = served.reportRun(partlyFailedRun());
        ASSERT_TRUE(delivery);
        EXPECT_FALSE(delivery->result);
        EXPECT_NE(delivery->result.error().find(r.inReason), std::string::npos) << delivery->result.error();
        EXPECT_EQ(MailReporter::failureLine(*delivery).rfind("Izvjestaj nije poslan postom: ", 0), 0u);
        EXPECT_TRUE(served.server.messages().empty());
    }
}

// A server that never answers is given up within the time limit; one that is not there fails too.
TEST(SmtpDelivery, AServerThatNeverAnswersOrIsNotThereFailsTheSending)
{
    SKIP_WITHOUT_SERVER();
    int closed = 0; // a port on 127.0.0.1 that nothing listens on any more: a server's, after it stopped
    {
        TempDir dir;
        closed = SmtpTestServer("plain", dir.path()).port();
    }
    ASSERT_NE(closed, 0);
    Served served("silent", MailEncryption::None, "", "", false, seconds(2));
    ASSERT_NE(served.server.port(), 0);
    const MailDelivery delivery = served.sendTest();
    EXPECT_FALSE(delivery.result);
    EXPECT_NE(delivery.result.error().find("did not finish within 2 s"), std::string::npos) << delivery.result.error();
    served.settings.Port = closed;
    EXPECT_FALSE(served.sendTest().result);
}

} // namespace
