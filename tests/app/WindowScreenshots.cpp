// Shows the window as a set-up shop would see it, page by page, on the X display of the caller, and takes a
// picture of the whole screen for each page with ImageMagick's "import". Run it under xvfb-run:
//   xvfb-run -s "-screen 0 800x600x24" build/bin/window_screenshots docs/screenshots
// Message boxes, the folder dialog and the process end are fakes; nothing is backed up.
#include "AppContext.h"
#include "AppIcon.h"
#include "FakeWindowParts.h"
#include "StartupSequence.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "frmMain.h"

#include <QApplication>
#include <QProcess>
#include <QTabWidget>
#include <QThread>

#include <iostream>

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
}

bool capture(const QString& file)
{
    settle();
    const int code = QProcess::execute("import", {"-window", "root", file});
    if (code != 0)
        std::cerr << "import failed for " << file.toStdString() << "\n";
    return code == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    const QString outFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    TempDir temp;
    const std::string programFolder = temp / "Kopirko";
    const std::string destination = "/mnt/usb/Kopije"; // only shown: nothing is written there
    TestFiles::write(programFolder + "/KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=20:00\r\nBackupDir=" + destination +
                                                         "\r\nNacinBackupa=0\r\nOpsegBackupa=1\r\nBrisati=1\r\n"
                                                         "Starost=30\r\nGasitiRacunar=0\r\nZIPOVANJE=0\r\n"
                                                         "GasenjeRacunaraMreze=0\r\n");
    TestFiles::write(programFolder + "/backuplista.ini",
                     "/home/prodavnica/Dokumenti\r\n/srv/kasa/baza\r\n/mnt/server/Racuni\r\n");

    TestPlatform platform;
    platform.appInfo.folder = programFolder;
    platform.clock.set(2026, 12, 5, 9, 15, 0);
    FakeFolderPicker picker;
    FakeNotificationIcon tray;

    AppContext context(platform.services);
    context.settingsStore.setIniFilePath(programFolder + "/KOPIRKO.ini");
    context.WindowTitle = StartupSequence::windowTitle;
    context.settingsStore.LoadSettings(context.backupSettings, context.programFolder);

    WindowServices services{picker, tray};
    // The catch-up database backup of the timed mode leaves the status lines as a real one would.
    services.databaseRun = [](const BackupSettings&, BackupHost& host, const PlatformServices&) {
        host.setStatusLine1("Rezervna kopija baza podataka je izradjena 05.12.2026 u 20:00");
        host.setStatusLine2("Sledeća izrada rezervne kopije 06.12.2026 u 20:00");
        return RunReport{};
    };
    frmMain window(context, services);
    window.load();
    window.move(20, 20);
    window.show();

    // The latest run could not reach one folder: the status page keeps saying so.
    RunReport latest;
    latest.failed.push_back(SourceFailure{"/mnt/server/Racuni", "fascikla nije dostupna", {}});
    window.runFinished(latest);
    AppIcon::picture(128).save(outFolder + "/icon.png");

    auto* tabs1 = window.findChild<QTabWidget*>("SSTab1");
    auto* tabs2 = window.findChild<QTabWidget*>("SSTab2");
    bool ok = true;
    tabs1->setCurrentIndex(0);
    ok &= capture(outFolder + "/backup.png");
    tabs1->setCurrentIndex(1);
    tabs2->setCurrentIndex(0);
    ok &= capture(outFolder + "/podesavanja-fascikle.png");
    tabs2->setCurrentIndex(1);
    ok &= capture(outFolder + "/podesavanja-opcije.png");
    tabs1->setCurrentIndex(2);
    ok &= capture(outFolder + "/o-programu.png");
    return ok ? 0 : 1;
}
