#pragma once

class BackupHost;

/// The main window as the start-up sequence sees it.
class StartupWindow
{
public:
    virtual ~StartupWindow() = default;
    /// Creates the window without showing it and runs its initialisation to its end (or to its first failure).
    virtual void load() = 0;
    /// The window's side of a backup run.
    virtual BackupHost& backupHost() = 0;
    /// Shows the window, modeless.
    virtual void showWindow() = 0;
    /// Takes the notification icon away, before the process ends without the window (the update hand-off).
    virtual void removeTrayIcon() = 0;
};
