#pragma once

#include <string>

/// The modal folder dialog of the folder and destination buttons.
class FolderPicker
{
public:
    virtual ~FolderPicker() = default;
    /// Shows the dialog with `title` above it: only folders can be chosen, a path can be typed, new folders
    /// can be made. Returns the chosen folder's full path ("/" for the root, any other folder without a
    /// trailing separator), or "" when the user cancels.
    virtual std::string BrowseForFolder(const std::string& title) = 0;
};
