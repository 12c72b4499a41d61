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
    std::vector<bool> networkShutdowns; ///< one element per arming: thenThisComputer
    std::string statusLine;

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
    void setStatusLine(const std::string& text) override { statusLine = text; }
    void runFinished(const RunReport& report) override { finished.push_back(report); }
    void setNextRunLine(const std::string&) override {}
    void setLampColour(std::uint32_t) override {}
    void showBackUpNowButton() override {}
    void startDailySchedule() override {}
    void showWindow() override {}
    void armNetworkShutdown(bool thenThisComputer) override { networkShutdowns.push_back(thenThisComputer); }

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
