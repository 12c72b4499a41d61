#pragma once

// The platform for tests: the real disk, fakes for everything that reaches beyond the test's folder.
#include "AppInfo.h"
#include "Clock.h"
#include "Connectivity.h"
#include "HookedDisk.h"
#include "InstanceLock.h"
#include "MailSender.h"
#include "MemoryObjectStore.h"
#include "MessageBoxService.h"
#include "Pause.h"
#include "PlatformServices.h"
#include "PowerControl.h"
#include "ProcessLauncher.h"
#include "ProcessTerminator.h"
#include "RemoteShutdown.h"
#include "SecretProtector.h"
#include "SystemPlatform.h"
#include "WebOpener.h"
#ifdef _WIN32
#include "WinNetworkHostLookup.h"
#else
#include "PosixNetworkHostLookup.h"
#endif

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/// Version 1.0.16, in the folders the test sets.
struct FakeAppInfo : AppInfo
{
    std::string folder = "/tmp";
    std::string programFolder() const override { return folder; }
    ProgramVersion version() const override { return {1, 0, 16}; }
    std::string working = "/tmp";
    std::string workingFolder() const override { return working; }
};

/// A clock that shows what the test sets; safe to read from a worker thread.
struct FakeClock : Clock
{
    FakeClock() { set(2026, 12, 5, 8, 0, 0); }
    LocalDateTime now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void set(int year, unsigned month, unsigned day, int hour = 8, int minute = 0, int second = 0)
    {
        const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                               std::chrono::day{day}};
        std::lock_guard lock(m_mutex);
        m_now = LocalDateTime{date, hour, minute, second};
    }

private:
    mutable std::mutex m_mutex;
    LocalDateTime m_now;
};

/// Answers what the test sets; not connected unless a test says otherwise, so nothing goes on line by chance.
struct FakeConnectivity : Connectivity
{
    ConnectedState answer;
    ConnectedState connectedState() const override { return answer; }
};

/// Refused when the test says another instance runs; keeps the title it was asked for.
struct FakeInstanceLock : InstanceLock
{
    bool otherInstanceRuns = false;
    std::string askedTitle;
    bool tryAcquire(const std::string& title) override
    {
        askedTitle = title;
        return !otherInstanceRuns;
    }
};

/// Records the text of every message box; answers Yes/No questions from a queue (No when it is empty).
struct FakeMessageBoxes : MessageBoxService
{
    std::vector<std::string> shown;
    std::deque<bool> answers;
    /// Called while a question is open, before it is answered: what happens meanwhile elsewhere.
    std::function<void()> whileAsked;

    void showMessage(const std::string& text, const std::string&, MessageIcon) override { shown.push_back(text); }
    bool askYesNo(const std::string& text, const std::string&, MessageIcon) override
    {
        shown.push_back(text);
        if (whileAsked)
            whileAsked();
        const bool answer = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }
};

/// The real rules of this platform over a view of the shares the test sets: on Linux the mount table (empty:
/// nothing is mounted), on Windows the mapped drives (empty: no drive is mapped).
struct FakeNetworkHostLookup : NetworkHostLookup
{
#ifdef _WIN32
    /// "X:" (upper case) -> "\\computer\share"
    std::map<std::string, std::string> mappedDrives;
#else
    std::string mountInfo;
#endif

    NetworkHost hostOf(const std::string& entry) const override
    {
        return m_lookup.hostOf(entry);
    }

private:
#ifdef _WIN32
    WinNetworkHostLookup m_lookup{[this](const std::string& drive) -> std::optional<std::string> {
        const auto found = mappedDrives.find(drive);
        return found == mappedDrives.end() ? std::nullopt : std::optional<std::string>(found->second);
    }};
#else
    PosixNetworkHostLookup m_lookup{[this] { return mountInfo; }};
#endif
};

/// Records waits instead of waiting.
struct FakePause : Pause
{
    /// "events" or "sleep <ms>", in the order they were asked for.
    std::vector<std::string> calls;

    void processEventsOnce() override { calls.push_back("events"); }
    void sleepFor(std::chrono::milliseconds wait) override { calls.push_back("sleep " + std::to_string(wait.count())); }
};

/// Counts the shutdowns of this computer instead of shutting it down.
struct FakePowerControl : PowerControl
{
    int shutdowns = 0;
    Result shutDownThisComputer() override { return ++shutdowns, Result::success(); }
};

/// Records every start instead of starting anything.
struct FakeProcessLauncher : ProcessLauncher
{
    struct Start
    {
        std::string program;
        std::vector<std::string> arguments;
    };
    std::vector<Start> starts;
    bool fail = false;

    Result startDetached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        starts.push_back({program, arguments});
        return fail ? Result::failure("cannot start \"" + program + "\"") : Result::success();
    }
};

/// Records the end of the process instead of ending it.
struct FakeProcessTerminator : ProcessTerminator
{
    std::optional<int> exitCode;
    void endNow(int code) override { exitCode = exitCode.value_or(code); } // the first end counts
    bool ended() const { return exitCode.has_value(); }
};

/// Records the computers asked to shut down instead of asking them. Safe to use from worker threads.
struct FakeRemoteShutdown : RemoteShutdown
{
    /// Called at every request once it is recorded (to block, refuse or throw); success when unset.
    std::function<Result(const std::string&)> onRequest;

    Result shutDown(const std::string& host) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_asked.push_back(host);
        }
        return onRequest ? onRequest(host) : Result::success();
    }

    std::vector<std::string> asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_asked;
};

/// Records what it was asked to open; fails with `failure` when the test sets one.
struct FakeWebOpener : WebOpener
{
    std::vector<std::string> openedUrls, openedFolders;
    std::optional<std::string> failure;
    Result openUrl(const std::string& url) override { return record(openedUrls, url); }
    Result openFolder(const std::string& folder) override { return record(openedFolders, folder); }

private:
    Result record(std::vector<std::string>& opened, const std::string& what)
    {
        opened.push_back(what);
        return failure ? Result::failure(*failure) : Result::success();
    }
};

/// The real HTTP client, held to this computer: an address not on http://127.0.0.1 is refused before anything
/// is sent. Short time limits, so that a test server that never answers costs a second. Its cache holds
/// `cachedCopies` copies in all (-1: it never runs dry).
struct LoopbackHttpClient : HttpClient
{
    std::vector<std::string> calls; ///< "get URL" and "purge URL", in order
    int cachedCopies = 0;

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override
    {
        calls.push_back("get " + url);
        if (url.starts_with("http://127.0.0.1:") || url.starts_with("http://127.0.0.1/"))
            return m_client.download(url, destination, options);
        DownloadOutcome refused;
        refused.result = Result::failure("tests reach no other computer: " + url);
        return refused;
    }
    bool removeFromCache(const std::string& url) override
    {
        calls.push_back("purge " + url);
        if (cachedCopies == 0)
            return false;
        if (cachedCopies > 0)
            --cachedCopies;
        return true;
    }

private:
    SystemHttpClient m_client{HttpTimeLimits{std::chrono::milliseconds(2000), std::chrono::seconds(1)}};
};

/// Records every message instead of sending it and answers what the test sets; safe to use from a worker thread.
struct FakeMailSender : MailSender
{
    struct Sent
    {
        MailServer server;
        MailEnvelope envelope;
    };

    /// What every sending gives back; taken by default.
    void answer(const MailDelivery& delivery)
    {
        std::lock_guard lock(m_mutex);
        m_answer = delivery;
    }
    /// Called on the sending thread before a message is taken (to hold it, as a server that does not answer).
    std::function<void()> whileSending;

    MailDelivery send(const MailServer& server, const MailEnvelope& envelope) override
    {
        if (whileSending)
            whileSending();
        std::lock_guard lock(m_mutex);
        m_sent.push_back({server, envelope});
        return m_answer;
    }
    std::vector<Sent> sent() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    MailDelivery m_answer{Result::success(), "250 2.0.0 Ok: queued"};
};

/// Keeps a secret behind a mark and its letters reversed: what is stored is never the secret itself, and a text
/// without the mark cannot be read back.
struct FakeSecretProtector : SecretProtector
{
    Result protect(const std::string& secret, std::string& stored) const override
    {
        stored = "zasticeno:" + std::string(secret.rbegin(), secret.rend());
        return Result::success();
    }
    Result reveal(const std::string& stored, std::string& secret) const override
    {
        if (!stored.starts_with("zasticeno:"))
            return Result::failure("not protected here");
        secret.assign(stored.rbegin(), stored.rend() - 10);
        return Result::success();
    }
    Result guardFile(const std::string&) const override { return Result::success(); }
};

struct TestPlatform
{
    FakeAppInfo appInfo;
    FakeClock clock;
    HookedDisk fileSystem;
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
    FakeMailSender mail;
    FakeSecretProtector secrets;
    MemoryObjectStore objectStore;
    PlatformServices services = servicesWith(fileSystem);

    /// These services with `disk` for the disk.
    PlatformServices servicesWith(FileSystem& disk)
    {
        return {appInfo,  clock, disk, launcher,     terminator,     instanceLock,
                messages, power, web,  networkHosts, remoteShutdown, connectivity,
                http,     pause, mail, secrets,      objectStore};
    }
};
