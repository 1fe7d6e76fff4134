// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::test {

// A hostile HTTP server on an ephemeral 127.0.0.1 port: each request gets
// the reply the test's handler makes, however wrong (any status, headers,
// body, or a body dripped out a few bytes a second). One connection at a
// time, closed after each reply.
class ScriptedServer {
public:
    struct Request {
        std::string method;
        std::string target;
        std::string headers; // as received, one "Name: value" a line
        std::string body;
    };
    struct Reply {
        int status = 200;
        std::string contentType = "text/xml; charset=utf-8";
        std::string body;
        std::vector<std::string> headers; // extra "Name: value" lines
        int dripBytesPerSecond = 0;       // 0: all at once
    };
    static Reply reply(std::string body, int status = 200, std::string contentType = "text/xml; charset=utf-8")
    {
        Reply r;
        r.body = std::move(body);
        r.status = status;
        r.contentType = std::move(contentType);
        return r;
    }
    using Handler = std::function<Reply(const Request&)>;

    explicit ScriptedServer(Handler handler);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool start();
    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<Request> requests() const;
    // Requests whose target contains the text.
    int count(const std::string& inTarget) const;

private:
    void serve();
    void answer(int connection);

    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<Request> m_requests;
};

} // namespace tw::test
