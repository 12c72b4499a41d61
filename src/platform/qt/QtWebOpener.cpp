#include "QtWebOpener.h"

#include <QDesktopServices>
#include <QUrl>

Result QtWebOpener::openUrl(const std::string& url)
{
    if (!QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(url))))
        return Result::failure("cannot open \"" + url + "\"");
    return Result::success();
}

Result QtWebOpener::openFolder(const std::string& path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
        return Result::failure("cannot open the folder \"" + path + "\"");
    return Result::success();
}
