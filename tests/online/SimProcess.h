// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
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

// A fixture base whose suite shares one simulator: started before the
// suite's first test, ended after its last. A fixture's SetUp skips its test
// when simError() is not empty.
template <class Base>
class WithSuiteSim : public Base {
protected:
    static void SetUpTestSuite()
    {
        s_sim = std::make_unique<SimProcess>();
        s_error = s_sim->start() ? std::string() : s_sim->error();
    }
    static void TearDownTestSuite() { s_sim.reset(); }
    static const std::string& simError() { return s_error; }

    static inline std::unique_ptr<SimProcess> s_sim;
    static inline std::string s_error;
};

} // namespace tw::test
