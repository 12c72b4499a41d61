#pragma once

class AppInfo;
class Clock;
class FileSystem;
class InstanceLock;
class MessageBoxService;
class PowerControl;
class ProcessLauncher;
class ProcessTerminator;
class WebOpener;

/// Every platform service the program uses, gathered so that the start-up sequence, the window and the
/// runs get them in one piece. The program wires the real ones in main.cpp; tests wire fakes.
struct PlatformServices
{
    AppInfo& appInfo;
    Clock& clock;
    FileSystem& fileSystem;
    ProcessLauncher& launcher;
    ProcessTerminator& terminator;
    InstanceLock& instanceLock;
    MessageBoxService& messages;
    PowerControl& power;
    WebOpener& web;
};
