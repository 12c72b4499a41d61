// The page "Vracanje" alone: the days, a backup's tree read as it is opened, and a file got back in four clicks.
#include "RestorePage.h"

#include "AppContext.h"
#include "FakeWindowParts.h"
#include "OffsiteSettings.h"
#include "RunCancellation.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "ZipFolder.h"

#include <QAbstractButton>
#include <QFrame>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

struct RestorePageTest : ::testing::Test
{
    TempDir temp;
    TestPlatform platform;
    AppContext context{platform.services};
    FakeFolderPicker picker;
    std::vector<std::string> listed{temp / "radnja/Dokumenti"};
    RestorePage page{context, picker, [this] { return listed; }};

    RestorePageTest()
    {
        context.backupSettings.BackupDir = temp / "kopije";
        TestFiles::write(temp / "kopije/06_12_2026_Dokumenti_backup/cjenik.txt", "cijene iz subote");
        TestFiles::write(temp / "kopije/06_12_2026_Dokumenti_backup/racuni/r1.txt", "racun 1");
        TestFiles::write(temp / "petak/Dokumenti/cjenik.txt", "cijene iz petka");
        ZipFolder(platform.fileSystem, temp / "petak/Dokumenti", temp / "kopije/05_12_2026_Dokumenti_backup");
        TestFiles::write(temp / "radnja/Dokumenti/racuni/r1.txt", "racun 1, ispravljen");
    }

    template <typename Widget>
    Widget* child(const char* name)
    {
        return page.findChild<Widget*>(name);
    }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    QTreeWidgetItem* top(const char* name)
    {
        const QList<QTreeWidgetItem*> found = child<QTreeWidget>("itemsTree")->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
};

TEST_F(RestorePageTest, TheDayTheItemAndVratiGetADeletedFileBack)
{
    page.refreshDays();
    auto* days = child<QListWidget>("daysList");
    ASSERT_EQ(days->count(), 2);
    EXPECT_EQ(days->item(0)->text(), "06.12.2026");
    EXPECT_EQ(days->item(1)->text(), "05.12.2026");
    EXPECT_EQ(child<QListWidget>("backupsList")->item(0)->text(), "Dokumenti");

    QTreeWidgetItem* folder = top("racuni");
    ASSERT_NE(folder, nullptr);
    folder->setExpanded(true);
    ASSERT_EQ(folder->childCount(), 1);
    EXPECT_EQ(folder->child(0)->text(0), "r1.txt");

    top("cjenik.txt")->setSelected(true);
    folder->setSelected(true);
    click("restoreButton");
    EXPECT_TRUE(child<QFrame>("questionFrame")->isVisibleTo(&page));
    EXPECT_EQ(picker.asked, 0u) << "the backup's folder is on the list";
    click("keepBothButton");
    EXPECT_EQ(TestFiles::read(temp / "radnja/Dokumenti/cjenik.txt"), "cijene iz subote");
    EXPECT_EQ(TestFiles::read(temp / "radnja/Dokumenti/racuni/r1.txt"), "racun 1, ispravljen");
    EXPECT_EQ(TestFiles::read(temp / "radnja/Dokumenti/racuni/r1 (06.12.2026).txt"), "racun 1");
    EXPECT_TRUE(child<QPlainTextEdit>("resultText")->toPlainText().startsWith("Vraceno."))
        << child<QPlainTextEdit>("resultText")->toPlainText().toStdString();

    click("openButton");
    EXPECT_EQ(platform.web.openedFolders, std::vector<std::string>{temp / "kopije/06_12_2026_Dokumenti_backup"});
}

TEST_F(RestorePageTest, ABackupWhoseFolderIsNotListedAsksWhereAndWritesNothingWhenCancelled)
{
    listed = {temp / "drugo/Racuni"};
    picker.answers = {"", temp / "izbor"}; // cancelled, then a folder
    page.refreshDays();
    child<QListWidget>("daysList")->setCurrentRow(1); // the archive of Friday
    ASSERT_NE(top("cjenik.txt"), nullptr);
    click("restoreButton");
    EXPECT_EQ(picker.asked, 1u);
    EXPECT_FALSE(child<QFrame>("questionFrame")->isVisibleTo(&page));

    TestFiles::makeFolder(temp / "izbor");
    click("restoreToButton");
    click("replaceButton"); // hidden: nothing differs, so nothing may be replaced
    click("keepBothButton");
    EXPECT_EQ(TestFiles::read(temp / "izbor/Dokumenti/cjenik.txt"), "cijene iz petka");
}

TEST_F(RestorePageTest, TheStoresDaysAreListedMarkedAndRestoredFromAndAStoreThatRefusesIsOneLine)
{
    context.settingsStore.setIniFilePath(temp / "KOPIRKO.ini");
    OffsiteSettings store{"http://192.168.1.5:7480", "", "kopije", "kljuc", "tajna", "PRODAJA-1", 0, 1};
    ASSERT_TRUE(OffsiteSettingsStore::save(context.settingsStore, platform.secrets, store));
    platform.objectStore.place("PRODAJA-1/04_12_2026_Dokumenti_backup/racuni/stari.txt",
                               {"racun iz cetvrtka", {{"kopirko-mtime", "1764806400000000000"}}, {}, 0});
    page.refreshDays();
    auto* days = child<QListWidget>("daysList");
    ASSERT_EQ(days->count(), 3);
    EXPECT_EQ(days->item(2)->text(), "04.12.2026 (van lokala)");
    days->setCurrentRow(2);
    ASSERT_EQ(child<QListWidget>("backupsList")->count(), 1);
    QTreeWidgetItem* folder = top("racuni");
    ASSERT_NE(folder, nullptr);
    folder->setSelected(true);
    click("restoreButton");
    click("keepBothButton");
    EXPECT_EQ(TestFiles::read(temp / "radnja/Dokumenti/racuni/stari.txt"), "racun iz cetvrtka");
    EXPECT_EQ(TestFiles::read(temp / "radnja/Dokumenti/racuni/r1.txt"), "racun 1, ispravljen");

    platform.objectStore.failWhen = [](const std::string&, const std::string&) {
        return std::optional<StoreAnswer>(StoreAnswer{Result::failure("403 Forbidden"), 403, "InvalidAccessKeyId"});
    };
    page.refreshDays();
    EXPECT_EQ(days->count(), 2);
    EXPECT_NE(child<QPlainTextEdit>("resultText")->toPlainText().indexOf("Dani van lokala se ne mogu procitati"), -1)
        << child<QPlainTextEdit>("resultText")->toPlainText().toStdString();
}

TEST_F(RestorePageTest, ZaustaviWhileAStoresArchiveIsFetchedStopsTheFetchingAndNoBackupRun)
{
    context.settingsStore.setIniFilePath(temp / "KOPIRKO.ini");
    OffsiteSettings store{"http://192.168.1.5:7480", "", "kopije", "kljuc", "tajna", "PRODAJA-1", 0, 1};
    ASSERT_TRUE(OffsiteSettingsStore::save(context.settingsStore, platform.secrets, store));
    platform.objectStore.place("PRODAJA-1/04_12_2026_Kasa_backup.zip", {std::string(4096, 'z'), {}, {}, 0});
    auto* stop = child<QAbstractButton>("stopButton");
    bool offered = false;
    platform.objectStore.failWhen = [&](const std::string& request, const std::string&) {
        if (request == "get") // the user presses "Zaustavi" while the archive comes
            QMetaObject::invokeMethod(
                stop,
                [&] {
                    offered = stop->isVisibleTo(&page) && stop->isEnabled();
                    stop->click();
                },
                Qt::BlockingQueuedConnection);
        return std::optional<StoreAnswer>();
    };
    page.refreshDays();
    child<QListWidget>("daysList")->setCurrentRow(2);
    EXPECT_TRUE(offered);
    EXPECT_FALSE(RunCancellation::requested()); // a backup working meanwhile is not stopped by it
    EXPECT_EQ(child<QListWidget>("backupsList")->count(), 0);
    EXPECT_NE(child<QPlainTextEdit>("resultText")->toPlainText().indexOf("Vracanje je prekinuto."), -1)
        << child<QPlainTextEdit>("resultText")->toPlainText().toStdString();
    EXPECT_FALSE(child<QFrame>("progressFrame")->isVisibleTo(&page));
}

} // namespace
