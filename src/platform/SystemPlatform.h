#pragma once

#include "PlatformServices.h"
#include "SystemAppInfo.h"
#include "SystemClock.h"

#ifdef KOPIRKO_HAVE_OBJECT_STORE
#include "CurlObjectStore.h"
#else
#include "UnavailableObjectStore.h"
#endif

#ifdef KOPIRKO_HAVE_MAIL_CLIENT
#include "CurlMailSender.h"
#else
#include "UnavailableMailSender.h"
#endif

#ifdef _WIN32
#include "AdaptersConnectivity.h"
#include "DpapiSecretProtector.h"
#include "WinCommandRunner.h"
#include "WinFileSystem.h"
#include "WinHttpClient.h"
#include "WinInstanceLock.h"
#include "WinNetworkHostLookup.h"
#include "WinPowerControl.h"
#include "WinProcessLauncher.h"
#include "WinProcessTerminator.h"
#include "WinRemoteShutdown.h"
#else
#include "CurlHttpClient.h"
#include "IfaddrsConnectivity.h"
#include "OwnerOnlySecretProtector.h"
#include "PosixCommandRunner.h"
#include "PosixFileSystem.h"
#include "PosixInstanceLock.h"
#include "PosixNetworkHostLookup.h"
#include "PosixProcessLauncher.h"
#include "PosixProcessTerminator.h"
#include "SambaRemoteShutdown.h"
#include "SystemPowerControl.h"
#endif

// The real services of the operating system this program is built for, each under one name, so that main.cpp,
// the benchmarks and the tests that use the real disk or network need no platform switch of their own.
#ifdef _WIN32
using SystemCommandRunner = WinCommandRunner;
using SystemConnectivity = AdaptersConnectivity;
using SystemFileSystem = WinFileSystem;
using SystemHttpClient = WinHttpClient;
using SystemInstanceLock = WinInstanceLock;
using SystemNetworkHostLookup = WinNetworkHostLookup;
using SystemProcessLauncher = WinProcessLauncher;
using SystemProcessTerminator = WinProcessTerminator;
using SystemSecretProtector = DpapiSecretProtector;
#else
using SystemCommandRunner = PosixCommandRunner;
using SystemConnectivity = IfaddrsConnectivity;
using SystemFileSystem = PosixFileSystem;
using SystemHttpClient = CurlHttpClient;
using SystemInstanceLock = PosixInstanceLock;
using SystemNetworkHostLookup = PosixNetworkHostLookup;
using SystemProcessLauncher = PosixProcessLauncher;
using SystemProcessTerminator = PosixProcessTerminator;
using SystemSecretProtector = OwnerOnlySecretProtector;
#endif
#ifdef KOPIRKO_HAVE_MAIL_CLIENT
using SystemMailSender = CurlMailSender;
#else
using SystemMailSender = UnavailableMailSender;
#endif
#ifdef KOPIRKO_HAVE_OBJECT_STORE
using SystemObjectStore = CurlObjectStore;
#else
using SystemObjectStore = UnavailableObjectStore;
#endif

/// Every service of this computer but those the window's toolkit gives (message boxes, the browser, pausing).
struct SystemPlatform
{
    SystemAppInfo appInfo;
    SystemClock clock;
    SystemFileSystem fileSystem;
    SystemProcessLauncher launcher;
    SystemProcessTerminator terminator;
    SystemInstanceLock instanceLock;
    SystemNetworkHostLookup networkHosts;
    SystemConnectivity connectivity;
    SystemHttpClient http;
    SystemCommandRunner commandRunner;
    SystemMailSender mail;
    SystemSecretProtector secrets;
#ifdef KOPIRKO_HAVE_OBJECT_STORE
    SystemObjectStore objectStore{fileSystem};
#else
    SystemObjectStore objectStore;
#endif
#ifdef _WIN32
    WinPowerControl power;
    WinRemoteShutdown remoteShutdown;
#else
    SystemPowerControl power{launcher};
    SambaRemoteShutdown remoteShutdown{commandRunner};
#endif
};
