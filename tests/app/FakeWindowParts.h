#pragma once

#include "FolderPicker.h"
#include "NotificationIcon.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

/// Answers the folder dialogs in turn from `answers`; cancelled ("") once they are used up.
struct FakeFolderPicker : FolderPicker
{
    std::vector<std::string> answers;
    size_t asked = 0;
    std::string BrowseForFolder(const std::string&) override { return asked < answers.size() ? answers[asked++] : ""; }
};

/// The notification icon, recorded; `onMessage` takes the mouse messages the desktop would deliver.
struct FakeNotificationIcon : NotificationIcon
{
    bool trayAvailable = true, added = false;
    QMenu* menu = nullptr;
    std::vector<QString> balloons;
    QString tip;
    std::function<void(int)> onMessage;

    bool available() const override { return trayAvailable; }
    void add(const QIcon&, const QString& text, QMenu* popup, std::function<void(int)> handler) override
    {
        added = true;
        tip = text;
        menu = popup;
        onMessage = std::move(handler);
    }
    void setLook(const QIcon&, const QString& text) override { tip = text; }
    void remove() override { added = false; }
    bool present() const override { return added; }
    void showMessage(const QString&, const QString& text) override { balloons.push_back(text); }
};
