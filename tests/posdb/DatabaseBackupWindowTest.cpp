// The database backup where the program starts it: the start in mode "Po startovanju programa" with the scope
// "Kopirati samo datoteke iz kopirajuce fascikle", and the catch-up of the timed mode when the window loads.
// The real window and the real run; only the platform's outside world is faked.
#include "AppContext.h"
#include "FakeWindowParts.h"
#include "StartupSequence.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::ElementsAre;
using ::testing::StartsWith;

namespace {

class DatabaseBackupWindowTest : public ::testing::Test
{
protected:
    TempDir temp;
    const std::string work = temp / "Kasa";
    const std::string destination = temp / "kopije";
    const std::string root = destination + "/05_12_2026_Kasa_backup";
    TestPlatform platform;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    std::unique_ptr<AppContext> context;
    std::filesystem::path previousFolder = std::filesystem::current_path();

    void SetUp() override
    {
        TestFiles::makeFolder(work);
        TestFiles::makeFolder(destination);
        // The program started from its own folder, which holds the server database and the register folders.
        std::filesystem::current_path(work);
        platform.appInfo.folder = work;
        platform.appInfo.working = work;
        platform.clock.set(2026, 12, 5, 7, 0, 0);
        TestFiles::write(work + "/tezga.mdb", TestFiles::read(std::string(KOPIRKO_POSDB_FIXTURES) + "/tezga-jet4.mdb"));
        for (const char* reachable : {"kase/k1", "kase/k3", "kase/šank", "kase/k7"})
            TestFiles::write(work + "/" + reachable + "/baza.mdb", reachable);
        context = std::make_unique<AppContext>(platform.services);
    }

    void TearDown() override { std::filesystem::current_path(previousFolder); }

    void writeSettings(const std::string& mode)
    {
        TestFiles::write(work + "/KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=" + destination +
                                                    "\r\nNacinBackupa=" + mode + "\r\nOpsegBackupa=0\r\n");
    }

    /// The window as the start would load it, with the settings read from the INI file.
    std::unique_ptr<frmMain> loadWindow()
    {
        context->settingsStore.setIniFilePath(work + "/KOPIRKO.ini");
        context->WindowTitle = StartupSequence::windowTitle;
        context->settingsStore.LoadSettings(context->backupSettings, context->programFolder);
        auto window = std::make_unique<frmMain>(*context, WindowServices{picker, tray});
        window->load();
        return window;
    }

    static std::vector<std::string> listLines(const frmMain& window)
    {
        std::vector<std::string> lines;
        const auto* list = window.findChild<QListWidget*>("List1");
        for (int i = 0; i < list->count(); ++i)
            lines.push_back(list->item(i)->text().toStdString());
        return lines;
    }
    static bool shown(const frmMain& window, const char* name) { return !window.findChild<QWidget*>(name)->isHidden(); }
    static std::string label(const frmMain& window, const char* name)
    {
        return window.findChild<QLabel*>(name)->text().toStdString();
    }
    static std::vector<std::string> entries(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(DatabaseBackupWindowTest, StartInModeAtProgramStartWithFilesOnlyScopeBacksUpServerAndRegisters)
{
    writeSettings("1");
    frmMain* window = nullptr;
    StartupSequence start(*context, "127.0.0.1:9/kopirko", [&]() -> std::unique_ptr<StartupWindow> {
        auto created = std::make_unique<frmMain>(*context, WindowServices{picker, tray});
        window = created.get();
        return created;
    });

    const std::unique_ptr<StartupWindow> started = start.run();

    ASSERT_NE(window, nullptr);
    EXPECT_EQ(entries(root), (std::vector<std::string>{"kasa_Kasa 1", "kasa_Kasa 3", "kasa_Šank", "server"}));
    EXPECT_EQ(TestFiles::read(root + "/server/tezga.mdb"),
              TestFiles::read(std::string(KOPIRKO_POSDB_FIXTURES) + "/tezga-jet4.mdb"));
    EXPECT_EQ(TestFiles::read(root + "/kasa_Šank/baza.mdb"), "kase/šank");

    const std::vector<std::string> lines = listLines(*window);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], StartsWith("Kasa 2: "));
    EXPECT_THAT(lines[1], StartsWith("Kasa/7: "));
    EXPECT_TRUE(shown(*window, "List1"));
    EXPECT_TRUE(shown(*window, "Label3"));
    EXPECT_TRUE(shown(*window, "Command1"));
    EXPECT_EQ(label(*window, "Label1"), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00");
    EXPECT_EQ(label(*window, "Label2"), "Sledeća izrada rezervne kopije 06.12.2026 u 08:00");
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_THAT(platform.messages.shown[0].text, StartsWith("Izrada rezervne kopije je zavrsena"));
    EXPECT_FALSE(window->findChild<QTimer*>("Timer1")->isActive());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    window->hide();
}

TEST_F(DatabaseBackupWindowTest, TimedModeCatchesUpAtLoadWhenTodaysRootIsMissing)
{
    writeSettings("0");

    const std::unique_ptr<frmMain> window = loadWindow();

    EXPECT_EQ(entries(root), (std::vector<std::string>{"kasa_Kasa 1", "kasa_Kasa 3", "kasa_Šank", "server"}));
    EXPECT_TRUE(window->findChild<QTimer*>("Timer1")->isActive());
    EXPECT_EQ(label(*window, "Label1"), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00");
    EXPECT_THAT(listLines(*window), ElementsAre(StartsWith("Kasa 2: "), StartsWith("Kasa/7: ")));
    EXPECT_TRUE(platform.messages.shown.empty());
    window->hide();
}

TEST_F(DatabaseBackupWindowTest, TimedModeLeavesAnExistingRootOfTodayAlone)
{
    writeSettings("0");
    TestFiles::write(root + "/ranije.txt", "made earlier today");

    const std::unique_ptr<frmMain> window = loadWindow();

    EXPECT_EQ(entries(root), (std::vector<std::string>{"ranije.txt"}));
    EXPECT_TRUE(window->findChild<QTimer*>("Timer1")->isActive());
    EXPECT_EQ(label(*window, "Label1"), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00");
    EXPECT_TRUE(listLines(*window).empty());
    EXPECT_FALSE(window->isVisible());
}

} // namespace

int main(int argc, char** argv)
{
    // Also when ctest lists the tests at build time: there is no display then.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
