#pragma once

#include "BackupHost.h"
#include "StartupWindow.h"

#include <QWidget>

class QListWidget;
class QLabel;
struct AppContext;

/// A first, plain main window: the caption and the folder list List2. Stands in until the full window is
/// built.
class PlainMainWindow : public QWidget, public StartupWindow, public BackupHost
{
    Q_OBJECT
public:
    explicit PlainMainWindow(AppContext& context);

    // StartupWindow
    void load() override;
    BackupHost& backupHost() override { return *this; }
    void showWindow() override;

    // BackupHost
    int folderCount() const override;
    std::string folderEntry(int index) const override;
    void setBusyPointer(bool busy) override;
    void processEvents() override;
    void runWork(const std::function<void()>& work) override;
    void reportProgress(const RunProgress& progress) override;
    void setStatusLine1(const std::string& text) override;
    void setStatusLine2(const std::string& text) override;
    void setLampColour(std::uint32_t bgr) override;
    void runFinished(const RunReport& report) override;
    void showManualBackupButton() override {}
    void enableTimer1() override {}
    void switchOnTimer2(bool) override {}

private:
    AppContext& m_context;
    QListWidget* m_list2;
    QLabel* m_label1;
    QLabel* m_label2;
};
