// The window's watch over the backups: missed daily runs caught up, the warning about old backups, the mail reports.
#include "WindowTest.h"

#include "BackupAgeWarning.h"
#include "RunGuard.h"

#include <algorithm>
#include <filesystem>
#include <future>

namespace {

std::string caughtUp(const char* due)
{
    return std::string("Propustena izrada rezervne kopije (") + due + ") se nadoknadjuje";
}

/// Settings by hand, at 20:00, reports mailed to `to` as `slati` says.
std::string mailingIni(const std::string& dirLine, const std::string& to, int slati)
{
    return "[BACKUP]\r\n" + dirLine + "\r\nNacinBackupa=2\r\nVrijemeBackupa=20:00\r\n[POSTA]\r\nServer=127.0.0.1\r\n" +
           "Od=kasa@radnja.ba\r\nZa=" + to + "\r\nSlati=" + std::to_string(slati) + "\r\n";
}

// Catching up is for the daily mode and only while it is on.
TEST_F(WindowTest, AMissedDailyRunIsCaughtUpOnceAtStartAndAfterTheClockJumpsTheScheduleStaysAsItWas)
{
    platform.clock.set(2026, 12, 6, 8, 0); // the computer was off at 20:00 yesterday
    for (const char* lines : {"NacinBackupa=0\r\nNadoknaditi=0", "NacinBackupa=2"}) {
        SCOPED_TRACE(lines);
        start({"VrijemeBackupa=20:00", dirLine, lines});
        EXPECT_FALSE(get<QTimer>("catchUpTimer")->isActive());
        watch().onCatchUpDue();
        EXPECT_FALSE(TestFiles::exists(backupOf(6)));
    }
    start({"VrijemeBackupa=20:00", dirLine, "NacinBackupa=0"});
    EXPECT_EQ(label("statusLine"), caughtUp("05.12.2026 u 20:00"));
    ASSERT_TRUE(get<QTimer>("catchUpTimer")->isActive());
    EXPECT_FALSE(TestFiles::exists(backupOf(6)));
    watch().onCatchUpDue();
    EXPECT_TRUE(TestFiles::exists(backupOf(6) + "/racun.txt"));
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 06.12.2026 u 08:00");
    EXPECT_EQ(label("nextRunLine"), "Sledeća izrada rezervne kopije 06.12.2026 u 20:00");

    std::filesystem::remove_all(backupOf(6));
    platform.clock.set(2026, 12, 6, 9, 0);
    start(); // the same day again
    EXPECT_FALSE(get<QTimer>("catchUpTimer")->isActive());
    EXPECT_NE(label("statusLine"), caughtUp("05.12.2026 u 20:00"));

    // Asleep over today's time: the first tick after waking up finds it missed; a run in progress holds it back.
    tickAt(6, 19, 0);
    {
        RunGuard runInProgress;
        tickAt(6, 21, 0);
    }
    EXPECT_FALSE(get<QTimer>("catchUpTimer")->isActive());
    tickAt(6, 21, 0, 1); // no jump since the tick before
    EXPECT_FALSE(get<QTimer>("catchUpTimer")->isActive());
    tickAt(6, 23, 30);
    EXPECT_EQ(label("statusLine"), caughtUp("06.12.2026 u 20:00"));
    watch().onCatchUpDue();
    EXPECT_TRUE(TestFiles::exists(backupOf(6) + "/racun.txt"));
    tickAt(7, 2, 0); // asleep again, but today's run was made
    EXPECT_FALSE(get<QTimer>("catchUpTimer")->isActive());
    EXPECT_EQ(label("nextRunLine"), "Sledeća izrada rezervne kopije 07.12.2026 u 20:00");
}

TEST_F(WindowTest, TheWarningAboutOldBackupsComesAfterItsDaysOnceAndGoesWithAWholeBackup)
{
    const std::string failing = temp / "missing";
    TestFiles::write(listFile, source + "\r\n" + failing + "\r\n");
    TestFiles::write(ini, mailingIni(dirLine, "vlasnik@radnja.ba", 1));
    start();
    EXPECT_EQ(label("statusLine"), BackupAgeWarning::neverMade); // a fresh install says so
    EXPECT_EQ(tray.tip, "");

    platform.clock.set(2026, 12, 7, 13, 0);
    click("backUpNowButton"); // not whole: no end to the wait
    waitForMail();
    platform.clock.set(2026, 12, 8, 8, 0);
    watch().checkAge();
    EXPECT_EQ(tray.balloons.size(), 1u);        // the run's failure
    EXPECT_EQ(platform.mail.sent().size(), 1u); // the report of the run that was not whole

    platform.clock.set(2026, 12, 8, 8, 1); // three days and a minute since the program began to wait
    watch().checkAge();
    watch().checkAge(); // an hour later: no second message
    waitForMail();
    EXPECT_EQ(label("statusLine"), BackupAgeWarning::neverMade);
    ASSERT_EQ(tray.balloons.size(), 2u); // the run's failure, then the warning
    EXPECT_EQ(tray.balloons.back(), BackupAgeWarning::neverMade);
    EXPECT_EQ(tray.tip, qs("\n" + std::string(BackupAgeWarning::neverMade)));
    ASSERT_EQ(platform.mail.sent().size(), 2u);
    EXPECT_NE(platform.mail.sent().back().envelope.message.find(BackupAgeWarning::neverMade), std::string::npos);
    window->show(); // seen, but still true
    EXPECT_NE(tray.tip, "");

    TestFiles::makeFolder(failing); // back within reach
    click("backUpNowButton");
    waitForMail();
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 08.12.2026 u 08:01");
    EXPECT_EQ(tray.tip, "");
    EXPECT_EQ(platform.mail.sent().size(), 2u); // a whole run is not mailed with Slati=1

    platform.clock.set(2026, 12, 11, 9, 0);
    watch().checkAge();
    EXPECT_EQ(label("statusLine"), "Posljednja potpuna rezervna kopija je od 08.12.2026");
    EXPECT_EQ(tray.balloons.back(), "Posljednja potpuna rezervna kopija je od 08.12.2026");
}

TEST_F(WindowTest, ReportsAreMailedAsSlatiAsksAndAFailedSendingIsShownWithoutTouchingTheRun)
{
    const std::string failing = temp / "missing";
    const MailDelivery refused{Result::failure("the server refused the message"), "554 5.7.1 Relay access denied"};
    const struct
    {
        int Slati;
        bool whole, serverRefuses;
        size_t mails;
    } cases[] = {
        {0, false, false, 0}, {1, false, false, 1}, {1, true, false, 0}, {2, true, false, 1}, {1, false, true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Slati) + (c.whole ? " whole" : " not whole") +
                     (c.serverRefuses ? " refused" : ""));
        platform.mail.answer(c.serverRefuses ? refused : MailDelivery{Result::success(), "250 Ok"});
        const size_t before = platform.mail.sent().size();
        TestFiles::write(listFile, source + "\r\n" + (c.whole ? "" : failing + "\r\n"));
        TestFiles::write(ini, mailingIni(dirLine, "vlasnik@radnja.ba;knjige@radnja.ba", c.Slati));
        start();
        click("backUpNowButton");
        const std::string result = label("statusLine");
        waitForMail();
        const std::vector<FakeMailSender::Sent> sent = platform.mail.sent();
        ASSERT_EQ(sent.size() - before, c.mails);
        if (c.mails == 1) {
            EXPECT_EQ(sent.back().envelope.to, (std::vector<std::string>{"vlasnik@radnja.ba", "knjige@radnja.ba"}));
            EXPECT_NE(sent.back().envelope.message.find(c.whole ? "je izradjena" : "nije potpuna"), std::string::npos);
        }
        EXPECT_EQ(label("statusLine"), result); // the run's result stands
        const std::vector<std::string> failures = items("failedFoldersList");
        const bool mailFailureShown = std::any_of(failures.begin(), failures.end(), [](const std::string& line) {
            return line.starts_with("Izvjestaj nije poslan postom: ");
        });
        EXPECT_EQ(mailFailureShown, c.serverRefuses);
        EXPECT_EQ(shown("failedFoldersList"), !c.whole || c.serverRefuses);
        std::filesystem::remove_all(backupOf(5));
    }
}

// A server that does not answer holds neither the run nor the window: the run's result is there before the mail is
// gone, the window goes on, and the next report waits its turn.
TEST_F(WindowTest, AMailServerThatDoesNotAnswerHoldsNeitherTheRunNorTheWindow)
{
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    platform.mail.whileSending = [answered] { answered.wait(); };
    TestFiles::write(ini, mailingIni(dirLine, "vlasnik@radnja.ba", 2));
    start();
    click("backUpNowButton");
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 05.12.2026 u 08:00");
    EXPECT_TRUE(watch().mailing());
    platform.clock.set(2026, 12, 5, 8, 5);
    click("backUpNowButton"); // a second report waits behind the first
    EXPECT_EQ(label("statusLine"), "Rezervna kopija je izradjena 05.12.2026 u 08:05");
    answer.set_value();
    waitForMail();
    EXPECT_EQ(platform.mail.sent().size(), 2u);
}

} // namespace
