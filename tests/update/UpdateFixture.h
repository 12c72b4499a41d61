#pragma once

// A real HTTP server on 127.0.0.1, and the fixture of the update check's tests that runs against it.
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "TestSigningKey.h"
#include "UpdateCheck.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

enum class AnswerKind {
    Body,     ///< with its length
    Chunked,  ///< without a length in front: the client learns the size only while it reads
    Redirect, ///< to the body
    Stall,    ///< with its length, but only its first half until the server is destroyed
    Late,     ///< the body, but only after 3 s: far longer than the tests' client waits for a stalled answer
    Trickle   ///< without a length, one byte every 100 ms: never standing still, yet taking 100 ms a byte
};

/// A real HTTP server on a free port of 127.0.0.1, answering from a table; paths not in it get 404.
class TestHttpServer
{
public:
    TestHttpServer()
    {
        m_server.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock lock(m_mutex);
            // Captured by copy below, not by name: clang 14 cannot capture a structured binding.
            const auto [body, status, kind] =
                m_answers.contains(request.path) ? m_answers[request.path] : Answer{"", 404, AnswerKind::Body};
            lock.unlock();
            response.status = status;
            if (kind == AnswerKind::Late)
                std::this_thread::sleep_for(std::chrono::seconds(3));
            if (kind == AnswerKind::Body || kind == AnswerKind::Late)
                response.set_content(body, "application/octet-stream");
            if (kind == AnswerKind::Stall)
                response.set_content_provider(body.size(), "application/octet-stream",
                                              [this, body = body](size_t at, size_t, httplib::DataSink& sink) {
                                                  while (at > 0 && !m_stopping)
                                                      std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                                  return sink.write(body.data() + at,
                                                                    at ? body.size() - at : body.size() / 2);
                                              });
            if (kind == AnswerKind::Redirect)
                response.set_redirect(body, status);
            if (kind == AnswerKind::Chunked || kind == AnswerKind::Trickle)
                response.set_chunked_content_provider(
                    "application/octet-stream", [this, body = body, kind = kind](size_t at, httplib::DataSink& sink) {
                        const size_t piece = kind == AnswerKind::Trickle ? 1 : 1000;
                        if (kind == AnswerKind::Trickle)
                            std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        if (m_stopping || !sink.write(body.data() + at, std::min(piece, body.size() - at)))
                            return false;
                        if (at + piece >= body.size())
                            sink.done();
                        return true;
                    });
        });
        // One request a connection: a client that keeps its connections open after a download (Wine's WinHTTP
        // does) would otherwise hold the server's threads, and its destruction, for the keep-alive time.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TestHttpServer()
    {
        m_stopping = true;
        m_server.stop();
        m_thread.join();
    }
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    void serve(const std::string& path, std::string body, int status = 200, AnswerKind kind = AnswerKind::Body)
    {
        std::lock_guard lock(m_mutex);
        m_answers[path] = {std::move(body), status, kind};
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::atomic<bool> m_stopping = false;
    using Answer = std::tuple<std::string, int, AnswerKind>;
    std::map<std::string, Answer> m_answers;
};

/// An updater of version 1 on the test server.
inline const std::string updater = std::string("\177ELF\0\r\n", 7) + std::string(20000, 'u');

/// The program's folder as the working folder, as the program runs; version 1016 here, an updater of version 1
/// on the server, signed with the test's key, which the check is given as the one built in.
class UpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::current_path(folder.path());
        platform.appInfo.folder = folder.path();
        platform.connectivity.answer.state = 1;
        TestFiles::write(folder / "version.txt", "1016\r\n");
        server.serve("/kopirko/versionu.txt", "1\r\n");
        server.serve("/kopirko/updater.exe", updater);
        server.serve("/kopirko/updater.exe.minisig", key.sign(updater));
        store.setIniFilePath(folder / "KOPIRKO.ini");
    }
    void TearDown() override { std::filesystem::current_path(m_oldFolder); }

    std::string address() const { return server.hostAndPort() + "/kopirko"; }
    bool check() { return CheckForUpdate(platform.services, store, address(), quick, key.publicKeyLine()); }

    const std::filesystem::path m_oldFolder = std::filesystem::current_path();
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    TestSigningKey key;
    SettingsStore store{platform.fileSystem};
    const UpdateLimits quick{.wholeCheck = std::chrono::milliseconds(2500)}; ///< the whole check held to 2.5 s
};
