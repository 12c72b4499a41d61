#pragma once

// The main window as the program loads it, on a temporary folder: message boxes, the folder dialog, the icon, the
// process end, mail and command starts are fakes; folder runs are the real ones.
#include "AppContext.h"
#include "BackupWatch.h"
#include "FakeWindowParts.h"
#include "IniFile.h"
#include "MainWindow.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

inline const char* const notSetUp = "Program nije podesenen.\r\nMolimo da podesite program.";

inline QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

class WindowTest : public ::testing::Test
{
protected:
    TempDir temp;
    const std::string folder = temp / "Kasa", ini = folder + "/KOPIRKO.ini", listFile = folder + "/backuplista.ini";
    const std::string destination = temp / "Kopije", dirLine = "BackupDir=" + destination, source = temp / "data/Docs";
    TestPlatform platform;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<MainWindow> window;
    int databaseRuns = 0, zipRuns = 0;
    bool realZipRun = false;
    std::vector<std::string> loaded; ///< the messages of the latest load

    void SetUp() override
    {
        TestFiles::write(source + "/racun.txt", "1");
        TestFiles::write(listFile, source + "\r\n");
        TestFiles::makeFolder(destination);
        platform.appInfo.folder = folder;
    }

    /// Writes section BACKUP from `lines` (none: keeps the file, if any) and loads a new window as the program does;
    /// the messages it shows go to `loaded`.
    void start(const std::vector<std::string>& lines = {})
    {
        std::string content = "[BACKUP]\r\n";
        for (const std::string& line : lines)
            content += line + "\r\n";
        if (!lines.empty())
            TestFiles::write(ini, content);
        window.reset();
        platform.messages.shown.clear();
        context = std::make_unique<AppContext>(platform.services);
        context->settingsStore.setIniFilePath(ini);
        context->settingsStore.LoadSettings(context->backupSettings, context->programFolder);
        const auto counted = [](int& runs) {
            return [&runs](const BackupSettings&, BackupHost&, const PlatformServices&) { return ++runs, RunReport{}; };
        };
        WindowServices services{.folderPicker = picker, .trayIcon = tray, .databaseRun = counted(databaseRuns)};
        if (!realZipRun)
            services.zipRun = counted(zipRuns);
        window = std::make_unique<MainWindow>(*context, services);
        window->load();
        loaded = platform.messages.shown;
        platform.messages.shown.clear();
    }

    template <typename Widget = QWidget>
    Widget* get(const char* name) const
    {
        if (auto* widget = window->findChild<Widget*>(name))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }
    bool shown(const char* name) const { return !get(name)->isHidden(); }
    void click(const char* name) { get<QAbstractButton>(name)->click(); }
    bool dailyTimerOn() const { return get<QTimer>("dailyTimer")->isActive(); }
    std::string label(const char* name) const { return get<QLabel>(name)->text().toStdString(); }
    std::string savedDestination() const { return IniFile::read(platform.fileSystem, ini, "BACKUP", "BackupDir"); }
    std::vector<std::string> items(const char* list) const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < get<QListWidget>(list)->count(); ++i)
            texts.push_back(get<QListWidget>(list)->item(i)->text().toStdString());
        return texts;
    }
    std::string backupOf(int day) const { return destination + "/0" + std::to_string(day) + "_12_2026_Docs_backup"; }
    /// Lets the window handle its events until `done` or `limit`.
    static void spin(std::chrono::milliseconds limit, const std::function<bool()>& done)
    {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             !done() && std::chrono::steady_clock::now() < end;)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    BackupWatch& watch() const
    {
        if (auto* found = window->findChild<BackupWatch*>())
            return *found;
        throw std::runtime_error("no watch over the backups");
    }
    /// Lets the reports in the outbox go out and their outcome reach the window.
    void waitForMail()
    {
        spin(std::chrono::seconds(20), [this] { return !watch().mailing(); });
        QCoreApplication::processEvents();
    }
    void tickAt(int day, int hour, int minute, int second = 0)
    {
        platform.clock.set(2026, 12, day, hour, minute, second);
        window->onDailyTick();
    }
};
