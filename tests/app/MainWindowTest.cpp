// The main window on the offscreen platform (WindowTest).
#include "WindowTest.h"

#include "DailySchedule.h"
#include "LampShape.h"
#include "OffThreadWork.h"
#include "QtNotificationIcon.h"
#include "QtTranslation.h"
#include "RunGuard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST_F(WindowTest, SettingsThatAreMissingOrWrongSendTheUserToTheSettingsAndArmNothing)
{
    const std::string please = "\r\nMolimo da podesite program.", time = "VrijemeBackupa=08:00";
    const auto bad = [&](std::string what) { return "Spremljeno podesavanje " + what + " nije ispravno." + please; };
    const struct
    {
        std::vector<std::string> lines; ///< none: no settings file
        std::string message;
        int settingsPage;
    } cases[] = {
        {{}, notSetUp, 0},
        {{dirLine, "NacinBackupa=2"}, notSetUp, 1},
        {{dirLine, "VrijemeBackupa=8:00"}, "Vrijeme izrade rezervne kopije \"8:00\" nije ispravno." + please, 1},
        {{dirLine, time, "NacinBackupa=7"}, bad("NacinBackupa = 7"), 1},
        {{dirLine, time, "OpsegBackupa=2"}, bad("OpsegBackupa = 2"), 1},
        {{dirLine, time, "NacinBackupa=2", "GasenjeRacunaraMreze=-1"}, bad("GasenjeRacunaraMreze = -1"), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        start(c.lines);
        EXPECT_EQ(loaded, std::vector<std::string>{c.message});
        EXPECT_EQ(get<QTabWidget>("pageTabs")->currentIndex(), 1);
        EXPECT_EQ(get<QTabWidget>("settingsTabs")->currentIndex(), c.settingsPage);
        EXPECT_EQ(get<QLineEdit>("destinationEdit")->text().toStdString(), c.lines.empty() ? "" : destination);
        EXPECT_FALSE(dailyTimerOn() || shown("backUpNowButton") || databaseRuns);
        EXPECT_TRUE(tray.present()); // the icon and the folder list come in any case
        EXPECT_EQ(items("folderList"), std::vector<std::string>{source});
    }
}

TEST_F(WindowTest, SavedOptionsAreWrittenInOrderAndAppliedNowAndAtTheNextStart)
{
    const char* const boxes[] = {"deleteOldBackupsCheckbox", "shutDownThisComputerCheckbox", "compressCheckbox",
                                 "shutDownNetworkCheckbox"};
    const char* const modeRadios[] = {"timedModeRadio", "startModeRadio", "manualModeRadio"}; // NacinBackupa 0, 1, 2
    for (int mode : {0, 2, 1}) {
        SCOPED_TRACE(mode);
        const auto on = [&](int box) { return box == 0 || box == (mode + 1) % 3 + 1; }; // another pair each time
        const auto digit = [&](int box) { return on(box) ? "1" : "0"; };
        start({dirLine});
        get<QComboBox>("backupTimeCombo")->setCurrentIndex(22);
        const char* const option = modeRadios[mode];
        get<QAbstractButton>(option)->setChecked(true);
        get<QAbstractButton>("filesOnlyRadio")->setChecked(true);
        for (int box = 0; box < 4; ++box)
            get<QAbstractButton>(boxes[box])->setChecked(on(box));
        get<QLineEdit>("keepDaysEdit")->setText("  14 dana");
        get<QAbstractButton>("catchUpCheckbox")->setChecked(mode != 2);
        get<QSpinBox>("warningDaysSpin")->setValue(mode * 7);
        click("saveOptionsButton");

        EXPECT_EQ(TestFiles::read(ini),
                  "[BACKUP]\r\n" + dirLine + "\r\nVrijemeBackupa=22:00\r\nGasitiRacunar=" + digit(1) +
                      "\r\nZIPOVANJE=" + digit(2) + "\r\nGasenjeRacunaraMreze=" + digit(3) +
                      "\r\nNacinBackupa=" + std::to_string(mode) +
                      "\r\nOpsegBackupa=0\r\nBrisati=1\r\nStarost=14\r\nNadoknaditi=" + (mode != 2 ? "1" : "0") +
                      "\r\nUpozorenjeDana=" + std::to_string(mode * 7) +
                      "\r\n[EVIDENCIJA]\r\nPracenjeOd=2026-12-05 08:00:00\r\n");
        const auto texts = platform.messages.shown; // mode 1 also says to start the program again
        ASSERT_EQ(texts.size(), mode == 1 ? 2u : 1u);
        EXPECT_EQ(texts[0], "Podesavanje je spremljeno");
        EXPECT_EQ(platform.terminator.ended(), mode == 1);
        for (bool restarted : {false, true}) {
            if (restarted)
                start();
            EXPECT_EQ(dailyTimerOn(), mode == 0) << restarted;
            EXPECT_EQ(shown("backUpNowButton"), mode == 2) << restarted;
        }
        EXPECT_TRUE(loaded.empty());
        EXPECT_EQ(get<QLineEdit>("destinationEdit")->text().toStdString(), destination);
        EXPECT_EQ(get<QComboBox>("backupTimeCombo")->currentIndex(), 22);
        EXPECT_TRUE(get<QAbstractButton>(option)->isChecked() && get<QAbstractButton>("filesOnlyRadio")->isChecked());
        for (int box = 0; box < 4; ++box)
            EXPECT_EQ(get<QAbstractButton>(boxes[box])->isChecked(), on(box)) << boxes[box];
        EXPECT_EQ(get<QAbstractButton>("catchUpCheckbox")->isChecked(), mode != 2);
        EXPECT_EQ(get<QSpinBox>("warningDaysSpin")->value(), mode * 7);
        EXPECT_EQ(get<QLineEdit>("keepDaysEdit")->text(), "14");
    }
}

TEST_F(WindowTest, ASaveThatCannotBeDoneIsNeverReportedAsSaved)
{
    start({dirLine, "VrijemeBackupa=08:00", "NacinBackupa=2", "Starost=3"});
    const std::string before = TestFiles::read(ini);
    std::vector<std::string> expected;
    const auto save = [&](const std::string& days, int time, const std::string& refusal) {
        get<QLineEdit>("keepDaysEdit")->setText(qs(days));
        get<QComboBox>("backupTimeCombo")->setCurrentIndex(time);
        click("saveOptionsButton");
        expected.push_back(refusal);
    };
    get<QAbstractButton>("deleteOldBackupsCheckbox")->setChecked(true); // deleting needs whole days from 1 up
    for (const std::string days : {"sedam", "0", "7.5", "-2"})
        save(days, 8,
             "Broj dana \"" + days +
                 "\" nije ispravan: za brisanje starih rezervnih kopija upisite cijeli broj dana, 1 ili vise.");
    get<QAbstractButton>("deleteOldBackupsCheckbox")->setChecked(false);
    save("40000", 8, "Broj dana \"40000\" nije ispravan.");
    save("5", -1, "Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).");
    {
        RunGuard runInProgress;
        save("5", 8, "Izrada rezervne kopije je vec u toku.\r\nPodesavanje spremite kada se zavrsi.");
    }
    context->settingsStore.setIniFilePath(temp / "missing/KOPIRKO.ini");
    click("saveOptionsButton");

    std::vector<std::string> texts = platform.messages.shown;
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[7].rfind("Podesavanje nije spremljeno.\r\n", 0), 0u) << texts[7];
    texts.pop_back();
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(TestFiles::read(ini), before);
}

// A list entry with a NUL (a power cut) is kept out for the runs to name; a destination is saved only as it reads back.
TEST_F(WindowTest, FolderPageRoundTrip)
{
    const std::string damaged = "/data/A\r\n\r\n/data/X" + std::string("\0\t", 2) + "\r\n/data/B";
    TestFiles::write(listFile, damaged);
    start({dirLine});
    EXPECT_EQ(window->refusedFolderEntries(), std::vector<std::string>{"/data/X\u2400\u2409"});
    EXPECT_EQ(TestFiles::read(listFile), damaged);
    picker.answers = {"/mnt/new", "", "/data/C", "", "/data/D"};
    for (const char* button : {"chooseDestinationButton", "chooseDestinationButton", "addFolderButton",
                               "addFolderButton"}) // each second one cancelled
        click(button);
    EXPECT_EQ(savedDestination(), destination); // not before "Prihvati"

    click("saveFoldersButton");
    EXPECT_EQ(TestFiles::read(listFile), "/data/A\r\n/data/B\r\n/data/C\r\n");
    EXPECT_EQ(savedDestination(), "/mnt/new"); // saved all the same, and warned about
    EXPECT_EQ(platform.messages.shown,
              std::vector<std::string>{"Fascikla za rezervne kopije \"/mnt/new\" ne postoji ili "
                                       "nije dostupna.\r\nRezervne kopije se nece moci izraditi "
                                       "dok se to ne ispravi."});

    // One folder leaves by Delete, another by the list's own menu; with none selected nothing goes.
    auto* list = get<QListWidget>("folderList");
    list->setCurrentRow(1);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(list, &del);
    list->setCurrentRow(0);
    ASSERT_EQ(list->actions().size(), 1);
    list->actions().front()->trigger();
    list->clearSelection();
    list->actions().front()->trigger();
    EXPECT_EQ(items("folderList"), std::vector<std::string>{"/data/C"});

    platform.messages.shown.clear();
    platform.messages.answers = {false, true}; // "Obrisi listu" asks first
    click("clearFolderListButton");
    EXPECT_EQ(items("folderList").size(), 1u);
    click("clearFolderListButton");
    EXPECT_TRUE(items("folderList").empty());
    get<QLineEdit>("destinationEdit")->setText(qs(destination));
    click("saveFoldersButton");
    EXPECT_EQ(TestFiles::read(listFile), "");
    EXPECT_EQ(platform.messages.shown.size(), 2u); // the two questions, no warning
    EXPECT_TRUE(window->refusedFolderEntries().empty());
    platform.messages.shown.clear();

    // Destinations the settings file would give back cut or trimmed are refused, the list saved all the same.
    const std::string longest = "/" + QString(254, QChar(0x10D)).toStdString(); // 255 characters ("č"), 509 bytes
    for (const std::string& folder : {longest + "č", std::string(" /mnt/x"), std::string("/mnt/x\t")}) {
        get<QLineEdit>("destinationEdit")->setText(QString::fromStdString(folder));
        click("saveFoldersButton");
    }
    EXPECT_EQ(savedDestination(), destination);
    EXPECT_EQ(platform.messages.shown.size(), 3u);
    EXPECT_NE(platform.messages.shown.at(0).find("duza od 255 znakova"), std::string::npos);

    std::filesystem::remove(listFile);
    TestFiles::makeFolder(listFile); // a list file that cannot be written
    click("addFolderButton");
    get<QLineEdit>("destinationEdit")->setText(QString::fromStdString(longest));
    platform.messages.shown.clear();
    click("saveFoldersButton");
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].find("Popis fascikli nije spremljen"), std::string::npos);
    EXPECT_EQ(items("folderList"), std::vector<std::string>{"/data/D"}); // still there to save again
    EXPECT_EQ(savedDestination(), longest);
}

TEST_F(WindowTest, ClosingHidesTheWindowOnlyIzlazWithYesEndsTheProgram)
{
    tray.trayAvailable = false;
    start();
    window->show();
    window->close();
    EXPECT_TRUE(window->isVisible() && window->isMinimized()); // no icon would bring a hidden window back
    tray.trayAvailable = true;
    click("hideWindowButton");
    EXPECT_FALSE(window->isVisible());

    tray.onMessage(517); // the menu opens, the window stays hidden
    tray.onMessage(512);
    EXPECT_FALSE(window->isVisible());
    tray.onMessage(515);
    EXPECT_TRUE(window->isVisible());
    window->showMinimized();
    tray.onMessage(514);
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());

    platform.messages.answers = {false, true};
    tray.menu->actions().front()->trigger();
    EXPECT_TRUE(!platform.terminator.ended() && tray.present() && window->isVisible());
    tray.menu->actions().front()->trigger();
    EXPECT_TRUE(platform.terminator.ended());
}

TEST_F(WindowTest, TheTimedBackupRunsAtItsMinuteOnceADayAndNeverBesideAnotherRun)
{
    TestFiles::makeFolder(destination + "/05_12_2026_Kasa_backup"); // today's database backup
    // A time that is no item of the list; today's time has passed, but catching up is not what is tested here.
    start({"VrijemeBackupa=07:30", dirLine, "NacinBackupa=0", "Nadoknaditi=0"});
    EXPECT_EQ(get<QComboBox>("backupTimeCombo")->currentIndex(), -1);
    EXPECT_EQ(get<QComboBox>("backupTimeCombo")->currentText(), "07:30");
    EXPECT_EQ(get<QLabel>("statusLine")->text(), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 07:30");
    EXPECT_EQ(get<QLabel>("nextRunLine")->text(), "Sledeća izrada rezervne kopije 06.12.2026 u 07:30");
    EXPECT_EQ(databaseRuns, 0);
    EXPECT_TRUE(dailyTimerOn());

    {
        RunGuard runInProgress;
        tickAt(5, 7, 30, 0);
        click("backUpNowButton");
    }
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    EXPECT_EQ(platform.messages.shown, std::vector<std::string>{"Izrada rezervne kopije je vec u toku."});
    tickAt(5, 7, 30, 30); // the day stayed open
    EXPECT_EQ(TestFiles::read(backupOf(5) + "/racun.txt"), "1");
    EXPECT_TRUE(dailyTimerOn()); // armed again for tomorrow

    std::filesystem::remove_all(backupOf(5));
    tickAt(5, 7, 30, 31);
    tickAt(5, 7, 30, 0); // the clock set back
    tickAt(6, 7, 30, 0);
    tickAt(5, 7, 30, 0); // set back a whole day
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    EXPECT_TRUE(TestFiles::exists(backupOf(6) + "/racun.txt"));

    get<QAbstractButton>("compressCheckbox")->setChecked(true); // compressed from now on
    click("saveOptionsButton");
    tickAt(7, 7, 30);
    EXPECT_EQ(zipRuns, 1);
    EXPECT_FALSE(TestFiles::exists(backupOf(7)));
}

TEST_F(WindowTest, AFreshStartSetUpFromTheWindowBacksUpDailyAndByHandAndKeepsWhatTheLatestRunMissedInSight)
{
    const std::string missing = temp / "missing"; // out of reach until the backup by hand
    TestFiles::write(listFile, "");
    start();
    ASSERT_EQ(loaded, std::vector<std::string>{notSetUp});
    picker.answers = {destination, source, missing};
    for (const char* button : {"chooseDestinationButton", "addFolderButton", "addFolderButton", "saveFoldersButton"})
        click(button);
    get<QComboBox>("backupTimeCombo")->setCurrentIndex(8);
    click("saveOptionsButton");
    EXPECT_TRUE(dailyTimerOn());
    tickAt(5, 8, 0);
    EXPECT_TRUE(TestFiles::exists(backupOf(5) + "/racun.txt"));
    EXPECT_EQ(items("failedFoldersList"), std::vector<std::string>{missing + ": fascikla nije dostupna"});
    EXPECT_EQ(tray.balloons.size(), 1u); // the window was never shown: the icon says it until it is
    EXPECT_EQ(label("statusLine"), "Rezervna kopija izradjena 05.12.2026 u 08:00 nije potpuna: pogledajte popis ispod");
    EXPECT_EQ(tray.tip, qs("\n" + label("statusLine")));
    tickAt(5, 8, 1);
    EXPECT_TRUE(shown("failedFoldersList") && shown("failedFoldersLabel"));

    get<QAbstractButton>("manualModeRadio")->setChecked(true);
    click("saveOptionsButton");
    EXPECT_FALSE(dailyTimerOn());
    TestFiles::makeFolder(missing);
    platform.clock.set(2026, 12, 7, 13, 5);
    click("backUpNowButton");
    EXPECT_TRUE(TestFiles::exists(backupOf(7) + "/racun.txt"));
    EXPECT_EQ(platform.messages.shown.back(), "Izrada rezervne kopije je zavrsena");
    EXPECT_FALSE(shown("failedFoldersList") || shown("failedFoldersLabel"));
    EXPECT_EQ(tray.balloons.size(), 1u);
    EXPECT_NE(tray.tip, ""); // the failure nobody has seen yet
    window->show();
    EXPECT_EQ(tray.tip, "");
}

// The page "Backup" says when the next timed run is due and how the latest run went, after every save and run; a
// new time saved later the same day runs that day, but no minute gets two runs; a run with no folder is no backup.
TEST_F(WindowTest, TheStatusLinesSayWhenTheNextRunIsDueAndHowTheLatestWentAndANewTimeRunsTheSameDay)
{
    const auto next = [](const char* when) { return std::string("Sledeća izrada rezervne kopije ") + when; };
    const auto made = [](const char* when) { return std::string("Rezervna kopija je izradjena ") + when; };
    start({"VrijemeBackupa=19:28", dirLine, "NacinBackupa=0"});
    EXPECT_EQ(label("nextRunLine"), next("05.12.2026 u 19:28")); // still ahead today
    tickAt(5, 19, 28);
    EXPECT_EQ(label("statusLine"), made("05.12.2026 u 19:28"));
    EXPECT_EQ(label("nextRunLine"), next("06.12.2026 u 19:28"));

    platform.clock.set(2026, 12, 5, 19, 29);
    get<QComboBox>("backupTimeCombo")->setEditText("19:31");
    click("saveOptionsButton");
    EXPECT_EQ(label("nextRunLine"), next("05.12.2026 u 19:31"));
    std::filesystem::remove_all(backupOf(5));
    tickAt(5, 19, 31);
    EXPECT_EQ(label("statusLine"), made("05.12.2026 u 19:31")); // the same day, at the new time
    click("saveOptionsButton");                                 // the same time again, within the minute of its run
    std::filesystem::remove_all(backupOf(5));
    tickAt(5, 19, 31, 40);
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    EXPECT_EQ(label("nextRunLine"), next("06.12.2026 u 19:31"));

    get<QAbstractButton>("manualModeRadio")->setChecked(true); // by hand: nothing is due, the result stays
    click("saveOptionsButton");
    EXPECT_EQ(label("nextRunLine"), "");
    platform.clock.set(2026, 12, 5, 20, 15);
    click("backUpNowButton");
    EXPECT_EQ(label("statusLine"), made("05.12.2026 u 20:15"));
    platform.messages.answers = {true};
    click("clearFolderListButton");
    click("backUpNowButton");
    EXPECT_EQ(label("statusLine"),
              "Rezervna kopija nije izradjena 05.12.2026 u 20:15: " + std::string(RunTexts::noFolders));
    EXPECT_EQ(platform.messages.shown.back(),
              "Rezervna kopija nije izradjena.\r\n\r\n" + std::string(RunTexts::noFolders));
}

// A destination that cannot take backups is named at "Prihvati" (and saved all the same) and again by the run, as
// its one cause above the folders it could not back up. The backups move to a new disk with "Prihvati" on "Fascikle"
// alone: the next backup by hand goes there.
TEST_F(WindowTest, ADestinationThatCannotTakeBackupsIsNamedAtPrihvatiAndAsTheCauseOfTheRunAndAGoodOneIsUsedNext)
{
    TestFiles::write(temp / "a-file", "x");
    const std::string named = "Fascikla za rezervne kopije \"";
    const std::pair<std::string, std::string> cases[] = {
        {temp / "usb", named + (temp / "usb") + "\" ne postoji ili nije dostupna."},
        {temp / "a-file", named + (temp / "a-file") + "\" nije fascikla."},
#ifndef _WIN32 // root writes everywhere but in /sys; under Wine every folder can be written
        {"/sys", named + "/sys\": u nju se ne moze pisati (nema dozvole za pristup)."},
#endif
    };
    start({dirLine, "VrijemeBackupa=08:00", "NacinBackupa=2"});
    for (const auto& [folder, problem] : cases) {
        SCOPED_TRACE(folder);
        platform.messages.shown.clear();
        get<QLineEdit>("destinationEdit")->setText(qs(folder));
        click("saveFoldersButton");
        click("saveOptionsButton"); // the saved destination counts for runs from here on
        click("backUpNowButton");
        const std::string heading =
            "\r\n\r\nNisu napravljene rezervne kopije  sledecih fascikli jer nisu bile dostupne";
        EXPECT_EQ(platform.messages.shown,
                  (std::vector<std::string>{problem + "\r\nRezervne kopije se nece moci izraditi dok se to ne ispravi.",
                                            "Podesavanje je spremljeno",
                                            "Rezervna kopija nije izradjena.\r\n\r\n" + problem + heading + "\r\n" +
                                                source}));
        EXPECT_EQ(items("failedFoldersList"), std::vector<std::string>{source});
        EXPECT_TRUE(label("statusLine").ends_with(problem));
    }

    const std::string moved = temp / "NoviDisk";
    TestFiles::makeFolder(moved);
    get<QLineEdit>("destinationEdit")->setText(qs(moved));
    click("saveFoldersButton");
    platform.clock.set(2026, 12, 7, 13, 5);
    click("backUpNowButton");
    EXPECT_TRUE(TestFiles::exists(moved + "/07_12_2026_Docs_backup/racun.txt"));
    EXPECT_FALSE(TestFiles::exists(backupOf(7)));
}

// "Izlaz" during a backup says so and, on Yes, stops it where it is: nothing begun is left behind, the earlier
// backup of the day stays as it was, the next folder is not begun, no completion message comes, and the program
// ends once the run is over.
TEST_F(WindowTest, IzlazDuringABackupStopsItCleanlyAndThenEndsTheProgram)
{
    TestFiles::write(source + "/veliki.bin", TestFiles::noise(24 << 20)); // what does not compress takes its time
    TestFiles::write(listFile, source + "\r\n" + (temp / "data/Racuni") + "\r\n");
    TestFiles::write(temp / "data/Racuni/r.txt", "r");
    realZipRun = true;
    for (const bool zip : {true, false}) {
        SCOPED_TRACE(zip);
        std::filesystem::remove_all(destination);
        const std::string today = destination + "/05_12_2026_Docs_backup" + (zip ? ".zip" : "");
        const std::string earlier = zip ? today : destination + "/04_12_2026_Docs_backup/racun.txt";
        TestFiles::write(earlier, "made earlier");
        start({dirLine, "VrijemeBackupa=08:00", "NacinBackupa=2", zip ? "ZIPOVANJE=1" : "ZIPOVANJE=0"});
        platform.terminator.exitCode.reset();
        platform.messages.answers = {true};
        const auto writing = [&] {
            const std::vector<std::string> names = TestFiles::names(destination);
            return zip ? names.front().find("kopirko-tmp") != std::string::npos // the archive being written
                       : TestFiles::exists(today) && !TestFiles::files(today).empty();
        };
        QTimer user; // as soon as the run writes, the user ends the program from the icon's menu
        user.setInterval(1);
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (writing()) {
                user.stop();
                tray.menu->actions().front()->trigger();
            }
        });
        user.start();
        click("backUpNowButton");

        ASSERT_EQ(platform.messages.shown.size(), 1u);
        EXPECT_TRUE(platform.messages.shown[0].starts_with("Izrada rezervne kopije je u toku."));
        EXPECT_EQ(TestFiles::read(earlier), "made earlier");
        EXPECT_FALSE(TestFiles::exists(destination + "/05_12_2026_Racuni_backup" + (zip ? ".zip" : "")));
        for (const std::string& name : TestFiles::files(destination))
            EXPECT_EQ(name.find(".kopirko-"), std::string::npos) << name; // what was begun is whole or gone
        spin(std::chrono::seconds(5), [&] { return platform.terminator.ended(); });
        EXPECT_TRUE(platform.terminator.ended());
        EXPECT_FALSE(tray.present());
    }
}

// Progress within a large file: the same file with more bytes done shows the bytes growing.
TEST_F(WindowTest, ProgressWithinALargeFileShowsTheBytesGrowing)
{
    start();
    RunGuard running;
    for (const auto& [done, shown] : {std::pair{512ull << 20, "3 (512,0 MB) - "}, {1536ull << 20, "3 (1,5 GB) - "}}) {
        window->reportProgress(RunProgress{"/srv/baza", "/srv/baza/arhiva.mdb", 3, done});
        QCoreApplication::processEvents();
        EXPECT_TRUE(label("nextRunLine").starts_with(std::string("Kopirano datoteka: ") + shown))
            << label("nextRunLine");
    }
}

// On a screen smaller than the window's pages (a laptop at 150 %) the window fits it and the pages scroll; on a
// large one it opens at the size the pages need.
TEST_F(WindowTest, TheWindowFitsTheScreenItOpensOn)
{
    start();
    window->fitInto(QRect(10, 0, 480, 360));
    window->show();
    EXPECT_TRUE(QRect(10, 0, 480, 360).contains(window->frameGeometry())) << window->frameGeometry().width();
    window->fitInto(QRect(0, 0, 1600, 1000));
    EXPECT_EQ(window->size().expandedTo(get<QWidget>("pageTabs")->sizeHint()), window->size()); // nothing scrolls
}

// Qt's own words in the window's language: the Yes and No of every question.
TEST(QtTranslation, QtsOwnButtonsSpeakCroatian)
{
    ASSERT_TRUE(loadQtTranslation(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::NoIcon, "", "", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Da");
    EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Ne");
}

// networkShutdownTimer, as a timed run that shuts this computer down leaves it, asks every network computer once, and
// only then this one goes down; meanwhile the window stays usable, and the button does not start a second round.
TEST_F(WindowTest, TheNetworkShutdownTimerAsksEveryNetworkComputerOnceThenThisOneGoesDownWhileTheWindowStaysUsable)
{
    TestFiles::write(listFile, "C:\\Data\r\n\\\\PC1\\Docs\r\n//nas/backup\r\n");
    start({"NacinBackupa=2"});
    auto* button = get<QAbstractButton>("shutDownNetworkButton");
    std::atomic<bool> clickSent{false}, clicked{false};
    QObject::connect(button, &QAbstractButton::clicked, [&] { clicked = true; });
    std::vector<int> shutdownsWhenAsked;
    platform.remoteShutdown.onRequest = [&](const std::string& host) {
        shutdownsWhenAsked.push_back(platform.power.shutdowns);
        if (host == "PC1" && !clickSent.exchange(true)) { // the window handles a click while PC1 is asked
            QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            for (int waited = 0; waited < 1000 && !clicked; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Result::success();
    };
    get<QTimer>("networkShutdownTimer")->setInterval(50); // instead of a minute
    window->armNetworkShutdown(true);
    spin(std::chrono::seconds(10), [&] { return platform.power.shutdowns > 0; });
    spin(std::chrono::milliseconds(300), [] { return false; }); // further ticks of a timer that failed to stop

    EXPECT_TRUE(clicked);
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "nas"}));
    EXPECT_EQ(shutdownsWhenAsked, (std::vector<int>{0, 0}));
    EXPECT_EQ(platform.power.shutdowns, 1);
    button->click();                   // on its own: every computer again, and this one stays on
    window->armNetworkShutdown(false); // as a run that does not shut this computer down leaves it
    window->onNetworkShutdownTimeout();
    window->onNetworkShutdownTimeout(); // a late tick shuts nothing down either
    EXPECT_EQ(platform.remoteShutdown.asked().size(), 8u);
    EXPECT_EQ(platform.power.shutdowns, 1);
}

TEST(DailySchedule, OnlyTimesTheClockCanShowAreValid)
{
    for (const char* time : {"00:00", "07:30", "23:59"})
        EXPECT_TRUE(DailySchedule::isValidTime(time)) << time;
    for (const char* time : {"", "8:00", "24:00", "12:60", "08-00", "08:00:00", "ab:cd", " 8:00", "08:0 "})
        EXPECT_FALSE(DailySchedule::isValidTime(time)) << '"' << time << '"';
}

TEST(LampShape, ColoursAreStoredAs00BBGGRR)
{
    EXPECT_EQ(LampShape::toQColor(0x123456), QColor(0x56, 0x34, 0x12));
}

TEST(QtNotificationIcon, ActivationsBecomeTheWindowsMessageNumbers)
{
    using enum QSystemTrayIcon::ActivationReason;
    const std::pair<QSystemTrayIcon::ActivationReason, int> cases[] = {
        {Trigger, 514}, {DoubleClick, 515}, {Context, 517}, {MiddleClick, 512}};
    for (const auto& [reason, number] : cases)
        EXPECT_EQ(QtNotificationIcon::messageNumber(reason), number) << reason;
}

} // namespace

// What the work throws on its thread comes back to the caller, who can report it; left on the thread it would
// end the program.
TEST(OffThreadWork, AnExceptionOfTheWorkIsThrownAgainOnTheCallersThread)
{
    EXPECT_THROW(runOffThread([] { throw std::runtime_error("disk gone"); }), std::runtime_error);
    int done = 0;
    runOffThread([&] { ++done; });
    EXPECT_EQ(done, 1);
}
