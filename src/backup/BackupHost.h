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

    // The live folder list of the page "Fascikle".
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
    /// The first status line: how the latest run went, or what the run in progress backs up.
    virtual void setStatusLine(const std::string& text) = 0;
    /// The second status line: when the next timed run is due, or the file the run in progress copies.
    virtual void setNextRunLine(const std::string& text) = 0;
    virtual void setLampColour(std::uint32_t bgr) = 0; ///< the status lamp, 0x00BBGGRR
    /// The run is over: show its failures on the status page (the list of failed folders under its heading;
    /// hidden again when there are none) and, with the window hidden, as a tray message.
    virtual void runFinished(const RunReport& report) = 0;
    /// Makes the button "Izradi rezervne kopije" visible (the database backup does this when a register is
    /// unreachable).
    virtual void showBackUpNowButton() = 0;
    /// Switches the daily timer on: the timed run is due at VrijemeBackupa from now on.
    virtual void startDailySchedule() = 0;
    virtual void showWindow() = 0;

    /// Arms the one-shot network-shutdown timer (a minute); when `thenThisComputer`, this
    /// computer is shut down after the network computers have been asked.
    virtual void armNetworkShutdown(bool thenThisComputer) = 0;
};
