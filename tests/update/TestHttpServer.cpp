#include "TestHttpServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

TestHttpServer::TestHttpServer() : m_server(std::make_unique<httplib::Server>())
{
    m_server->Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(m_mutex);
        m_requests.push_back(request.path);
        const auto found = m_answers.find(request.path);
        if (found == m_answers.end()) {
            response.status = 404;
            response.set_content("Not Found", "text/plain");
            return;
        }
        const Answer answer = found->second;
        lock.unlock();
        response.status = answer.status;
        switch (answer.kind) {
        case Kind::Body:
            response.set_content(answer.body, "application/octet-stream");
            break;
        case Kind::Redirect:
            response.set_redirect(answer.body, answer.status);
            break;
        case Kind::Chunked:
            response.set_chunked_content_provider("application/octet-stream",
                                                  [body = answer.body](size_t offset, httplib::DataSink& sink) {
                                                      const size_t piece = std::min<size_t>(1000, body.size() - offset);
                                                      sink.write(body.data() + offset, piece);
                                                      if (offset + piece >= body.size())
                                                          sink.done();
                                                      return true;
                                                  });
            break;
        case Kind::Stall:
            response.set_content_provider(answer.body.size() * 100, "application/octet-stream",
                                          [this, part = answer.body](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset == 0)
                                                  return sink.write(part.data(), part.size());
                                              std::unique_lock wait(m_mutex);
                                              m_stopping.wait(wait, [this] { return m_stopped; });
                                              return false;
                                          });
            break;
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
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_server->stop();
    m_thread.join();
}

void TestHttpServer::serve(const std::string& path, std::string body, int status, Kind kind)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = Answer{std::move(body), status, kind};
}

std::vector<std::string> TestHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

SilentServer::SilentServer()
{
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 || ::listen(m_socket, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
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
