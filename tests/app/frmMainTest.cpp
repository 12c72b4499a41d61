#include "frmMain.h"

#include "AppContext.h"
#include "FakeWindowParts.h"
#include "FolderListFile.h"
#include "IniFile.h"
#include "LampShape.h"
#include "QtNotificationIcon.h"
#include "RunGuard.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

const char* const title = "Izrada rezervnih kopija podataka";
const char* const notSetUp = "Program nije podesenen.\r\nMolimo da podesite program.";

class WindowTest : public ::testing::Test
{
protected:
    TempDir temp;
    TestPlatform platform;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<frmMain> window;
    int databaseRuns = 0;
    int zipRuns = 0;

    std::string folder() const { return temp / "Kasa"; }
    std::string ini() const { return folder() + "/KOPIRKO.ini"; }
    std::string destination() const { return temp / "Kopije"; }

    void SetUp() override
    {
        TestFiles::makeFolder(folder());
        TestFiles::makeFolder(destination());
        platform.appInfo.folder = folder();
        platform.clock.set(2026, 12, 5, 7, 59, 0);
    }

    void TearDown() override
    {
        if (window)
            window->hide();
    }

    /// Writes section BACKUP with `lines` ("key=value" each).
    void writeSettings(std::initializer_list<std::string> lines)
    {
        std::string content = "[BACKUP]\r\n";
        for (const std::string& line : lines)
            content += line + "\r\n";
        TestFiles::write(ini(), content);
    }
    void writeTimedSettings(const std::string& extra = "NacinBackupa=0")
    {
        writeSettings({"VrijemeBackupa=08:00", "BackupDir=" + destination(), extra});
    }

    void start()
    {
        context = std::make_unique<AppContext>(platform.services);
        context->settingsStore.setIniFilePath(ini());
        context->WindowTitle = title;
        context->settingsStore.LoadSettings(context->backupSettings, context->programFolder);
        WindowServices services{picker, tray};
        services.databaseRun = [this](const BackupSettings&, BackupHost&, const PlatformServices&) {
            ++databaseRuns;
            return RunReport{};
        };
        services.zipRun = [this](const BackupSettings&, BackupHost&, const PlatformServices&) {
            ++zipRuns;
            return RunReport{};
        };
        window = std::make_unique<frmMain>(*context, services);
        window->load();
    }

    template <typename Widget>
    Widget* get(const char* name) const
    {
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        if (!widget)
            throw std::runtime_error(std::string("no control ") + name);
        return widget;
    }
    QString text(const char* name) const { return get<QLabel>(name)->text(); }
    bool shown(const char* name) const { return !get<QWidget>(name)->isHidden(); }
    void click(const char* name) { get<QPushButton>(name)->click(); }
    QTimer* timer(const char* name) const { return get<QTimer>(name); }

    std::string iniValue(const std::string& key) const
    {
        return IniFile::read(platform.fileSystem, ini(), "BACKUP", key);
    }
    std::vector<std::string> listEntries() const
    {
        std::vector<std::string> entries;
        for (int i = 0; i < get<QListWidget>("List2")->count(); ++i)
            entries.push_back(get<QListWidget>("List2")->item(i)->text().toStdString());
        return entries;
    }
};

// --- Initialisation -------------------------------------------------------------------------------------------

struct NotSetUpCase
{
    const char* name;
    std::vector<std::string> iniLines; ///< none: no INI file at all
    int settingsPage;
    bool destinationShown;
    std::string message;
    friend void PrintTo(const NotSetUpCase& c, std::ostream* out) { *out << c.name; }
};

class NotSetUp : public WindowTest, public ::testing::WithParamInterface<NotSetUpCase>
{};

TEST_P(NotSetUp, TellsTheUserAndLeavesTheControlsAsDesigned)
{
    const NotSetUpCase& c = GetParam();
    if (!c.iniLines.empty()) {
        std::string content = "[BACKUP]\r\nBackupDir=" + destination() + "\r\n";
        for (const std::string& line : c.iniLines)
            content += line + "\r\n";
        TestFiles::write(ini(), content);
    }
    TestFiles::write(folder() + "/backuplista.ini", "/data/A\r\n/data/B\r\n");
    start();

    EXPECT_EQ(platform.messages.texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(get<QTabWidget>("SSTab1")->currentIndex(), 1);
    EXPECT_EQ(get<QTabWidget>("SSTab2")->currentIndex(), c.settingsPage);
    EXPECT_EQ(get<QLineEdit>("Text1")->text().toStdString(), c.destinationShown ? destination() : "");
    EXPECT_FALSE(timer("Timer1")->isActive());
    EXPECT_FALSE(shown("Command1"));
    EXPECT_TRUE(get<QRadioButton>("Option1_0")->isChecked());
    EXPECT_TRUE(get<QRadioButton>("Option2_1")->isChecked());
    EXPECT_EQ(get<QComboBox>("Combo1")->currentIndex(), -1);
    for (const char* box : {"Check1", "Check2", "Check3", "Check4"})
        EXPECT_FALSE(get<QCheckBox>(box)->isChecked()) << box;
    EXPECT_EQ(get<QLineEdit>("Text2")->text(), "0");
    EXPECT_EQ(databaseRuns, 0);

    // Set up in every case: caption, icon, folder list, version line, the 24 hours.
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_TRUE(tray.present());
    EXPECT_EQ(tray.tip, title);
    EXPECT_FALSE(tray.icon.isNull());
    EXPECT_EQ(listEntries(), (std::vector<std::string>{"/data/A", "/data/B"}));
    EXPECT_EQ(text("Label6"), "Verzija programa 1.0.16");
    auto* hours = get<QComboBox>("Combo1");
    ASSERT_EQ(hours->count(), 24);
    EXPECT_EQ(hours->itemText(0), "00:00");
    EXPECT_EQ(hours->itemText(9), "09:00");
    EXPECT_EQ(hours->itemText(23), "23:00");
}

INSTANTIATE_TEST_SUITE_P(
    Window, NotSetUp,
    ::testing::Values(NotSetUpCase{"NoIniFile", {}, 0, false, notSetUp},
                      NotSetUpCase{"NoTimeInModeByHand", {"NacinBackupa=2", "Brisati=1"}, 1, true, notSetUp},
                      NotSetUpCase{"TimeTheClockNeverShows",
                                   {"VrijemeBackupa=8:00", "NacinBackupa=0"},
                                   1,
                                   true,
                                   "Vrijeme izrade rezervne kopije \"8:00\" nije ispravno.\r\nMolimo da podesite "
                                   "program."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ShowsEverySavedSetting)
{
    writeSettings({"VrijemeBackupa=22:00", "BackupDir=" + destination(), "NacinBackupa=2", "OpsegBackupa=0",
                   "Brisati=1", "Starost=7", "GasitiRacunar=1", "GasenjeRacunaraMreze=1", "ZIPOVANJE=1"});
    start();

    EXPECT_TRUE(platform.messages.shown.empty());
    EXPECT_EQ(get<QTabWidget>("SSTab1")->currentIndex(), 0);
    EXPECT_EQ(get<QLineEdit>("Text1")->text().toStdString(), destination());
    EXPECT_EQ(get<QButtonGroup>("Option1")->checkedButton(), get<QRadioButton>("Option1_2"));
    EXPECT_EQ(get<QButtonGroup>("Option2")->checkedButton(), get<QRadioButton>("Option2_0"));
    EXPECT_EQ(get<QComboBox>("Combo1")->currentIndex(), 22);
    for (const char* box : {"Check1", "Check2", "Check3", "Check4"})
        EXPECT_TRUE(get<QCheckBox>(box)->isChecked()) << box;
    EXPECT_EQ(get<QLineEdit>("Text2")->text(), "7");
    EXPECT_TRUE(shown("Command1"));
    EXPECT_FALSE(timer("Timer1")->isActive());
}

TEST_F(WindowTest, ASavedTimeThatIsNoListItemSelectsNoItem)
{
    writeSettings({"VrijemeBackupa=07:30", "BackupDir=" + destination(), "NacinBackupa=2"});
    start();
    EXPECT_EQ(get<QComboBox>("Combo1")->currentIndex(), -1);
    EXPECT_EQ(get<QComboBox>("Combo1")->currentText(), "07:30"); // still what the schedule uses
    EXPECT_TRUE(shown("Command1"));
}

struct BadSettingCase
{
    const char* name;
    std::vector<std::string> lines;
    std::string named;      ///< as the message names it
    bool checkBoxesReached; ///< the initialisation got as far as the check boxes
    friend void PrintTo(const BadSettingCase& c, std::ostream* out) { *out << c.name; }
};

class BadSavedSetting : public WindowTest, public ::testing::WithParamInterface<BadSettingCase>
{};

TEST_P(BadSavedSetting, EndsTheInitialisationThereAndSaysWhich)
{
    std::string content =
        "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=" + destination() + "\r\nBrisati=1\r\nStarost=9\r\n";
    for (const std::string& line : GetParam().lines)
        content += line + "\r\n";
    TestFiles::write(ini(), content);
    start();

    EXPECT_EQ(platform.messages.texts(), std::vector<std::string>{"Spremljeno podesavanje " + GetParam().named +
                                                                  " nije ispravno.\r\nMolimo da podesite program."});
    EXPECT_EQ(get<QTabWidget>("SSTab2")->currentIndex(), 1);
    EXPECT_FALSE(shown("Command1")); // the mode's steps never ran
    EXPECT_FALSE(timer("Timer1")->isActive());
    EXPECT_EQ(databaseRuns, 0);
    EXPECT_EQ(get<QLineEdit>("Text2")->text(), "0");
    EXPECT_EQ(get<QCheckBox>("Check1")->isChecked(), GetParam().checkBoxesReached); // those before it are filled
}

INSTANTIATE_TEST_SUITE_P(
    Window, BadSavedSetting,
    ::testing::Values(
        BadSettingCase{"Mode", {"NacinBackupa=7"}, "NacinBackupa = 7", false},
        BadSettingCase{"Scope", {"NacinBackupa=0", "OpsegBackupa=2"}, "OpsegBackupa = 2", false},
        BadSettingCase{"CheckBox", {"NacinBackupa=2", "GasenjeRacunaraMreze=-1"}, "GasenjeRacunaraMreze = -1", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, TimedModeWithTodaysDatabaseBackupShowsTheStatusLines)
{
    writeTimedSettings();
    TestFiles::makeFolder(destination() + "/05_12_2026_Kasa_backup");
    start();
    EXPECT_EQ(text("Label1"), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00");
    EXPECT_EQ(text("Label2"), "Sledeća izrada rezervne kopije 06.12.2026 u 08:00");
    EXPECT_EQ(databaseRuns, 0);
    EXPECT_TRUE(timer("Timer1")->isActive());
    EXPECT_EQ(timer("Timer1")->interval(), 1000);
}

TEST_F(WindowTest, TimedModeCatchesUpAMissingDatabaseBackup)
{
    writeTimedSettings();
    start();
    EXPECT_EQ(databaseRuns, 1);
    EXPECT_TRUE(timer("Timer1")->isActive());
}

TEST_F(WindowTest, StartModeLeavesTimerAndButtonAlone)
{
    writeTimedSettings("NacinBackupa=1");
    start();
    EXPECT_EQ(databaseRuns, 0);
    EXPECT_FALSE(timer("Timer1")->isActive());
    EXPECT_FALSE(shown("Command1"));
}

// --- Options page ---------------------------------------------------------------------------------------------

struct SaveCase
{
    const char* name;
    int mode;
    bool timerOn;
    bool buttonShown;
    bool programEnds;
    friend void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.name; }
};

class SaveOptions : public WindowTest, public ::testing::WithParamInterface<SaveCase>
{};

TEST_P(SaveOptions, WritesInOrderReloadsAndAppliesTheMode)
{
    const SaveCase& c = GetParam();
    writeSettings({"BackupDir=" + destination()});
    start();
    platform.messages.shown.clear();
    get<QComboBox>("Combo1")->setCurrentIndex(22);
    get<QRadioButton>(("Option1_" + std::to_string(c.mode)).c_str())->setChecked(true);
    get<QRadioButton>("Option2_0")->setChecked(true);
    get<QCheckBox>("Check1")->setChecked(true);
    get<QCheckBox>("Check3")->setChecked(true);
    get<QLineEdit>("Text2")->setText("  14 dana");
    get<QTabWidget>("SSTab1")->setCurrentIndex(1);
    click("Command5");

    const std::string expected = "[BACKUP]\r\nBackupDir=" + destination() +
                                 "\r\nVrijemeBackupa=22:00\r\nGasitiRacunar=0\r\nZIPOVANJE=1\r\n"
                                 "GasenjeRacunaraMreze=0\r\nNacinBackupa=" +
                                 std::to_string(c.mode) + "\r\nOpsegBackupa=0\r\nBrisati=1\r\nStarost=14\r\n";
    EXPECT_EQ(TestFiles::read(ini()), expected);
    EXPECT_EQ(context->backupSettings.NacinBackupa, c.mode);
    EXPECT_EQ(context->backupSettings.Starost, 14);
    EXPECT_EQ(timer("Timer1")->isActive(), c.timerOn);
    EXPECT_EQ(shown("Command1"), c.buttonShown);
    EXPECT_EQ(platform.terminator.ended(), c.programEnds);
    EXPECT_EQ(tray.present(), !c.programEnds);
    std::vector<std::string> messages{"Podesavanje je spremljeno"};
    if (c.programEnds)
        messages.push_back("Izabrali ste opciju izrade rezervne kopije po pokretanju programa \r\nPokrenite "
                           "program ponovo kako bi ste odmah iyradili rezervnu kopiju");
    EXPECT_EQ(platform.messages.texts(), messages);
    EXPECT_EQ(get<QTabWidget>("SSTab1")->currentIndex(), c.programEnds ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Window, SaveOptions,
                         ::testing::Values(SaveCase{"AtATime", 0, true, false, false},
                                           SaveCase{"AtStart", 1, false, false, true},
                                           SaveCase{"ByHand", 2, false, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, DaysAreSavedAsTheNumberTheFieldStartsWith)
{
    writeSettings({"BackupDir=" + destination(), "VrijemeBackupa=08:00", "NacinBackupa=2"});
    start();
    const std::pair<const char*, const char*> cases[] = {{"abc", "0"}, {"", "0"}, {"7.5", "7.5"}, {"12 dana", "12"}};
    for (const auto& [typed, saved] : cases) {
        get<QLineEdit>("Text2")->setText(typed);
        click("Command5");
        EXPECT_EQ(iniValue("Starost"), saved) << '"' << typed << '"';
    }
    EXPECT_EQ(context->backupSettings.Starost, 12);
}

TEST_F(WindowTest, ASaveThatCannotBeDoneIsNeverReportedAsSaved)
{
    writeSettings({"BackupDir=" + destination(), "VrijemeBackupa=08:00", "NacinBackupa=2", "Starost=3"});
    start();
    const std::string before = TestFiles::read(ini());

    get<QLineEdit>("Text2")->setText("40000");
    click("Command5");
    get<QLineEdit>("Text2")->setText("5");
    get<QComboBox>("Combo1")->setCurrentIndex(-1);
    click("Command5");
    get<QComboBox>("Combo1")->setCurrentIndex(8);
    {
        RunGuard runInProgress;
        click("Command5");
    }
    context->settingsStore.setIniFilePath(temp / "missing/KOPIRKO.ini");
    click("Command5");

    const auto texts = platform.messages.texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Broj dana \"40000\" nije ispravan.");
    EXPECT_EQ(texts[1], "Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).");
    EXPECT_EQ(texts[2], "Izrada rezervne kopije je vec u toku.\r\nPodesavanje spremite kada se zavrsi.");
    EXPECT_EQ(texts[3].rfind("Podesavanje nije spremljeno.\r\n", 0), 0u) << texts[3];
    EXPECT_EQ(TestFiles::read(ini()), before);
    EXPECT_EQ(context->backupSettings.Starost, 3);
}

TEST_F(WindowTest, DestinationButtonsPickAndOpenTheFolder)
{
    writeSettings({"BackupDir=" + destination()});
    start();
    picker.answers = {"/mnt/usb", ""};
    click("Command3");
    EXPECT_EQ(get<QLineEdit>("Text1")->text(), "/mnt/usb");
    click("Command3"); // cancelled: the folder stays
    EXPECT_EQ(get<QLineEdit>("Text1")->text(), "/mnt/usb");
    EXPECT_EQ(picker.titles, (std::vector<std::string>{"Odaberite fasciklu..", "Odaberite fasciklu.."}));
    EXPECT_EQ(iniValue("BackupDir"), destination()); // nothing saved before "Prihvati"

    click("Command9");
    EXPECT_EQ(platform.web.folders, std::vector<std::string>{"/mnt/usb"});
    get<QLineEdit>("Text1")->clear();
    click("Command9");
    EXPECT_EQ(platform.web.folders.size(), 1u);
    EXPECT_EQ(platform.messages.texts().back(), "Fascikla za rezervne kopije nije odredjena.");
}

// --- Folder page ----------------------------------------------------------------------------------------------

TEST_F(WindowTest, FolderListRoundTrip)
{
    writeSettings({"BackupDir=" + destination()});
    TestFiles::write(folder() + "/backuplista.ini", "/data/A\r\n\r\n/data/B");
    start();
    platform.messages.shown.clear();
    ASSERT_EQ(listEntries(), (std::vector<std::string>{"/data/A", "/data/B"}));

    picker.answers = {"/data/C", "", "/data/C"};
    click("Command7");
    click("Command7"); // cancelled
    click("Command7");
    get<QLineEdit>("Text1")->setText("/mnt/new");
    click("Command6");
    EXPECT_EQ(TestFiles::read(folder() + "/backuplista.ini"), "/data/A\r\n/data/B\r\n/data/C\r\n/data/C\r\n");
    EXPECT_EQ(iniValue("BackupDir"), "/mnt/new");
    EXPECT_EQ(context->backupSettings.BackupDir, destination()); // runs keep the loaded destination

    click("Command8");
    EXPECT_TRUE(listEntries().empty());
    EXPECT_EQ(TestFiles::read(folder() + "/backuplista.ini"), "/data/A\r\n/data/B\r\n/data/C\r\n/data/C\r\n");
    click("Command6");
    EXPECT_EQ(TestFiles::read(folder() + "/backuplista.ini"), "");
    EXPECT_TRUE(platform.messages.shown.empty());
}

TEST_F(WindowTest, AListFileThatCannotBeWrittenKeepsTheListOnScreen)
{
    writeSettings({"BackupDir=" + destination()});
    // A folder in the list file's place cannot be replaced by a file.
    TestFiles::write(folder() + "/backuplista.ini/inside", "x");
    start();
    platform.messages.shown.clear();
    picker.answers = {"/data/A"};
    click("Command7");
    click("Command6");
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].text.find("Popis fascikli nije spremljen"), std::string::npos);
    EXPECT_EQ(listEntries(), std::vector<std::string>{"/data/A"});
    EXPECT_EQ(iniValue("BackupDir"), destination()); // the destination was still saved
}

// --- Notification icon and lifecycle ---------------------------------------------------------------------------

TEST(NotificationIconMessages, ActivationsBecomeTheWindowsMessageNumbers)
{
    EXPECT_EQ(QtNotificationIcon::messageNumber(QSystemTrayIcon::Trigger), 514);
    EXPECT_EQ(QtNotificationIcon::messageNumber(QSystemTrayIcon::DoubleClick), 515);
    EXPECT_EQ(QtNotificationIcon::messageNumber(QSystemTrayIcon::Context), 517);
    EXPECT_EQ(QtNotificationIcon::messageNumber(QSystemTrayIcon::MiddleClick), 512);
}

TEST_F(WindowTest, IconClicksBringTheWindowBack)
{
    start();
    window->showMinimized();
    tray.click(514);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    window->hide();
    tray.click(517); // the menu opens, the window stays hidden
    tray.click(512);
    EXPECT_FALSE(window->isVisible());
    tray.click(515);
    EXPECT_TRUE(window->isVisible());
}

class HideWindow : public WindowTest, public ::testing::WithParamInterface<bool>
{};

TEST_P(HideWindow, ClosingAndSakriProzorHideToTheIconOrMinimiseWithoutOne)
{
    tray.trayAvailable = GetParam();
    start();
    for (auto hideBy :
         {+[](frmMain& w) { w.close(); }, +[](frmMain& w) { w.findChild<QPushButton*>("Command2")->click(); }}) {
        window->showNormal();
        hideBy(*window);
        EXPECT_EQ(window->isVisible(), !GetParam());
        EXPECT_EQ(window->isMinimized(), !GetParam());
        EXPECT_TRUE(tray.present());
        EXPECT_FALSE(platform.terminator.ended());
    }
}

INSTANTIATE_TEST_SUITE_P(Window, HideWindow, ::testing::Bool());

TEST_F(WindowTest, IzlazAsksAndEndsOnlyOnYes)
{
    start();
    window->show();
    ASSERT_EQ(tray.menu, get<QMenu>("mnuGlavni"));
    EXPECT_EQ(tray.menu->title(), "File");
    ASSERT_EQ(tray.menu->actions().size(), 1);
    QAction* izlaz = tray.menu->actions().front();
    EXPECT_EQ(izlaz->text(), "Izlaz");

    platform.messages.shown.clear();
    platform.messages.answers = {false, true};
    izlaz->trigger();
    EXPECT_FALSE(platform.terminator.ended());
    EXPECT_TRUE(tray.present());
    EXPECT_TRUE(window->isVisible());
    izlaz->trigger();
    EXPECT_TRUE(platform.terminator.ended());
    EXPECT_FALSE(tray.present());
    ASSERT_EQ(platform.messages.shown.size(), 2u);
    EXPECT_TRUE(platform.messages.shown[0].question);
    EXPECT_EQ(platform.messages.shown[0].text, std::string("Da li zelite da izadjete iz programa: \r\n\r\n") + title);
}

TEST_F(WindowTest, TheWebLabelOpensItsAddress)
{
    start();
    QLabel* label = get<QLabel>("Label24");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(label, &release);
    EXPECT_EQ(platform.web.urls, std::vector<std::string>{label->text().toStdString()});
}

// --- Triggers -------------------------------------------------------------------------------------------------

class TimedBackup : public WindowTest
{
protected:
    std::string source() const { return temp / "data/Docs"; }
    std::string backupOf(unsigned day) const
    {
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%02u_12_2026", day);
        return destination() + "/" + stamp + "_Docs_backup";
    }
    void SetUp() override
    {
        WindowTest::SetUp();
        TestFiles::write(source() + "/racun.txt", "1");
        TestFiles::write(folder() + "/backuplista.ini", source() + "\r\n");
        TestFiles::makeFolder(destination() + "/05_12_2026_Kasa_backup");
        TestFiles::makeFolder(destination() + "/06_12_2026_Kasa_backup");
    }
    void tickAt(unsigned day, int hour, int minute, int second = 0)
    {
        platform.clock.set(2026, 12, day, hour, minute, second);
        window->Timer1_Timer();
    }
};

TEST_F(TimedBackup, RunsAtTheMinuteOnceADayEveryDay)
{
    writeTimedSettings();
    start();
    tickAt(5, 7, 59, 59);
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    tickAt(5, 8, 0, 0);
    EXPECT_EQ(TestFiles::read(backupOf(5) + "/racun.txt"), "1");
    EXPECT_TRUE(timer("Timer1")->isActive()); // armed again for tomorrow

    std::filesystem::remove_all(backupOf(5));
    tickAt(5, 8, 0, 1);
    tickAt(5, 8, 0, 0); // the clock set back
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));

    tickAt(6, 8, 0, 0);
    EXPECT_TRUE(TestFiles::exists(backupOf(6) + "/racun.txt"));
    EXPECT_EQ(zipRuns, 0);
}

TEST_F(TimedBackup, AFreshStartSetUpFromTheWindowBacksUpDailyAndByHand)
{
    TestFiles::write(folder() + "/backuplista.ini", ""); // nothing saved yet
    start();
    ASSERT_EQ(platform.messages.texts(), std::vector<std::string>{notSetUp});
    picker.answers = {destination(), source()};
    click("Command3");
    click("Command7");
    click("Command6");
    get<QComboBox>("Combo1")->setCurrentIndex(8);
    click("Command5");
    EXPECT_TRUE(timer("Timer1")->isActive());

    tickAt(5, 8, 0);
    tickAt(6, 8, 0);
    EXPECT_TRUE(TestFiles::exists(backupOf(5) + "/racun.txt"));
    EXPECT_TRUE(TestFiles::exists(backupOf(6) + "/racun.txt"));

    get<QRadioButton>("Option1_2")->setChecked(true);
    click("Command5");
    EXPECT_FALSE(timer("Timer1")->isActive());
    platform.clock.set(2026, 12, 7, 13, 5);
    click("Command1");
    EXPECT_TRUE(TestFiles::exists(backupOf(7) + "/racun.txt"));
    EXPECT_EQ(platform.messages.texts().back(), "Izrada rezervne kopije je zavrsena");
}

TEST_F(TimedBackup, WaitsWhileAnotherRunIsInProgress)
{
    writeTimedSettings();
    start();
    {
        RunGuard runInProgress;
        tickAt(5, 8, 0, 0);
    }
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    tickAt(5, 8, 0, 30);
    EXPECT_TRUE(TestFiles::exists(backupOf(5) + "/racun.txt"));
}

TEST_F(TimedBackup, CompressedModeStartsTheArchiveRun)
{
    writeSettings({"VrijemeBackupa=08:00", "BackupDir=" + destination(), "NacinBackupa=0", "ZIPOVANJE=1"});
    start();
    tickAt(5, 8, 0);
    EXPECT_EQ(zipRuns, 1);
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
}

TEST_F(TimedBackup, TicksBlinkTheLampAndHideTheButton)
{
    writeTimedSettings();
    start();
    auto* lamp = get<LampShape>("Shape1");
    get<QPushButton>("Command1")->show();
    EXPECT_EQ(lamp->fillColour(), 0xC0FFFFu);
    tickAt(5, 7, 0);
    EXPECT_EQ(lamp->fillColour(), 0x00FF00u);
    tickAt(5, 7, 1);
    EXPECT_EQ(lamp->fillColour(), 0xC0FFFFu);
    EXPECT_FALSE(shown("Command1"));
}

TEST(LampShapeColours, BgrValuesBecomeQtColours)
{
    EXPECT_EQ(LampShape::toQColor(0xC0FFFF), QColor(255, 255, 192));
    EXPECT_EQ(LampShape::toQColor(0x00FF00), QColor(0, 255, 0));
    EXPECT_EQ(LampShape::toQColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(LampShape::toQColor(0x123456), QColor(0x56, 0x34, 0x12));
}

TEST_F(TimedBackup, FailuresStayOnTheStatusPageAndReachTheHiddenUser)
{
    writeSettings({"VrijemeBackupa=08:00", "BackupDir=" + destination(), "NacinBackupa=2"});
    TestFiles::write(folder() + "/backuplista.ini", source() + "\r\n" + temp / "missing" + "\r\n");
    start();
    click("Command1");
    EXPECT_TRUE(TestFiles::exists(backupOf(5) + "/racun.txt"));
    auto* list = get<QListWidget>("List1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), temp / "missing" + ": fascikla nije dostupna");
    EXPECT_TRUE(shown("Label3"));
    EXPECT_TRUE(tray.balloons.size() == 1); // the window was never shown
    ASSERT_FALSE(platform.messages.shown.empty());
    EXPECT_EQ(platform.messages.texts().back().rfind("Izrada rezervne kopije je zavrsena", 0), 0u);

    window->Timer1_Timer(); // a tick does not hide what the latest run missed
    EXPECT_TRUE(shown("List1"));

    window->show();
    TestFiles::makeFolder(temp / "missing");
    click("Command1");
    EXPECT_FALSE(shown("List1"));
    EXPECT_FALSE(shown("Label3"));
    EXPECT_EQ(tray.balloons.size(), 1u);
}

TEST_F(TimedBackup, TheButtonStartsNoSecondRun)
{
    writeSettings({"VrijemeBackupa=08:00", "BackupDir=" + destination(), "NacinBackupa=2"});
    start();
    {
        RunGuard runInProgress;
        click("Command1");
    }
    EXPECT_FALSE(TestFiles::exists(backupOf(5)));
    EXPECT_EQ(platform.messages.texts(), std::vector<std::string>{"Izrada rezervne kopije je vec u toku."});
}

TEST_F(WindowTest, ProgressFillsTheStatusLinesWhileARunWorks)
{
    start();
    window->setStatusLine1("before");
    {
        RunGuard run;
        std::thread worker([&] {
            for (std::uint64_t n = 1; n <= 3; ++n)
                window->reportProgress(RunProgress{"/data/Docs", "/data/Docs/f" + std::to_string(n), n, n * 1024});
        });
        worker.join();
        QCoreApplication::processEvents();
        EXPECT_EQ(text("Label1"), "Izrada rezervne kopije: /data/Docs");
        EXPECT_TRUE(text("Label2").startsWith("Kopirano datoteka: 3 (3,0 KB)")) << text("Label2").toStdString();
        window->setStatusLine1("after"); // a run's own status waits for the end of the progress
        EXPECT_EQ(text("Label1"), "Izrada rezervne kopije: /data/Docs");
        window->runFinished(RunReport{});
    }
    EXPECT_EQ(text("Label1"), "after");
}

TEST_F(WindowTest, Timer2ShutsDownOnceAMinuteAfterTheRun)
{
    start();
    window->switchOnTimer2(true);
    QTimer* timer2 = timer("Timer2");
    EXPECT_TRUE(timer2->isActive());
    EXPECT_TRUE(timer2->isSingleShot());
    EXPECT_EQ(timer2->interval(), 60000);
    window->Timer2_Timer();
    EXPECT_FALSE(timer2->isActive());
    EXPECT_EQ(platform.power.shutdowns, 1);

    window->switchOnTimer2(false);
    window->Timer2_Timer();
    EXPECT_EQ(platform.power.shutdowns, 1);
}

// --- Texts and layout -----------------------------------------------------------------------------------------

TEST_F(WindowTest, PagesHoldTheirControlsAndTheWarningIsSetAtLoad)
{
    start();
    EXPECT_EQ(text("Label26"),
              QString::fromUtf8("PAŽNJA\r\nUkoliko imate naziva datoteka ispisanih ćiriličnim slovima nemojte "
                                "uključivati ZIP opcije jer takve datoteke se ne mogu zipovati.\r\nOVO SE NE "
                                "ODNOSI NA SADRŽAJ NEGO SAMO NA NAZIV DATOTEKA\r\nMožete u izvornim fasciklama "
                                "preimenovati takve datoteke u latinično pisma pa onda uključiti opciju "
                                "Kompresovanja"));
    const auto* tabs1 = get<QTabWidget>("SSTab1");
    const auto* tabs2 = get<QTabWidget>("SSTab2");
    EXPECT_EQ(tabs1->tabText(0) + "|" + tabs1->tabText(1) + "|" + tabs1->tabText(2), "Backup|Podesavanja|O programu");
    EXPECT_EQ(tabs2->tabText(0) + "|" + tabs2->tabText(1), "Fascikle|Opcije");
    EXPECT_TRUE(tabs1->widget(1)->isAncestorOf(tabs2));
    EXPECT_TRUE(tabs1->widget(0)->isAncestorOf(get<QWidget>("Shape1")));
    EXPECT_TRUE(tabs2->widget(0)->isAncestorOf(get<QWidget>("List2")));
    EXPECT_TRUE(tabs2->widget(1)->isAncestorOf(get<QWidget>("Command5")));
    EXPECT_TRUE(tabs1->widget(2)->isAncestorOf(get<QWidget>("Label24")));
}

TEST_F(WindowTest, EveryTextFitsAtTheDefaultFontAndText2SitsInTheGap)
{
    start();
    window->show();
    auto* tabs1 = get<QTabWidget>("SSTab1");
    auto* tabs2 = get<QTabWidget>("SSTab2");
    for (int page : {0, 1, 2}) {
        for (int subPage : {0, 1}) {
            tabs1->setCurrentIndex(page);
            tabs2->setCurrentIndex(subPage);
            QApplication::processEvents();
            for (QWidget* control : tabs1->currentWidget()->findChildren<QWidget*>()) {
                if (!control->isVisible())
                    continue;
                if (auto* label = qobject_cast<QLabel*>(control); label && label->wordWrap()) {
                    EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                        << label->objectName().toStdString();
                } else if (qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control)) {
                    if (control->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored)
                        EXPECT_GE(control->width(), control->sizeHint().width()) << control->objectName().toStdString();
                }
            }
        }
    }

    tabs1->setCurrentIndex(1);
    tabs2->setCurrentIndex(1);
    QApplication::processEvents();
    auto* box = get<QCheckBox>("Check1");
    auto* field = get<QLineEdit>("Text2");
    ASSERT_EQ(field->parentWidget(), box);
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect textArea = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QFontMetrics metrics = box->fontMetrics();
    EXPECT_GE(field->x(), textArea.left() + metrics.horizontalAdvance("Brisati rezervne kopije starije od"));
    EXPECT_LE(field->geometry().right(),
              textArea.left() + metrics.horizontalAdvance(box->text()) - metrics.horizontalAdvance("dana"));
    EXPECT_GE(field->width(), metrics.horizontalAdvance("365"));
    EXPECT_TRUE(box->rect().contains(field->geometry()));
}

} // namespace
