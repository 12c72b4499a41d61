#pragma once

#include <functional>
#include <string>

/// Runs `work` in a child process as the user "nobody" (when this process is root, which ignores permission
/// bits) or as the current user otherwise, and returns the child's exit code (work's result; 125 when the
/// identity could not be changed). Folders the child must reach have to be open to others.
int runAsNobody(const std::function<int()>& work);

/// Lets everybody into `path` and its parents up to the temporary folder (mkdtemp makes them 0700).
void openToEverybody(const std::string& path);
