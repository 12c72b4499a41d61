#pragma once

#include <functional>
#include <string>
#include <vector>

/// Runs `work` while the files and folders `paths` (below the test's folder `root`) cannot be read by it, and
/// returns work's result; 125 when the access could not be taken away.
///
/// On Linux `work` runs in a child process as the user "nobody" (root ignores permission bits), with everything
/// below `root` opened to everybody and `paths` closed to all. On Windows `work` runs in this process while the
/// test holds each of `paths` open without sharing, as a program that keeps its files locked does.
int runWithoutAccess(const std::string& root, const std::vector<std::string>& paths, const std::function<int()>& work);
