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
    std::function<void()> onProcessEvents;
    int processEventsCalls = 0;
    std::vector<bool> busyPointer;
    std::vector<RunReport> finished;
    std::vector<bool> timer2; ///< one element per switch-on: thenShutDownThisComputer
    std::string label1;
    std::string label2;
    std::uint32_t lamp = LampColour::lightYellow;
    bool manualButtonShown = false;
    bool timer1Enabled = false;
    bool windowShown = false;

    int folderCount() const override { return static_cast<int>(folders.size()); }
    std::string folderEntry(int index) const override
    {
        return index >= 0 && index < folderCount() ? folders[static_cast<size_t>(index)] : std::string();
    }
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
    void setStatusLine2(const std::string& text) override { label2 = text; }
    void setLampColour(std::uint32_t bgr) override { lamp = bgr; }
    void runFinished(const RunReport& report) override { finished.push_back(report); }
    void showManualBackupButton() override { manualButtonShown = true; }
    void enableTimer1() override { timer1Enabled = true; }
    void showWindow() override { windowShown = true; }
    void switchOnTimer2(bool thenShutDownThisComputer) override { timer2.push_back(thenShutDownThisComputer); }

    std::vector<RunProgress> progressReports;

private:
    std::mutex m_mutex;
};
