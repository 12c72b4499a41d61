#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

/// A real HTTP server on 127.0.0.1 (a free port), answering from a table the test fills at any time. Paths
/// without an answer get 404.
class TestHttpServer
{
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    /// "127.0.0.1:PORT"
    std::string hostAndPort() const;
    /// "http://127.0.0.1:PORT" + path
    std::string url(const std::string& path) const;

    void serve(const std::string& path, std::string body, int status = 200);
    /// The body without a length in front (chunked), so the client learns its size only while it reads.
    void serveChunked(const std::string& path, std::string body);
    void redirect(const std::string& path, const std::string& target, int status = 302);
    /// Sends `firstPart` of a longer body and then nothing more until the server is destroyed.
    void stallAfter(const std::string& path, std::string firstPart);
    void remove(const std::string& path);

    /// Paths asked for, in order.
    std::vector<std::string> requests() const;

private:
    struct Answer
    {
        enum class Kind { Body, Chunked, Redirect, Stall } kind = Kind::Body;
        int status = 200;
        std::string body;
    };

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopping = false;
    std::map<std::string, Answer> m_answers;
    std::vector<std::string> m_requests;
};

/// Accepts connections (the system does it for it) and never answers: a server that hangs.
class SilentServer
{
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    std::string hostAndPort() const;
    /// True when a client had connected (and was left waiting).
    bool wasConnected();

private:
    int m_socket = -1;
    int m_port = 0;
};

/// A port on 127.0.0.1 where nothing listens.
int closedLoopbackPort();
