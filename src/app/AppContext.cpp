#include "AppContext.h"

#include "AppInfo.h"

AppContext::AppContext(const PlatformServices& services)
    : platform(services), settingsStore(services.fileSystem), programFolder(services.appInfo.programFolder())
{
}
