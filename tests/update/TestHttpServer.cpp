#include "TestHttpServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int boundLoopbackSocket(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot bind to 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

TestHttpServer::TestHttpServer() : m_server(std::make_unique<httplib::Server>())
{
    m_server->Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        Answer answer;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request.path);
            const auto found = m_answers.find(request.path);
            if (found == m_answers.end()) {
                response.status = 404;
                response.set_content("Not Found", "text/plain");
                return;
            }
            answer = found->second;
        }
        switch (answer.kind) {
        case Answer::Kind::Body:
            response.status = answer.status;
            response.set_content(answer.body, "application/octet-stream");
            return;
        case Answer::Kind::Redirect:
            response.set_redirect(answer.body, answer.status);
            return;
        case Answer::Kind::Chunked:
            response.set_chunked_content_provider("application/octet-stream",
                                                  [body = answer.body](size_t offset, httplib::DataSink& sink) {
                                                      // A few pieces, so the client sees data before it knows the whole
                                                      // size.
                                                      const size_t piece = std::min<size_t>(1000, body.size() - offset);
                                                      if (piece > 0)
                                                          sink.write(body.data() + offset, piece);
                                                      if (offset + piece >= body.size())
                                                          sink.done();
                                                      return true;
                                                  });
            return;
        case Answer::Kind::Stall:
            response.set_content_provider(answer.body.size() * 100, "application/octet-stream",
                                          [this, part = answer.body](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset == 0) {
                                                  sink.write(part.data(), part.size());
                                                  return true;
                                              }
                                              std::unique_lock lock(m_mutex);
                                              m_released.wait(lock, [this] { return m_stopping; });
                                              return false;
                                          });
            return;
        }
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot bind the test server to 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    m_server->stop();
    m_thread.join();
}

std::string TestHttpServer::hostAndPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string TestHttpServer::url(const std::string& path) const
{
    return "http://" + hostAndPort() + path;
}

void TestHttpServer::serve(const std::string& path, std::string body, int status)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = Answer{Answer::Kind::Body, status, std::move(body)};
}

void TestHttpServer::serveChunked(const std::string& path, std::string body)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = Answer{Answer::Kind::Chunked, 200, std::move(body)};
}

void TestHttpServer::redirect(const std::string& path, const std::string& target, int status)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = Answer{Answer::Kind::Redirect, status, target};
}

void TestHttpServer::stallAfter(const std::string& path, std::string firstPart)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = Answer{Answer::Kind::Stall, 200, std::move(firstPart)};
}

void TestHttpServer::remove(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_answers.erase(path);
}

std::vector<std::string> TestHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

SilentServer::SilentServer()
{
    m_socket = boundLoopbackSocket(m_port);
    if (::listen(m_socket, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
}

SilentServer::~SilentServer()
{
    ::close(m_socket);
}

bool SilentServer::wasConnected()
{
    const int client = ::accept4(m_socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return false;
    ::close(client);
    return true;
}

std::string SilentServer::hostAndPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

int closedLoopbackPort()
{
    int port = 0;
    // Bound but never listening: connections to it are refused.
    const int fd = boundLoopbackSocket(port);
    ::close(fd);
    return port;
}
