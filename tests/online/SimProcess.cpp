// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/online/SimProcess.h"

#include "online/HttpTransfer.h"
#include "tests/TestSupport.h"

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::test {

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const std::vector<std::string>& args)
{
    const std::filesystem::path program = runtimeDir() / "tarnwick-sim";
    if (!std::filesystem::exists(program)) {
        m_error = "tarnwick-sim was not built (" + program.string() + ")";
        return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        m_error = "no pipe";
        return false;
    }
    std::vector<std::string> argv = {program.string(), "--port", "0"};
    argv.insert(argv.end(), args.begin(), args.end());
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_out = fds[0];
    std::string line;
    pollfd p{m_out, POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0) {
        char buf[64];
        const ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    const std::string prefix = "listening on ";
    if (line.rfind(prefix, 0) != 0) {
        m_error = "tarnwick-sim did not start: " + line;
        stop();
        return false;
    }
    m_port = std::stoi(line.substr(prefix.size()));
    return true;
}

void SimProcess::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
}

std::string SimProcess::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<std::string> SimProcess::requests() const
{
    net::TransferRequest req;
    req.url = baseUrl() + "/_sim/log";
    const net::TransferResult result = net::transfer(req);
    std::vector<std::string> lines;
    std::istringstream in(result.body);
    for (std::string line; std::getline(in, line);)
        if (line != "GET /_sim/log")
            lines.push_back(line);
    return lines;
}

} // namespace tw::test
