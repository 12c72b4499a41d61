#pragma once

#include "MessageBoxService.h"

#include <deque>
#include <string>
#include <vector>

/// Records the text of every message box; answers Yes/No questions from a queue (No when it is empty).
class FakeMessageBoxes : public MessageBoxService
{
public:
    std::vector<std::string> shown;
    std::deque<bool> answers;

    void showMessage(const std::string& text, const std::string&, MessageIcon) override { shown.push_back(text); }
    bool askYesNo(const std::string& text, const std::string&, MessageIcon) override
    {
        shown.push_back(text);
        const bool answer = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
};
