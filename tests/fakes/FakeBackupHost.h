#pragma once

#include "BackupHost.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

/// The window's side of a run, recorded. The folder list is a plain vector the test (or a hook called at
/// every processEvents) may change while the run walks it.
class FakeBackupHost : public BackupHost
{
public:
    std::vector<std::string> folders;
    std::vector<std::string> refusedFolders;
    std::function<void()> onProcessEvents;
    int processEventsCalls = 0;
    std::vector<bool> busyPointer;
    std::vector<RunReport> finished;
    std::vector<bool> timer2; ///< one element per switch-on: thenShutDownThisComputer
    std::string label1;

    int folderCount() const override { return static_cast<int>(folders.size()); }
    std::string folderEntry(int index) const override
    {
        return index >= 0 && index < folderCount() ? folders[static_cast<size_t>(index)] : std::string();
    }
    std::vector<std::string> refusedFolderEntries() const override { return refusedFolders; }
    void setBusyPointer(bool busy) override { busyPointer.push_back(busy); }
    void processEvents() override
    {
        ++processEventsCalls;
        if (onProcessEvents)
            onProcessEvents();
    }
    void runWork(const std::function<void()>& work) override { work(); }
    void reportProgress(const RunProgress& progress) override
    {
        std::lock_guard lock(m_mutex);
        progressReports.push_back(progress);
    }
    void setStatusLine1(const std::string& text) override { label1 = text; }
    void runFinished(const RunReport& report) override { finished.push_back(report); }
    void setStatusLine2(const std::string&) override {}
    void setLampColour(std::uint32_t) override {}
    void showManualBackupButton() override {}
    void enableTimer1() override {}
    void showWindow() override {}
    void switchOnTimer2(bool thenShutDownThisComputer) override { timer2.push_back(thenShutDownThisComputer); }

    std::vector<RunProgress> progressReports;

private:
    std::mutex m_mutex;
};

/// The sources a run reports as not backed up, in order.
inline std::vector<std::string> failedSources(const RunReport& report)
{
    std::vector<std::string> sources;
    for (const SourceFailure& failure : report.failed)
        sources.push_back(failure.source);
    return sources;
}
