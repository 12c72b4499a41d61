#pragma once

#include <functional>
#include <memory>
#include <string>

struct AppContext;
class StartupWindow;

/// The program's start, in order: INI path, "version.txt", the update address, the window title, the
/// single-instance refusal, the settings, the window loaded hidden (with its icon, and its first message when
/// the program is not set up), the backup at program start, the window shown, and then the update check, whose
/// downloads run off the window's thread so that a server that never answers holds nothing up. Every step's
/// failure is absorbed and the next step runs.
class StartupSequence
{
public:
    using WindowFactory = std::function<std::unique_ptr<StartupWindow>()>;

    /// The text of the window caption, the tray tip and the single-instance test.
    static constexpr const char* windowTitle = "Izrada rezervnih kopija podataka";
    static constexpr const char* alreadyRunning = "Program je vec pokrenut";

    /// `builtInUpdateAddress`: host and one path segment, no scheme.
    StartupSequence(AppContext& context, std::string builtInUpdateAddress, WindowFactory windowFactory);

    /// Runs the sequence; returns once the update check is over. Returns the shown window, or nothing when the
    /// process was ended inside (second instance, update hand-off).
    std::unique_ptr<StartupWindow> run();

    /// "1016" + CR LF for version 1.0.16: the digits of the three parts, no separator.
    static std::string versionLine(int major, int minor, int revision);

private:
    AppContext& m_context;
    std::string m_updateAddress;
    WindowFactory m_windowFactory;
};
