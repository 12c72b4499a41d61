#pragma once

class AppInfo;
class Clock;
class Connectivity;
class FileSystem;
class HttpClient;
class InstanceLock;
class MailSender;
class MessageBoxService;
class NetworkHostLookup;
class ObjectStore;
class Pause;
class PowerControl;
class ProcessLauncher;
class ProcessTerminator;
class RemoteShutdown;
class SecretProtector;
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
    NetworkHostLookup& networkHosts;
    RemoteShutdown& remoteShutdown;
    Connectivity& connectivity;
    HttpClient& http;
    Pause& pause;
    MailSender& mail;
    SecretProtector& secrets;
    ObjectStore& objectStore; ///< the S3-compatible store the days are sent to, away from the shop
};
