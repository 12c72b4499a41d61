#pragma once

#include "RunReport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Where a run stands, for the status lines while it works.
struct RunProgress
{
    std::string source;      ///< folder (or register) being backed up
    std::string currentFile; ///< file just handled
    std::uint64_t filesDone = 0;
    std::uint64_t bytesDone = 0;
};

/// Colours of the status lamp, 0x00BBGGRR.
namespace LampColour {
inline constexpr std::uint32_t lightYellow = 0xC0FFFF;
inline constexpr std::uint32_t green = 0x00FF00;
inline constexpr std::uint32_t blue = 0xFF0000;
} // namespace LampColour

/// What the runs need of the main window. The window implements it; tests fake it. Every call comes on the
/// user-interface thread, except reportProgress.
class BackupHost
{
public:
    virtual ~BackupHost() = default;

    // The live folder list (List2).
    /// Number of entries now.
    virtual int folderCount() const = 0;
    /// Entry `index` as it is now; "" when the list has become shorter.
    virtual std::string folderEntry(int index) const = 0;
    /// The entries of the list file that were refused when it was loaded (FolderListFile::Loaded::refused):
    /// every run reports them as not backed up.
    virtual std::vector<std::string> refusedFolderEntries() const = 0;

    // Pointer, events, work.
    virtual void setBusyPointer(bool busy) = 0;
    /// Handles the pending window events once.
    virtual void processEvents() = 0;
    /// Runs `work` to its end and returns then; the window keeps handling events meanwhile (the work may
    /// run on another thread, so it must not touch the window).
    virtual void runWork(const std::function<void()>& work) = 0;
    /// Progress of the work; may be called from the work's thread.
    virtual void reportProgress(const RunProgress& progress) = 0;

    // Status page.
    virtual void setStatusLine1(const std::string& text) = 0; ///< Label1
    virtual void setStatusLine2(const std::string& text) = 0; ///< Label2
    virtual void setLampColour(std::uint32_t bgr) = 0;        ///< Shape1, 0x00BBGGRR
    /// The run is over: show its failures on the status page (List1 under Label3; hidden again when there
    /// are none) and, with the window hidden, as a tray message.
    virtual void runFinished(const RunReport& report) = 0;
    /// Makes Command1 visible (the database backup does this when a register is unreachable).
    virtual void showManualBackupButton() = 0;
    virtual void enableTimer1() = 0;
    virtual void showWindow() = 0;

    /// Switches the one-shot network-shutdown timer (Timer2) on; when `thenShutDownThisComputer`, this
    /// computer is shut down after the network computers have been asked.
    virtual void switchOnTimer2(bool thenShutDownThisComputer) = 0;
};
