#include "AppContext.h"
#include "CurlHttpClient.h"
#include "IfaddrsConnectivity.h"
#include "PlatformServices.h"
#include "PosixCommandRunner.h"
#include "PosixFileSystem.h"
#include "PosixInstanceLock.h"
#include "PosixNetworkHostLookup.h"
#include "PosixProcessLauncher.h"
#include "PosixProcessTerminator.h"
#include "QtFolderPicker.h"
#include "QtMessageBoxService.h"
#include "QtNotificationIcon.h"
#include "QtPause.h"
#include "QtWebOpener.h"
#include "SambaRemoteShutdown.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "SystemAppInfo.h"
#include "SystemClock.h"
#include "SystemPowerControl.h"
#include "frmMain.h"

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
    PosixNetworkHostLookup networkHosts;
    PosixCommandRunner commandRunner;
    SambaRemoteShutdown remoteShutdown(commandRunner);
    IfaddrsConnectivity connectivity;
    CurlHttpClient http;
    QtPause pause;
    const PlatformServices platform{appInfo, clock, fileSystem,   launcher,       terminator,   instanceLock, messages,
                                    power,   web,   networkHosts, remoteShutdown, connectivity, http,         pause};

    QtFolderPicker folderPicker;
    QtNotificationIcon trayIcon;

    AppContext context(platform);
    StartupSequence startup(context, KOPIRKO_UPDATE_URL, [&]() -> std::unique_ptr<StartupWindow> {
        auto window = std::make_unique<frmMain>(context, WindowServices{folderPicker, trayIcon});
        messages.setParent(window.get());
        folderPicker.setParent(window.get());
        return window;
    });
    const std::unique_ptr<StartupWindow> window = startup.run();
    if (!window)
        return 0;
    return QApplication::exec();
}
