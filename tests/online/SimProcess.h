// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tw::test {

// tarnwick-sim on an ephemeral loopback port, for the life of this object.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // False (with the reason in error()) when the program is missing or does
    // not come up within a few seconds.
    bool start(const std::vector<std::string>& args = {});
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;
    // Requests served so far, one "METHOD target" per entry.
    std::vector<std::string> requests() const;
    const std::string& error() const { return m_error; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_port = 0;
    std::string m_error;
};

} // namespace tw::test
