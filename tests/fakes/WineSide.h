#pragma once

#include <optional>
#include <string>

/// What a Windows test under Wine needs to use the Linux side of its machine (a test server, an independent
/// client, a Linux driver): the Linux path of a Windows one and back, and starting a Linux program. Wine gives no
/// handle of a Linux process to wait on, so such a program must tell by a file when it is done.
namespace WineSide {

/// True for a Windows test under Wine; false on Linux and on a real Windows.
bool present();
/// The Linux path of `path`: itself on Linux, Wine's mapping of it under Wine; nothing on a real Windows or where
/// Wine cannot map it.
std::optional<std::string> linuxPath(const std::string& path);
/// The Windows path of the Linux path `path` under Wine ("Z:\..." for the Linux root); itself on Linux; nothing on a
/// real Windows.
std::optional<std::string> windowsPath(const std::string& path);
/// Starts the Linux program `program` (a Linux path) with the command line `commandLine` (its first word the
/// program, arguments quoted as Windows quotes them), without waiting. Under Wine only; false elsewhere or when it
/// could not be started.
bool startLinuxProgram(const std::string& program, const std::string& commandLine);

} // namespace WineSide
