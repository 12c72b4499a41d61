// Takes the pictures of the window's pages in docs/screenshots: the whole screen, as the system shows it, on the
// caller's display; message boxes, the folder dialog and the process end are fakes, and nothing is backed up: the
// latest run (the evening before, one folder out of reach) and a run copying a large file are told to the window
// as the runs tell it. The pictures taken on Windows (under Wine, in its own desktop) get the prefix "windows-":
//   xvfb-run -s "-screen 0 760x600x24" build/bin/window_screenshots docs/screenshots
//   xvfb-run -s "-screen 0 800x640x24" wine64 explorer /desktop=Kopirko,780x620 window_screenshots.exe DIR
//       -platform windows:fontengine=freetype
// (under Wine, Qt's GDI font engine leaves the text of some fields out: the pictures use Qt's FreeType engine).
#include "AppContext.h"
#include "AppIcon.h"
#include "FakeWindowParts.h"
#include "MainWindow.h"
#include "RunGuard.h"
#include "StartupSequence.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "ZipFolder.h"

#include <QApplication>
#include <QScreen>
#include <QTabWidget>
#include <QThread>
#include <QTreeWidget>

#include <tuple>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    TempDir temp;
    const std::string folder = temp / "Kopirko";
#ifdef _WIN32
    const QString prefix = "windows-";
    const std::string destination = "E:\\Kopije", database = "C:\\Kasa\\baza", unreachable = "\\\\server\\Računi";
    const std::string list = "C:\\Prodavnica\\Dokumenti\r\n" + database + "\r\n" + unreachable + "\r\n";
#else
    const QString prefix;
    const std::string destination = "/mnt/usb/Kopije", database = "/srv/kasa/baza", unreachable = "/mnt/server/Racuni";
    const std::string list = "/home/prodavnica/Dokumenti\r\n" + database + "\r\n" + unreachable + "\r\n";
#endif
    TestFiles::write(folder + "/KOPIRKO.ini",
                     "[BACKUP]\r\nVrijemeBackupa=20:00\r\nBackupDir=" + destination +
                         "\r\nNacinBackupa=0\r\nOpsegBackupa=1\r\nBrisati=1\r\nStarost=30\r\n");
    TestFiles::write(folder + "/backuplista.ini", list);

    TestPlatform platform;
    platform.appInfo.folder = folder;
    platform.clock.set(2026, 12, 4, 20, 1);
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    AppContext context(platform.services);
    context.settingsStore.setIniFilePath(folder + "/KOPIRKO.ini");
    context.WindowTitle = StartupSequence::windowTitle;
    context.settingsStore.LoadSettings(context.backupSettings, context.programFolder);
    WindowServices services{picker, tray};
    services.databaseRun = [](const auto&, auto&, const auto&) { return RunReport{}; }; // the timed mode's catch-up
    MainWindow window(context, services);
    window.load();
    window.move(20, 20);
    window.show();
    // The active window's colours, as a person sees the window they work with.
    window.raise();
    window.activateWindow();
    RunReport latest; // the latest run could not reach one folder
    latest.failed.push_back(SourceFailure{unreachable, "fascikla nije dostupna", {}});
    window.runFinished(latest);
    AppIcon::picture(128).save(out + "/icon.png");
    // The sizes Windows shows the program's file and window in; scripts/make-icon joins them into Kopirko.ico.
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        AppIcon::picture(size).save(out + "/icon-" + QString::number(size) + ".png");

    bool ok = true;
    const auto take = [&](int tab1, int tab2, const char* name) {
        window.findChild<QTabWidget*>("pageTabs")->setCurrentIndex(tab1);
        window.findChild<QTabWidget*>("settingsTabs")->setCurrentIndex(tab2);
        for (int i = 0; i < 20; ++i, QThread::msleep(25))
            QApplication::processEvents();
        ok &= QGuiApplication::primaryScreen()->grabWindow(0).save(out + "/" + prefix + name + ".png");
    };
    for (const auto& [tab1, tab2, name] : {std::tuple{0, 0, "backup"},
                                           {1, 0, "podesavanja-fascikle"},
                                           {1, 1, "podesavanja-opcije"},
                                           {3, 1, "o-programu"}})
        take(tab1, tab2, name);

    // "Vracanje": three days of backups of the shop's documents (one archive among them), a folder opened, a file
    // chosen. The destination is a folder of the picture's own, so that the page reads real backups.
    const std::string backups = temp / "Kopije";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"cjenik.txt", "cijene"},
        {"stanje.txt", "stanje"},
        {"racuni/2026/racun-0147.pdf", std::string(48213, 'r')},
        {"racuni/2026/racun-0148.pdf", std::string(51377, 'r')},
        {"ponude/ponuda-hotel.docx", std::string(23001, 'p')}};
    for (const auto& [name, content] : files) {
        TestFiles::write(temp / ("Dokumenti/" + name), content);
        TestFiles::setModified(temp / ("Dokumenti/" + name), 1796230000);
    }
    TestFiles::makeFolder(backups);
    ZipFolder(platform.fileSystem, temp / "Dokumenti", backups + "/04_12_2026_Dokumenti_backup");
    for (const char* day : {"05_12_2026", "06_12_2026"}) {
        TestFiles::makeFolder(backups + "/" + day + "_Dokumenti_backup");
        platform.fileSystem.copyTreeContents(temp / "Dokumenti", backups + "/" + day + "_Dokumenti_backup", {});
    }
    context.backupSettings.BackupDir = backups;
    window.findChild<QTabWidget*>("pageTabs")->setCurrentIndex(2);
    auto* tree = window.findChild<QTreeWidget*>("itemsTree");
    for (QTreeWidgetItem* item : tree->findItems("racuni", Qt::MatchExactly)) {
        item->setExpanded(true);
        item->child(0)->setExpanded(true);
        item->child(0)->child(1)->setSelected(true);
        for (int column = 0; column < 3; ++column)
            tree->resizeColumnToContents(column);
    }
    take(2, 0, "vracanje");
    RunGuard running; // 1.4 GB into a 2 GB database file, the 1187th file of the run
    window.reportProgress(
        RunProgress{database, database + (prefix.isEmpty() ? "/" : "\\") + "arhiva-2026.mdb", 1186, 1503238553});
    take(0, 0, "backup-u-toku");
    return ok ? 0 : 1;
}
