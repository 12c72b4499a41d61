#pragma once

#include "FakeAppInfo.h"
#include "FakeClock.h"
#include "FakeConnectivity.h"
#include "FakeInstanceLock.h"
#include "FakeMessageBoxes.h"
#include "FakeNetworkHostLookup.h"
#include "FakePause.h"
#include "FakePowerControl.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessTerminator.h"
#include "FakeRemoteShutdown.h"
#include "FakeWebOpener.h"
#include "LoopbackHttpClient.h"
#include "PlatformServices.h"
#include "SystemPlatform.h"

/// The platform for tests: the real disk, fakes for everything that reaches beyond the test's folder.
struct TestPlatform
{
    FakeAppInfo appInfo;
    FakeClock clock;
    SystemFileSystem fileSystem;
    FakeProcessLauncher launcher;
    FakeProcessTerminator terminator;
    FakeInstanceLock instanceLock;
    FakeMessageBoxes messages;
    FakePowerControl power;
    FakeWebOpener web;
    FakeNetworkHostLookup networkHosts;
    FakeRemoteShutdown remoteShutdown;
    FakeConnectivity connectivity;
    LoopbackHttpClient http;
    FakePause pause;
    PlatformServices services{appInfo, clock, fileSystem,   launcher,       terminator,   instanceLock, messages,
                              power,   web,   networkHosts, remoteShutdown, connectivity, http,         pause};
};
