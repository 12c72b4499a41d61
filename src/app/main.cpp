#include "AppContext.h"
#include "PlainMainWindow.h"
#include "PlatformServices.h"
#include "PosixFileSystem.h"
#include "PosixInstanceLock.h"
#include "PosixProcessLauncher.h"
#include "PosixProcessTerminator.h"
#include "QtMessageBoxService.h"
#include "QtWebOpener.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "SystemAppInfo.h"
#include "SystemClock.h"
#include "SystemPowerControl.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    // The program lives in the notification area: a hidden window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemAppInfo appInfo;
    SystemClock clock;
    PosixFileSystem fileSystem;
    PosixProcessLauncher launcher;
    PosixProcessTerminator terminator;
    PosixInstanceLock instanceLock;
    QtMessageBoxService messages;
    SystemPowerControl power(launcher);
    QtWebOpener web;
    const PlatformServices platform{appInfo, clock, fileSystem, launcher, terminator, instanceLock, messages, power, web};

    AppContext context(platform);
    StartupSequence startup(context, KOPIRKO_UPDATE_URL,
                            [&context]() -> std::unique_ptr<StartupWindow> {
                                return std::make_unique<PlainMainWindow>(context);
                            });
    const std::unique_ptr<StartupWindow> window = startup.run();
    if (!window)
        return 0;
    return QApplication::exec();
}
