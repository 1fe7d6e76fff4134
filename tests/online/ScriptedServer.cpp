// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/online/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace tw::test {
namespace {

bool sendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads until the predicate holds, the peer closes or two seconds pass.
template <class Done>
void readUntil(int fd, std::string& into, Done done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    char buffer[4096];
    while (!done() && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        into.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string statusText(int status)
{
    switch (status) {
    case 200: return "OK";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

ScriptedServer::ScriptedServer(Handler handler) : m_handler(std::move(handler)) {}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
}

bool ScriptedServer::start()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listen < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
    return true;
}

std::vector<ScriptedServer::Request> ScriptedServer::requests() const
{
    std::lock_guard lock(m_lock);
    return m_requests;
}

int ScriptedServer::count(const std::string& inTarget) const
{
    std::lock_guard lock(m_lock);
    int n = 0;
    for (const Request& r : m_requests)
        n += r.target.find(inTarget) != std::string::npos;
    return n;
}

void ScriptedServer::serve()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int connection = ::accept(m_listen, nullptr, nullptr);
        if (connection < 0)
            continue;
        answer(connection);
        ::close(connection);
    }
}

void ScriptedServer::answer(int connection)
{
    std::string in;
    readUntil(connection, in, [&] { return in.find("\r\n\r\n") != std::string::npos; });
    const std::size_t headEnd = in.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return;
    Request request;
    const std::string head = in.substr(0, headEnd);
    const std::size_t firstLine = head.find("\r\n");
    const std::string requestLine = head.substr(0, firstLine);
    const std::size_t blank = requestLine.find(' ');
    request.method = requestLine.substr(0, blank);
    request.target = requestLine.substr(blank + 1, requestLine.rfind(' ') - blank - 1);
    request.headers = firstLine == std::string::npos ? std::string() : head.substr(firstLine + 2);
    std::size_t bodySize = 0;
    std::string lower = request.headers;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const std::size_t at = lower.find("content-length:"); at != std::string::npos)
        bodySize = static_cast<std::size_t>(std::strtoul(lower.c_str() + at + 15, nullptr, 10));
    if (lower.find("expect: 100-continue") != std::string::npos)
        sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n", 25);
    std::string body = in.substr(headEnd + 4);
    readUntil(connection, body, [&] { return body.size() >= bodySize; });
    request.body = body;
    {
        std::lock_guard lock(m_lock);
        m_requests.push_back(request);
    }
    const Reply reply = m_handler(request);
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + statusText(reply.status) + "\r\n";
    if (!reply.contentType.empty())
        out += "Content-Type: " + reply.contentType + "\r\n";
    for (const std::string& line : reply.headers)
        out += line + "\r\n";
    out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
    if (!sendAll(connection, out.data(), out.size()))
        return;
    if (reply.dripBytesPerSecond <= 0) {
        sendAll(connection, reply.body.data(), reply.body.size());
        return;
    }
    const auto pause = std::chrono::milliseconds(1000 / reply.dripBytesPerSecond);
    for (const char c : reply.body) {
        if (m_stop || !sendAll(connection, &c, 1))
            return;
        std::this_thread::sleep_for(pause);
    }
}

} // namespace tw::test
