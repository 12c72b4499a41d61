#pragma once

#include "FolderPicker.h"
#include "NotificationIcon.h"

#include <QIcon>
#include <QMenu>
#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <vector>

/// Answers the folder dialog from a queue ("" = cancelled when it is empty) and records the titles.
class FakeFolderPicker : public FolderPicker
{
public:
    std::deque<std::string> answers;
    std::vector<std::string> titles;
    std::string BrowseForFolder(const std::string& title) override
    {
        titles.push_back(title);
        if (answers.empty())
            return {};
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

/// The notification icon, recorded; `click` delivers a mouse message as the desktop would.
class FakeNotificationIcon : public NotificationIcon
{
public:
    bool trayAvailable = true;
    bool added = false;
    QIcon icon;
    QString tip;
    QMenu* menu = nullptr;
    std::vector<QString> balloons;

    bool available() const override { return trayAvailable; }
    void add(const QIcon& picture, const QString& text, QMenu* popup, std::function<void(int)> onMessage) override
    {
        added = true;
        icon = picture;
        tip = text;
        menu = popup;
        m_onMessage = std::move(onMessage);
    }
    void remove() override { added = false; }
    bool present() const override { return added; }
    void showMessage(const QString&, const QString& text) override { balloons.push_back(text); }
    void click(int message)
    {
        if (added && m_onMessage)
            m_onMessage(message);
    }

private:
    std::function<void(int)> m_onMessage;
};
