#pragma once

#include "FakeBackupHost.h"

#include <string>
#include <vector>

/// The fake window, keeping every text the status lines showed and the order of the end steps.
class RecordingHost : public FakeBackupHost
{
public:
    std::vector<std::string> label1History;
    std::vector<std::string> label2History;
    std::vector<std::uint32_t> lampHistory;
    /// "busy", "lamp", "timer1", "window", "finished", "pointer" in call order
    std::vector<std::string> steps;

    void setStatusLine1(const std::string& text) override
    {
        label1History.push_back(text);
        FakeBackupHost::setStatusLine1(text);
    }
    void setStatusLine2(const std::string& text) override
    {
        label2History.push_back(text);
        FakeBackupHost::setStatusLine2(text);
    }
    void setLampColour(std::uint32_t bgr) override
    {
        steps.push_back("lamp");
        lampHistory.push_back(bgr);
        FakeBackupHost::setLampColour(bgr);
    }
    void showWindow() override
    {
        steps.push_back("window");
        FakeBackupHost::showWindow();
    }
    void runFinished(const RunReport& report) override
    {
        steps.push_back("finished");
        FakeBackupHost::runFinished(report);
    }
    void setBusyPointer(bool busy) override
    {
        steps.push_back(busy ? "busy" : "pointer");
        FakeBackupHost::setBusyPointer(busy);
    }
    void enableTimer1() override
    {
        steps.push_back("timer1");
        FakeBackupHost::enableTimer1();
    }
};
