// The database backup where the program starts it, with the real window on the offscreen platform and the real
// run: the start in mode "Po startovanju programa" with scope "Kopirati samo datoteke iz kopirajuce fascikle",
// and the timed mode's catch-up while the window loads.
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
    const std::string root = temp / "kopije/05_12_2026_Kasa_backup";
    TestPlatform platform;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    AppContext context{platform.services};
    std::unique_ptr<StartupWindow> owner;
    frmMain* window = nullptr;
    std::filesystem::path previousFolder = std::filesystem::current_path();

    /// The program's folder holds the settings, the server database and the register folders it names; the
    /// program was started from there.
    void SetUp() override
    {
        TestFiles::makeFolder(temp / "kopije");
        TestFiles::write(work + "/tezga.mdb", TestFiles::read(KOPIRKO_POSDB_FIXTURES "/tezga-jet4.mdb"));
        for (const char* reachable : {"kase/k1", "kase/k3", "kase/šank", "kase/k7"})
            TestFiles::write(work + "/" + reachable + "/baza.mdb", reachable);
        std::filesystem::current_path(work);
        platform.appInfo.folder = work;
        platform.appInfo.working = work;
        platform.clock.set(2026, 12, 5, 7, 0, 0);
        context.programFolder = work;
    }
    void TearDown() override
    {
        if (window)
            window->hide();
        std::filesystem::current_path(previousFolder);
    }

    void writeSettings(const std::string& mode)
    {
        TestFiles::write(work + "/KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=" + temp / "kopije" +
                                                    "\r\nNacinBackupa=" + mode + "\r\nOpsegBackupa=0\r\n");
    }
    std::unique_ptr<StartupWindow> makeWindow()
    {
        auto made = std::make_unique<frmMain>(context, WindowServices{picker, tray});
        window = made.get();
        return made;
    }

    std::vector<std::string> list1() const
    {
        std::vector<std::string> lines;
        const auto* list = window->findChild<QListWidget*>("List1");
        for (int i = 0; i < list->count(); ++i)
            lines.push_back(list->item(i)->text().toStdString());
        return lines;
    }
    bool shown(const char* name) const { return !window->findChild<QWidget*>(name)->isHidden(); }
    std::string label1() const { return window->findChild<QLabel*>("Label1")->text().toStdString(); }
    bool timer1() const { return window->findChild<QTimer*>("Timer1")->isActive(); }

    void expectServerRegistersAndStatusPage()
    {
        std::vector<std::string> made;
        for (const auto& entry : std::filesystem::directory_iterator(root))
            made.push_back(entry.path().filename().string());
        std::sort(made.begin(), made.end());
        EXPECT_THAT(made, ElementsAre("kasa_Kasa 1", "kasa_Kasa 3", "kasa_Šank", "server"));
        EXPECT_THAT(list1(), ElementsAre(StartsWith("Kasa 2: "), StartsWith("Kasa/7: ")));
        EXPECT_TRUE(shown("Label3") && shown("List1") && shown("Command1"));
        EXPECT_EQ(label1(), "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00");
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
};

TEST_F(DatabaseBackupWindowTest, StartAtProgramStartWithFilesOnlyScopeBacksUpServerAndRegisters)
{
    writeSettings("1");
    StartupSequence start(context, "127.0.0.1:9/kopirko", [&] { return makeWindow(); });

    owner = start.run();

    expectServerRegistersAndStatusPage();
    EXPECT_FALSE(timer1());
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_THAT(platform.messages.shown[0].text, StartsWith("Izrada rezervne kopije je zavrsena\r\n"));
}

TEST_F(DatabaseBackupWindowTest, TimedModeCatchesUpWhileTheWindowLoadsWhenTodaysRootIsMissing)
{
    writeSettings("0");
    context.settingsStore.setIniFilePath(work + "/KOPIRKO.ini");
    context.WindowTitle = StartupSequence::windowTitle;
    context.settingsStore.LoadSettings(context.backupSettings, context.programFolder);
    owner = makeWindow();

    owner->load();

    expectServerRegistersAndStatusPage();
    EXPECT_TRUE(timer1());
    EXPECT_TRUE(platform.messages.shown.empty());
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
