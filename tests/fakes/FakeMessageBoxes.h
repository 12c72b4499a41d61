#pragma once

#include "MessageBoxService.h"

#include <deque>
#include <string>
#include <vector>

/// Records every message box; answers Yes/No questions from a queue (No when it is empty).
class FakeMessageBoxes : public MessageBoxService
{
public:
    struct Shown
    {
        std::string text;
        std::string title;
        MessageIcon icon;
        bool question;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;

    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        shown.push_back({text, title, icon, false});
    }
    bool askYesNo(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        shown.push_back({text, title, icon, true});
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const Shown& box : shown)
            result.push_back(box.text);
        return result;
    }
};
