#pragma once

#include "FakeAppInfo.h"
#include "FakeClock.h"
#include "FakeInstanceLock.h"
#include "FakeMessageBoxes.h"
#include "FakePowerControl.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessTerminator.h"
#include "FakeWebOpener.h"
#include "PlatformServices.h"
#include "PosixFileSystem.h"

/// The platform for tests: the real disk, fakes for everything that reaches beyond the test's folder.
struct TestPlatform
{
    FakeAppInfo appInfo;
    FakeClock clock;
    PosixFileSystem fileSystem;
    FakeProcessLauncher launcher;
    FakeProcessTerminator terminator;
    FakeInstanceLock instanceLock;
    FakeMessageBoxes messages;
    FakePowerControl power;
    FakeWebOpener web;
    PlatformServices services{appInfo, clock, fileSystem, launcher, terminator, instanceLock, messages, power, web};
};
