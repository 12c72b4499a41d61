#include "AppContext.h"
#include "MainWindow.h"
#include "PlatformServices.h"
#include "QtFolderPicker.h"
#include "QtMessageBoxService.h"
#include "QtNotificationIcon.h"
#include "QtPause.h"
#include "QtTranslation.h"
#include "QtWebOpener.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "SystemPlatform.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kopirko");
    // The program lives in the notification area: a hidden window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    loadQtTranslation(application);

    SystemPlatform system;
    system.appInfo.settleStartFolder();
    QtMessageBoxService messages;
    QtWebOpener web;
    QtPause pause;
    const PlatformServices platform{system.appInfo,
                                    system.clock,
                                    system.fileSystem,
                                    system.launcher,
                                    system.terminator,
                                    system.instanceLock,
                                    messages,
                                    system.power,
                                    web,
                                    system.networkHosts,
                                    system.remoteShutdown,
                                    system.connectivity,
                                    system.http,
                                    pause,
                                    system.mail,
                                    system.secrets,
                                    system.objectStore};

    QtFolderPicker folderPicker;
    QtNotificationIcon trayIcon;

    AppContext context(platform);
    StartupSequence startup(context, KOPIRKO_UPDATE_URL, [&]() -> std::unique_ptr<StartupWindow> {
        auto window = std::make_unique<MainWindow>(context, WindowServices{folderPicker, trayIcon});
        messages.setParent(window.get());
        folderPicker.setParent(window.get());
        return window;
    });
    const std::unique_ptr<StartupWindow> window = startup.run();
    if (!window)
        return 0;
    return QApplication::exec();
}
