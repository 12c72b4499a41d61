#pragma once

#include <string>

enum class MessageIcon { None, Question, Critical };

/// Modal message boxes. Line ends in texts are CR LF, as the program writes them.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    /// OK button only. An empty `title` means the program's default caption.
    virtual void showMessage(const std::string& text, const std::string& title = {},
                             MessageIcon icon = MessageIcon::None) = 0;
    /// Yes and No, Yes the default. True when the answer is Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title = {},
                          MessageIcon icon = MessageIcon::None) = 0;
};
