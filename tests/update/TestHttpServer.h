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

    /// "127.0.0.1:PORT"
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::string url(const std::string& path) const { return "http://" + hostAndPort() + path; }

    enum class Kind {
        Body,     ///< `body` with its length
        Chunked,  ///< `body` without a length in front: the client learns its size only while it reads
        Redirect, ///< to `body`
        Stall     ///< `body`, announced as part of a longer one, then nothing until the server is destroyed
    };
    void serve(const std::string& path, std::string body, int status = 200, Kind kind = Kind::Body);

    /// Paths asked for, in order.
    std::vector<std::string> requests() const;

private:
    struct Answer
    {
        std::string body;
        int status;
        Kind kind;
    };

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    std::map<std::string, Answer> m_answers;
    std::vector<std::string> m_requests;
};

/// Accepts connections (the system does it for it) and never answers: a server that hangs.
class SilentServer
{
public:
    SilentServer();
    ~SilentServer();
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    /// True when a client had connected (and was left waiting).
    bool wasConnected();

private:
    int m_socket = -1;
    int m_port = 0;
};
